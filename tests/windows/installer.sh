#!/usr/bin/env bash
# The installer changes all or nothing, with stand-ins for the terminal, its guard and its helper
# instead of the real program (quick, and any size): an update waits for the terminal and its
# guard to end, and stops a guard that would start the terminal again; a helper that does not
# end, a file held open and a full disk each leave the old version whole, version.ini unchanged
# and the old terminal running again; the uninstaller stops the guard first and refuses while the
# terminal runs. The installer script and its file lists are the real ones.
#   tests/windows/installer.sh BUILD   (from scripts/windows.sh, with its Wine prefix)
# QUORVALIS_NSI names another installer script (the fault runs' copies).
set -euo pipefail
win=$1
. tests/windows/lib.sh
for v in F301 F302; do
  st=$out/stage-$v
  mkdir -p "$st/plugins/tls"
  x86_64-w64-mingw32-gcc -O2 -DVERSION="\"$v\"" tests/windows/terminal_stand_in.c -o "$st/quorval.exe"
  x86_64-w64-mingw32-gcc -O2 -DVERSION="\"$v-helper\"" tests/windows/terminal_stand_in.c -o "$st/quorval-card.exe"
  x86_64-w64-mingw32-gcc -O2 -DVERSION="\"$v\"" tests/windows/guard_stand_in.c -o "$st/quorval-guard.exe"
  head -c 3000000 /dev/urandom >"$st/Qt6Core.dll"
  echo "$v" >"$st/plugins/tls/backend.dll"
  packaging/stage-lists.sh "$st"
  mv "$out/stage-files.nsh" "$out/stage-files-$v.nsh"
  mv "$out/uninstall-files.nsh" "$out/uninstall-files-$v.nsh"
  makensis -V1 -DVERSION="$v" -DSTAGE="$st" -DUNINSTALL_LIST="$out/uninstall-files-$v.nsh" \
    -DSTAGE_LIST="$out/stage-files-$v.nsh" -DOUTFILE="$out/setup-$v.exe" "${QUORVALIS_NSI:-packaging/quorvalis.nsi}" >/dev/null
done
stop_all() {
  wine taskkill /f /im quorval-guard.exe >/dev/null 2>&1 || true  # first: it starts the terminal again
  wait_for 10 sh -c '! pgrep -f "[q]uorval-guard[.]exe" >/dev/null' || true
  wine taskkill /f /im quorval.exe >/dev/null 2>&1 || true
  wine taskkill /f /im quorval-card.exe >/dev/null 2>&1 || true
  wine taskkill /f /im holder.exe >/dev/null 2>&1 || true
  wait_for 10 sh -c '! pgrep -f "[q]uorval(-card|-guard)?[.]exe|[h]older[.]exe" >/dev/null' || true
}
# The installed files are exactly this version's, and version.ini says so.
whole() {
  grep -q "filial=$1" "$home/version.ini" || fail "version.ini: $(cat "$home/version.ini")"
  (cd "$out/stage-$1" && find . -type f) | while read -r f; do
    cmp -s "$out/stage-$1/$f" "$home/$f" || fail "$f is not $1's"
  done
  [ ! -e "$home/.update-new" ] && [ ! -e "$home/.update-old" ] || fail "the update's folders were left"
  # A failed update leaves word for the terminal it starts again; a whole one leaves none.
  if [ "$1" = F302 ]; then [ ! -e "$home/update.ini" ] || fail "update.ini left by a whole update"; fi
}
failed_word() { grep -q "version=F302" "$home/update.ini" || fail "no word of the failed update"; }
started() { wait_for 10 sh -c "tr -d '\\r' <'$home/started.txt' | grep -qx '$1'"; }
run_terminal() { (cd "$home" && exec wine 'c:\quorvalis\quorval.exe') >/dev/null 2>&1 & pids+=($!); wait_for 10 test -e "$home/started.txt"; }
# The terminal under its guard, which ends SECONDS after it, or without them starts it again.
run_guarded() {
  (cd "$home" && exec wine 'c:\quorvalis\quorval-guard.exe' 'c:\quorvalis\quorval.exe' "$@") >/dev/null 2>&1 & pids+=($!)
  wait_for 10 test -e "$home/started.txt"
}
guard_runs() { pgrep -f '[q]uorval-guard[.]exe' >/dev/null; }
notes() { tr -d '\r' <"$home/started.txt" | paste -sd' '; }
fresh() {
  stop_all
  rm -rf "$home"
  wine "$out/setup-F301.exe" /S "/HOST=https://zentrale.example:8443" /TIMEOUT=9 || fail "the first installation failed"
  whole F301
  # An address with its scheme's slashes arrives whole.
  grep -q "^host=https://zentrale.example:8443" "$home/install.ini" || fail "install.ini: $(cat "$home/install.ini")"
  rm -f "$home/started.txt"
}
# The update as the terminal starts it: without options, so it waits for the terminal itself.
update() { local rc=0; wine "$out/setup-F302.exe" "$@" >/dev/null 2>&1 || rc=$?; echo "$rc"; }

