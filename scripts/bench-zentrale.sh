#!/usr/bin/env bash
# Load on the development central server with a million guests: duplicate checks and coupon
# look-ups through wrk on loopback (2 threads, 16 connections, 10 s each), beside a plain file
# from the same server as the floor.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
command -v wrk >/dev/null || { apt-get update -qq; apt-get install -y -qq wrk >/dev/null; }
cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUORVALIS_TESTS=OFF >/dev/null
cmake --build build-bench -j "$(nproc)" --target zentrale >/dev/null
guests=${GUESTS:-1000000}
work=$(mktemp -d)
pids=()
trap 'for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done; rm -rf "$work"' EXIT
build-bench/tools/zentrale/zentrale --data "$work/z" --port 0 --seed-demo --seed-guests "$guests" >"$work/out" 2>&1 &
pids+=($!)
for _ in $(seq 1200); do grep -q listening "$work/out" && break; sleep 0.1; done
host=$(sed -n 's#.*http://\(.*\)$#\1#p' "$work/out")
[ -n "$host" ] || { cat "$work/out"; exit 1; }
n=$((1000000 + guests / 2))
printf '%-36s %10s %9s %9s\n' "request ($guests guests)" "req/s" "median" "p99"
run() {
  wrk -t2 -c16 -d10s --latency "http://$host$2" >"$work/wrk" 2>&1
  printf '%-36s %10s %9s %9s\n' "$1" "$(awk '/Requests\/sec/ {print $2}' "$work/wrk")" \
    "$(awk '$1 == "50%" {print $2}' "$work/wrk")" "$(awk '$1 == "99%" {print $2}' "$work/wrk")"
}
run "file (floor)" "/quorvalis/update/filial.ini"
run "duplicate check search2.cgi" "/quorvalis/DATA/search2.cgi?DEMO01---0049172$n---Vorname$((n - 1000000))---Gast---01.01.1980"
run "coupon look-up searchc.cgi" "/quorvalis/DATA/searchc.cgi?DEMO01---0049172$n---$(printf '%04d' $(( (n - 1000000) % 10000 )))"
