#!/usr/bin/env python3
"""Makes deflate64.zip with 7-Zip as a black box (7z a -tzip -mm=Deflate64). Run from this
folder. The inputs come from a small linear congruential generator that the extraction test
repeats, so it compares every byte of far.bin; readme.txt is checked by its CRC-32."""
import os
import subprocess
import tempfile


def lcg(seed):
    while True:
        seed = (seed * 1103515245 + 12345) & 0xFFFFFFFF
        yield seed >> 16


def far_bin():
    """A 4 KB block of 'a' and 'b', then again after 36 KB of '-' and after 48 KB of '=':
    its copies lie 40 960 and 53 248 bytes back, beyond deflate's window (distance codes 30
    and 31), and the runs between them are long matches."""
    bits = lcg(64)
    block = bytes(b"ab"[next(bits) & 1] for _ in range(4096))
    return block + b"-" * 36864 + block + b"=" * 49152 + block


def readme_txt():
    vocabulary = b"qel orvane setup installs the program files shortcuts and registry values".split()
    pick = lcg(9)
    return b" ".join(vocabulary[next(pick) % len(vocabulary)] for _ in range(600))


with tempfile.TemporaryDirectory() as tmp:
    for name, data in (("readme.txt", readme_txt()), ("far.bin", far_bin())):
        with open(os.path.join(tmp, name), "wb") as f:
            f.write(data)
    target = os.path.abspath("deflate64.zip")
    if os.path.exists(target):
        os.remove(target)
    subprocess.run(["7z", "a", "-tzip", "-mm=Deflate64", "-mx=9", target, "readme.txt", "far.bin"], cwd=tmp,
                   check=True, stdout=subprocess.DEVNULL)
