#!/usr/bin/python3
"""Reads what Windows shows of the built programs and the installer: version resources,
manifest and icon. Debian's python3-pefile.
  identity.py RELEASE PROGRAM... --installer INSTALLER"""
import sys
import pefile

release = sys.argv[1]
args = sys.argv[2:]
installer = args[args.index("--installer") + 1]
programs = args[:args.index("--installer")]
failures = []


def strings(pe):
    out = {}
    for info in getattr(pe, "FileInfo", []) or []:
        for entry in info:
            if entry.Key == b"StringFileInfo":
                for table in entry.StringTable:
                    out.update({k.decode(): v.decode() for k, v in table.entries.items()})
    return out


def resource_types(pe):
    return {e.id for e in pe.DIRECTORY_ENTRY_RESOURCE.entries} if hasattr(pe, "DIRECTORY_ENTRY_RESOURCE") else set()


def manifest(pe):
    for entry in pe.DIRECTORY_ENTRY_RESOURCE.entries:
        if entry.id == pefile.RESOURCE_TYPE["RT_MANIFEST"]:
            data = entry.directory.entries[0].directory.entries[0].data.struct
            return pe.get_data(data.OffsetToData, data.Size).decode("utf-8")
    return ""


def check(name, ok, what):
    if not ok:
        failures.append(f"{name}: {what}")


for path in programs + [installer]:
    pe = pefile.PE(path)
    name = path.rsplit("/", 1)[-1]
    s = strings(pe)
    types = resource_types(pe)
    print(f"  {name}: {s}")
    for key in ("CompanyName", "FileDescription", "LegalCopyright"):
        check(name, s.get(key, "").strip() != "", f"no {key}")
    check(name, s.get("FileVersion") == release, f"FileVersion {s.get('FileVersion')!r}, not {release}")
    check(name, s.get("ProductVersion") == release, f"ProductVersion {s.get('ProductVersion')!r}")
    check(name, pefile.RESOURCE_TYPE["RT_GROUP_ICON"] in types, "no icon")
    if path == installer:
        continue
    check(name, pe.FILE_HEADER.TimeDateStamp == 0, f"a link time stamp {pe.FILE_HEADER.TimeDateStamp:#x}")
    m = manifest(pe)
    check(name, 'level="asInvoker"' in m, "manifest without asInvoker")
    check(name, "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}" in m, "manifest without Windows 10/11")
    check(name, ">PerMonitorV2<" in m, "manifest without Qt's DPI awareness")
    check(name, "activeCodePage" not in m, "manifest changes the ANSI code page")

if failures:
    print("\n".join("FAILED: " + f for f in failures))
    sys.exit(1)
print("  resources right in", len(programs) + 1, "files")
