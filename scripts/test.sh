#!/usr/bin/env bash
# Builds everything twice (normal, and with AddressSanitizer + UndefinedBehaviorSanitizer) and
# runs the whole suite in both builds.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/setup-printers.sh

export QT_QPA_PLATFORM=offscreen
jobs=$(nproc)

echo "== normal build"
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$jobs"
ctest --test-dir build --output-on-failure -j "$jobs"

echo "== sanitizer build"
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DQUORVALIS_SANITIZE=ON \
  -DQUORVALIS_BENCH=OFF >/dev/null
cmake --build build-asan -j "$jobs"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
LSAN_OPTIONS=suppressions=$PWD/scripts/lsan.supp:print_suppressions=0 \
UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --test-dir build-asan --output-on-failure -j "$jobs"

echo "== fuzz targets, a few seconds each"
scripts/fuzz.sh 3

echo "== kill -9 at random moments of the write paths"
scripts/crash-test.sh 30
