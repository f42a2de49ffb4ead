#!/usr/bin/env bash
# Lays out what the installer carries: quorval.exe and beside it quorval-guard.exe, to which it
# hands every start, with the Qt and MinGW run-time libraries and only the plugins the terminal
# loads, OpenSSL's DLLs, Qt's German texts, and a qt.conf that makes the program folder Qt's prefix.
# Adds the licences of all it ships and their SPDX list, signs the programs when a certificate is
# given (packaging/windows/sign.sh), and writes the uninstaller's and the installer's file lists
# beside the stage. Files carry SOURCE_DATE_EPOCH as their time: the installer is reproducible.
#   packaging/stage.sh BUILD QT STAGE WIN32 RELEASE  (WIN32: the 32-bit reader helper's folder)
# Run from the project's folder.
set -euo pipefail
build=$1 qt=$2 stage=$3 w32=$4 release=$5
here=$(cd "$(dirname "$0")" && pwd)
epoch=${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct)}
commit=$(git rev-parse HEAD 2>/dev/null || echo unknown)
rm -rf "$stage"
mkdir -p "$stage/plugins/platforms" "$stage/plugins/styles" "$stage/plugins/tls" "$stage/translations"
cp "$build/app/quorval.exe" "$build/app/quorval-guard.exe" "$w32/quorval-card.exe" "$stage/"
for m in Core Gui Widgets Network PrintSupport Xml; do cp "$qt/bin/Qt6$m.dll" "$stage/"; done
gcc_dlls=$(dirname "$(x86_64-w64-mingw32-g++-posix -print-libgcc-file-name)")
cp "$gcc_dlls/libstdc++-6.dll" "$gcc_dlls/libgcc_s_seh-1.dll" /usr/x86_64-w64-mingw32/lib/libwinpthread-1.dll "$stage/"
cp "$qt/plugins/platforms/qwindows.dll" "$stage/plugins/platforms/"
cp "$qt/plugins/styles/qwindowsvistastyle.dll" "$stage/plugins/styles/"
# TLS through OpenSSL only: without its DLLs HTTPS fails rather than falling back to Schannel,
# whose trust rules could not be shown to be the same.
cp "$qt/plugins/tls/qopensslbackend.dll" "$stage/plugins/tls/"
cp "$(dirname "$qt")"/openssl/bin/libcrypto-3-x64.dll "$(dirname "$qt")"/openssl/bin/libssl-3-x64.dll "$stage/"
cp /usr/share/qt6/translations/qtbase_de.qm "$stage/translations/"
printf '[Paths]\r\nPrefix = .\r\nPlugins = plugins\r\nTranslations = translations\r\n' >"$stage/qt.conf"
x86_64-w64-mingw32-strip "$stage"/*.exe "$stage"/*.dll "$stage"/plugins/*/*.dll
python3 "$here/windows/pe_time.py" "$stage"/*.exe "$stage"/*.dll "$stage"/plugins/*/*.dll
if [ -n "${QUORVALIS_SIGN_PFX:-}" ]; then
  for program in quorval.exe quorval-guard.exe quorval-card.exe; do "$here/windows/sign.sh" "$stage/$program"; done
fi
python3 "$here/windows/licenses.py" "$stage" "$(dirname "$qt")" "$release" "$commit" "$epoch"
find "$stage" -exec touch -h -d "@$epoch" {} +

packaging/stage-lists.sh "$stage"
