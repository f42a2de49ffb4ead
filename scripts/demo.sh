#!/usr/bin/env bash
# Builds everything and runs the terminal against the development central server with the demo
# branch. Without a display it runs under Xvfb and saves a screenshot.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
scripts/install-deps.sh
scripts/setup-printers.sh

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$(nproc)"

demo=${DEMO_DIR:-$root/demo}
export QUORVALIS_HOME=$demo/quorvalis
mkdir -p "$QUORVALIS_HOME" "$demo/zentrale"
pids=()
# The terminal first, the display it draws on last.
cleanup() { for ((i = ${#pids[@]} - 1; i >= 0; i--)); do kill "${pids[i]}" 2>/dev/null || true; done; }
trap cleanup EXIT

# The central server, on a free loopback port.
. scripts/lib.sh
start_zentrale "$demo/zentrale"

# The installation: server address, reader library, remembered demo branch.
printf '[server]\r\nhost=%s\r\ntimeout=10\r\n' "$host" >"$QUORVALIS_HOME/install.ini"
cp build/tools/cardsim/libSCard32.so "$QUORVALIS_HOME/"
[ -f "$QUORVALIS_HOME/cl.ini" ] || printf '[start]\r\nlog=1\r\nID=DEMO01\r\nFL=1\r\nclub=1\r\n' >"$QUORVALIS_HOME/cl.ini"

if [ -z "${DISPLAY:-}" ]; then
  start_xvfb "$demo"
  headless=1
fi

build/app/quorval &
quorval=$!
pids+=($quorval)
echo "Terminal running against http://$host (program folder $QUORVALIS_HOME)."
echo "Card reader: QUORVALIS_HOME=$QUORVALIS_HOME build/tools/cardsim/cardsim club 00491711234567"
echo "             (then: remove, blank, foreign, dump; see cardsim --help)"
if [ -n "${headless:-}" ]; then
  sleep "${DEMO_SETTLE:-6}"
  import -window root "$demo/screenshot.png"
  echo "Screenshot of the terminal: $demo/screenshot.png (display $DISPLAY)"
fi
if [ -n "${DEMO_SECONDS:-}" ]; then
  sleep "$DEMO_SECONDS"
else
  echo "Press Ctrl-C to stop."
  wait "$quorval" || true
fi
