#!/usr/bin/env bash
# The installer's faults: each tests/faults/*.patch that changes only packaging/ is written into
# a copy of the installer script, built into installers of their own (versions F207 and F208),
# and the Windows journeys run against them: a fault passes only when exactly the journeys its
# first line names fail ("# caught by: installer.sh, update.sh"); identity.sh builds its signed
# installer from the copy's packaging/, stage included. Needs the Windows build
# scripts/windows.sh made.
#   scripts/faults-windows.sh [PATCH...]
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD win=build-win
cache=${QUORVALIS_WIN_CACHE:-/opt/quorvalis-win}
qt=$cache/qt-6.4.2 libs=$cache/libs
if [ ! -f $win/stage/quorval.exe ] || [ ! -f $win/uninstall-files.nsh ]; then
  echo "faults-windows: no Windows build here; run scripts/windows.sh first" >&2
  exit 2
fi
. scripts/lib.sh
pids=()
trap 'for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done; wineserver -k 2>/dev/null || true' EXIT
start_xvfb "$root/$win"
start_wine

patches=("$@")
[ ${#patches[@]} -gt 0 ] || patches=(tests/faults/*.patch)
missed=0
for p in "${patches[@]}"; do
  installer_fault "$p" || continue  # a fault of the program: scripts/faults.sh
  name=$(basename "$p" .patch)
  expected=$(caught_by "$p")
  [ -n "$expected" ] || { echo "$name: FAILED: its first line names no catching journey"; missed=1; continue; }
  copy=$(mktemp -d)
  cp -r packaging "$copy/"
  if ! patch -s -p1 -d "$copy" <"$p" >/dev/null 2>&1; then
    echo "$name: FAILED: the patch does not apply to the installer as it is"; missed=1; rm -rf "$copy"; continue
  fi
  echo "$name: building its installers and running the journeys"
  for v in F207 F208; do
    makensis -V2 -DVERSION="$v" -DVERSION_NUMBER="0.${v#F}.0.0" -DSTAGE="$root/$win/stage" -DUNINSTALL_LIST="$root/$win/uninstall-files.nsh" \
      -DSTAGE_LIST="$root/$win/stage-files.nsh" -DOUTFILE="$root/$win/quorvalis-setup-$v.exe" \
      "$copy/packaging/quorvalis.nsi" >/dev/null
  done
  log=$win/$name.log
  failed=()
  QUORVALIS_NSI=$copy/packaging/quorvalis.nsi tests/windows/installer.sh $win >"$log" 2>&1 || failed+=(installer.sh)
  tests/windows/update.sh $win F207 F208 >>"$log" 2>&1 || failed+=(update.sh)
  tests/windows/journey.sh $win F207 >>"$log" 2>&1 || failed+=(journey.sh)
  QUORVALIS_PACKAGING=$copy/packaging tests/windows/identity.sh $win F207 $win/win32 >>"$log" 2>&1 || failed+=(identity.sh)
  judge "$name" "$expected" "$(printf '%s\n' "${failed[@]}")" || missed=1
  grep '^FAILED' "$log" | sed 's/^/    /' || true
  rm -rf "$copy"
done
rm -f $win/quorvalis-setup-F207.exe $win/quorvalis-setup-F208.exe
[ $missed = 0 ] && echo "faults-windows: every fault caught by the journeys it names" || echo "faults-windows: some faults were not caught as named"
exit $missed
