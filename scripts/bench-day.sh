#!/usr/bin/env bash
# CPU of a running day at the counter: the real terminal under Xvfb against the development
# central server, with the news strip scrolling (a step every 10 ms) and the club screen polling
# the card reader stand-in every second, measured from /proc over SECONDS_MEASURED (default 300)
# after the start has settled. Counts the terminal, its guard and the X server.
# QUORVAL=path measures another build of the terminal (its guard beside it);
# SHOTS=dir keeps a screenshot of the whole display at the start and at the end of the measurement.
# Then the floor: a bare Qt window whose 10 ms timer does nothing (FLOOR_SECONDS, at most 120),
# and under it a thread that does nothing but wake every 10 ms.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${SECONDS_MEASURED:-300}
terminal=${QUORVAL:-build-bench/app/quorval}
. scripts/lib.sh
bench_setup

# utime + stime of a process, in clock ticks.
cpu_ticks() { awk '{print $14 + $15}' "/proc/$1/stat"; }
hz=$(getconf CLK_TCK)

printf '[rss]\r\nmain=1\r\nitems=3\r\nspeed=2\r\ndescription=0\r\n' >"$work/zentrale/DATA/demo/rss.ini"
home=$work/home
mkdir -p "$home"
printf '[server]\r\nhost=%s\r\ntimeout=10\r\n' "$host" >"$home/install.ini"
printf '[start]\r\nlog=1\r\nID=DEMO01\r\nFL=1\r\nclub=1\r\n' >"$home/cl.ini"
cp build-bench/tools/cardsim/libSCard32.so "$home/"
QUORVALIS_HOME=$home "$terminal" >"$work/terminal.out" 2>&1 &
guard=$!
pids+=($guard)
sleep 8  # log-in, the 2.5 s start delay, the club screen and the first feed
# The started process became the guard; the terminal is its child (none without a guard beside it).
band=$(pgrep -P "$guard" -x "$(basename "$terminal")" | head -1 || true)
[ -n "$band" ] || { band=$guard; guard=""; }
kill -0 "$band"
# The club screen has the band's title and its own height (5500 twips).
club=""
for w in $(xdotool search --onlyvisible --name '^quorvalis - Tarvendels via SMS$' 2>/dev/null); do
  xdotool getwindowgeometry "$w" 2>/dev/null | grep -q 'Geometry: [0-9]*x366' && club=$w
done
strip=$(xdotool search --onlyvisible --name '^quorvalis - News$' 2>/dev/null | head -1 || true)
[ -n "${SHOTS:-}" ] && mkdir -p "$SHOTS" && import -window root "$SHOTS/start.png"
t0=$(cpu_ticks "$band"); x0=$(cpu_ticks "$xvfb"); g0=${guard:+$(cpu_ticks "$guard")}
sleep "$seconds"
t1=$(cpu_ticks "$band"); x1=$(cpu_ticks "$xvfb"); g1=${guard:+$(cpu_ticks "$guard")}
[ -n "${SHOTS:-}" ] && import -window root "$SHOTS/end.png"
rss=$(awk '/VmRSS/ {print $2}' "/proc/$band/status")
kill "${guard:-$band}"

echo "CPU over $seconds s of $terminal (1366x768 Xvfb, Release), ticker $([ -n "$strip" ] && echo on || echo NOT SHOWN)," \
  "club screen $([ -n "$club" ] && echo polling || echo NOT SHOWN):"
pct() { awk -v t="$1" -v hz="$hz" -v s="$seconds" 'BEGIN { printf "%.2f", 100 * t / hz / s }'; }
echo "terminal   $(pct $((t1 - t0))) % of one core (RSS at the end $rss KiB)"
[ -n "$guard" ] && echo "guard      $(pct $((g1 - g0))) %"
echo "X server   $(pct $((x1 - x0))) %"
# The floor: a bare Qt window whose 10 ms timer does nothing, its wake-ups alone.
floor_seconds=${FLOOR_SECONDS:-$(( seconds < 120 ? seconds : 120 ))}
build-bench/bench/bare_window 10 >/dev/null 2>&1 &
bare=$!
sleep 3
b0=$(cpu_ticks "$bare"); y0=$(cpu_ticks "$xvfb")
sleep "$floor_seconds"
b1=$(cpu_ticks "$bare"); y1=$(cpu_ticks "$xvfb")
kill "$bare"
pctof() { awk -v t="$1" -v hz="$hz" -v s="$2" 'BEGIN { printf "%.2f", 100 * t / hz / s }'; }
echo "floor: a bare Qt window with an empty 10 ms timer, over $floor_seconds s: $(pctof $((b1 - b0)) "$floor_seconds") %," \
  "X server $(pctof $((y1 - y0)) "$floor_seconds") %"
# Below that: a thread that only wakes every 10 ms, without Qt or a window (the machine's own cost).
echo "floor without Qt: a thread waking every 10 ms, over $floor_seconds s: $(build-bench/bench/wake_floor "$floor_seconds") %"
echo "load average at the end (2 cores shared): $(cut -d' ' -f1-3 /proc/loadavg)"
