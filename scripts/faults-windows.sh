#!/usr/bin/env bash
# The installer's faults: each tests/faults/*.patch that changes only packaging/ is written into
# a copy of the installer script, built into installers of their own (versions F207 and F208),
# and must make the Windows journeys fail. Needs the Windows build scripts/windows.sh made.
#   scripts/faults-windows.sh [PATCH...]
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD win=build-win
cache=${QUORVALIS_WIN_CACHE:-/opt/quorvalis-win}
qt=$cache/qt-6.4.2 libs=$cache/libs
[ -f $win/stage/quorval.exe ] && [ -f $win/uninstall-files.nsh ] || { echo "run scripts/windows.sh first" >&2; exit 2; }
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
  copy=$(mktemp -d)
  cp -r packaging "$copy/"
  patch -s -p1 -d "$copy" <"$p"
  for v in F207 F208; do
    makensis -V2 -DVERSION="$v" -DSTAGE="$root/$win/stage" -DUNINSTALL_LIST="$root/$win/uninstall-files.nsh" -DSTAGE_LIST="$root/$win/stage-files.nsh" \
      -DOUTFILE="$root/$win/quorvalis-setup-$v.exe" "$copy/packaging/quorvalis.nsi" >/dev/null
  done
  log=$win/$name.log
  if QUORVALIS_NSI=$copy/packaging/quorvalis.nsi tests/windows/installer.sh $win >"$log" 2>&1 &&
     tests/windows/update.sh $win F207 F208 >>"$log" 2>&1 && tests/windows/journey.sh $win F207 >>"$log" 2>&1; then
    echo "$name: MISSED"; missed=1
  else
    echo "$name: caught: $(grep -m1 '^FAILED' "$log")"
  fi
  rm -rf "$copy"
done
rm -f $win/quorvalis-setup-F207.exe $win/quorvalis-setup-F208.exe
exit $missed
