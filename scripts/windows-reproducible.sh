#!/usr/bin/env bash
# Two builds of this commit, each cloned into a folder of its own (different paths, different
# times), give byte-identical Windows programs and installer: prints their SHA-256 side by side
# and fails on any difference. Uses the Qt cache of scripts/windows.sh (built once there).
#   scripts/windows-reproducible.sh [WORK]
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
work=${1:-$(mktemp -d)}
commit=$(git rev-parse HEAD)
version=$(git show "$commit:RELEASE")
[ -z "$(git status --porcelain --untracked-files=no)" ] || echo "note: uncommitted changes are not in the builds; commit $commit is"
files=(stage/quorval.exe stage/quorval-guard.exe stage/quorval-card.exe "quorvalis-setup-$version.exe")
for dir in one a-second-folder; do
  rm -rf "${work:?}/$dir"
  git clone -q "$root" "$work/$dir"
  git -C "$work/$dir" checkout -q "$commit"
  echo "== build in $work/$dir"
  (cd "$work/$dir" && QUORVALIS_WIN_INSTALLER_ONLY=1 scripts/windows.sh >"$work/$dir.log" 2>&1) ||
    { tail -20 "$work/$dir.log"; echo "the build in $work/$dir failed"; exit 1; }
  sleep 2  # the second build runs at another second, whatever it takes
done
differ=0
for f in "${files[@]}"; do
  a=$(sha256sum <"$work/one/build-win/$f" | cut -d' ' -f1)
  b=$(sha256sum <"$work/a-second-folder/build-win/$f" | cut -d' ' -f1)
  printf '%-32s %s\n%-32s %s %s\n' "$(basename "$f")" "$a" "" "$b" "$([ "$a" = "$b" ] && echo equal || echo DIFFERENT)"
  [ "$a" = "$b" ] || differ=1
done
[ "$differ" = 0 ] || { echo "FAILED: the two builds differ"; exit 1; }
echo "reproducible: commit $commit, release $version"
