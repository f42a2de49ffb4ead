#!/usr/bin/env bash
# OpenSSL for 64-bit Windows from Debian's source, into the same cache as Qt: the headers Qt's
# OpenSSL backend is built against, and libcrypto-3-x64.dll and libssl-3-x64.dll, which that
# backend loads at run time and the installer ships. Debian's security fixes are ours to ship,
# so the source comes from the security suite as well, whenever the machine's apt sources offer
# it, and a newer source version rebuilds it (the version is part of the stamp). Also the openssl
# command, for the tests under Wine. About 4 minutes on 2 cores.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/lib.sh
root=${QUORVALIS_WIN_CACHE:-/opt/quorvalis-win}
prefix=$root/openssl
opts=(mingw64 --cross-compile-prefix=x86_64-w64-mingw32- shared no-tests no-engine
      no-legacy no-ui-console)

debian_sources "$root/apt-openssl"
# Offline, the cached lists still name a version; without any, there is nothing to build from.
apt-get "${aptopts[@]}" update -qq || echo "OpenSSL for Windows: no package lists fetched; using the cached ones"
# The newest source this machine can fetch; a newer one it cannot is named, not hidden.
src=$(newest_source "$root" openssl)
version=${src##*/}
recipe=$( (echo "$version"; printf '%s\n' "${opts[@]}" openssl.exe) | sha256sum | cut -c1-16)
if [ "$(cat "$prefix/.stamp" 2>/dev/null)" = "$recipe" ]; then
  echo "OpenSSL for Windows: $prefix ($version, cached)"
  exit 0
fi
work=$root/build-openssl
rm -rf "$work" "$prefix" && mkdir -p "$work"
# A failed step leaves no tree behind: a later run starts from the source again.
trap 'rm -rf "$work" "$prefix"' ERR
(cd "$work" && "$src/Configure" "${opts[@]}" --prefix="$prefix" --libdir=lib >/dev/null)
# One goal at a time: each of OpenSSL's goals runs its own "make depend" and build of the
# libraries, and two at once race over the same objects (hundreds of "multiple definition"s).
for goal in build_libs build_programs install_dev; do
  jobs=-j$(nproc); [ "$goal" = install_dev ] && jobs=-j1
  make -C "$work" -s "$jobs" "$goal" >"$work/$goal.log" 2>&1 || {
    echo "OpenSSL for Windows: make $goal failed:" >&2
    tail -30 "$work/$goal.log" >&2
    false
  }
done
# The openssl command too: the TLS tests under Wine make their certificates with it.
cp "$work/apps/openssl.exe" "$prefix/bin/"
trap - ERR
rm -rf "$work"
echo "$recipe" >"$prefix/.stamp"
echo "OpenSSL for Windows: $prefix ($version)"
