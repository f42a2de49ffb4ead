#!/usr/bin/env bash
# The terminal for the branch PCs: cross-compiles it for 64-bit Windows with MinGW-w64 and the
# Qt that windows-qt.sh builds once, runs the suite under Wine, drives the real quorval.exe under
# Wine and Xvfb against the development central server, and builds and tests the installer
# build-win/quorvalis-setup-<version>.exe. The first run builds Qt (about 20 minutes on
# 2 cores); later runs take about ten minutes.
set -euo pipefail
# Never ends without a word: a failing step names itself.
trap 'echo "windows.sh: stopped by a failure at line $LINENO: $BASH_COMMAND" >&2' ERR
cd "$(dirname "$0")/.."
root=$PWD
scripts/install-deps.sh windows
scripts/setup-printers.sh
scripts/windows-openssl.sh
scripts/windows-qt.sh
scripts/windows-libs.sh
cache=${QUORVALIS_WIN_CACHE:-/opt/quorvalis-win}
qt=$cache/qt-6.4.2
libs=$cache/libs
version=${QUORVALIS_RELEASE:-$(cat RELEASE)}
# Reproducible: the commit's time stands for every time stamp the build would take.
export SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct 2>/dev/null || stat -c %Y RELEASE)}
win=build-win
jobs=$(nproc)
# QUORVALIS_WIN_INSTALLER_ONLY=1: the shipped programs and the installer, no tests
# (scripts/windows-reproducible.sh builds so twice).
only=${QUORVALIS_WIN_INSTALLER_ONLY:-0}

if [ "$only" = 0 ]; then
  echo "== Linux tools for the journeys (zentrale)"
  cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  cmake --build build -j "$jobs" --target zentrale cardsim quorval-sign
fi

. scripts/lib.sh
mkdir -p $win
wine_bits "$root/$win"
echo "== 32-bit reader helper, and a 32-bit __stdcall driver stand-in for the tests"
# The installer always ships the 32-bit helper (the maker's driver is 32-bit). A machine that
# runs no 32-bit programs tests the helper's protocol with a 64-bit build of both instead.
w32=$win/win32
helper_pair() {  # COMPILER DIR
  # Reproducible as the terminal: no build path, no link time stamp.
  local cxx=("$1" -std=c++20 -O2 -Wall -Wextra -Werror -static "-ffile-prefix-map=$root=." -Wl,--no-insert-timestamp)
  local target; target=$("$1" -dumpmachine)
  mkdir -p "$2"
  packaging/windows/resource.sh quorval-card "quorvalis Filialterminal: Kartenleser-Helfer für den 32-Bit-Treiber" "$version" "$2/quorval-card.rc"
  "${target}-windres" -c 65001 "$2/quorval-card.rc" -O coff -o "$2/quorval-card.res"
  "${cxx[@]}" -Isrc app/quorval_card.cpp "$2/quorval-card.res" -o "$2/quorval-card.exe"
  # Exported undecorated, as the maker's driver is.
  "${cxx[@]}" -shared -Wl,--kill-at tools/cardsim/scard_sim.cpp tools/cardsim/card_file.cpp -o "$2/SCard32.dll"
  # A driver that needs a DLL no PC has.
  "${1%g++-posix}dlltool" -d tests/windows/gone.def -l "$2/libgone.a"
  "${1%++-posix}cc-posix" -O2 -shared -Wl,--kill-at tests/windows/driver_needs_missing.c "$2/libgone.a" -o "$2/SCard32-needs-missing.dll"
}
helper_pair i686-w64-mingw32-g++-posix $w32
helpers=$w32
if [ "$runs32" = 0 ]; then
  echo "  this machine runs no 32-bit programs (Wine's 32-bit loader: Exec format error): Wine runs as"
  echo "  64-bit only; the helper and its driver are tested as a 64-bit pair, the maker's 32-bit"
  echo "  __stdcall driver through the 32-bit helper is left out"
  helpers=$win/helper64
  helper_pair x86_64-w64-mingw32-g++-posix $helpers
else
  echo "  this machine runs 32-bit programs: the 32-bit helper and its 32-bit driver run as 32-bit"
fi
echo "  \"wine\" is the 64-bit loader ($(command -v wine)): its taskkill and reg see the 64-bit terminal"
export QUORVALIS_HELPERS=$root/$helpers

echo "== Windows build"
cmake -S . -B $win -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUORVALIS_RELEASE="$version" \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" \
  -DQUORVALIS_WIN_PREFIX="$qt;$libs;$cache/openssl" -DCMAKE_PREFIX_PATH="$qt;$libs" \
  -DOPENSSL_ROOT_DIR="$cache/openssl" \
  -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
  -DCMAKE_CROSSCOMPILING_EMULATOR="$root/scripts/wine-run.sh" \
  -DQUORVALIS_WIN32_DIR="$root/$helpers" -DQUORVALIS_BENCH=$([ "$only" = 1 ] && echo OFF || echo ON) \
  -DQUORVALIS_TESTS=$([ "$only" = 1 ] && echo OFF || echo ON) >/dev/null
