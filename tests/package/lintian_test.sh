#!/usr/bin/env bash
# Builds the Debian packages from the build folder given and has lintian check both. An error or
# a warning fails; a tag may only be left overridden in the package's own overrides, each under
# a comment giving the reason. The changelog's newest entry must be the package's version.
set -euo pipefail
build=$1
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
(cd "$build" && cpack -G DEB -B "$out" >"$out/cpack.log" 2>&1) || { cat "$out/cpack.log"; exit 1; }
failed=0
for package in quorvalis quorvalis-devtools; do
  deb=$(ls "$out"/${package}_*_amd64.deb)
  echo "== lintian $(basename "$deb")"
  # Info tags are shown too, for the reader; only errors and warnings fail (exit status 2).
  # Not --show-overrides: with it lintian 2.116 fails on the overridden tags as well.
  lintian --fail-on error,warning --display-info --tag-display-limit 0 "$deb" ||
    { echo "lintian: $package fails"; failed=1; }

  root=$out/$package
  dpkg-deb -x "$deb" "$root"
  version=$(dpkg-deb -f "$deb" Version)
  newest=$(gunzip -c "$root/usr/share/doc/$package/changelog.gz" | dpkg-parsechangelog -l - -S Version)
  [ "$newest" = "$version" ] ||
    { echo "$package $version: the changelog's newest entry is $newest"; failed=1; }

  # lintian 2.116 lets a broken menu entry pass, and one whose icon is missing: desktop-file-validate
  # checks the entry, and the icon it names must be in the package.
  for entry in "$root"/usr/share/applications/*.desktop; do
    [ -e "$entry" ] || continue
    desktop-file-validate "$entry" || { echo "$package: invalid ${entry#"$root"}"; failed=1; }
    icon=$(sed -n 's/^Icon=//p' "$entry")
    [ -n "$(find "$root/usr/share/icons/hicolor" -path "*/apps/$icon.*" 2>/dev/null)" ] ||
      { echo "$package: no icon $icon for ${entry#"$root"}"; failed=1; }
  done
  if [ "$package" = quorvalis ] && [ ! -e "$root/usr/share/applications/quorvalis.desktop" ]; then
    echo "quorvalis: no menu entry"; failed=1
  fi

  # Every overridden tag has its reason written above it (a comment, shared by the lines after it).
  overrides=$root/usr/share/lintian/overrides/$package
  if [ -e "$overrides" ]; then
    echo "-- overridden, with the reasons the package gives:"
    cat "$overrides"
    awk -v package="$package" '
      /^#/ { reason = 1; next }
      /^[[:space:]]*$/ { reason = 0; next }
      !reason { print package ": override without a reason: " $0; bad = 1 }
      END { exit bad }' "$overrides" || failed=1
  fi
done
exit $failed
