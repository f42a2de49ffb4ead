#!/usr/bin/env bash
# Writes each fault of tests/faults/*.patch into a private copy of the working tree, builds it and
# runs the suite: a fault passes only when exactly the tests its first line names fail
# ("# caught by: Suite.Test, Suite.Test"); other failures are reported beside them. The copy
# lives outside the tree, so the working tree and its build folders are never touched. Faults of
# the installer (patches of packaging/ only) are for scripts/faults-windows.sh.
#   scripts/faults.sh [--list] [PATCH...]   (default: every patch in tests/faults)
#   --list: only say which tests each fault makes fail (for writing a new fault's first line)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
. scripts/lib.sh
list=0
[ "${1:-}" = --list ] && { list=1; shift; }
work=${QUORVALIS_FAULTS_DIR:-/tmp/quorvalis-faults}
echo "faults: a private copy of the tree in $work"
scripts/install-deps.sh
mkdir -p "$work/src" "$work/build"
# Only files whose contents changed are copied, so the build stays incremental; each copy is newer
# than anything built before (a copy keeping an older time would not be rebuilt). Files gone from
# the tree go from the copy too (a stale header there would shadow the one the tree now has).
files=$(git ls-files -co --exclude-standard)
while IFS= read -r f; do
  [ -f "$f" ] || continue
  cmp -s "$f" "$work/src/$f" || { mkdir -p "$work/src/$(dirname "$f")"; cp "$f" "$work/src/$f"; }
done <<<"$files"
# grep finds nothing on a first run, which is no failure.
(cd "$work/src" && find . -type f -printf '%P\n') | { grep -vxFf <(printf '%s\n' "$files") || true; } |
  while IFS= read -r gone; do rm -f "$work/src/$gone"; done
ln -sfn "$(cd "$root/.." && pwd)/shared" "$work/shared"

export QT_QPA_PLATFORM=offscreen
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
echo "faults: building the copy as it is and running the suite once"
cmake -S "$work/src" -B "$work/build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DQUORVALIS_BENCH=OFF "${launcher[@]}" >/dev/null
cmake --build "$work/build" -j "$(nproc)" >"$work/build.log" 2>&1 || { echo "the copy does not build:" >&2; tail -20 "$work/build.log" >&2; exit 1; }
# The package tests build .deb files and check the packaging, not the program's rules (the
# upgrade journey's rules have e2e tests of their own); they are left out here.
ctest_args=(--test-dir "$work/build" -j "$(nproc)"
  -E '^(PackagedTerminalReachesTheBand|PackagesPassLintian|AptRepositoryUpdates|AptUpgradeRestartsTheTerminal)$')
ctest "${ctest_args[@]}" >"$work/clean.log" 2>&1 || { echo "the suite fails without any fault:" >&2; failed_tests "$work/clean.log" >&2; exit 1; }

patches=("$@")
[ ${#patches[@]} -gt 0 ] || patches=(tests/faults/*.patch)
missed=0
for p in "${patches[@]}"; do
  name=$(basename "$p" .patch)
  if installer_fault "$p"; then
    echo "$name: a fault of the installer, for scripts/faults-windows.sh"; continue
  fi
  expected=$(caught_by "$p")
  if [ -z "$expected" ] && [ $list = 0 ]; then
    echo "$name: FAILED: its first line names no catching tests (# caught by: Suite.Test, ...)"; missed=1; continue
  fi
  if ! patch -s -p1 --dry-run -d "$work/src" <"$root/$p" >/dev/null 2>&1; then
    echo "$name: FAILED: the patch does not apply to the program as it is"; missed=1; continue
  fi
  patch -s -p1 -d "$work/src" <"$root/$p"
  log="$work/$name.log"
  if ! cmake --build "$work/build" -j "$(nproc)" >"$log" 2>&1; then
    echo "$name: FAILED: does not build (see $log)"; missed=1
  else
    ctest "${ctest_args[@]}" --output-on-failure >"$log" 2>&1 || true
    failed=$(failed_tests "$log")
    if [ $list = 1 ]; then
      echo "$name: fails $(echo $failed | tr ' ' ',' | sed 's/,/, /g')"
    else
      judge "$name" "$expected" "$failed" || missed=1
    fi
  fi
  patch -s -R -p1 -d "$work/src" <"$root/$p"
done
cmake --build "$work/build" -j "$(nproc)" >/dev/null
[ $missed = 0 ] && echo "faults: every fault caught by the tests it names" || echo "faults: some faults were not caught as named"
exit $missed
