#!/usr/bin/env bash
# The self-update on Windows (Wine), end to end: a terminal of one version finds the next on the
# central server, downloads the installer to "c:\quorvalis\ <version>.exe", starts it and ends;
# the installer, started without options, updates the installed terminal silently, keeps every
# record and starts the new terminal, which does not update again. First, a download cut off
# halfway is never started. Updates are signed: the head office's key is installed, and an
# unsigned program is refused before the signed one is taken.
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

echo "-- a download cut off halfway"
curl -fsS "http://$host/_fault?/quorvalis/update/$new.exe=cut" >/dev/null
start_terminal
# zentrale logs no faulted request: the message is the sign.
wait_for 30 sh -c "xdotool search --onlyvisible --name '^Fehler\$' | grep -q ." || fail "no download error shown"
sleep 1
shot cut-download
[ ! -e "$home/ $new.exe" ] || fail "a cut download was kept as the update program"
grep -q "filial=$old" "$home/version.ini" || fail "the version changed after a cut download"
stop_terminals
curl -fsS "http://$host/_fault/clear" >/dev/null
records >"$out/records.before"  # as the terminal keeps them (it clears cl.ini's [temp] at start)

echo "-- an unsigned update"
start_terminal
wait_for 30 sh -c "xdotool search --onlyvisible --name '^Fehler\$' | grep -q ." || fail "an unsigned update was not refused"
shot unsigned-update
[ ! -e "$home/ $new.exe" ] || fail "the unsigned download was kept"
grep -q "filial=$old" "$home/version.ini" || fail "an unsigned update was installed"
stop_terminals

echo "-- the signed update"
build/tools/sign/quorval-sign sign "$out/office/update.key" "$out/zentrale/update/$new.exe"
start_terminal
wait_for 90 grep -q "filial=$new" "$home/version.ini" || fail "the installer did not update version.ini"
wait_for 60 requested "/quorvalis/DATA/demo/rss.ini" || fail "the new terminal did not reach the band"
sleep 5
shot updated-band
[ "$(requests_of "/quorvalis/update/$new.exe")" = 2 ] || fail "downloads: $(requests_of "/quorvalis/update/$new.exe") (the unsigned one and the signed one expected)"
records | diff "$out/records.before" - || fail "records changed by the update"
[ ! -e "$home/ F106.exe" ] || fail "the earlier download is still there"
[ -e "$home/ $new.exe" ] || fail "this update's installer is gone"
band=$(band_window)
[ -n "$band" ] || fail "no band after the update"
# The new terminal checks again and finds itself current: no second download.
sleep 2
[ "$(requests_of "/quorvalis/update/$new.exe")" = 2 ] || fail "the new terminal downloaded the update again"
stop_terminals
echo "update passed: $old -> $new"
