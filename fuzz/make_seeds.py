#!/usr/bin/env python3
"""Writes the seed corpora of the fuzz targets into fuzz/corpus/<target>/: a few small, valid
inputs each, so that the fuzzer starts from every form its reader knows. Run it again after
changing it; the seeds are committed."""
import io
import os
import shutil
import struct
import sys
import zipfile

HERE = os.path.dirname(os.path.abspath(__file__))
DATA = os.path.join(HERE, "..", "tests", "data")
CORPUS = os.path.join(HERE, "corpus")


def write(target, name, data):
    folder = os.path.join(CORPUS, target)
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), "wb") as f:
        f.write(data)


def read(*parts):
    with open(os.path.join(DATA, *parts), "rb") as f:
        return f.read()


def first_entry_data(archive):
    """The method, flags and stored bytes of an archive's first entry, from its local header."""
    signature, _, flags, method, _, _, _, compressed, _, name_length, extra_length = struct.unpack(
        "<IHHHHHIIIHH", archive[:30])
    assert signature == 0x04034B50
    start = 30 + name_length + extra_length
    return method, flags, archive[start:start + compressed]


def directory_seeds():
    made = io.BytesIO()
    with zipfile.ZipFile(made, "w") as z:
        z.comment = b"seed"
        z.writestr("Docs/", b"")
        z.writestr(zipfile.ZipInfo("Docs/readme.txt"), b"read me " * 20, zipfile.ZIP_STORED)
        z.writestr(zipfile.ZipInfo("DoVra.exe"), b"main program " * 40, zipfile.ZIP_DEFLATED)
    write("directory", "stored_deflated.zip", made.getvalue())
    for name in ("shrink.zip", "reduce.zip", "implode.zip"):
        write("directory", name, read("legacy", name))


def decoder_header(choice, uncompressed, shape=0):
    return bytes([choice, shape, uncompressed & 0xFF, uncompressed >> 8 & 0xFF, uncompressed >> 16 & 0x03])


def decoder_seeds():
    # Selector bytes as the target's table orders the methods.
    stored, shrunk, reduce4, implode, implode_8k, implode_literals, implode_both, deflated = 0, 1, 5, 6, 7, 8, 9, 10
    bzip2 = 11
    write("decoder", "stored", decoder_header(stored, 64) + bytes(range(64)))
    write("decoder", "stored_two_volumes", decoder_header(stored, 64, 0x40) + bytes(range(64)))
    first = read("legacy", "first.out")
    method, _, data = first_entry_data(read("legacy", "shrink.zip"))
    assert method == 1
    write("decoder", "shrunk", decoder_header(shrunk, len(first)) + data)
    write("decoder", "reduced4", decoder_header(reduce4, 2048) + read("legacy", "reduce4_hamlet_2048.bin"))
    write("decoder", "imploded", decoder_header(implode, 256) + read("legacy", "implode_hamlet_256.bin"))
    method, flags, data = first_entry_data(read("legacy", "implode.zip"))
    assert method == 6
    choice = {0: implode, 2: implode_8k, 4: implode_literals, 6: implode_both}[flags & 6]
    write("decoder", "imploded_zip", decoder_header(choice, len(first)) + data)
    for name in ("fixed_text", "dynamic_text", "zip_text"):
        write("decoder", name, decoder_header(deflated, 0) + read("deflate", name + ".deflate"))
    write("decoder", "bzip2_text", decoder_header(bzip2, 9290) + read("bzip2", "text.bz2"))
    lzma_size_end, lzma_marker = 12, 13
    method, flags, data = first_entry_data(read("lzma", "7z_size_end.zip"))
    assert method == 14 and flags & 2 == 0
    write("decoder", "lzma_size_end", decoder_header(lzma_size_end, len(read("lzma", "runs.bin"))) + data)
    method, flags, data = first_entry_data(read("lzma", "python_marker.zip"))
    assert method == 14 and flags & 2 == 2
    write("decoder", "lzma_marker", decoder_header(lzma_marker, len(read("lzma", "words.txt"))) + data)
    deflated64 = 14
    method, _, data = first_entry_data(read("deflate64", "deflate64.zip"))
    assert method == 9
    write("decoder", "deflate64_far", decoder_header(deflated64, 0) + data)


def name_mask_seeds():
    for i, (mask, name) in enumerate([("*.txt", "readme.txt"), ("doc?\\*", "Docs\\a.b"), ("[a-c]*[!x]", "bay"),
                                      ("*[", "abc"), ("abc**", "abc"), ("[]-]x", "]x")]):
        write("name_mask", "mask%d" % i, mask.encode() + b"\0" + name.encode())


def manifest_seeds():
    write("manifest", "plain", b"DoVra.exe\r\nDocs\\\r\nDocs\\readme.txt\r\n")
    write("manifest", "hostile", b"..\\x\r\nC:\\x\n\\\\server\\x\r a/../../b\r\n...\\c\0after")


def hive_seeds():
    write("hive", "values", (
        "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER]\r\n@=\"root\"\r\n\r\n"
        "[HKEY_CURRENT_USER\\Software\\Qel\\Qel Orvane\\Option]\r\n"
        "\"Program Path\"=\"C:\\\\Program Files\\\\Qel\\\\Dovra.exe\"\r\n"
        "\"Quote \\\"q\\\"\"=dword:0000002a\r\n"
        "\"Bin\"=hex:00,01,02,\\\r\n  03,04\r\n"
        "\"Expand\"=hex(2):25,00\r\n\"Gone\"=-\r\n; a comment\r\n"
        "[HKEY_LOCAL_MACHINE\\Other]\r\n\"x\"=\"y\"\r\n").encode("cp1252"))


def link_seed(target, working, arguments, unicode):
    def counted(text):
        if unicode:
            return struct.pack("<H", len(text)) + text.encode("utf-16-le")
        return struct.pack("<H", len(text)) + text.encode("cp1252")
    has_link_info, has_working_dir, has_arguments, is_unicode = 0x02, 0x10, 0x20, 0x80
    flags = has_link_info | has_working_dir | has_arguments | (is_unicode if unicode else 0)
    header = struct.pack("<I16sIIQQQIiIH10s", 0x4C, bytes.fromhex("0114020000000000c000000000000046"),
                         flags, 0x20, 0, 0, 0, 0, 0, 1, 0, b"\0" * 10)
    volume = struct.pack("<IIII", 17, 3, 0, 16) + b"\0"
    header_size = 0x1C
    base = target.encode("cp1252") + b"\0"
    local_base_offset = header_size + len(volume)
    suffix_offset = local_base_offset + len(base)
    body = volume + base + b"\0"
    info = struct.pack("<IIIIIII", header_size + len(body), header_size, 1, header_size, local_base_offset, 0,
                       suffix_offset) + body
    return header + info + counted(working) + counted(arguments) + struct.pack("<I", 0)


def shell_link_seeds():
    write("shell_link", "ansi.lnk", link_seed("C:\\Qel\\Install.exe", "C:\\Qel\\", "u", False))
    write("shell_link", "unicode.lnk", link_seed("C:\\Qel\\DoVra.exe", "C:\\Qel\\", "", True))


def main():
    shutil.rmtree(CORPUS, ignore_errors=True)
    directory_seeds()
    decoder_seeds()
    name_mask_seeds()
    manifest_seeds()
    hive_seeds()
    shell_link_seeds()
    return 0


if __name__ == "__main__":
    sys.exit(main())
