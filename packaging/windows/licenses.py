#!/usr/bin/env python3
"""Puts the licences of everything the installer ships into STAGE/licenses and writes the list
of shipped components (SPDX 2.3, JSON) from the stage itself: every file must belong to a
component, so a library added to the stage without its licence stops the build.

  licenses.py STAGE CACHE RELEASE COMMIT EPOCH   (run from the project's folder: its LICENSE)
CACHE is the Windows build's cache (sources of Qt, OpenSSL and libsodium as built)."""
import datetime
import hashlib
import json
import pathlib
import re
import shutil
import subprocess
import sys

stage, cache, release, commit, epoch = pathlib.Path(sys.argv[1]), pathlib.Path(sys.argv[2]), *sys.argv[3:6]
root = pathlib.Path.cwd()


def source(package):
    """The one source folder of a Debian source package in the cache, and its version."""
    found = sorted((cache / "src" / package).iterdir())
    if len(found) != 1:
        sys.exit(f"licenses.py: expected one source of {package} in {cache}/src, found {len(found)}")
    return found[0], found[0].name


def installed(package):
    return subprocess.run(["dpkg-query", "-W", "-f=${Version}", package], check=True,
                          capture_output=True, text=True).stdout


def upstream(debian_version):
    return re.sub(r"^\d+:", "", debian_version).split("-")[0].split("+")[0]


qt_src, qt_version = source("qt6-base")
ssl_src, ssl_version = source("openssl")
sodium_src, sodium_version = source("libsodium")
gcc_version = installed("gcc-mingw-w64-x86-64-posix-runtime")
mingw_version = installed("mingw-w64-x86-64-dev")
translations_version = installed("qt6-translations-l10n")

# name, version, Debian version, SPDX licence, file patterns, licence texts (target: source), comment
components = [
    ("quorvalis", release, None, "MIT", [r"quorval(-guard|-card)?\.exe", r"qt\.conf"],
     {"quorvalis-MIT.txt": root / "LICENSE"}, f"this program, commit {commit}"),
    ("libsodium", upstream(sodium_version), sodium_version, "ISC", [],
     {"libsodium-ISC.txt": sodium_src / "LICENSE"}, "linked into quorval.exe (update signatures)"),
    ("Qt", upstream(qt_version), qt_version, "LGPL-3.0-only",
     [r"Qt6\w+\.dll", r"plugins/.*\.dll"],
     {"Qt-LGPL-3.0-only.txt": qt_src / "LICENSES/LGPL-3.0-only.txt",
      "Qt-GPL-3.0-only.txt": qt_src / "LICENSES/GPL-3.0-only.txt"},
     "Qt's base module, built from Debian's source package qt6-base"),
    ("Qt translations", upstream(translations_version), translations_version, "LGPL-3.0-only",
     [r"translations/qtbase_de\.qm"], {}, "Debian's package qt6-translations-l10n"),
    ("OpenSSL", upstream(ssl_version), ssl_version, "Apache-2.0", [r"lib(crypto|ssl)-3-x64\.dll"],
     {"OpenSSL-Apache-2.0.txt": ssl_src / "LICENSE.txt"}, "built from Debian's source package openssl"),
    ("GCC runtime libraries", upstream(gcc_version), gcc_version,
     "GPL-3.0-or-later WITH GCC-exception-3.1", [r"libstdc\+\+-6\.dll", r"libgcc_s_seh-1\.dll"],
     {"MinGW-GCC-runtime.txt": pathlib.Path("/usr/share/doc/gcc-mingw-w64-base/copyright")},
     "Debian's gcc-mingw-w64; also linked into quorval-guard.exe and quorval-card.exe"),
    ("mingw-w64 winpthreads", upstream(mingw_version), mingw_version, "MIT AND BSD-3-Clause",
     [r"libwinpthread-1\.dll"],
     {"MinGW-w64-runtime.txt": pathlib.Path("/usr/share/doc/mingw-w64-common/copyright")},
     "Debian's mingw-w64; also linked into quorval-guard.exe and quorval-card.exe"),
]

