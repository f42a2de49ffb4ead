#!/usr/bin/env bash
# OpenSSL for 64-bit Windows from Debian's source, into the same cache as Qt: the headers Qt's
# OpenSSL backend is built against, and libcrypto-3-x64.dll and libssl-3-x64.dll, which that
# backend loads at run time and the installer ships. Debian's security fixes are ours to ship,
# so the source comes from bookworm-security as well, and a newer source version rebuilds it
# (the version is part of the stamp). Also the openssl command, for the tests under Wine. About
# 10 minutes on 2 cores.
set -euo pipefail
cd "$(dirname "$0")/.."
root=${QUORVALIS_WIN_CACHE:-/opt/quorvalis-win}
prefix=$root/openssl
opts=(mingw64 --cross-compile-prefix=x86_64-w64-mingw32- shared no-tests no-engine
      no-legacy no-ui-console)

apt=$root/apt-openssl
mkdir -p "$apt/parts" "$apt/lists/partial" "$apt/cache/archives/partial" "$root/src"
printf '%s\n' "deb-src http://deb.debian.org/debian bookworm main" \
  "deb-src http://deb.debian.org/debian-security bookworm-security main" >"$apt/sources.list"
aptopts=(-o "Dir::Etc::SourceList=$apt/sources.list" -o "Dir::Etc::SourceParts=$apt/parts"
         -o "Dir::State::Lists=$apt/lists" -o "Dir::Cache=$apt/cache")
# Offline, the cached lists still name a version; without any, there is nothing to build from.
apt-get "${aptopts[@]}" update -qq || echo "OpenSSL for Windows: no package lists fetched; using the cached ones"
# The newest source this machine can fetch; a newer one it cannot is named, not hidden.
versions=$(apt-cache "${aptopts[@]}" showsrc openssl | sed -n 's/^Version: //p' | sort -Vru)
[ -n "$versions" ] || { echo "OpenSSL for Windows: no source version known" >&2; exit 1; }
version= src=
for v in $versions; do
  upstream=${v#*:}; upstream=${upstream%%-*}
  if [ ! -d "$root/src/openssl-$upstream" ]; then
    (cd "$root/src" && apt-get "${aptopts[@]}" source -qq "openssl=$v" >/dev/null 2>&1) || {
      echo "OpenSSL for Windows: source $v could not be fetched; trying the next older one"
      continue
    }
  fi
  version=$v src=$root/src/openssl-$upstream
  break
done
[ -d "$src" ] || { echo "OpenSSL for Windows: no source could be fetched" >&2; exit 1; }
recipe=$( (echo "$version"; printf '%s\n' "${opts[@]}" openssl.exe) | sha256sum | cut -c1-16)
if [ "$(cat "$prefix/.stamp" 2>/dev/null)" = "$recipe" ]; then
  echo "OpenSSL for Windows: $prefix ($version, cached)"
  exit 0
fi
work=$root/build-openssl
rm -rf "$work" "$prefix" && mkdir -p "$work"
(cd "$work" && "$src/Configure" "${opts[@]}" --prefix="$prefix" --libdir=lib >/dev/null)
make -C "$work" -s -j "$(nproc)" build_libs build_programs >/dev/null 2>&1 || make -C "$work" build_libs build_programs
make -C "$work" -s install_dev >/dev/null
# The openssl command too: the TLS tests under Wine make their certificates with it.
cp "$work/apps/openssl.exe" "$prefix/bin/"
rm -rf "$work"
echo "$recipe" >"$prefix/.stamp"
echo "OpenSSL for Windows: $prefix ($version)"
