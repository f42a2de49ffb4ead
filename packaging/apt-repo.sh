#!/usr/bin/env bash
# The head office's signed apt repository for the branches' Debian packages, made with Debian's
# own tools: apt-ftparchive (apt-utils) and gpg (gnupg).
#
#   packaging/apt-repo.sh --new-key KEYDIR
#     Once: makes KEYDIR (new, owner only) the GnuPG home of a new signing key (Ed25519, no
#     passphrase, no expiry: KEYDIR never leaves the head office's publishing machine) and writes
#     the public key beside it as KEYDIR/quorvalis-archive-keyring.gpg, a binary keyring for
#     apt's Signed-By.
#
#   packaging/apt-repo.sh --key KEY --out DIR [--suite SUITE] FILE.deb...
#     Adds the packages to the repository in DIR (made if missing) and signs it anew. KEY is a
#     KEYDIR made by --new-key, or a key ID or fingerprint in the caller's GnuPG home
#     ($GNUPGHOME, else ~/.gnupg). SUITE is "stable" unless given. What the suite had stays in
#     the pool and its index (a branch goes back by apt-get install --allow-downgrades
#     quorvalis=0.F107; a file deleted from the pool by hand leaves the index at the next run);
#     a file of the same name with other bytes is refused, as branches may have cached it.
#     A DIR once signed is only ever signed again by the same key: another key is refused.
#     Prints the keyring's SHA256, which the branches' set-up line checks.
#
# Layout, served as it is below the central server's /quorvalis/update/debian/:
#   pool/main/q/quorvalis/quorvalis_0.F108_amd64.deb       every package ever published
#   dists/SUITE/{InRelease,Release,Release.gpg}             Origin/Label quorvalis, SHA256, SHA512
#   dists/SUITE/main/binary-ARCH/Packages{,.gz,.xz}
#   quorvalis-archive-keyring.gpg                           the public key, for the set-up line
# dists/ rather than a flat folder: apt checks the signed Suite/Codename against the branch's
# entry, one URL can carry another suite or architecture later, and the pool keeps each file once.
set -euo pipefail
umask 022

die() { echo "apt-repo.sh: $*" >&2; exit 1; }
usage() { sed -n '2,/^set -euo/{/^#/s/^# \{0,1\}//p}' "$0" >&2; exit 2; }
keyring_name=quorvalis-archive-keyring.gpg

new_key() {
  local dir=$1
  [ -e "$dir" ] || [ -L "$dir" ] && die "$dir exists: a key is made only once, into a new folder"
  mkdir -m 700 -p "$dir"
  gpg --batch --quiet --homedir "$dir" --gen-key <<'EOF'
%no-protection
Key-Type: EDDSA
Key-Curve: ed25519
Key-Usage: sign
Name-Real: quorvalis archive signing key
Expire-Date: 0
%commit
EOF
  gpg --batch --homedir "$dir" --export --export-options export-minimal >"$dir/$keyring_name"
  echo "signing key: $(fingerprint "$dir" "")"
  echo "public keyring: $dir/$keyring_name"
}

# fingerprint HOME KEY: the secret key's fingerprint; without KEY the home must hold exactly one.
fingerprint() {
  local found
  found=$(gpg --batch --homedir "$1" --with-colons --list-secret-keys ${2:+"$2"} 2>/dev/null |
    awk -F: '$1 == "sec" { want = 1 } $1 == "fpr" && want { print $10; want = 0 }')
  [ -n "$found" ] || die "no secret key ${2:+$2 }in $1"
  [ "$(wc -l <<<"$found")" = 1 ] || die "more than one secret key in $1: name one with --key"
  echo "$found"
}

# pool_path DEB: where a package lives in the pool, named by its own control fields.
pool_path() {
  local name version arch
  name=$(dpkg-deb -f "$1" Package) version=$(dpkg-deb -f "$1" Version) arch=$(dpkg-deb -f "$1" Architecture)
  [ -n "$name" ] && [ -n "$version" ] && [ -n "$arch" ] || die "$1: not a Debian package"
  local prefix=${name:0:1}
  [[ $name == lib?* ]] && prefix=${name:0:4}
  echo "pool/main/$prefix/$name/${name}_${version#*:}_$arch.deb"
}

# replace FILE: moves FILE.new over FILE, so the server never hands out half a file.
replace() { mv -f "$1.new" "$1"; }

