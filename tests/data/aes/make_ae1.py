"""Makes ae1.zip from an AE-2 archive written by 7z: the AES extra fields say AE-1 and the
headers hold the real CRC, as an AE-1 writer leaves them. The encrypted data and its
authentication code stay 7z's own. Usage: make_ae1.py AE2_ZIP OUT_ZIP FOLDER_OF_THE_FILES"""
import struct, sys, zipfile, zlib

src, dst, plain_dir = sys.argv[1], sys.argv[2], sys.argv[3]
data = bytearray(open(src, "rb").read())


def mark_ae1(extra_at, extra_len):
    at = extra_at
    while at + 4 <= extra_at + extra_len:
        tag, size = struct.unpack_from("<HH", data, at)
        if tag == 0x9901:
            struct.pack_into("<H", data, at + 4, 1)
            return
        at += 4 + size
    raise SystemExit("no AES extra field")


archive = zipfile.ZipFile(src)
for info in archive.infolist():
    crc = zlib.crc32(open(plain_dir + "/" + info.filename, "rb").read())
    at = info.header_offset  # local header: CRC at 14, lengths at 26, 30 fixed bytes
    struct.pack_into("<I", data, at + 14, crc)
    name_len, extra_len = struct.unpack_from("<HH", data, at + 26)
    mark_ae1(at + 30 + name_len, extra_len)
cd = archive.start_dir  # central headers: CRC at 16, lengths at 28, offset at 42, 46 fixed bytes
while data[cd:cd + 4] == b"PK\x01\x02":
    name_len, extra_len, comment_len = struct.unpack_from("<HHH", data, cd + 28)
    name = bytes(data[cd + 46:cd + 46 + name_len]).decode()
    struct.pack_into("<I", data, cd + 16, zlib.crc32(open(plain_dir + "/" + name, "rb").read()))
    mark_ae1(cd + 46 + name_len, extra_len)
    cd += 46 + name_len + extra_len + comment_len
open(dst, "wb").write(data)
