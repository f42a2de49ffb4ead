#!/usr/bin/env bash
# What the programs and the installer say of themselves, and what the installer leaves behind,
# under Wine: version resources, manifest and icons of the built files; a build signed with a
# throw-away certificate that osslsigncode verifies (programs, installer, the uninstaller it
# writes); the licences and their SPDX list in the installed folder, each file's SHA-256 as
# installed; the "Apps" entry; and the command that gives the folder to its user. Wine keeps no
# access rights on its files, so that command is recorded by a stand-in icacls.exe, not applied.
# QUORVALIS_PACKAGING: another copy of packaging/ (scripts/faults-windows.sh).
#   tests/windows/identity.sh BUILD RELEASE WIN32
set -euo pipefail
win=$1 version=$2 w32=$3
root=$PWD
pkg=${QUORVALIS_PACKAGING:-$root/packaging}
. tests/windows/lib.sh

echo "-- a build signed with a throw-away certificate"
cert=$out/cert && mkdir -p "$cert"
(cd "$cert"
 openssl req -x509 -newkey rsa:2048 -nodes -keyout ca.key -out ca.pem -days 2 -subj /CN=quorvalis-test-ca
 openssl req -newkey rsa:2048 -nodes -keyout sign.key -out sign.csr -subj "/CN=quorvalis test signing"
 printf 'extendedKeyUsage=codeSigning\nkeyUsage=critical,digitalSignature\n' >ext
 openssl x509 -req -in sign.csr -CA ca.pem -CAkey ca.key -CAcreateserial -out sign.pem -days 2 -extfile ext
 openssl pkcs12 -export -inkey sign.key -in sign.pem -certfile ca.pem -out sign.pfx -passout pass:throw-away
) >/dev/null 2>&1
signed=$out/quorvalis-setup-signed.exe
(export QUORVALIS_SIGN_PFX=$cert/sign.pfx QUORVALIS_SIGN_PASS=throw-away
 "$pkg/stage.sh" "$win" "$qt" "$out/stage" "$w32" "$version" &&
 makensis -V2 -DVERSION="$version" -DVERSION_NUMBER="0.$((10#${version##*[!0-9]})).0.0" -DSTAGE="$out/stage" \
   -DUNINSTALL_LIST="$out/uninstall-files.nsh" -DSTAGE_LIST="$out/stage-files.nsh" -DOUTFILE="$signed" \
   -DSIGN="$pkg/windows/sign.sh" "$pkg/quorvalis.nsi") || fail "the signed build"
echo "-- resources of the programs and the installer"
/usr/bin/python3 tests/windows/identity.py "$version" "$out/stage/quorval.exe" "$out/stage/quorval-guard.exe" \
  "$out/stage/quorval-card.exe" --installer "$win/quorvalis-setup-$version.exe" || fail "resources"
verify() {
  osslsigncode verify -CAfile "$cert/ca.pem" -in "$1" >"$out/verify.log" 2>&1 &&
    grep -q "Signature verification: ok" "$out/verify.log" || { cat "$out/verify.log"; fail "$1 not signed right"; }
  echo "  signature verified: ${1#"$root/"}"
}
for f in quorval.exe quorval-guard.exe quorval-card.exe; do verify "$out/stage/$f"; done
verify "$signed"
# Unsigned, nothing is signed.
! osslsigncode verify -in "$win/stage/quorval.exe" >/dev/null 2>&1 || fail "the unsigned build carries a signature"

echo "-- installed: licences, their list, the Apps entry, the folder's access"
sys32=$WINEPREFIX/drive_c/windows/system32
cp "$sys32/icacls.exe" "$out/icacls.exe.wine"
trap 'cp "$out/icacls.exe.wine" "$sys32/icacls.exe"' EXIT
x86_64-w64-mingw32-gcc -O2 tests/windows/record_args.c -o "$sys32/icacls.exe"
rm -f "$WINEPREFIX/drive_c/recorded-args.txt"
folder=$WINEPREFIX/drive_c/quorvalis-signed
rm -rf "$folder"
# Wine runs its own programs before a file of the same name in system32 unless told otherwise.
WINEDLLOVERRIDES="$WINEDLLOVERRIDES;icacls.exe=n" wine "$signed" /S '/D=c:\quorvalis-signed' || fail "the signed installer failed"
[ -f "$folder/quorval.exe" ] || fail "nothing installed"
verify "$folder/uninstall.exe"
/usr/bin/python3 -c 'import pefile, sys
pe = pefile.PE(sys.argv[1])
sys.exit(pefile.RESOURCE_TYPE["RT_GROUP_ICON"] not in {e.id for e in pe.DIRECTORY_ENTRY_RESOURCE.entries})' \
  "$folder/uninstall.exe" || fail "the uninstaller has no icon"