if [ "$only" = 1 ]; then
  cmake --build $win -j "$jobs" --target quorval quorval-guard
  packaging/stage.sh "$win" "$qt" "$win/stage" "$w32" "$version"
  makensis -V2 -DVERSION="$version" -DVERSION_NUMBER="0.$((10#${version##*[!0-9]})).0.0" -DSTAGE="$root/$win/stage" \
    -DUNINSTALL_LIST="$root/$win/uninstall-files.nsh" -DSTAGE_LIST="$root/$win/stage-files.nsh" \
    -DOUTFILE="$root/$win/quorvalis-setup-$version.exe" packaging/quorvalis.nsi
  exit 0
fi
cmake --build $win -j "$jobs"

pids=()
trap 'for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done; wineserver -k 2>/dev/null || true' EXIT
start_xvfb "$root/$win"
start_wine
# Tests run offscreen, where Qt on Windows takes its fonts from a folder: Arial's stand-in.
mkdir -p $win/fonts && cp /usr/share/fonts/truetype/liberation/LiberationSans-*.ttf $win/fonts/
export QT_QPA_FONTDIR=$(winpath "$root/$win/fonts")

echo "== the suite under Wine"
# Left out on Windows, each with the reason.
excluded=(
  "RedemptionE2E.CouponIsDeletedPrintedAndLogged|reads the receipt PDF with pdftotext, a Linux program; the journey below does it from outside Wine"
  "TerminalStartTest.RealExecutableReachesTheBandAndRunsOnce|ends the started process to end the terminal; on Windows that is the terminal itself, which its guard (beside it in the build) starts again: tests/windows/guard.sh drives the guarded terminal"
)
pattern=$(printf '%s\n' "${excluded[@]}" | cut -d'|' -f1 | paste -sd'|')
printf '  left out: %s\n' "${excluded[@]}"
export QUORVALIS_PDF_DIR="$(winpath "$(getent passwd "$(id -un)" | cut -d: -f6)/PDF")/"
ctest --test-dir $win --output-on-failure -j "$jobs" -E "^($pattern)\$"

echo "== the installer"
stage=$win/stage
packaging/stage.sh "$win" "$qt" "$stage" "$w32" "$version"
# This version, and a next one for the self-update journey.
next=${version%%[0-9]*}$(( ${version##*[!0-9]} + 1 ))
for v in "$version" "$next"; do
  makensis -V2 -DVERSION="$v" -DVERSION_NUMBER="0.$((10#${v##*[!0-9]})).0.0" -DSTAGE="$root/$stage" -DUNINSTALL_LIST="$root/$win/uninstall-files.nsh" -DSTAGE_LIST="$root/$win/stage-files.nsh" \
    -DOUTFILE="$root/$win/quorvalis-setup-$v.exe" packaging/quorvalis.nsi
done
ls -l "$win/quorvalis-setup-$version.exe"

echo "== what the programs and the installer say of themselves; signed; licences, Apps entry, folder access"
tests/windows/identity.sh "$win" "$version" "$w32"
echo "== the installer changes all or nothing (stand-ins for the terminal and its helper)"
tests/windows/installer.sh "$win"
echo "== the real terminal under Wine"
tests/windows/journey.sh "$win" "$version"
echo "== the self-update under Wine"
tests/windows/update.sh "$win" "$version" "$next"
echo "== the guard under Wine: crashes, a hang, kills; the terminal back each time"
tests/windows/guard.sh "$win" "$version"

echo "== Windows itself under Wine: keyboard, Run key, watchdog, topmost; without and with a window manager"
tests/windows/desktop.sh "$win" "$version"
tests/windows/desktop.sh "$win" "$version" wm
echo "== scaled screens: 125 % and 150 %"
tests/windows/scaled.sh "$win" "$version" 120
tests/windows/scaled.sh "$win" "$version" 144

echo "== kill safety on Windows: the writer ended by TerminateProcess at random moments"
wineserver -k 2>/dev/null || true
scripts/crash-test.sh "${QUORVALIS_WIN_KILLS:-30}" windows
start_wine

# After a fresh Wine server: nothing of the journeys before runs beside it.
echo "== the cost of a day under Wine: start beside a bare Qt window, CPU with the strip and the club screen"
tests/windows/cost.sh "$win" "$version"

echo "== the club screen's status poll: driver in process beside the 32-bit driver through its helper"
card=$(mktemp) && build/tools/cardsim/cardsim --file "$card" club 00491711234567
wine $win/bench/bench_card_poll.exe $win/tools/cardsim/SCard32.dll $helpers/quorval-card.exe $helpers/SCard32.dll "$(winpath "$card")"
rm -f "$card"
echo "Windows build, suite, installer and journey passed: $win/quorvalis-setup-$version.exe"
