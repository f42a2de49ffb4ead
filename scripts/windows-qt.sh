#!/usr/bin/env bash
# Cross-compiles Qt 6.4.2 (Debian's qtbase source, the host Qt's version) for 64-bit Windows
# into a cache outside the tree. Skips the work when the cache carries this recipe's stamp.
# About 20 minutes on 2 cores the first time; 90 MB installed. Needs windows-openssl.sh first.
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
recipe=$( (printf '%s\n' "${qtopts[@]}"; cat cmake/mingw-w64-x86_64.cmake) | sha256sum | cut -c1-16)
if [ "$(cat "$prefix/.stamp" 2>/dev/null)" = "$recipe" ]; then
  echo "Qt for Windows: $prefix (cached)"
  exit 0
fi

# Debian's source package through a private apt configuration: the machine's own sources stay
# as they are.
apt=$root/apt
mkdir -p "$apt/parts" "$apt/lists/partial" "$apt/cache/archives/partial" "$root/src"
echo "deb-src http://deb.debian.org/debian bookworm main" >"$apt/sources.list"
aptopts=(-o "Dir::Etc::SourceList=$apt/sources.list" -o "Dir::Etc::SourceParts=$apt/parts"
         -o "Dir::State::Lists=$apt/lists" -o "Dir::Cache=$apt/cache")
apt-get "${aptopts[@]}" update -qq
src=$(ls -d "$root"/src/qt6-base-6.4.2* 2>/dev/null | head -1 || true)
if [ -z "$src" ]; then
  (cd "$root/src" && apt-get "${aptopts[@]}" source -qq qt6-base)
  src=$(ls -d "$root"/src/qt6-base-6.4.2* | head -1)
fi

build=$root/build-qt
rm -rf "$build"
cmake -S "$src" -B "$build" -G Ninja \
  -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/mingw-w64-x86_64.cmake" -DCMAKE_INSTALL_PREFIX="$prefix" \
  "${qtopts[@]}"
cmake --build "$build" -j "$(nproc)"
cmake --install "$build"
echo "$recipe" >"$prefix/.stamp"
rm -rf "$build"
echo "Qt for Windows: $prefix"
