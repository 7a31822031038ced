#!/usr/bin/env python3
"""Writes one fuzz seed per sample table: its .db size (4 bytes, little
endian), the .db bytes, then its .mb bytes when it has one."""

import pathlib
import struct
import sys

samples, out = pathlib.Path(sys.argv[1]), pathlib.Path(sys.argv[2])
out.mkdir(parents=True, exist_ok=True)
for db in sorted(samples.rglob("*")):
    if db.suffix.lower() != ".db":
        continue
    memo = b""
    for mb in db.parent.iterdir():
        if mb.stem == db.stem and mb.suffix.lower() == ".mb":
            memo = mb.read_bytes()[:65536]
    data = db.read_bytes()
    (out / f"{db.parent.name}_{db.stem}").write_bytes(struct.pack("<I", len(data)) + data + memo)
