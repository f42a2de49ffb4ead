#!/usr/bin/env python3
"""Sets the link time stamp of Windows programs and libraries to 0: binutils' strip writes the
time of stripping there, which would make every build differ.
  pe_time.py FILE..."""
import struct
import sys

for name in sys.argv[1:]:
    with open(name, "r+b") as f:
        head = f.read(0x40)
        if head[:2] != b"MZ":
            sys.exit(f"pe_time.py: {name} is no Windows program")
        pe = struct.unpack_from("<I", head, 0x3C)[0]
        f.seek(pe)
        if f.read(4) != b"PE\0\0":
            sys.exit(f"pe_time.py: {name} is no Windows program")
        f.seek(pe + 8)  # COFF header: machine, sections, then the time stamp
        f.write(b"\0\0\0\0")
