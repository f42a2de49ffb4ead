#!/usr/bin/env bash
# Installs the Debian 12 packages the terminal, its tools and its tests need (idempotent).
# With "windows": also what the Windows build, its tests under Wine and the installer need.
set -euo pipefail

packages=(
  g++ cmake ninja-build pkg-config dpkg-dev
  help2man lintian desktop-file-utils
  qt6-base-dev qt6-qpa-plugins qt6-translations-l10n
  libcpp-httplib-dev libsqlite3-dev sqlite3 libsodium-dev
  libx11-dev libxtst-dev libxdamage-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  fonts-liberation
  xvfb xauth imagemagick xdotool
  cups cups-client printer-driver-cups-pdf poppler-utils
  curl ccache openssl
  # The signed apt repository for the branches (packaging/apt-repo.sh): apt-ftparchive, gpg;
  # sqv verifies apt's signatures after Debian 12 (apt 2.6 still uses gpgv).
  apt-utils gnupg sqv
  libpcsclite-dev pcscd vsmartcard-vpcd
  # pcsc-tools: its list of cards seen in the field, for the reader's answer-to-reset table test.
  pcsc-tools
  gdb
)
if [ "${1:-}" = windows ]; then
  # wine32 (the reader's 32-bit driver) needs the i386 architecture.
  dpkg --print-foreign-architectures | grep -qx i386 || dpkg --add-architecture i386
  packages+=(g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix wine wine64 wine32 nsis tcl
             dpkg-dev xdotool imagemagick poppler-utils openbox curl autoconf automake libtool
             osslsigncode python3-pefile qt6-translations-l10n)
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  # With the recommended packages, as the machines the suite was proven on have them.
  apt-get install -y -qq "${missing[@]}"
fi
