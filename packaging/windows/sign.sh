#!/usr/bin/env bash
# Signs a Windows program in place (Authenticode, SHA-256) with the head office's certificate:
# QUORVALIS_SIGN_PFX (PKCS#12 file), QUORVALIS_SIGN_PASS (its password), and optionally
# QUORVALIS_SIGN_TIMESTAMP (an RFC 3161 time stamp server's URL).
#   packaging/windows/sign.sh FILE
set -euo pipefail
file=$1
: "${QUORVALIS_SIGN_PFX:?no certificate (QUORVALIS_SIGN_PFX)}"
# The password from a file of its own, never on a command line others can read.
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
pass=$work/pass signed=$work/signed
(umask 077 && printf '%s' "${QUORVALIS_SIGN_PASS:-}" >"$pass")
args=(sign -pkcs12 "$QUORVALIS_SIGN_PFX" -readpass "$pass" -h sha256 -n quorvalis)
[ -z "${QUORVALIS_SIGN_TIMESTAMP:-}" ] || args+=(-ts "$QUORVALIS_SIGN_TIMESTAMP")
osslsigncode "${args[@]}" -in "$file" -out "$signed" >/dev/null
cat "$signed" >"$file"  # in place: the file keeps its name, folder and rights
