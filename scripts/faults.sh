#!/usr/bin/env bash
# Writes each fault of tests/faults/*.patch into a private copy of the working tree, builds it and
# runs the suite: every fault must make at least one test fail. The copy lives outside the tree,
# so the working tree and its build folders are never touched.
#   scripts/faults.sh [PATCH...]     (default: every patch in tests/faults)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
. scripts/lib.sh
work=${QUORVALIS_FAULTS_DIR:-/tmp/quorvalis-faults}
mkdir -p "$work/src" "$work/build"
# Only files whose contents changed are copied, so the build stays incremental; files gone from
# the tree go from the copy too (a stale header there would shadow the one the tree now has).
files=$(git ls-files -co --exclude-standard)
while IFS= read -r f; do
  [ -f "$f" ] || continue
  cmp -s "$f" "$work/src/$f" || { mkdir -p "$work/src/$(dirname "$f")"; cp -p "$f" "$work/src/$f"; }
done <<<"$files"
# grep finds nothing on a first run, which is no failure.
(cd "$work/src" && find . -type f -printf '%P\n') | { grep -vxFf <(printf '%s\n' "$files") || true; } |
  while IFS= read -r gone; do rm -f "$work/src/$gone"; done
ln -sfn "$(cd "$root/.." && pwd)/shared" "$work/shared"

export QT_QPA_PLATFORM=offscreen
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
cmake -S "$work/src" -B "$work/build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DQUORVALIS_BENCH=OFF "${launcher[@]}" >/dev/null
cmake --build "$work/build" -j "$(nproc)" >/dev/null
# The package test builds .deb files and checks no rule; it is left out here.
ctest_args=(--test-dir "$work/build" -j "$(nproc)" -E PackagedTerminalReachesTheBand)
ctest "${ctest_args[@]}" >/dev/null || { echo "the suite fails without any fault" >&2; exit 1; }

patches=("$@")
[ ${#patches[@]} -gt 0 ] || patches=(tests/faults/*.patch)
missed=0
for p in "${patches[@]}"; do
  name=$(basename "$p" .patch)
  if installer_fault "$p"; then
    echo "$name: a fault of the installer, for scripts/faults-windows.sh"; continue
  fi
  patch -s -p1 -d "$work/src" <"$root/$p"
  if ! cmake --build "$work/build" -j "$(nproc)" >/dev/null 2>&1; then
    echo "$name: does not build"; missed=1
  else
    log="$work/$name.log"
    if ctest "${ctest_args[@]}" --output-on-failure >"$log" 2>&1; then
      echo "$name: MISSED"; missed=1
    else
      echo "$name: caught by $(grep -cE '^\s+[0-9]+ - ' "$log") tests, e.g." \
        "$(grep -E '^\s+[0-9]+ - ' "$log" | head -3 | sed -E 's/^\s+[0-9]+ - //; s/ \(.*//' | paste -sd, -)"
    fi
  fi
  patch -s -R -p1 -d "$work/src" <"$root/$p"
done
cmake --build "$work/build" -j "$(nproc)" >/dev/null
exit $missed
