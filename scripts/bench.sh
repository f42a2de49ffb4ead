#!/usr/bin/env bash
# Builds optimised and runs the benchmarks.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUORVALIS_TESTS=OFF >/dev/null
cmake --build build-bench -j "$(nproc)"
build-bench/bench/bench_settings
build-bench/bench/bench_server
build-bench/bench/bench_download
build-bench/bench/bench_club
build-bench/bench/bench_report
card=$(mktemp) && build-bench/tools/cardsim/cardsim --file "$card" club 00491711234567
# The same card in the virtual reader of a PC/SC service of the benchmark's own.
. scripts/lib.sh
pcsc=$(mktemp -d) pids=()
trap 'for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done; rm -rf "$pcsc" "$card"' EXIT
start_pcsc "$pcsc" build-bench "$card"
build-bench/bench/bench_card_poll build-bench/tools/cardsim/libSCard32.so build-bench/app/quorval-card \
  build-bench/tools/cardsim/libSCard32.so "$card"
