#!/usr/bin/env python3
"""Makes the deflate fixtures of the codec tests with zlib and Info-ZIP zip as black boxes.

Run from this folder; prints the size and CRC-32 of each fixture's decompressed bytes, which
the tests hold as constants. The data is generated from a fixed seed, so every run makes the
same input (the compressors' output may differ between their versions; the committed files
are the reference).
"""
import os
import random
import struct
import subprocess
import tempfile
import zlib


def words(rng, count):
    vocabulary = ("setup archive volume entry window deflate inflate stored block code "
                  "length distance literal table the of and to in is for on with").split()
    return " ".join(rng.choice(vocabulary) for _ in range(count)).encode()


def raw_deflate(data, level=9, strategy=zlib.Z_DEFAULT_STRATEGY, flush_at=()):
    c = zlib.compressobj(level, zlib.DEFLATED, -15, 9, strategy)
    out, start = b"", 0
    for cut in list(flush_at) + [len(data)]:
        out += c.compress(data[start:cut])
        if cut != len(data):
            out += c.flush(zlib.Z_SYNC_FLUSH)
        start = cut
    return out + c.flush(zlib.Z_FINISH)


def zip_deflate(data):
    with tempfile.TemporaryDirectory() as tmp:
        name = os.path.join(tmp, "data.txt")
        with open(name, "wb") as f:
            f.write(data)
        archive = os.path.join(tmp, "a.zip")
        subprocess.run(["zip", "-q", "-9", "-j", archive, name], check=True)
        with open(archive, "rb") as f:
            raw = f.read()
    header = struct.unpack("<IHHHHHIIIHH", raw[:30])
    compressed_size, name_length, extra_length = header[7], header[9], header[10]
    start = 30 + name_length + extra_length
    return raw[start:start + compressed_size]


def main():
    rng = random.Random(1951)
    text = words(rng, 1200)
    noise = bytes(rng.randrange(256) for _ in range(3000))
    far = noise + bytes(28000) + noise + b"abc" * 9000 + noise
    mixed = words(rng, 400) + bytes(rng.randrange(256) for _ in range(1500)) + words(rng, 400)
    fixtures = {
        "dynamic_text.deflate": raw_deflate(text),
        "fixed_text.deflate": raw_deflate(text[:3000], strategy=zlib.Z_FIXED),
        "far_matches.deflate": raw_deflate(far),
        "sync_flushes.deflate": raw_deflate(mixed, level=1, flush_at=(100, 1000, 2500)),
        "zip_text.deflate": zip_deflate(words(rng, 1500)),
    }
    for name, data in fixtures.items():
        with open(name, "wb") as f:
            f.write(data)
        plain = zlib.decompress(data, -15)
        print(f"{name}: {len(data)} bytes -> {len(plain)} bytes, CRC-32 0x{zlib.crc32(plain):08X}")


if __name__ == "__main__":
    main()