publish() {
  local key=$1 out=$2 suite=$3
  shift 3
  local home fpr
  if [ -d "$key" ]; then
    home=$key fpr=$(fingerprint "$home" "")
  else
    home=${GNUPGHOME:-$HOME/.gnupg} fpr=$(fingerprint "$home" "$key")
  fi
  command -v apt-ftparchive >/dev/null || die "apt-ftparchive missing (apt-get install apt-utils)"
  mkdir -p "$out"
  local public=$tmp/public.gpg
  gpg --batch --homedir "$home" --export --export-options export-minimal "$fpr" >"$public"
  # Branches trust the key already in the folder; a repository signed by any other reaches none.
  if [ -e "$out/$keyring_name" ] &&
     ! gpg --batch --homedir "$home" --with-colons --show-keys "$out/$keyring_name" 2>/dev/null | grep -q "^fpr:*$fpr:"; then
    die "$out is signed by another key than $fpr (to move to a new key, delete $out/$keyring_name once the branches have it)"
  fi

  local dist=$out/dists/$suite deb target file
  # The suite keeps what its index names (the pool may hold other suites' packages too).
  local files=$tmp/files
  : >"$files"
  for file in "$dist"/main/binary-*/Packages; do
    [ -f "$file" ] && sed -n 's/^Filename: //p' "$file" >>"$files"
  done
  for deb in "$@"; do
    [ -f "$deb" ] || die "$deb: no such file"
    target=$(pool_path "$deb")
    echo "$target" >>"$files"
    target=$out/$target
    if [ -e "$target" ]; then
      cmp -s "$deb" "$target" || die "$target exists with other bytes: publish a new version instead"
      continue
    fi
    mkdir -p "$(dirname "$target")"
    cp "$deb" "$target.new"
    replace "$target"
  done
  # apt-ftparchive indexes a folder: one of links to the suite's files, laid out as the pool.
  local view=$tmp/view
  for file in $(sort -u "$files"); do
    [ -f "$out/$file" ] || { echo "apt-repo.sh: $file no longer in the pool, dropped from $suite" >&2; continue; }
    mkdir -p "$view/$(dirname "$file")"
    ln -s "$(cd "$out" && pwd)/$file" "$view/$file"
  done

  [ -d "$view/pool" ] || die "nothing left to publish in $suite"

  # One index per architecture; apt-ftparchive adds the _all packages to each.
  local arches
  arches=$(find "$view/pool" -name '*.deb' | sed -n 's/.*_\([^_]*\)\.deb$/\1/p' | { grep -vx all || true; } | sort -u | tr '\n' ' ')
  arches=${arches% }
  [ -n "$arches" ] || arches=$(dpkg --print-architecture)
  local arch dir
  local hashes=(-o APT::FTPArchive::MD5=false -o APT::FTPArchive::SHA1=false
                -o APT::FTPArchive::SHA256=true -o APT::FTPArchive::SHA512=true)
  for arch in $arches; do
    dir=$dist/main/binary-$arch
    mkdir -p "$dir"
    (cd "$view" && apt-ftparchive -q=2 "${hashes[@]}" --arch "$arch" packages pool) >"$dir/Packages.new"
    gzip -9n <"$dir/Packages.new" >"$dir/Packages.gz.new"
    xz -9 <"$dir/Packages.new" >"$dir/Packages.xz.new"
  done

  # The Release is made over a copy of the new indexes: in DIR it would list the old Release
  # and the indexes' old names.
  local stage=$tmp/stage
  for arch in $arches; do
    mkdir -p "$stage/main/binary-$arch"
    for f in Packages Packages.gz Packages.xz; do
      cp "$dist/main/binary-$arch/$f.new" "$stage/main/binary-$arch/$f"
    done
  done
  apt-ftparchive -q=2 "${hashes[@]}" \
    -o APT::FTPArchive::Release::Origin=quorvalis \
    -o APT::FTPArchive::Release::Label=quorvalis \
    -o APT::FTPArchive::Release::Suite="$suite" \
    -o APT::FTPArchive::Release::Codename="$suite" \
    -o APT::FTPArchive::Release::Architectures="$arches" \
    -o APT::FTPArchive::Release::Components=main \
    -o APT::FTPArchive::Release::Description="quorvalis counter terminal releases" \
    release "$stage" >"$tmp/Release"
  mv "$tmp/Release" "$stage/Release"
  local sign=(gpg --batch --yes --quiet --homedir "$home" --local-user "$fpr!" --digest-algo SHA512)
  "${sign[@]}" --clearsign --output "$stage/InRelease" "$stage/Release"
  "${sign[@]}" --armor --detach-sign --output "$stage/Release.gpg" "$stage/Release"
  # Checked as apt will, against the public key alone, before anything goes out.
  gpgv --quiet --keyring "$public" "$stage/InRelease" 2>/dev/null || die "InRelease does not verify"
  gpgv --quiet --keyring "$public" "$stage/Release.gpg" "$stage/Release" 2>/dev/null || die "Release.gpg does not verify"

  # Indexes first, the signed Release last: a branch reading meanwhile sees a mismatch and
  # keeps its old lists, never an unsigned state.
  for arch in $arches; do
    for f in Packages Packages.gz Packages.xz; do replace "$dist/main/binary-$arch/$f"; done
  done
  for f in Release Release.gpg InRelease; do cp "$stage/$f" "$dist/$f.new" && replace "$dist/$f"; done
  cp "$public" "$out/$keyring_name.new" && replace "$out/$keyring_name"
  echo "published $suite ($arches) in $out, signed by $fpr"
  echo "keyring SHA256: $(sha256sum <"$out/$keyring_name" | cut -d' ' -f1)"
}

key='' out='' suite=stable
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
case "${1:-}" in
  --new-key) [ $# = 2 ] || usage; new_key "$2"; exit 0 ;;
  -h|--help|'') usage ;;
esac
while [ $# -gt 0 ]; do
  case $1 in
    --key) key=${2:?}; shift 2 ;;
    --out) out=${2:?}; shift 2 ;;
    --suite) suite=${2:?}; shift 2 ;;
    --) shift; break ;;
    -*) usage ;;
    *) break ;;
  esac
done
[ -n "$key" ] && [ -n "$out" ] && [ $# -gt 0 ] || usage
[[ $suite =~ ^[a-z0-9][a-z0-9.-]*$ ]] || die "suite $suite: lower-case letters, digits, dots and dashes"
publish "$key" "$out" "$suite" "$@"
