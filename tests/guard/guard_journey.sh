#!/usr/bin/env bash
# The real terminal and its guard on Linux, under Xvfb against zentrale, driven with xdotool:
# a crash, a kill, an abort and a hang each bring the band back in a new process; ends at each
# step of a redemption (gdb stops the terminal there and kills it) leave one receipt and one log
# line for each coupon the server deleted and none for the others; the quit button, SIGTERM, a
# second start bring nothing back, a program replaced on disk starts anew under the same guard; the sixth crash within ten minutes
# ends it with the message. Prints the time from each end to the band.
#   tests/guard/guard_journey.sh BUILD [OUT]
set -euo pipefail
build=$(realpath "${1:-build}")
out=$(realpath -m "${2:-$build/guard-journey}")
cd "$(dirname "$0")/../.."
. scripts/lib.sh
rm -rf "$out" && mkdir -p "$out"
pids=()
guard=
trap 'for p in $guard "${pids[@]}"; do kill "$p" 2>/dev/null || true; done' EXIT
fail() { echo "FAILED: $*"; import -window root "$out/failed.png" 2>/dev/null || true; echo "screen: $out/failed.png"; exit 1; }
wait_for() { local s=$1; shift; for _ in $(seq $((s * 10))); do "$@" >/dev/null 2>&1 && return 0; sleep 0.1; done; return 1; }
click() { xdotool mousemove "$1" "$2" click 1; sleep 0.4; }
type_line() { xdotool type --delay 40 "$1"; xdotool key Return; sleep 0.3; }
shot() { import -window root "$out/$1.png"; }
now_ms() { date +%s%3N; }

start_xvfb "$out"
unset QT_QPA_PLATFORM
start_zentrale "$out/zentrale" "$build"
db=$out/zentrale/zentrale.sqlite
export QUORVALIS_HOME=$out/home
home=$QUORVALIS_HOME
mkdir -p "$home"
hang=8
printf '[server]\r\nhost=%s\r\ntimeout=10\r\n[guard]\r\nhang=%s\r\n' "$host" "$hang" >"$home/install.ini"
printf '[start]\r\nlog=1\r\nID=DEMO01\r\nFL=1\r\n' >"$home/cl.ini"
pdfs=$(getent passwd "$(id -un)" | cut -d: -f6)/PDF
lpstat -p Standard >/dev/null 2>&1 || fail "no printer Standard: run scripts/setup-printers.sh"

