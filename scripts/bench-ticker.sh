#!/usr/bin/env bash
# CPU of the scrolling news strip (a step every 10 ms) beside the idle band, in the same run:
# the real terminal under Xvfb against the development central server, once with the demo
# branch's ticker on and once with it off. Counts the terminal's and the X server's CPU time.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${SECONDS_MEASURED:-20}
. scripts/lib.sh
bench_setup

# utime + stime of a process, in clock ticks.
cpu_ticks() { awk '{print $14 + $15}' "/proc/$1/stat"; }
hz=$(getconf CLK_TCK)

measure() {  # $1: rss.ini main on the server
  printf '[rss]\r\nmain=%s\r\nitems=3\r\nspeed=2\r\ndescription=0\r\n' "$1" >"$work/zentrale/DATA/demo/rss.ini"
  local home="$work/home$1"
  mkdir -p "$home"
  printf '[server]\r\nhost=%s\r\ntimeout=10\r\n' "$host" >"$home/install.ini"
  printf '[start]\r\nlog=1\r\nID=DEMO01\r\nFL=1\r\n' >"$home/cl.ini"
  QUORVALIS_HOME=$home build-bench/app/quorval >/dev/null 2>&1 &
  local guard=$!
  sleep 6  # log-in, the 2.5 s start delay, the first feed
  # The started process became the guard; the terminal is its child.
  local pid; pid=$(pgrep -P "$guard" -x quorval | head -1 || true)
  [ -n "$pid" ] || pid=$guard
  kill -0 "$pid"
  local t0 x0; t0=$(cpu_ticks "$pid"); x0=$(cpu_ticks "$xvfb")
  sleep "$seconds"
  local t1 x1; t1=$(cpu_ticks "$pid"); x1=$(cpu_ticks "$xvfb")
  kill "$guard"; wait "$guard" 2>/dev/null || true
  awk -v t=$((t1 - t0)) -v x=$((x1 - x0)) -v hz="$hz" -v s="$seconds" -v what="$2" \
    'BEGIN { printf "%-26s terminal %5.1f %% of a core, X server %5.1f %%\n", what, 100*t/hz/s, 100*x/hz/s }'
}

echo "CPU over ${seconds} s each (1366x768 Xvfb, Release):"
measure 0 "idle band (ticker off)"
measure 1 "band with scrolling strip"
