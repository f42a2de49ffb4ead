#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (AddressSanitizer + UndefinedBehaviorSanitizer) and
# runs each for SECONDS (default 60) from its seed corpus. Prints the executions per target;
# exits non-zero on any crash, sanitizer report or timeout (the input is kept in build-fuzz/).
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
scripts/install-deps.sh
for p in clang-14 libclang-rt-14-dev; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' ||
    { export DEBIAN_FRONTEND=noninteractive; apt-get update -qq; apt-get install -y -qq clang-14 libclang-rt-14-dev; break; }
done
cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++-14 \
  -DQUORVALIS_FUZZ=ON -DQUORVALIS_TESTS=OFF -DQUORVALIS_BENCH=OFF >/dev/null
cmake --build build-fuzz -j "$(nproc)" --target fuzz_all

export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export LSAN_OPTIONS=suppressions=$PWD/scripts/lsan.supp:print_suppressions=0
failed=0
printf '%-22s %14s %10s\n' target executions exec/s
for target in build-fuzz/tests/fuzz/fuzz_*; do
  [ -f "$target" ] && [ -x "$target" ] || continue
  name=$(basename "$target")
  work=build-fuzz/corpus/$name
  mkdir -p "$work"
  log=build-fuzz/$name.log
  # The seeds stay as they are; what the fuzzer finds goes to the build folder.
  if "$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
      -artifact_prefix=build-fuzz/"$name"- "$work" "tests/fuzz/corpus/${name#fuzz_}" >"$log" 2>&1; then
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
    rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log")
    printf '%-22s %14s %10s\n' "$name" "$runs" "$rate"
  else
    failed=1
    printf '%-22s %14s\n' "$name" "FAILED"
    grep -E 'ERROR|SUMMARY|Test unit written' "$log" | head -5
  fi
done
exit $failed
