#!/usr/bin/env python3
"""Writes tests/data/digests.vec: MD5, SHA-1 and SHA-256 of messages around the block and padding
boundaries, computed by Python's hashlib (an independent implementation)."""
import hashlib

lines = ["# Digests from Python's hashlib: Algo, In (hex), Out (hex).", ""]
for n in [0, 1, 3, 55, 56, 57, 63, 64, 65, 119, 120, 127, 128, 129, 1000]:
    data = bytes((i * 7 + 3) & 0xFF for i in range(n))
    for algo in ["md5", "sha1", "sha256"]:
        lines += [f"Algo = {algo}", f"In = {data.hex()}", f"Out = {hashlib.new(algo, data).hexdigest()}"]
print("\n".join(lines))
