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

# The central server, on a free loopback port; with DEMO_TLS=1 over HTTPS with a throw-away
# authority, which the installation names as the one it trusts.
. scripts/lib.sh
tls=()
if [ -n "${DEMO_TLS:-}" ]; then
  ca=$demo/tls
  mkdir -p "$ca"
  openssl req -x509 -newkey rsa:2048 -nodes -keyout "$ca/ca.key" -out "$ca/ca.pem" -days 30 -subj "/CN=Demo CA" 2>/dev/null
  openssl req -newkey rsa:2048 -nodes -keyout "$ca/zentrale.key" -out "$ca/zentrale.csr" -subj "/CN=localhost" 2>/dev/null
  printf 'subjectAltName=DNS:localhost,IP:127.0.0.1\n' >"$ca/san"
  openssl x509 -req -in "$ca/zentrale.csr" -CA "$ca/ca.pem" -CAkey "$ca/ca.key" -CAcreateserial \
    -out "$ca/zentrale.pem" -days 30 -extfile "$ca/san" 2>/dev/null
  cp "$ca/ca.pem" "$QUORVALIS_HOME/office-ca.pem"
  tls=(--tls "$ca/zentrale.pem" "$ca/zentrale.key")
fi
start_zentrale "$demo/zentrale" build "${tls[@]}"

# The installation: server address, reader library, remembered demo branch. With
# DEMO_READER=pcsc no reader library: the card sits in the virtual reader of a PC/SC service.
printf '[server]\r\nhost=%s\r\ntimeout=10\r\n%b' "$host" "${tls:+ca=office-ca.pem\r\n}" >"$QUORVALIS_HOME/install.ini"
if [ "${DEMO_READER:-}" = pcsc ]; then
  rm -f "$QUORVALIS_HOME/libSCard32.so"
  start_pcsc "$demo/pcsc" build
else
  cp build/tools/cardsim/libSCard32.so "$QUORVALIS_HOME/"
fi
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