licenses = stage / "licenses"
licenses.mkdir(exist_ok=True)
for *_, texts, _ in components:
    for name, text in texts.items():
        shutil.copyfile(text, licenses / name)
(licenses / "Qt-SOURCE.txt").write_text(
    f"Qt {upstream(qt_version)} in this program is Debian's source package qt6-base {qt_version}, built\r\n"
    f"unchanged for Windows by scripts/windows-qt.sh of the program's source. Its source:\r\n"
    f"  apt-get source qt6-base={qt_version}\r\n"
    f"  https://snapshot.debian.org/package/qt6-base/{qt_version}/\r\n"
    f"  https://download.qt.io/archive/qt/{'.'.join(upstream(qt_version).split('.')[:2])}/{upstream(qt_version)}/\r\n"
    f"The Qt DLLs beside quorval.exe may be replaced by your own build of the same version.\r\n",
    encoding="ascii")

files, owners = [], {}
for path in sorted(p for p in stage.rglob("*") if p.is_file()):
    rel = path.relative_to(stage).as_posix()
    if rel.startswith("licenses/"):
        continue
    owner = [c for c in components if any(re.fullmatch(p, rel) for p in c[4])]
    if len(owner) != 1:
        sys.exit(f"licenses.py: {rel} belongs to {len(owner)} components; name its licence here")
    files.append((rel, hashlib.sha256(path.read_bytes()).hexdigest(), owner[0]))

spdx_id = lambda name: "SPDXRef-Package-" + re.sub(r"[^A-Za-z0-9]+", "-", name)
created = datetime.datetime.fromtimestamp(int(epoch), datetime.timezone.utc).strftime("%Y-%m-%dT%H:%M:%SZ")
document = {
    "spdxVersion": "SPDX-2.3",
    "dataLicense": "CC0-1.0",
    "SPDXID": "SPDXRef-DOCUMENT",
    "name": f"quorvalis-{release}-windows",
    "documentNamespace": f"https://quorvalis.invalid/spdx/windows/{release}/{commit}",
    "creationInfo": {"created": created, "creators": ["Tool: quorvalis packaging/windows/licenses.py"]},
    "packages": [{
        "SPDXID": spdx_id(name), "name": name, "versionInfo": version,
        "downloadLocation": "NOASSERTION" if debian is None else
        f"https://snapshot.debian.org/package/{ {'Qt': 'qt6-base', 'OpenSSL': 'openssl', 'libsodium': 'libsodium', 'Qt translations': 'qt6-translations', 'GCC runtime libraries': 'gcc-mingw-w64', 'mingw-w64 winpthreads': 'mingw-w64'}[name] }/{debian}/",
        "filesAnalyzed": False, "licenseConcluded": license, "licenseDeclared": license,
        "copyrightText": "NOASSERTION", "comment": comment,
    } for name, version, debian, license, _, _, comment in components],
    "files": [{
        "SPDXID": f"SPDXRef-File-{i}", "fileName": "./" + rel,
        "checksums": [{"algorithm": "SHA256", "checksumValue": digest}],
        "licenseConcluded": owner[3], "copyrightText": "NOASSERTION",
    } for i, (rel, digest, owner) in enumerate(files, 1)],
    "relationships": [{"spdxElementId": "SPDXRef-DOCUMENT", "relationshipType": "DESCRIBES",
                       "relatedSpdxElement": spdx_id("quorvalis")}] +
    [{"spdxElementId": spdx_id(owner[0]), "relationshipType": "CONTAINS", "relatedSpdxElement": f"SPDXRef-File-{i}"}
     for i, (_, _, owner) in enumerate(files, 1)] +
    [{"spdxElementId": spdx_id("quorvalis"), "relationshipType": "DEPENDS_ON", "relatedSpdxElement": spdx_id(c[0])}
     for c in components[1:]],
}
(licenses / "components.spdx.json").write_text(json.dumps(document, indent=1, sort_keys=True) + "\n", encoding="utf-8")
