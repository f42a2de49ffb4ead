#!/usr/bin/env bash
# The branches' updates through the head office's signed apt repository: packaging/apt-repo.sh
# publishes throw-away quorvalis packages, the development central server (from the build folder
# given; python3's http.server without it) serves them, and apt itself, in private roots that
# stand for branch PCs, installs 0.F107 and later upgrades it to 0.F108. A repository that is
# unsigned, signed by another key, whose index or package does not match what was signed, is
# refused and changes nothing. Runs as root or not; the machine's own apt configuration and
# dpkg database stay untouched (apt reads only the private configuration named by APT_CONFIG).
#   tests/package/apt_repo_test.sh BUILD      (exit 77: skipped, apt-utils or gnupg missing)
set -euo pipefail
build=${1:?build folder}
for tool in apt-ftparchive gpg gpgv; do
  command -v "$tool" >/dev/null || { echo "skipped: no $tool (scripts/install-deps.sh installs it)"; exit 77; }
done
src=$(cd "$(dirname "$0")/../.." && pwd)
. "$src/tests/package/branch_root.sh"
publish=$src/packaging/apt-repo.sh
arch=$(dpkg --print-architecture)
work=$(mktemp -d)
# As root apt downloads as the _apt user, who has to reach the branches' folders.
chmod 755 "$work"
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  for h in "$work"/office-key "$work"/other-key; do
    [ -d "$h" ] && gpgconf --homedir "$h" --kill all 2>/dev/null || true
  done
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAILED: $*"; exit 1; }

