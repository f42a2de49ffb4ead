#!/usr/bin/env bash
# Kills a process that writes through the terminal's real write paths (INI write, day file,
# configuration download, redemption and visit logs) with SIGKILL at random moments, N times
# (default 1000), and checks after every kill that no file is torn, cut or lost.
set -euo pipefail
cd "$(dirname "$0")/.."
n=${1:-1000}
scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$(nproc)" --target crashwriter >/dev/null
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
damaged=0
for i in $(seq "$n"); do
  build/tools/crashwriter/crashwriter run "$dir" >"$dir/out" 2>/dev/null &
  pid=$!
  sleep "0.$(printf '%03d' $((RANDOM % 60)))"
  kill -9 "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
  shown=$(sed -n 's/^shown //p' "$dir/out" | tail -n 1)
  if ! result=$(build/tools/crashwriter/crashwriter check "$dir" "${shown:-0}"); then
    damaged=$((damaged + 1))
    echo "kill $i: $result"
  fi
done
rounds=$(grep -c '' "$dir/coupons.ini" 2>/dev/null || echo 0)
echo "$n kills, $damaged damaged, $rounds redemptions logged in all"
[ "$damaged" -eq 0 ]
