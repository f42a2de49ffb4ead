#!/bin/bash
# The screens' stalls while the club screen polls a reader holding a mute card: the reader on the
# screens' thread and on its own thread, side by side. First with a stand-in whose status call
# takes 410 ms, then with pcscd and vsmartcard's vpcd presenting cardsim's unreadable card.
#   scripts/bench-card-stall.sh [BUILD (default build)] [SECONDS per run (default 10)]
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/lib.sh
build=${1:-build} seconds=${2:-10}
export QT_QPA_PLATFORM=offscreen
"$build/bench/bench_card_stall" "$seconds" 410
if [ ! -x "$build/tools/cardsim/cardsim-vpcd" ] || [ ! -x /usr/sbin/pcscd ]; then
  echo "no pcscd or cardsim-vpcd: the PC/SC run is left out"
  exit 0
fi
card=$(mktemp) pcsc=$(mktemp -d) pids=()
trap 'for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done; rm -rf "$pcsc" "$card"' EXIT
"$build/tools/cardsim/cardsim" --file "$card" unreadable
start_pcsc "$pcsc" "$build" "$card"
sleep 1
"$build/bench/bench_card_stall" "$seconds" pcsc
