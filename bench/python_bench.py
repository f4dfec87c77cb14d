"""The Python module against what a Python user would otherwise call, in the same run: the
standard library's base64, hashlib (OpenSSL) and zlib. Each row times the whole call as Python
sees it (argument conversion, the work, the result back), on 1 MiB unless it says otherwise;
rounds interleave the two sides and the median of ROUNDS rounds is reported.
Usage: python_bench.py [ROUNDS]  (with the module on PYTHONPATH)
"""
import base64
import hashlib
import random
import statistics
import sys
import time
import zlib

import ombrak10

MIB = 1 << 20


def text_corpus(n):
    words = ("the quick brown fox jumps over a lazy dog while seven ciphers keep their "
             "secrets and every message digest stays exact ").split()
    rng = random.Random(20261210)
    out = []
    size = 0
    while size < n:
        w = rng.choice(words)
        out.append(w)
        size += len(w) + 1
    return " ".join(out)[:n]


def median_seconds(fn, rounds, inner):
    times = []
    for _ in range(rounds):
        t = time.perf_counter()
        for _ in range(inner):
            fn()
        times.append((time.perf_counter() - t) / inner)
    return statistics.median(times)


def row(name, ours, peer, peer_name, rounds, size=MIB, inner=1):
    ours(), peer()  # warm up
    a, b = [], []
    for _ in range(rounds):  # interleaved, so both see the same machine
        a.append(median_seconds(ours, 1, inner))
        b.append(median_seconds(peer, 1, inner))
    ta, tb = statistics.median(a), statistics.median(b)
    if size:
        speed = f"{size / ta / 1e6:8.1f} MB/s vs {size / tb / 1e6:8.1f} MB/s"
    else:
        speed = f"{ta * 1e6:8.2f} us   vs {tb * 1e6:8.2f} us  "
    print(f"{name:<34} {speed}  {peer_name:<30} ratio {tb / ta:5.2f}")


def main():
    rounds = int(sys.argv[1]) if len(sys.argv) > 1 else 9
    text = text_corpus(MIB)
    data = text.encode("latin-1")
    print(f"ratio = peer's time / ours (above 1: the module is faster); median of {rounds} rounds")

    b64 = ombrak10.create("Ombrak10.clsKvVeskEncDecBase64A")
    encoded = b64.EncodeArray64(data)
    assert b64.DecodeArray64(encoded) == data
    peer_encoded = base64.encodebytes(data)
    row("Base64 encode (EncodeArray64)", lambda: b64.EncodeArray64(data),
        lambda: base64.encodebytes(data), "base64.encodebytes", rounds)
    row("Base64 decode (DecodeArray64)", lambda: b64.DecodeArray64(encoded),
        lambda: base64.decodebytes(peer_encoded), "base64.decodebytes", rounds)

    sha = ombrak10.create("Ombrak10.clsKvVeskEncDecSha256A")
    assert sha.SHA256(text) == hashlib.sha256(data).hexdigest()
    row("SHA-256 of a text (SHA256)", lambda: sha.SHA256(text),
        lambda: hashlib.sha256(text.encode("latin-1")).hexdigest(), "hashlib.sha256 (OpenSSL)",
        rounds)

    huffman = ombrak10.create("Ombrak10.clsKvVeskEncDecHuffmanA")

    def ours_huffman():
        buf = bytearray(data)
        huffman.EncodeByte(buf, len(buf))

    def zlib_huffman():
        z = zlib.compressobj(1, zlib.DEFLATED, -15, 9, zlib.Z_HUFFMAN_ONLY)
        return z.compress(data) + z.flush()

    row("Huffman compress (EncodeByte)", ours_huffman, zlib_huffman, "zlib Z_HUFFMAN_ONLY", rounds)

    row("one small call (Encode64 'Man')", lambda: b64.Encode64("Man"),
        lambda: base64.b64encode(b"Man"), "base64.b64encode", rounds, size=0, inner=20000)


if __name__ == "__main__":
    main()
