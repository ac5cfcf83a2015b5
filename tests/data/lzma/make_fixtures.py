#!/usr/bin/env python3
"""Makes the LZMA fixtures of the extraction tests with 7-Zip and Python's zipfile as black
boxes.

Run from this folder. The two original files are generated from a fixed seed and committed
beside the archives, which the tests extract and compare with them byte for byte; the
compressors' output may differ between their versions, so the committed archives are the
reference. Prints each entry's method, flags and LZMA properties.
"""
import os
import random
import struct
import subprocess
import tempfile
import zipfile


def words(rng, count):
    vocabulary = ("setup archive volume entry window range coder literal match distance "
                  "state length dictionary marker the of and to in is for on with").split()
    return " ".join(rng.choice(vocabulary) for _ in range(count)).encode()


def originals():
    rng = random.Random(2015)
    text = words(rng, 1400)
    noise = bytes(rng.randrange(256) for _ in range(1000))
    # Long runs, a far repeat of the noise (distances past the aligned bits), short periods.
    runs = bytes(2000) + noise + b"ab" * 1000 + text[:1500] + noise + bytes(range(256)) * 2
    # A dictionary's worth of noise, a short repeat (copied in whole words that run past its
    # end), then the noise again from the dictionary's full distance, which starts on the bytes
    # right behind that repeat.
    edge_rng = random.Random(4096)
    far = bytes(edge_rng.randrange(256) for _ in range(4096))
    near = bytes(edge_rng.randrange(256) for _ in range(50))
    edge = far + near + near + far[100:1100]
    return {"words.txt": text, "runs.bin": runs, "edge.bin": edge}


def seven_zip(archive, names, method):
    if os.path.exists(archive):
        os.remove(archive)
    subprocess.run(["7z", "a", "-tzip", "-bd", "-mm=" + method, archive] + names,
                   check=True, stdout=subprocess.DEVNULL)


def python_zip(archive, files):
    with zipfile.ZipFile(archive, "w", zipfile.ZIP_LZMA) as z:
        for name, data in files:
            z.writestr(name, data)


def describe(archive):
    raw = open(archive, "rb").read()
    with zipfile.ZipFile(archive) as z:
        for info in z.infolist():
            start = info.header_offset + 30 + len(info.filename.encode()) + \
                struct.unpack("<H", raw[info.header_offset + 28:info.header_offset + 30])[0]
            props = raw[start + 4:start + 9]
            packed = props[0] if props else 0
            print(f"{archive} {info.filename}: method {info.compress_type}, flags {info.flag_bits:#06x}, "
                  f"lc {packed % 9} lp {packed // 9 % 5} pb {packed // 45}, "
                  f"dictionary {struct.unpack('<I', props[1:5])[0] if len(props) == 5 else '-'}, "
                  f"{info.compress_size} -> {info.file_size}")


def main():
    files = originals()
    for name, data in files.items():
        with open(name, "wb") as f:
            f.write(data)
    seven_zip("7z_size_end.zip", ["words.txt", "runs.bin"], "LZMA:eos=off")
    seven_zip("7z_small_dict.zip", ["words.txt", "runs.bin"], "LZMA:d=4k:lc=1:lp=3:pb=4:eos=off")
    seven_zip("7z_marker.zip", ["words.txt"], "LZMA")
    seven_zip("7z_dict_edge.zip", ["edge.bin"], "LZMA:d=4k:eos=off")
    python_zip("python_marker.zip", [("words.txt", files["words.txt"]), ("runs.bin", files["runs.bin"]),
                                     ("empty.txt", b"")])
    for archive in ("7z_size_end.zip", "7z_small_dict.zip", "7z_marker.zip", "7z_dict_edge.zip", "python_marker.zip"):
        describe(archive)


if __name__ == "__main__":
    main()