start_guarded() {
  "$build/app/quorval" >>"$out/terminal.out" 2>&1 &
  guard=$!
}
# The guard's terminal (not the message it shows when it gives up).
terminal() {
  local p
  for p in $(pgrep -P "$guard" -x quorval); do grep -qa -- --restarts-stopped "/proc/$p/cmdline" || echo "$p"; done
  return 0
}
# The band of that process is on the screen.
band_of() { [ -n "$1" ] && xdotool search --onlyvisible --pid "$1" --name '^quorvalis - Tarvendels via SMS$' >/dev/null; }
new_band() { local p; p=$(terminal); [ -n "$p" ] && [ "$p" != "$1" ] && band_of "$p"; }
# end_and_back SIGNAL WHAT: the terminal ended from outside; its successor's band within LIMIT s.
end_and_back() {
  local signal=$1 what=$2 limit=${3:-5} old t0 t1
  old=$(terminal)
  t0=$(now_ms)
  kill "-$signal" "$old"
  wait_for $((limit + 5)) new_band "$old" || fail "$what: no band again"
  t1=$(now_ms)
  echo "  $what: the band again after $(((t1 - t0)))ms (new process $(terminal))"
  [ $((t1 - t0)) -le $((limit * 1000)) ] || fail "$what: the band took longer than ${limit}s"
}
# This journey's terminals only: other tests run the program beside it.
ours() {
  local p
  for p in $(pgrep -x quorval); do tr '\0' '\n' <"/proc/$p/environ" 2>/dev/null | grep -qxF "QUORVALIS_HOME=$home" && echo "$p"; done
  return 0
}
records() { ls "$home/crashes"/*.txt 2>/dev/null | wc -l; }
guard_gone() { ! kill -0 "$guard" 2>/dev/null; }

echo "-- restarts"
start_guarded
wait_for 20 sh -c "xdotool search --onlyvisible --name '^quorvalis - Tarvendels via SMS\$'" || fail "no band"
sleep 3  # the start sequence
shot band
end_and_back SEGV "SIGSEGV"
end_and_back KILL "SIGKILL"
end_and_back ABRT "SIGABRT"
end_and_back STOP "SIGSTOP (hung, limit ${hang}s)" $((hang + 5))
[ "$(records)" = 4 ] || fail "records: $(ls "$home/crashes")"
grep -l "kind: hang" "$home/crashes"/*.txt >/dev/null || fail "no hang record"
grep -q "frames:" "$home/crashes"/*.txt && grep -qE '^  quorval\+0x[0-9a-f]+' "$home/crashes"/*.txt || fail "no frames in the records"
echo "  a second start ends at once and leaves this one"
before=$(terminal)
"$build/app/quorval" >>"$out/terminal.out" 2>&1 || fail "the second start failed"
sleep 1
[ "$(terminal)" = "$before" ] || fail "the second start replaced the terminal"
echo "  SIGTERM (logoff, shutdown): nothing comes back"
kill -TERM "$(terminal)"
wait_for 10 guard_gone || fail "the guard stayed after SIGTERM"
sleep 2
[ -z "$(ours)" ] || fail "a terminal came back after SIGTERM"

echo "-- ends at each step of a redemption"
# gdb stops the terminal at each step; a machine that forbids attaching (ptrace) cannot show it.
sleep 30 & probe=$!
if gdb -q -p "$probe" -batch -ex detach >"$out/gdb-probe.log" 2>&1 && ! grep -q "not permitted" "$out/gdb-probe.log"; then
  can_attach=1
else
  can_attach=0
  echo "  SKIPPED: gdb cannot attach here ($(grep -m1 -i ptrace "$out/gdb-probe.log" || echo "see $out/gdb-probe.log")); InterruptedRedemptionTest covers each step in process"
fi
kill "$probe" 2>/dev/null || true
[ "$can_attach" = 1 ] && {
for code in 2001 2002 2003 2004; do
  sqlite3 "$db" "INSERT INTO coupons(branch, number, code, valid_until, text, value, created, branch_filter, redeemed, redeemed_alt)
                 VALUES('DEMO-SEED','00491711234567','$code','31.12.2099','Probe','5','01.12.2026','','-','')"
done
start_guarded
wait_for 20 sh -c "xdotool search --onlyvisible --name '^quorvalis - Tarvendels via SMS\$'" || fail "no band"
sleep 4
redeem_until() {  # CODE GDB-COMMANDS...: the coupon redeemed, the terminal killed where gdb stops it
  local code=$1 old
  shift
  old=$(terminal)
  gdb -q -p "$old" -batch -ex 'set pagination off' "$@" -ex kill >"$out/gdb-$code.log" 2>&1 &
  wait_for 30 grep -q "^Breakpoint 1 at" "$out/gdb-$code.log" || fail "gdb did not attach: $(cat "$out/gdb-$code.log")"
  sleep 1
  click 813 658  # "Gutschein einlösen"
  sleep 2
  for value in 0171 1234567 "$code"; do type_line "$value"; done
  click 264 384  # "Gutschein suchen"
  sleep 2
  shot "coupon-$code"
  click 212 623  # "Gutschein jetzt einlösen"
  wait_for 20 new_band "$old" || fail "$code: the terminal did not come back"
  sleep 5  # the start sequence finishes what was interrupted
}
touch "$out/begin"
# This run's receipts only: ~/PDF keeps the jobs of every run before.
receipts_of() { find "$pdfs" -maxdepth 1 -name "quorvalis_Quittung_$1*.pdf" -newer "$out/begin" 2>/dev/null | wc -l; }
lines_of() { grep -c ";$1;" "$home/coupons.ini" 2>/dev/null || true; }
redeemed_on_server() { sqlite3 "$db" "select redeemed from coupons where code = '$1'" | grep -qv '^-$'; }
# before the deletion is sent: the journal's first write done
redeem_until 2001 -ex 'break quorvalis::journalRedemption' -ex continue -ex finish
# after the confirmation: the journal's second write begins
redeem_until 2002 -ex 'break quorvalis::journalRedemption' -ex 'ignore 1 1' -ex continue
# after the receipt
redeem_until 2003 -ex 'break quorvalis::PrintReceipt' -ex continue -ex finish
# after the log line
redeem_until 2004 -ex 'break quorvalis::CouponScreen::LogRedemption' -ex continue -ex finish
sleep 5  # cups-pdf writes the last jobs
for row in "2001 0" "2002 1" "2003 1" "2004 1"; do
  set -- $row
  deleted=0; redeemed_on_server "$1" && deleted=1
  echo "  coupon $1: deleted on the server $deleted, log lines $(lines_of "$1"), receipts $(receipts_of "$1")"
  [ "$deleted" = "$2" ] && [ "$(lines_of "$1")" = "$2" ] && [ "$(receipts_of "$1")" = "$2" ] || fail "coupon $1"
done
[ ! -e "$home/redemptions.journal" ] || fail "the journal stayed: $(cat "$home/redemptions.journal")"
f=$(find "$pdfs" -maxdepth 1 -name "quorvalis_Quittung_2002*.pdf" -newer "$out/begin" | head -1)
pdftotext "$f" - | grep -q "Nachdruck nach Neustart des Terminals" || fail "the receipt printed after the restart lacks its note"
pdftoppm -r 80 -png -singlefile "$f" "$out/receipt-after-restart"
}

echo "-- the quit button: nothing comes back"
printf '[server]\r\nhost=127.0.0.1:9\r\ntimeout=2\r\n' >"$home/install.ini"  # no server: the band shows its quit button
[ -z "$(terminal)" ] || { kill -TERM "$(terminal)"; wait_for 10 guard_gone; }
start_guarded
wait_for 20 sh -c "xdotool search --onlyvisible --name '^quorvalis - Tarvendels via SMS\$'" || fail "no band"
sleep 8
shot band-no-server
click 1349 612  # "X" at the band's right edge
wait_for 10 guard_gone || fail "the guard stayed after the quit button"
sleep 2
[ -z "$(ours)" ] || fail "a terminal came back after the quit button"

echo "-- the program replaced on disk (as apt does): the terminal starts anew under the same guard"
printf '[server]\r\nhost=%s\r\ntimeout=10\r\n' "$host" >"$home/install.ini"
# The server's Windows installer is never fetched on Linux.
printf 'F999' >"$out/zentrale/update/filial.ini"
printf '#!/bin/sh\ntouch "%s/update-ran"\n' "$out" >"$out/zentrale/update/F999.exe"
prog=$out/prog
mkdir -p "$prog"
cp "$build/app/quorval" "$build/app/quorval-guard" "$prog/"
"$prog/quorval" >>"$out/terminal.out" 2>&1 &
guard=$!
wait_for 20 sh -c "xdotool search --onlyvisible --name '^quorvalis - Tarvendels via SMS\$'" || fail "no band"
before=$(terminal)
cp "$build/app/quorval" "$prog/quorval.new" && mv "$prog/quorval.new" "$prog/quorval"
t0=$(now_ms)
wait_for 60 new_band "$before" || fail "no new terminal with its band after the program was replaced"
echo "  replaced program: the band again after $(($(now_ms) - t0))ms, the same guard $guard, new terminal $(terminal)"
kill -0 "$guard" || fail "the guard ended"
[ ! -e "$out/update-ran" ] && ! grep -q "F999.exe" "$out/zentrale/requests.log" || fail "the Windows program was fetched"
grep -q "planned: to start anew, the package manager replaced the program" "$home/quorval.log" || fail "not a planned end"
kill "$guard"
wait_for 10 guard_gone || fail "the guard stayed after SIGTERM"
rm "$out/zentrale/update/filial.ini"

echo "-- a crash loop: the sixth crash within ten minutes is not restarted"
rm -rf "$home/crashes"
start_guarded
wait_for 20 sh -c "xdotool search --onlyvisible --name '^quorvalis - Tarvendels via SMS\$'" || fail "no band"
for i in 1 2 3 4 5; do end_and_back SEGV "crash $i"; done
kill -SEGV "$(terminal)"
wait_for 10 sh -c "xdotool search --onlyvisible --name '^Fehler\$'" || fail "no message after the sixth crash"
sleep 1
shot crash-loop-message
[ -z "$(terminal)" ] || fail "restarted after the sixth crash"
xdotool key Return
wait_for 10 guard_gone || fail "the guard stayed after the message"
grep -q "no further restart" "$home/quorval.log" || fail "the log does not say it gave up"

echo "-- the log: the events, no personal value"
events=("band shown" "terminal ended unplanned: crash: signal 11" "kill: signal 9" "hang: no sign of life"
        "planned: signal 15" "planned: the band's quit button" "planned: to start anew, the package manager replaced the program")
[ "$can_attach" = 1 ] && events+=("an interrupted redemption was finished" "an interrupted redemption was dropped")
for event in "${events[@]}"; do
  grep -qF "$event" "$home/quorval.log" || fail "the log lacks: $event"
done
for secret in 1234567 00491711234567 0171 2001 2002 2003 2004 "Anna" "Muster"; do
  ! grep -qwF "$secret" "$home/quorval.log" "$home"/crashes/*.txt || fail "the log holds '$secret'"
done
cp "$home/quorval.log" "$out/"
echo "  log: $(wc -l <"$home/quorval.log") lines, $out/quorval.log; screens in $out"