/usr/bin/python3 - "$folder" <<'PY' || fail "licences"
import hashlib, json, pathlib, sys
folder = pathlib.Path(sys.argv[1])
lic = folder / "licenses"
need = ["quorvalis-MIT.txt", "Qt-LGPL-3.0-only.txt", "Qt-GPL-3.0-only.txt", "Qt-SOURCE.txt", "OpenSSL-Apache-2.0.txt",
        "libsodium-ISC.txt", "MinGW-GCC-runtime.txt", "MinGW-w64-runtime.txt", "components.spdx.json"]
missing = [n for n in need if not (lic / n).is_file() or (lic / n).stat().st_size == 0]
assert not missing, f"missing licences: {missing}"
assert "GNU LESSER GENERAL PUBLIC LICENSE" in (lic / "Qt-LGPL-3.0-only.txt").read_text()
assert "Apache License" in (lic / "OpenSSL-Apache-2.0.txt").read_text()
assert "GCC RUNTIME LIBRARY EXCEPTION" in (lic / "MinGW-GCC-runtime.txt").read_text()
doc = json.loads((lic / "components.spdx.json").read_text())
assert doc["spdxVersion"] == "SPDX-2.3"
packages = {p["SPDXID"]: p for p in doc["packages"]}
licences = {p["name"]: p["licenseConcluded"] for p in doc["packages"]}
for name, licence in [("Qt", "LGPL-3.0-only"), ("OpenSSL", "Apache-2.0"), ("libsodium", "ISC"), ("quorvalis", "MIT")]:
    assert licences.get(name) == licence, f"{name}: {licences.get(name)}"
listed = {f["fileName"][2:]: f["checksums"][0]["checksumValue"] for f in doc["files"]}
owner = {r["relatedSpdxElement"]: r["spdxElementId"] for r in doc["relationships"] if r["relationshipType"] == "CONTAINS"}
for f in doc["files"]:
    assert owner.get(f["SPDXID"]) in packages, f"{f['fileName']} belongs to no component"
shipped = [p for p in folder.rglob("*") if p.is_file() and p.suffix.lower() in (".exe", ".dll", ".qm", ".conf")
           and p.name != "uninstall.exe"]
for p in shipped:
    rel = p.relative_to(folder).as_posix()
    assert rel in listed, f"{rel} installed but not in the list"
    assert hashlib.sha256(p.read_bytes()).hexdigest() == listed[rel], f"{rel}: not the listed file"
assert len(listed) == len(shipped), f"listed {sorted(set(listed) - {p.relative_to(folder).as_posix() for p in shipped})} not installed"
print(f"  {len(listed)} files listed with their components and licences, each as installed")
PY
key='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\quorvalis'
wine reg query "$key" 2>/dev/null | tr -d '\r' >"$out/apps.txt"
sed 's/^/    /' "$out/apps.txt"
value() { awk -v n="$1" '$1 == n { $1 = ""; $2 = ""; sub(/^  */, ""); print }' "$out/apps.txt"; }
[ "$(value DisplayIcon)" = 'c:\quorvalis-signed\quorval.exe,0' ] || fail "DisplayIcon: $(value DisplayIcon)"
[ "$(value Publisher)" = quorvalis ] || fail "Publisher"
[ "$(value DisplayVersion)" = "$version" ] || fail "DisplayVersion"
[ "$(value NoModify)" = 0x1 ] && [ "$(value NoRepair)" = 0x1 ] || fail "NoModify/NoRepair"
kb=$(du -sk "$folder" | cut -f1)
size=$(( $(value EstimatedSize) ))
[ "$size" -gt $((kb * 8 / 10)) ] && [ "$size" -le $((kb * 12 / 10)) ] || fail "EstimatedSize $size KB for a folder of $kb KB"
echo "  Apps entry: icon, publisher, version, $size KB, no modify or repair"
tr -d '\r' <"$WINEPREFIX/drive_c/recorded-args.txt" >"$out/icacls.txt" || fail "icacls was not run"
echo "    $(cat "$out/icacls.txt")"
user=$(wine cmd /c 'echo %USERDOMAIN%\%USERNAME%' 2>/dev/null | tr -d '\r')
expected="\"C:\\windows\\system32\\icacls.exe\" \"c:\\quorvalis-signed\" /inheritance:r /grant:r \"$user:(OI)(CI)F\" /grant:r \"*S-1-5-18:(OI)(CI)F\" /grant:r \"*S-1-5-32-544:(OI)(CI)F\""
grep -qixF -- "$expected" "$out/icacls.txt" || fail "the folder's access: expected $expected"
wine "$folder/uninstall.exe" /S '_?=c:\quorvalis-signed'
[ ! -f "$folder/quorval.exe" ] || fail "the signed install did not uninstall"
rm -rf "$folder"
echo "identity passed"
