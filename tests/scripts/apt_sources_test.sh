#!/usr/bin/env bash
# The Windows build fetches Debian's source packages through the machine's own apt sources
# (debian_sources in scripts/lib.sh): each row is a machine's configuration, read by apt itself
# (update --print-uris, nothing fetched), and the source indexes it must lead to.
set -euo pipefail
cd "$(dirname "$0")/../.."
. scripts/lib.sh
c=$(. /etc/os-release && echo "${VERSION_CODENAME:-bookworm}")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failed=0 passed=0

# row NAME EXPECTED FILE=TEXT...: EXPECTED is the source indexes, one a line, or "refused".
row() {
  local name=$1 expected=$2 etc=$work/$1 got
  shift 2
  mkdir -p "$etc/sources.list.d"
  for f in "$@"; do printf '%s\n' "${f#*=}" >"$etc/${f%%=*}"; done
  if APT_ETC=$etc debian_sources "$work/$name.apt" 2>"$work/$name.err"; then
    got=$(apt-get "${aptopts[@]}" update --print-uris | sed -n "s#^'\(.*\)/source/Sources\.[a-z0-9]*'.*#\1#p" | sort)
  else
    got=refused
    grep -q "no Debian $c source configured" "$work/$name.err" || got="refused without a word"
  fi
  if [ "$got" = "$(sort <<<"$expected")" ]; then
    passed=$((passed + 1))
  else
    failed=$((failed + 1))
    printf '%s: FAILED\n  expected:\n%s\n  got:\n%s\n' "$name" "$expected" "$got"
  fi
}

row one-line-mirror "http://mirror.local/debian/dists/$c/main
http://mirror.local/debian/dists/$c/contrib
http://mirror.local/debian-security/dists/$c-security/main" \
  "sources.list=deb [arch=amd64 signed-by=/usr/share/keyrings/debian-archive-keyring.gpg] http://mirror.local/debian $c main contrib
# deb http://commented.out/debian $c main
deb-src http://src.only/debian $c main
  deb http://mirror.local/debian-security $c-security main
deb http://mirror.local/debian $c-backports main" \
  "sources.list.d/node.list=deb [ arch=amd64 ] https://nodes.example/node_20.x nodistro main"

row deb822-proxy "http://proxy.local:3142/debian/dists/$c/main
http://proxy.local:3142/debian/dists/$c-updates/main
http://proxy.local:3142/debian-security/dists/$c-security/main
http://proxy.local:3142/debian-security/dists/$c-security/non-free-firmware" \
  "sources.list.d/debian.sources=# the office's proxy
Types: deb deb-src
URIs: http://proxy.local:3142/debian
Suites: $c $c-updates $c-backports
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg

types: deb
uris: http://proxy.local:3142/debian-security
suites: $c-security
components: main non-free-firmware

Types: deb
URIs: http://switched.off/debian
Suites: $c
Components: main
Enabled: no

Types: deb
URIs: https://nodes.example/node_20.x
Suites: nodistro
Components: main"

# A key written into the stanza spans lines of its own; it stays the stanza's.
row deb822-inline-key "http://mirror.local/debian/dists/$c/main" \
  "sources.list.d/debian.sources=Types: deb
URIs: http://mirror.local/debian
Suites: $c
Components: main
Signed-By:
 -----BEGIN PGP PUBLIC KEY BLOCK-----
 .
 mDMEZ0000000000000000000000000000000000000000000000000
 -----END PGP PUBLIC KEY BLOCK-----"

row no-debian-source refused "sources.list.d/node.list=deb https://nodes.example/node_20.x nodistro main"

echo "$passed passed, $failed failed"
[ "$failed" = 0 ]
