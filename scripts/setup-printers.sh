#!/usr/bin/env bash
# Starts CUPS and adds the two PDF printers the terminal prints on: "Standard" (the default,
# full-page receipts) and "BON" (the receipt printer). Printed receipts arrive as PDF files in
# the printing user's ~/PDF. Idempotent.
set -euo pipefail
ppd=/usr/share/ppd/cups-pdf/CUPS-PDF_opt.ppd

# lpstat -r answers 0 whether the scheduler runs or not: read what it says.
running() { lpstat -r 2>/dev/null | grep -qx 'scheduler is running'; }
if ! running; then
  service cups start >/dev/null 2>&1 </dev/null || /usr/sbin/cupsd >/dev/null 2>&1 </dev/null || true
  for _ in $(seq 100); do running && break; sleep 0.1; done
fi
running || { echo "CUPS did not start" >&2; exit 1; }

for printer in Standard BON; do
  lpstat -p "$printer" >/dev/null 2>&1 ||
    lpadmin -p "$printer" -E -v cups-pdf:/ -P "$ppd" 2>&1 | grep -v deprecated || true
done
# pdftocairo keeps the fonts as text in the PDF, so a printed receipt can be read back.
for printer in Standard BON; do lpadmin -p "$printer" -o pdftops-renderer-default=pdftocairo; done
lpstat -d 2>/dev/null | grep -q 'destination: Standard' || lpadmin -d Standard
lpstat -p Standard >/dev/null && lpstat -p BON >/dev/null
