#!/usr/bin/env bash
# Writes a program's resource script from version.rc.in, as CMake does for the terminal and its
# guard: the reader helper is built outside CMake.
#   packaging/windows/resource.sh NAME DESCRIPTION RELEASE OUT
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
name=$1 description=$2 release=$3 out=$4
number=$((10#${release##*[!0-9]}))
sed -e "s|@RC_ICON@|$here/quorvalis.ico|; s|@RC_MANIFEST@|$here/quorvalis.manifest|" \
    -e "s|@RC_NUMBER@|0,$number,0,0|g; s|@RC_RELEASE@|$release|g" \
    -e "s|@RC_NAME@|$name|g; s|@RC_DESCRIPTION@|$description|" "$here/version.rc.in" >"$out"