echo "-- the update waits for the terminal to end, then starts the new one"
fresh
run_terminal
(sleep 3; wine taskkill /f /im quorval.exe >/dev/null 2>&1) &
[ "$(update)" = 0 ] || fail "the update failed"
whole F302
started F302 || fail "the new terminal was not started"

echo "-- the update waits for the guard too, which ends a moment after its terminal"
fresh
run_guarded 2
(sleep 3; wine taskkill /f /im quorval.exe >/dev/null 2>&1) &
[ "$(update)" = 0 ] || fail "the update failed"
whole F302
started F302 || fail "the new terminal was not started"
# Had the installer not waited for the guard, the new terminal would have started before it ended.
[ "$(notes)" = "F301 F301 guard ended F302" ] || fail "started.txt: $(notes)"

echo "-- a guard that starts its terminal again is stopped, and the terminal ended then stays ended"
fresh
run_guarded
update >"$out/update.rc" &
updating=$!
sleep 3
wine taskkill /f /im quorval.exe >/dev/null 2>&1
wait_for 10 sh -c "[ \$(grep -c '' '$home/started.txt') = 2 ]" || fail "the stand-in guard did not start its terminal again: $(notes)"
wait_for 30 sh -c '! pgrep -f "[q]uorval-guard[.]exe" >/dev/null' || fail "the installer did not stop the guard"
kill -0 $updating 2>/dev/null || fail "the installer did not wait for the terminal the guard had started again"
wine taskkill /f /im quorval.exe >/dev/null 2>&1
wait $updating
[ "$(cat "$out/update.rc")" = 0 ] || fail "the update failed (rc $(cat "$out/update.rc"))"
whole F302
started F302 || fail "the new terminal was not started"
[ "$(notes)" = "F301 F301 F302" ] || fail "started.txt: $(notes)"

echo "-- a helper that does not end: nothing changes, the old terminal runs again"
fresh
(cd "$home" && exec wine 'c:\quorvalis\quorval-card.exe') >/dev/null 2>&1 & pids+=($!)
wait_for 10 test -e "$home/started.txt"
[ "$(update /WAIT=3)" = 2 ] || fail "the update did not fail"
whole F301
started F301 || fail "the old terminal was not started again"
failed_word
stop_all
[ "$(update)" = 0 ] || fail "the update failed once the helper had gone"
whole F302

echo "-- a file held open (a virus scanner, a backup): every old file is put back"
fresh
x86_64-w64-mingw32-gcc -O2 tests/windows/holder.c -o "$out/holder.exe"
wine "$out/holder.exe" 'c:\quorvalis\plugins\tls\backend.dll' >"$out/holder.log" 2>&1 & pids+=($!)
wait_for 20 grep -q held "$out/holder.log" || fail "the file could not be held"
rc=$(update); [ "$rc" = 2 ] || fail "the update did not fail (rc $rc)"
whole F301
started F301 || fail "the old terminal was not started again"
failed_word
stop_all
[ "$(update)" = 0 ] || fail "the update failed once the file was free"
whole F302

echo "-- a full disk: the new files do not fit beside the old ones"
fresh
if small_drive 4500; then
  [ "$(update)" = 2 ] || fail "the update did not fail on a full disk"
  whole F301
  started F301 || fail "the old terminal was not started again"
  failed_word
  stop_all
  leave_small_drive
  [ "$(update)" = 0 ] || fail "the update failed once there was room"
  whole F302
else
  echo "  skipped: this machine mounts no small drive (tmpfs) here"
fi

echo "-- the uninstaller stops the guard first, and refuses while the terminal runs"
stop_all
rm -f "$home/started.txt"
run_guarded
rc=0; wine "$home/uninstall.exe" /S '_?=c:\quorvalis' || rc=$?
[ "$rc" = 2 ] && [ -f "$home/quorval.exe" ] && [ -f "$home/Qt6Core.dll" ] || fail "uninstalled while the terminal ran (rc $rc)"
! guard_runs || fail "the uninstaller left the guard running"
# The staff end the terminal as asked: nothing starts it again.
wine taskkill /f /im quorval.exe >/dev/null 2>&1
sleep 2
[ "$(notes)" = F302 ] || fail "the terminal was started again: $(notes)"
stop_all
wine "$home/uninstall.exe" /S '_?=c:\quorvalis' || fail "the uninstaller failed"
[ ! -e "$home/quorval.exe" ] && [ ! -e "$home/Qt6Core.dll" ] || fail "files left by the uninstaller"
echo "installer passed"
