#!/usr/bin/env bash
# The guard on Windows (Wine). First the real quorval-guard.exe over a stand-in terminal that ends
# in each way the guard tells apart: a crash with its report, one with its dump, a hang, a kill, a
# planned end and one that lingers, and a crash loop, after which the staff are told. Then over
# the real terminal, installed: ended from outside while its band is up (as Windows's taskkill
# and Task Manager end a program, by Wine's taskkill, its Linux process killed, a crash inside
# it), it comes back with its band each time, with a record of each end in c:\quorvalis\crashes
# and the guard's lines in quorval.log, logged in again by the branch the guard passes on; stopped
# guard first, it stays ended.
#   tests/windows/guard.sh BUILD VERSION   (from scripts/windows.sh, with its display)
set -euo pipefail
win=$1 version=$2
. tests/windows/lib.sh
for tool in end_task crash_inside; do x86_64-w64-mingw32-gcc -O2 tests/windows/$tool.c -o "$out/$tool.exe"; done

log() { tr -d '\r' <"$home/quorval.log"; }
notes() { tr -d '\r' <"$home/started.txt"; }
records() { ls "$home/crashes"/*.txt 2>/dev/null | sort || true; }
newest_record() { tr -d '\r' <"$(records | tail -1)"; }
record_has() { newest_record | grep -qxF "$1" || fail "the newest record lacks '$1': $(newest_record)"; }
bands_shown() { log | grep -c "terminal: band shown$" || true; }
log_has() { log | grep -qE "$1" || fail "quorval.log lacks /$1/: $(log | tail -5)"; }

echo "-- the guard over a stand-in terminal"
stop_terminals
rm -rf "$home" && mkdir -p "$home"
cp "$win/app/quorval-guard.exe" "$home/"
x86_64-w64-mingw32-gcc -O2 tests/windows/guarded_stand_in.c -o "$home/quorval.exe"
# guarded END...: the guard started over the stand-in, which ends as these say, one a start; a
# fresh log and no records.
guarded() {
  rm -rf "$home/crashes" "$home/quorval.log" "$home/started.txt"
  printf '%s\n' "$@" >"$home/stand-in.txt"
  (cd "$home" && exec env -u QUORVALIS_HOME wine 'c:\quorvalis\quorval-guard.exe' 'c:\quorvalis\quorval.exe') >>"$out/guard.out" 2>&1 &
  guard=$!
}
# ended RC SECONDS: the guard ends within SECONDS, with exit code RC.
ended() {
  wait_for "$2" sh -c "! kill -0 $guard 2>/dev/null" || fail "the guard still runs after $2 s: $(log)"
  local rc=0
  wait "$guard" || rc=$?
  [ "$rc" = "$1" ] || fail "the guard ended with $rc, not $1: $(log)"
}
starts() { grep -c '' "$home/started.txt"; }

echo "   a crash, reported with its frames: recorded, started again with the branch it had"
guarded crash planned
ended 0 30
[ "$(starts)" = 2 ] || fail "starts: $(notes)"
notes | sed -n 1p | grep -q "pipe=yes branch=-$" || fail "first start: $(notes)"
notes | sed -n 2p | grep -q "pipe=yes branch=B7$" || fail "the stand-in was not given its branch again: $(notes)"
[ "$(records | wc -l)" = 1 ] || fail "records: $(records)"
for line in "platform: windows" "kind: crash" "cause: crash: exception 0xc0000005 at stand-in.exe+0x1234 reading 0x0" \
            "  stand-in.exe+0x1234" "  kernel32.dll+0x5678"; do record_has "$line"; done
log_has "guard: terminal ended unplanned: crash: exception 0xc0000005 .*; record .*[.]txt; restart 1 of 5 within 10 minutes"
log_has "guard: terminal ended, planned: stand-in ends$"

echo "   a crash with the terminal's own dump: the dump goes beside the record"
guarded dump planned
ended 0 30
dump=$(newest_record | sed -n 's/^dump: //p')
[ -n "$dump" ] && [ "$(cat "$home/crashes/$dump")" = "MDMP stand-in" ] || fail "the dump named by the stand-in: $(newest_record)"
[ -z "$(ls "$home/crashes" | grep '^pending-')" ] || fail "a pending dump was left: $(ls "$home/crashes")"

echo "   a hang: the guard writes a dump of it, ends it and starts it again"
guarded hang planned
since=$(date +%s)
ended 0 40
took=$(( $(date +%s) - since ))
[ "$(starts)" = 2 ] && [ "$took" -ge 5 ] || fail "a hang of 5 s ended after $took s: $(notes)"
record_has "kind: hang"
record_has "cause: hang: no sign of life for 5 s"
dump=$(newest_record | sed -n 's/^dump: //p')
[ -n "$dump" ] && [ "$(head -c 4 "$home/crashes/$dump")" = MDMP ] || fail "no minidump of the hung stand-in: $(newest_record); $(log)"
echo "   hang to restart: $took s; the guard's minidump $(stat -c %s "$home/crashes/$dump") bytes"

echo "   ended from outside as Windows does it (exit code 1): started again"
guarded beat planned
wait_for 20 test -s "$home/started.txt" || fail "the stand-in did not start"
sleep 1
wine "$out/end_task.exe" quorval.exe >/dev/null || fail "no stand-in to end"
ended 0 30
record_has "cause: kill: ended from outside, exit code 1"

echo "   a planned end that lingers: ended after 15 s, not started again"
guarded linger
since=$(date +%s)
ended 207 40  # 0xCF, the guard's code for a terminal it ends
took=$(( $(date +%s) - since ))
[ "$(starts)" = 1 ] && [ "$took" -ge 14 ] || fail "the lingering stand-in ended after $took s: $(notes)"
[ -z "$(terminal_pids)" ] || fail "the lingering stand-in still runs"
[ -z "$(records)" ] || fail "a planned end was recorded: $(records)"
log_has "guard: terminal ended, planned: stand-in lingers$"

echo "   a crash loop: five restarts, then the staff are told and the guard ends"
guarded "exit 3"
ended 1 60
[ "$(notes | grep -c 'pipe=yes')" = 6 ] || fail "starts: $(notes)"
notes | tail -1 | grep -q "pipe=no branch=- restarts-stopped$" || fail "the staff were not told: $(notes)"
[ "$(records | wc -l)" = 6 ] || fail "records: $(records)"
log_has "6 unplanned ends within 10 minutes: no further restart, the staff are told$"

echo "-- the real terminal under its guard"
start_zentrale "$out/zentrale" build
printf '%s' "$version" >"$out/zentrale/update/filial.ini"
rm -rf "$home"
wine "$win/quorvalis-setup-$version.exe" /S "/HOST=$host" /TIMEOUT=10 /FL=1
[ -f "$home/quorval-guard.exe" ] || fail "quorval-guard.exe not installed"
printf '[start]\r\nlog=1\r\nID=DEMO01\r\nFL=1\r\n' >"$home/cl.ini"
start_terminal
wait_for 60 sh -c "[ -n \"\$(xdotool search --onlyvisible --name '^quorvalis - Tarvendels via SMS\$')\" ]" || fail "no band"
sleep 2
guards() { pgrep -fc '[q]uorval-guard[.]exe' || true; }
[ "$(guards)" = 1 ] && [ "$(terminal_pids | wc -l)" = 1 ] || fail "guards: $(guards), terminals: $(terminal_pids)"
log_has "terminal: start: .*, under its guard$"
guard_pid=$(pids_of quorval-guard.exe)
echo "   guard's Linux process (Wine's loader and the guard): $(grep -E '^(VmRSS|RssAnon)' "/proc/$guard_pid/status" | tr -s ' \t\n' ' ')"
echo "   terminal's: $(grep -E '^(VmRSS|RssAnon)' "/proc/$(terminal_pids)/status" | tr -s ' \t\n' ' ')"

# kill_terminal WHAT COMMAND...: ends the terminal so, then waits for a new one with its band and
# says how long that took.
kill_terminal() {
  local what=$1 before bands records_before since
  shift
  before=$(terminal_pids) bands=$(bands_shown) records_before=$(records | wc -l)
  since=$(date +%s.%N)
  "$@" >/dev/null 2>&1 || fail "$what: the command failed"
  # A new terminal that says it showed its band, and the band on the screen. (X may give the new
  # band the old one's window number.)
  back() {
    local now
    now=$(terminal_pids)
    [ -n "$now" ] && [ "$now" != "$before" ] && [ "$(bands_shown)" -gt "$bands" ] && [ -n "$(band_window)" ]
  }
  wait_for 90 back || fail "$what: no new terminal with its band: $(log | tail -3)"
  echo "   $what: band back after $(awk "BEGIN { printf \"%.1f\", $(date +%s.%N) - $since }") s"
  [ "$(records | wc -l)" -gt "$records_before" ] || fail "$what: no record"
  [ "$(guards)" = 1 ] || fail "$what: guards running: $(guards)"
}
# From here on a terminal started again reaches its band only by the branch its guard gives it.
printf '[start]\r\nlog=0\r\nFL=1\r\n' >"$home/cl.ini"
kill_terminal "ended as Windows's taskkill /F does (exit code 1)" wine "$out/end_task.exe" quorval.exe
record_has "cause: kill: ended from outside, exit code 1"
kill_terminal "a crash inside it" wine "$out/crash_inside.exe" quorval.exe
record_has "kind: crash"
newest_record | grep -q "^cause: crash: exception 0xc0000005 at " || fail "the crash's report: $(newest_record)"
newest_record | grep -q "^  [a-zA-Z0-9_.-]*+0x" || fail "no frames reported: $(newest_record)"
dump=$(newest_record | sed -n 's/^dump: //p')
[ -n "$dump" ] && [ "$(head -c 4 "$home/crashes/$dump")" = MDMP ] || fail "no minidump of the crash beside its record: $(newest_record)"
kill_terminal "wine taskkill /F /IM quorval.exe" wine taskkill /F /IM quorval.exe
kill_terminal "kill -9 of its Linux process" sh -c "kill -9 $(terminal_pids)"
log_has "guard: terminal ended unplanned: kill: ended from outside, exit code 1; record .*; restart 1 of 5 within 10 minutes$"
log_has "guard: terminal ended unplanned: crash: exception 0xc0000005 at .*; restart 2 of 5 within 10 minutes$"
log_has "restart 4 of 5 within 10 minutes$"
echo "   records: $(records | wc -l) in c:\\quorvalis\\crashes"
log | grep "guard:" | sed 's/^/     /'
shot band-after-kills

echo "-- stopped guard first, the terminal stays ended"
stop_terminals
sleep 3
[ -z "$(terminal_pids)" ] && [ "$(guards)" = 0 ] || fail "the terminal came back after the stop: $(terminal_pids)"
echo "guard passed"
