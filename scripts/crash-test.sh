#!/usr/bin/env bash
# Kills a process that writes through the terminal's real write paths (INI write, day file,
# configuration download, redemption and visit logs) at random moments, N times (default 1000),
# and checks after every kill that no file is torn, cut or lost.
#   scripts/crash-test.sh [N]           Linux: SIGKILL
#   scripts/crash-test.sh N windows     the Windows writer under Wine (after scripts/windows.sh),
#                                       ended by TerminateProcess (taskkill /f); Windows replaces
#                                       files by other calls than Linux
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
n=${1:-1000} mode=${2:-linux}
scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$(nproc)" --target crashwriter >/dev/null
dir=$(mktemp -d)
pids=()
trap 'for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done; rm -rf "$dir"' EXIT
if [ "$mode" = windows ]; then
  win=build-win
  cache=${QUORVALIS_WIN_CACHE:-/opt/quorvalis-win}
  qt=$cache/qt-6.4.2 libs=$cache/libs
  [ -f $win/tools/crashwriter/crashwriter.exe ] || { echo "run scripts/windows.sh first" >&2; exit 2; }
  . scripts/lib.sh
  . scripts/wine-env.sh
  wineserver -p 2>/dev/null || true
  echo "crash test: the Windows writer under Wine, ended by TerminateProcess"
  start_writer() { wine $win/tools/crashwriter/crashwriter.exe run "$(winpath "$dir")" >"$dir/out" 2>/dev/null & }
  # Wine takes about half a second to start a program: the kills fall after that.
  pause() { sleep "$((1 + RANDOM % 2)).$(printf '%03d' $((RANDOM % 1000)))"; }
  end_writer() { wine taskkill /f /im crashwriter.exe >/dev/null 2>&1 || true; }
else
  echo "crash test: the Linux writer, ended by SIGKILL"
  start_writer() { build/tools/crashwriter/crashwriter run "$dir" >"$dir/out" 2>/dev/null & }
  pause() { sleep "0.$(printf '%03d' $((RANDOM % 60)))"; }
  end_writer() { kill -9 "$pid" 2>/dev/null || true; }
fi
damaged=0
for i in $(seq "$n"); do
  start_writer
  pid=$!
  pause
  end_writer
  wait "$pid" 2>/dev/null || true
  shown=$(sed -n 's/^shown //p' "$dir/out" | tr -d '\r' | tail -n 1)
  if ! result=$(build/tools/crashwriter/crashwriter check "$dir" "${shown:-0}"); then
    damaged=$((damaged + 1))
    echo "kill $i: $result"
  fi
done
rounds=$(grep -c '' "$dir/coupons.ini" 2>/dev/null || echo 0)
echo "$n kills, $damaged damaged, $rounds redemptions logged in all"
[ "$damaged" -eq 0 ]
