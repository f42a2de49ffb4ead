#!/usr/bin/env bash
# The self-update on Windows (Wine), end to end: a terminal of one version finds the next on the
# central server, downloads the installer to "c:\quorvalis\ <version>.exe", starts it and ends;
# the installer, started without options, updates the installed terminal silently, keeps every
# record and starts the new terminal, which does not update again. First, a download cut off
# halfway is never started. Updates are signed: the head office's key is installed, and an
# unsigned program is refused before a byte of it is fetched. A file held open while the
# installer runs leaves the old version whole and running; the next check installs it.
#   tests/windows/update.sh BUILD OLD NEW   (installers BUILD/quorvalis-setup-OLD.exe and -NEW.exe)
set -euo pipefail
win=$1 old=$2 new=$3
. tests/windows/lib.sh

start_zentrale "$out/zentrale" build
printf '%s' "$new" >"$out/zentrale/update/filial.ini"
cp "$win/quorvalis-setup-$new.exe" "$out/zentrale/update/$new.exe"
build/tools/sign/quorval-sign keygen "$out/office" >/dev/null
echo "  zentrale on $host offers $new"

echo "-- $old installed, with a branch's records"
stop_terminals
rm -rf "$home"
wine "$win/quorvalis-setup-$old.exe" /S "/HOST=$host" /TIMEOUT=10 /FL=1 "/UPDATEKEY=$(cat "$out/office/update.pub")"
grep -q "key=$(cat "$out/office/update.pub")" "$home/install.ini" || fail "no update key installed"
printf '[start]\r\nlog=1\r\nID=DEMO01\r\nFL=1\r\n' >"$home/cl.ini"
printf '05.12.2026;1234;00491711234567;5\r\n' >"$home/coupons.ini"
mkdir -p "$home/data/12" && printf '00491711234567;Anna;Muster;Gold;05.12.2026\r\n' >"$home/data/12/5.ini"
printf 'an earlier download' >"$home/ F106.exe"  # an earlier update's installer
records() { (cd "$home" && sha256sum cl.ini install.ini coupons.ini data/12/5.ini); }

echo "-- an unsigned update: refused before a byte of it is fetched"
start_terminal
wait_for 30 sh -c "xdotool search --onlyvisible --name '^Fehler\$' | grep -q ." || fail "an unsigned update was not refused"
shot unsigned-update
[ ! -e "$home/ $new.exe" ] || fail "the unsigned download was kept"
[ "$(requests_of "/quorvalis/update/$new.exe")" = 0 ] || fail "an unsigned program was fetched"
grep -q "filial=$old" "$home/version.ini" || fail "an unsigned update was installed"
stop_terminals
records >"$out/records.before"  # as the terminal keeps them (it clears cl.ini's [temp] at start)

build/tools/sign/quorval-sign sign "$out/office/update.key" "$out/zentrale/update/$new.exe"
echo "-- a download cut off halfway"
curl -fsS "http://$host/_fault?/quorvalis/update/$new.exe\$=cut" >/dev/null  # the program, not its statement
start_terminal
# zentrale logs no faulted request: the message is the sign.
wait_for 30 sh -c "xdotool search --onlyvisible --name '^Fehler\$' | grep -q ." || fail "no download error shown"
sleep 1
shot cut-download
[ ! -e "$home/ $new.exe" ] || fail "a cut download was kept as the update program"
grep -q "filial=$old" "$home/version.ini" || fail "the version changed after a cut download"
stop_terminals
curl -fsS "http://$host/_fault/clear" >/dev/null

