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
cleanup() { for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done; }
trap cleanup EXIT

# The central server, on a free loopback port.
build/tools/zentrale/zentrale --data "$demo/zentrale" --port 0 --seed-demo >"$demo/zentrale.out" 2>&1 &
pids+=($!)
for _ in $(seq 50); do grep -q listening "$demo/zentrale.out" && break; sleep 0.1; done
host=$(sed -n 's#.*http://\(.*\)$#\1#p' "$demo/zentrale.out")
[ -n "$host" ] || { cat "$demo/zentrale.out"; exit 1; }

# The installation: server address, reader library, remembered demo branch.
printf '[server]\r\nhost=%s\r\ntimeout=10\r\n' "$host" >"$QUORVALIS_HOME/install.ini"
cp build/tools/cardsim/libSCard32.so "$QUORVALIS_HOME/"
[ -f "$QUORVALIS_HOME/cl.ini" ] || printf '[start]\r\nlog=1\r\nID=DEMO01\r\nFL=1\r\nclub=1\r\n' >"$QUORVALIS_HOME/cl.ini"

if [ -z "${DISPLAY:-}" ]; then
  # Xvfb names its display once it accepts connections; a socket file alone comes too early.
  rm -f "$demo/xvfb.display"
  Xvfb -displayfd 3 -screen 0 1366x768x24 -nolisten tcp 3>"$demo/xvfb.display" >/dev/null 2>&1 &
  pids+=($!)
  for _ in $(seq 100); do [ -s "$demo/xvfb.display" ] && break; sleep 0.1; done
  [ -s "$demo/xvfb.display" ] || { echo "Xvfb did not start"; exit 1; }
  export DISPLAY=:$(tr -d '[:space:]' <"$demo/xvfb.display")
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
