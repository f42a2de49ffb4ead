#!/usr/bin/env bash
# The libraries the development tools and the tests need for 64-bit Windows, into the same
# cache as Qt: SQLite (amalgamation made from Debian's source, and its shell, which the tests
# query the central server's database with), libsodium (update signatures), GoogleTest from
# Debian's source, cpp-httplib's
# header (Debian's own is split from a library built for Linux). About a minute; skipped when
# the stamp is there.
set -euo pipefail
cd "$(dirname "$0")/.."
root=${QUORVALIS_WIN_CACHE:-/opt/quorvalis-win}
prefix=$root/libs
recipe=$( (sed -n '/^# recipe$/,$p' "$0"; cat cmake/mingw-w64-x86_64.cmake) | sha256sum | cut -c1-16)
if [ "$(cat "$prefix/.stamp" 2>/dev/null)" = "$recipe" ]; then
  echo "Windows libraries: $prefix (cached)"
  exit 0
fi
# recipe
rm -rf "$prefix"
mkdir -p "$prefix/include" "$prefix/lib" "$prefix/bin" "$root/src"

# Debian's sources through the machine's own apt configuration (see debian_sources).
. scripts/lib.sh
debian_sources "$root/apt"
[ -n "$(ls "$root/apt/lists" | grep -i sources)" ] || apt-get "${aptopts[@]}" update -qq
src=$(newest_source "$root" cpp-httplib)
cp "$src/httplib.h" "$prefix/include/"
src=$(newest_source "$root" sqlite3)
# The amalgamation and the shell's source are made by the host's tclsh.
work=$root/build-sqlite
rm -rf "$work" && mkdir -p "$work"
(cd "$work" && "$src/configure" >/dev/null && make -s sqlite3.c >/dev/null && make -s shell.c >/dev/null)
cc=x86_64-w64-mingw32-gcc-posix
$cc -O2 -c "$work/sqlite3.c" -o "$work/sqlite3.o" -DSQLITE_THREADSAFE=1
x86_64-w64-mingw32-ar rcs "$prefix/lib/libsqlite3.a" "$work/sqlite3.o"
$cc -O2 "$work/shell.c" "$work/sqlite3.o" -o "$prefix/bin/sqlite3.exe" -static
cp "$work/sqlite3.h" "$prefix/include/"
rm -rf "$work"

src=$(newest_source "$root" libsodium)
# Debian's source has no generated configure.
[ -x "$src/configure" ] || (cd "$src" && autoreconf -fi >/dev/null 2>&1)
work=$root/build-sodium
rm -rf "$work" && mkdir -p "$work"
(cd "$work" && CC=x86_64-w64-mingw32-gcc-posix "$src/configure" --host=x86_64-w64-mingw32 \
   --prefix="$prefix" --disable-shared --enable-static >/dev/null && make -s -j "$(nproc)" install >/dev/null)
rm -rf "$work"

cmake -S /usr/src/googletest -B "$root/build-gtest" -G Ninja \
  -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/mingw-w64-x86_64.cmake" -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_INSTALL_PREFIX="$prefix" -Dgtest_disable_pthreads=OFF >/dev/null
cmake --build "$root/build-gtest" >/dev/null
cmake --install "$root/build-gtest" >/dev/null
rm -rf "$root/build-gtest"
echo "$recipe" >"$prefix/.stamp"
echo "Windows libraries: $prefix"