echo "-- a full disk: the old version stays whole and runs"
# The terminal keeps 64 MB free where Windows says the folder's volume is; under Wine a linked
# folder is no volume of its own, so here it is the installer that meets the full disk.
used=$(du -sk "$home" | cut -f1) size=$(( $(stat -c %s "$out/zentrale/update/$new.exe") / 1024 ))
if small_drive $(( used + size + 8192 )); then
  (cd "$home" && sha256sum quorval.exe Qt6Core.dll) >"$out/program.before"
  start_terminal
  refused() { xdotool search --onlyvisible --name '^Fehler$' | grep -q . || grep -q "version=$new" "$home/update.ini"; }
  wait_for 90 refused || fail "neither the terminal nor the installer refused on a full disk"
  wait_for 60 sh -c "[ -n \"\$(xdotool search --onlyvisible --name '^quorvalis - Tarvendels via SMS\$')\" ]" || fail "no band after a full disk"
  shot full-disk
  grep -q "filial=$old" "$home/version.ini" || fail "the version changed on a full disk"
  (cd "$home" && sha256sum -c --quiet "$out/program.before") || fail "the old program was changed"
  [ ! -e "$home/.update-new" ] && [ ! -e "$home/.update-old" ] || fail "the update's folders were left"
  stop_terminals
  rm -f "$home/update.ini"
  leave_small_drive
else
  echo "  skipped: this machine mounts no small drive (tmpfs) here"
fi

echo "-- a file held open while the installer runs: the old version stays whole and runs again"
x86_64-w64-mingw32-gcc -O2 tests/windows/holder.c -o "$out/holder.exe"
wine "$out/holder.exe" 'c:\quorvalis\Qt6Core.dll' >"$out/holder.log" 2>&1 & pids+=($!)
wait_for 20 grep -q held "$out/holder.log" || fail "Qt6Core.dll could not be held"
(cd "$home" && sha256sum quorval.exe Qt6Core.dll) >"$out/program.before"
rss=/quorvalis/DATA/demo/rss.ini
bands=$(requests_of $rss) downloads=$(requests_of "/quorvalis/update/$new.exe")
start_terminal
wait_for 60 grep -q "version=$new" "$home/update.ini" || fail "the installer did not fail on the held file"
# The terminal ended for the update before the band; the band's request is the old one's, back.
wait_for 60 sh -c "[ \$(grep -cxF $rss '$out/zentrale/requests.log') -gt $bands ]" || fail "the old terminal did not come back"
grep -q "filial=$old" "$home/version.ini" || fail "version.ini changed by a failed update"
(cd "$home" && sha256sum -c --quiet "$out/program.before") || fail "the old program was changed"
[ ! -e "$home/.update-new" ] && [ ! -e "$home/.update-old" ] || fail "the update's folders were left"
# The terminal started again leaves the version to its next check: one download more, not two.
sleep 3  # time enough for a second download, if the terminal made one
[ "$(requests_of "/quorvalis/update/$new.exe")" = $((downloads + 1)) ] || fail "downloads: $(requests_of "/quorvalis/update/$new.exe") ($((downloads + 1)) expected)"
band=$(band_window)
[ -n "$band" ] || fail "no band after the failed update"
shot failed-update
stop_terminals
wine taskkill /f /im holder.exe >/dev/null 2>&1 || true

echo "-- the next check, the file free again: the signed update"
bands=$(requests_of $rss)
start_terminal
wait_for 120 grep -q "filial=$new" "$home/version.ini" || fail "the installer did not update version.ini"
wait_for 60 sh -c "[ \$(grep -cxF $rss '$out/zentrale/requests.log') -gt $bands ]" || fail "the new terminal did not reach the band"
sleep 5
shot updated-band
[ "$(requests_of "/quorvalis/update/$new.exe")" = $((downloads + 2)) ] || fail "downloads: $(requests_of "/quorvalis/update/$new.exe") (the failed one and this one expected)"
records | diff "$out/records.before" - || fail "records changed by the update"
[ ! -e "$home/ F106.exe" ] || fail "the earlier download is still there"
[ -e "$home/ $new.exe" ] || fail "this update's installer is gone"
[ ! -e "$home/update.ini" ] || fail "the failed update's word outlived the update"
band=$(band_window)
[ -n "$band" ] || fail "no band after the update"
# The new terminal checks again and finds itself current: no further download.
sleep 2  # its own check comes 2.5 s after the start, before the band
[ "$(requests_of "/quorvalis/update/$new.exe")" = $((downloads + 2)) ] || fail "the new terminal downloaded the update again"
stop_terminals
echo "update passed: $old -> $new"