# package VERSION SAYS: a quorvalis package whose /usr/bin/quorval prints SAYS.
package() {
  local name=${2// /-}
  local dir=$work/src/$name
  mkdir -p "$dir/DEBIAN" "$dir/usr/bin" "$work/debs"
  printf 'Package: quorvalis\nVersion: %s\nArchitecture: %s\nMaintainer: quorvalis <support@quorvalis.invalid>\nDescription: throw-away terminal of the repository test\n' \
    "$1" "$arch" >"$dir/DEBIAN/control"
  printf '#!/bin/sh\necho %s\n' "$2" >"$dir/usr/bin/quorval"
  chmod 755 "$dir/usr/bin/quorval"
  dpkg-deb --root-owner-group -b "$dir" "$work/debs/$name.deb" >/dev/null
  echo "$work/debs/$name.deb"
}
f107=$(package 0.F107 F107)
f108=$(package 0.F108 F108)
forged=$(package 0.F108 forged F108)

# The head office's key, and someone else's.
"$publish" --new-key "$work/office-key" >/dev/null
"$publish" --new-key "$work/other-key" >/dev/null
other_id=$(gpg --batch --homedir "$work/other-key" --with-colons --list-secret-keys | awk -F: '$1 == "sec" { print $5; exit }')
office_sum=$(sha256sum <"$work/office-key/quorvalis-archive-keyring.gpg" | cut -d' ' -f1)

# The central server serves $served at /quorvalis/update/debian/.
data=$work/zentrale
served=$data/update/debian
mkdir -p "$data/update"
if [ -x "$build/tools/zentrale/zentrale" ]; then
  "$build/tools/zentrale/zentrale" --data "$data" --port 0 --seed-demo >"$work/server.out" 2>&1 &
  pids+=($!)
  for _ in $(seq 50); do grep -q listening "$work/server.out" && break; sleep 0.1; done
  host=$(sed -n 's#.*listening on http://\(.*\)$#\1#p' "$work/server.out")
else
  echo "no zentrale in $build: serving with python3 -m http.server"
  mkdir -p "$work/www" && ln -s "$data" "$work/www/quorvalis"
  python3 -u -m http.server --bind 127.0.0.1 --directory "$work/www" 0 >"$work/server.out" 2>&1 &
  pids+=($!)
  for _ in $(seq 50); do grep -q 'port [0-9]' "$work/server.out" && break; sleep 0.1; done
  host=127.0.0.1:$(sed -n 's/.* port \([0-9]*\).*/\1/p' "$work/server.out" | head -1)
fi
[ -n "$host" ] && [ "${host#*:}" != "" ] || { cat "$work/server.out"; fail "the server did not start"; }
# serve DIR: what the server hands out from now on, as an attacker on the line could.
serve() { rm -rf "$served" && cp -a "$1" "$served"; }

# new_root NAME: a branch PC's private root, its apt configuration $work/NAME.conf and its
# sources entry, made from packaging/debian/quorvalis.sources.example; an empty dpkg database.
new_root() { branch_root "$work/$1" "$work/$1.conf" "$host"; }
# fetch_key NAME: the key as the set-up line fetches it, by apt's own download, kept only with
# the SHA256 the head office gave out.
fetch_key() {
  APT_CONFIG=$work/$1.conf /usr/lib/apt/apt-helper -o APT::Sandbox::User=root download-file \
    "http://$host/quorvalis/update/debian/quorvalis-archive-keyring.gpg" "$work/$1/etc/apt/keyrings/quorvalis.gpg" \
    "SHA256:$office_sum" >"$work/$1.key.out" 2>&1
}
# branch NAME: a branch PC as an administrator sets it up.
branch() {
  new_root "$1"
  fetch_key "$1" || { cat "$work/$1.key.out"; fail "$1: the head office's key did not arrive"; }
}

# apt BRANCH ARGS...: apt-get on that branch; its output in $out, its exit status in $rc.
apt() {
  local name=$1
  shift
  rc=0
  out=$(APT_CONFIG=$work/$name.conf apt-get -q -y "$@" 2>&1) || rc=$?
  printf '%s\n' "$out" >>"$work/$name.log"
}
expect_rc() { [ "$rc" = "$1" ] || { printf '%s\n' "$out"; fail "$2: apt-get exited $rc, not $1"; }; }
expect_said() { grep -Eq "$1" <<<"$out" || { printf '%s\n' "$out"; fail "$2: apt did not say /$1/"; }; }
# installed BRANCH VERSION SAYS: what dpkg in the branch's root has, and what its quorval prints.
installed() {
  local has says
  has=$(dpkg-query --admindir="$work/$1/var/lib/dpkg" -W -f='${db:Status-Abbrev}${Version}' quorvalis 2>/dev/null || true)
  says=$("$work/$1/usr/bin/quorval" 2>/dev/null || true)
  [ "$has" = "${2:+ii $2}" ] && [ "$says" = "$3" ] ||
    fail "$1: expected ${2:-nothing} installed printing '$3', found '$has' printing '$says'"
}

# The head office publishes F107; a branch installs it.
"$publish" --key "$work/office-key" --out "$work/office" "$f107" >/dev/null
serve "$work/office"
branch kasse
apt kasse update
expect_rc 0 "kasse update"
apt kasse install quorvalis
expect_rc 0 "kasse install"
installed kasse 0.F107 F107
echo "signed F107 installed"

# Forged F108s, each at the repository's address, on the branch at F107 and on a new one.
# refused NAME KASSE_RC KASSE_SAYS NEW_SAYS: apt-get update on the branch at F107 exits KASSE_RC
# (apt keeps the lists it has, only warning, when a signature does not verify) saying KASSE_SAYS,
# on the new branch fails saying NEW_SAYS; nothing can be installed from it, nothing changes.
refused() {
  apt kasse update
  expect_rc "$2" "$1, kasse update"
  expect_said "$3" "$1, kasse update"
  apt kasse upgrade
  installed kasse 0.F107 F107
  apt kasse install quorvalis=0.F108
  expect_rc 100 "$1, kasse install 0.F108"
  expect_said "Version '0.F108' for 'quorvalis' was not found" "$1, kasse install 0.F108"
  installed kasse 0.F107 F107
  branch neu
  apt neu update
  expect_rc 100 "$1, new branch update"
  expect_said "$4" "$1, new branch update"
  apt neu install quorvalis
  expect_rc 100 "$1, new branch install"
  expect_said "Unable to locate package quorvalis" "$1, new branch install"
  installed neu "" ""
  echo "refused: $1"
}

cp -a "$work/office" "$work/unsigned"
"$publish" --key "$work/office-key" --out "$work/unsigned" "$forged" >/dev/null
rm "$work/unsigned/dists/stable/InRelease" "$work/unsigned/dists/stable/Release.gpg"
serve "$work/unsigned"
refused "unsigned repository" 100 "E: The repository '[^']*' is no longer signed" "E: The repository '[^']*' is not signed"

# Another key. Its keyring, served in place of the head office's, is not taken at set-up.
"$publish" --key "$work/other-key" --out "$work/other" "$f107" "$forged" >/dev/null
serve "$work/other"
new_root neu
! fetch_key neu || fail "the set-up took another keyring"
grep -q "Hash Sum mismatch" "$work/neu.key.out" || fail "set-up with another keyring: $(cat "$work/neu.key.out")"
[ ! -e "$work/neu/etc/apt/keyrings/quorvalis.gpg" ] || fail "another keyring was left where apt reads it"
echo "refused: another keyring at set-up"
cp "$work/office/quorvalis-archive-keyring.gpg" "$work/other/"
serve "$work/other"
refused "signed by another key" 0 \
  "W: An error occurred during the signature verification. The repository is not updated .*NO_PUBKEY $other_id" \
  "E: The repository '[^']*' is not signed"

# The genuine F108, signed; then its index altered to offer the forged one (its file in the pool).
cp -a "$work/office" "$work/genuine"
"$publish" --key "$work/office-key" --out "$work/genuine" "$f108" >/dev/null
cp -a "$work/genuine" "$work/indexes"
cp "$forged" "$work/indexes/pool/main/q/quorvalis/quorvalis_0.F108_${arch}.deb"
index=$work/indexes/dists/stable/main/binary-$arch
(cd "$work/indexes" && apt-ftparchive -q=2 packages pool) >"$index/Packages"
gzip -9nf <"$index/Packages" >"$index/Packages.gz"
xz -9f <"$index/Packages" >"$index/Packages.xz"
cmp -s "$index/Packages" "$work/genuine/dists/stable/main/binary-$arch/Packages" && fail "the index is unchanged"
serve "$work/indexes"
mismatch='Hash Sum mismatch|File has unexpected size'
refused "index not as signed" 100 "$mismatch" "$mismatch"

# The genuine F108 and its index as signed, but the pool's file swapped for the forged one.
cp -a "$work/genuine" "$work/swapped"
cp "$forged" "$work/swapped/pool/main/q/quorvalis/quorvalis_0.F108_${arch}.deb"
serve "$work/swapped"
apt kasse update
expect_rc 0 "swapped package, kasse update"
apt kasse upgrade
expect_rc 100 "swapped package, kasse upgrade"
expect_said "$mismatch" "swapped package, kasse upgrade"
installed kasse 0.F107 F107
echo "refused: package not as signed"

# The publishing script's own guards: another key over the head office's folder, and other
# bytes under a published name, are refused and leave the folder as it was.
cp -a "$work/genuine" "$work/before"
! "$publish" --key "$work/other-key" --out "$work/genuine" "$f108" 2>"$work/guard.err" || fail "signed over with another key"
grep -q "signed by another key" "$work/guard.err" || fail "another key: $(cat "$work/guard.err")"
! "$publish" --key "$work/office-key" --out "$work/genuine" "$forged" 2>"$work/guard.err" || fail "published other bytes as 0.F108"
grep -q "exists with other bytes" "$work/guard.err" || fail "other bytes: $(cat "$work/guard.err")"
diff -r "$work/before" "$work/genuine" >/dev/null || fail "a refused publication changed the repository"
echo "refused by apt-repo.sh: another key, other bytes under a published name"

# F108 published beside F107 (which stays, as a way back); the branch upgrades.
serve "$work/genuine"
apt kasse update
expect_rc 0 "kasse update to F108"
apt kasse upgrade
expect_rc 0 "kasse upgrade"
expect_said "Unpacking quorvalis \(0.F108\) over \(0.F107\)" "kasse upgrade"
installed kasse 0.F108 F108
out=$(APT_CONFIG=$work/kasse.conf apt-cache madison quorvalis)
grep -q ' 0.F107 ' <<<"$out" && grep -q ' 0.F108 ' <<<"$out" || fail "F107 and F108 not both offered: $out"
branch neu
apt neu update
expect_rc 0 "new branch update"
apt neu install quorvalis
expect_rc 0 "new branch install"
installed neu 0.F108 F108
echo "signed F108: the branch upgraded, a new branch installs it, F107 still offered"

# The unattended-upgrades pattern the terminal package ships names the repository as apt sees
# it: each term against apt-cache policy's release line, as unattended-upgrades matches it.
snippet=$src/packaging/debian/51quorvalis-unattended-upgrades
patterns=$(sed -n 's/^[[:space:]]*"\([^"]*\)";$/\1/p' "$snippet")
[ "$(wc -l <<<"$patterns")" = 1 ] && [ -n "$patterns" ] || fail "not one pattern in $snippet: $patterns"
release=$(APT_CONFIG=$work/kasse.conf apt-cache policy | grep -A1 " http://$host/quorvalis/update/debian stable/" |
  sed -n 's/^ *release //p')
[ -n "$release" ] || fail "apt shows no release line for the repository"
IFS=, read -ra terms <<<"$patterns"
for term in "${terms[@]}"; do
  case ${term%%=*} in
    origin|o) field=o ;; label|l) field=l ;; archive|suite|a) field=a ;; codename|n) field=n ;; component|c) field=c ;;
    *) fail "term $term in $snippet is not checked here" ;;
  esac
  [[ ",$release," == *",$field=${term#*=},"* ]] || fail "$term of $snippet does not match the repository: $release"
done
echo "unattended-upgrades pattern matches the repository ($release)"
