#!/usr/bin/env python3
"""Prints MD2's substitution table: a permutation of 0..255 shuffled by the decimal digits of pi
(computed here with Machin's formula): for i = 2..256, swap entries i-1 and a digit-drawn
j < i, numbers drawn with one, two or three digits and rejected when they would bias the draw.
Checked against the digests of "" and "abc" in RFC 1319."""

from machin_pi import machin_pi

DIGITS = 3000
one = 10 ** (DIGITS + 20)
digits = str(machin_pi(one))[:DIGITS]
at = 0

def digit():
    global at
    at += 1
    return int(digits[at - 1])

def draw(n):
    while True:
        x, y = digit(), 10
        if n > 10:
            x, y = x * 10 + digit(), 100
        if n > 100:
            x, y = x * 10 + digit(), 1000
        if x < n * (y // n):
            return x % n

s = list(range(256))
for i in range(2, 257):
    j = draw(i)
    s[j], s[i - 1] = s[i - 1], s[j]

def md2(m):
    pad = 16 - len(m) % 16
    m += bytes([pad]) * pad
    c, last = [0] * 16, 0
    for i in range(0, len(m), 16):
        for j in range(16):
            c[j] ^= s[m[i + j] ^ last]
            last = c[j]
    m += bytes(c)
    x = [0] * 48
    for i in range(0, len(m), 16):
        for j in range(16):
            x[16 + j] = m[i + j]
            x[32 + j] = x[16 + j] ^ x[j]
        t = 0
        for j in range(18):
            for k in range(48):
                x[k] ^= s[t]
                t = x[k]
            t = (t + j) % 256
    return bytes(x[:16]).hex()

assert md2(b"") == "8350e5a3e24c153df2275c9f80692773"
assert md2(b"abc") == "da853b0d3f88d99b30283a69e6ded6bb"
for r in range(0, 256, 16):
    print("    " + " ".join("%d," % v for v in s[r:r + 16]))
