#!/bin/sh
# Builds the inflate benchmark, makes a large raw deflate stream with Python's zlib, and times
# the frame's inflate against zlib.decompress on the same bytes (both include a CRC-32 of the
# output: the frame always takes one, zlib's figure adds zlib.crc32).
#   bench/inflate_bench.sh [MEGABYTES]
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
out=${BENCH_DIR:-$root/build/bench}
size=${1:-64}
mkdir -p "$out"
c++ -std=c++20 -O2 -DNDEBUG -I"$root" "$root/bench/inflate_bench.cpp" \
  "$root/archive/codecs/inflate.cpp" "$root/archive/codecs/decode_table.cpp" \
  "$root/archive/codecs/unzip_frame.cpp" "$root/archive/codecs/crc32.cpp" \
  "$root/archive/codecs/crc32_folding.cpp" -o "$out/inflate_bench"
python3 - "$out" "$size" <<'PY'
import random, sys, zlib
out, megabytes = sys.argv[1], int(sys.argv[2])
rng = random.Random(1951)
words = ("setup archive volume entry window deflate inflate stored block code length "
         "distance literal table the of and to in is for on with Qel Orvane").split()
parts, size = [], 0
while size < megabytes * 1000000:
    kind = rng.random()
    if kind < 0.7:
        chunk = " ".join(rng.choice(words) for _ in range(2000)).encode()
    elif kind < 0.9:
        chunk = bytes(rng.randrange(64) for _ in range(20000))
    else:
        chunk = bytes(rng.randrange(256) for _ in range(5000))
    parts.append(chunk)
    size += len(chunk)
data = b"".join(parts)
c = zlib.compressobj(6, zlib.DEFLATED, -15)
with open(out + "/bench.deflate", "wb") as f:
    f.write(c.compress(data) + c.flush())
PY
"$out/inflate_bench" "$out/bench.deflate" 5
python3 - "$out/bench.deflate" <<'PY'
import sys, time, zlib
stream = open(sys.argv[1], "rb").read()
best, best_plain = 1e30, 1e30
for _ in range(5):
    start = time.perf_counter()
    plain = zlib.decompress(stream, -15)
    middle = time.perf_counter()
    crc = zlib.crc32(plain)
    best_plain = min(best_plain, middle - start)
    best = min(best, time.perf_counter() - start)
print(f"zlib.decompress + crc32: {len(stream)} -> {len(plain)} bytes, CRC-32 {crc:08X}, "
      f"best of 5: {best:.3f} s, {len(plain) / best / 1e6:.1f} MB/s "
      f"(decompress alone {len(plain) / best_plain / 1e6:.1f} MB/s)")
PY
