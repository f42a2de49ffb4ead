# Sourced: a Wine prefix of the Windows build's own, deterministic (no install dialogs, no
# debug noise), with the Qt and MinGW run-time libraries on its PATH and Arial mapped to
# Liberation Sans, Arial's metrics, as fontconfig does on Linux. Needs $win (the build folder)
# and $qt (Qt for Windows).
export WINEPREFIX=$PWD/$win/wineprefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
export WINEARCH=win64
declare -F wine_bits >/dev/null || . scripts/lib.sh
wine_bits "$PWD/$win"
# Made before WINEPATH is set: with it, wineboot leaves a prefix that cannot load kernel32.
if [ ! -f "$WINEPREFIX/.ready" ]; then
  rm -rf "$WINEPREFIX"
  wineboot -i >/dev/null 2>&1
  wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v Arial /t REG_SZ /d 'Liberation Sans' /f >/dev/null 2>&1
  wineserver -w
  touch "$WINEPREFIX/.ready"
fi

# Wine's drive Z: is the Unix root.
winpath() { local p=${1//\//\\}; echo "Z:$p"; }
gcc_dlls=$(dirname "$(x86_64-w64-mingw32-g++-posix -print-libgcc-file-name)")
export WINEPATH="$(winpath "$qt/bin");$(winpath "$(dirname "$qt")/openssl/bin");$(winpath "$gcc_dlls");$(winpath /usr/x86_64-w64-mingw32/lib);$(winpath "$libs/bin")"
