#!/usr/bin/env bash
# Lays out what the installer carries: quorval.exe and beside it quorval-guard.exe, to which it
# hands every start, with the Qt and MinGW run-time libraries and only the plugins the terminal
# loads, OpenSSL's DLLs, Qt's German texts, and a qt.conf that makes the program folder Qt's prefix.
# Writes the uninstaller's and the installer's file lists beside the stage.
#   packaging/stage.sh BUILD QT STAGE WIN32  (WIN32: the 32-bit reader helper's folder)
set -euo pipefail
build=$1 qt=$2 stage=$3 w32=$4
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

packaging/stage-lists.sh "$stage"
