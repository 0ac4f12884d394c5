#!/usr/bin/env python3
"""Exits 0 when this machine runs 32-bit x86 programs, 1 when its kernel refuses them.

Writes the smallest i386 program (an ELF file whose code calls exit(0)) and starts it: some
64-bit kernels and hypervisors run 64-bit user code only and answer ENOEXEC, and there
32-bit Wine cannot start either.
"""
import os
import struct
import subprocess
import sys
import tempfile

BASE = 0x08048000
CODE = bytes([0x31, 0xDB,   # xor ebx, ebx
              0x31, 0xC0,   # xor eax, eax
              0x40,         # inc eax: exit
              0xCD, 0x80])  # int 0x80
HEADER_SIZE, SEGMENT_HEADER_SIZE = 52, 32
size = HEADER_SIZE + SEGMENT_HEADER_SIZE + len(CODE)

header = b"\x7fELF" + bytes([1, 1, 1]) + bytes(9) + struct.pack(
    "<HHIIIIIHHHHHH", 2, 3, 1, BASE + HEADER_SIZE + SEGMENT_HEADER_SIZE, HEADER_SIZE, 0, 0,
    HEADER_SIZE, SEGMENT_HEADER_SIZE, 1, 0, 0, 0)
segment = struct.pack("<IIIIIIII", 1, 0, BASE, BASE, size, size, 5, 0x1000)

with tempfile.TemporaryDirectory() as folder:
    program = os.path.join(folder, "probe")
    with open(program, "wb") as out:
        out.write(header + segment + CODE)
    os.chmod(program, 0o755)
    try:
        sys.exit(subprocess.run([program], timeout=30).returncode and 1)
    except (OSError, subprocess.TimeoutExpired):
        sys.exit(1)
