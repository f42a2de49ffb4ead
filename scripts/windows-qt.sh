#!/usr/bin/env bash
# Cross-compiles Qt 6.4.2 (Debian's qtbase source, the host Qt's version) for 64-bit Windows
# into a cache outside the tree. Skips the work when the cache carries this recipe's stamp.
# About 27 minutes on 2 cores the first time; 90 MB installed. Needs windows-openssl.sh first.
set -euo pipefail
cd "$(dirname "$0")/.."
root=${QUORVALIS_WIN_CACHE:-/opt/quorvalis-win}
prefix=$root/qt-6.4.2
# The recipe: what decides the result. Its hash is the stamp, so other edits of this script
# do not rebuild Qt.
qtopts=(
  -DCMAKE_BUILD_TYPE=Release
  -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake
  -DQT_QMAKE_TARGET_MKSPEC=win32-g++
  -DQT_BUILD_TESTS=OFF -DQT_BUILD_EXAMPLES=OFF -DBUILD_SHARED_LIBS=ON
  -DFEATURE_sql=OFF -DFEATURE_dbus=OFF -DFEATURE_opengl=OFF -DFEATURE_vulkan=OFF
  -DFEATURE_icu=OFF -DFEATURE_pkg_config=OFF -DFEATURE_concurrent=OFF
  # TLS through OpenSSL, loaded at run time from the DLLs windows-openssl.sh builds: the same
  # trust rules as the Linux build (Wine's Schannel cannot complete Qt's handshake, so Schannel
  # could not be shown to keep them). Schannel's plugin is built too but not shipped.
  -DINPUT_openssl=runtime -DOPENSSL_ROOT_DIR=$root/openssl
  -DFEATURE_system_zlib=OFF -DFEATURE_system_png=OFF -DFEATURE_system_jpeg=OFF
  -DFEATURE_system_freetype=OFF -DFEATURE_system_harfbuzz=OFF -DFEATURE_system_pcre2=OFF
  -DFEATURE_system_doubleconversion=OFF
  # The Debian tarball lacks the Wintab header; with OpenGL off the dynamic-GL path still builds.
  -DFEATURE_tabletevent=OFF -DFEATURE_dynamicgl=OFF
)
# Debian's source package through a private apt configuration made from the machine's own
# sources (their security suite included); the machine's sources stay as they are. The newest
# 6.4.2 source decides, and its version is in the stamp: a security fix rebuilds Qt.
. scripts/lib.sh
debian_sources "$root/apt"
apt-get "${aptopts[@]}" update -qq || echo "Qt for Windows: no package lists fetched; using the cached ones"
src=$(newest_source "$root" qt6-base 6.4.2)
version=${src##*/}
recipe=$( (echo "$version"; printf '%s\n' "${qtopts[@]}"; cat cmake/mingw-w64-x86_64.cmake) | sha256sum | cut -c1-16)
if [ "$(cat "$prefix/.stamp" 2>/dev/null)" = "$recipe" ]; then
  echo "Qt for Windows: $prefix ($version, cached)"
  exit 0
fi

build=$root/build-qt
rm -rf "$build" "$prefix"
# A failed step leaves no tree behind: a later run builds again from the source.
trap 'rm -rf "$build" "$prefix"' ERR
cmake -S "$src" -B "$build" -G Ninja \
  -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/mingw-w64-x86_64.cmake" -DCMAKE_INSTALL_PREFIX="$prefix" \
  "${qtopts[@]}"
cmake --build "$build" -j "$(nproc)"
cmake --install "$build"
trap - ERR
echo "$recipe" >"$prefix/.stamp"
rm -rf "$build"
echo "Qt for Windows: $prefix ($version)"
