#!/usr/bin/env bash
# The legacy decoders (unshrink, unreduce, explode) on the 80 KB TESTDAT3.TXT entries of the
# hwzip archives, in MB/s of output, beside Info-ZIP unzip for the methods it decodes (shrunk
# and imploded; it skips reduced entries). unzip's figure is the time of unzip -p on the entry
# less that of the archive's 469-byte entry, so that starting the program is not counted.
# Not part of CI.
#   bench/legacy_bench.sh [RUNS]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/.." && pwd)
runs=${1:-200}
out=${BENCH_DIR:-$root/build/bench}
data=$root/tests/data/legacy
mkdir -p "$out"
c++ -std=c++20 -O2 -DNDEBUG -I"$root" "$here/legacy_bench.cpp" \
  "$root"/archive/codecs/{explode,unreduce,unshrink,decode_table,unzip_frame,crc32,crc32_folding}.cpp \
  -o "$out/legacy_bench"
echo "== $(nproc) cores, load $(cut -d' ' -f1-3 /proc/loadavg)"
"$out/legacy_bench" "$data"
if command -v unzip >/dev/null 2>&1; then
  seconds() {  # archive entry
    local start end
    start=$(date +%s%N)
    for ((i = 0; i < runs; i++)); do unzip -p "$data/$1" "$2" >/dev/null; done
    end=$(date +%s%N)
    echo $(((end - start) / runs))
  }
  for archive in HWSHRINK.ZIP HWIMPODE.ZIP; do
    entry=$(seconds "$archive" TESTDAT3.TXT)
    small=$(seconds "$archive" TESTDAT2.TXT)
    awk -v a="$archive" -v e="$entry" -v s="$small" \
      'BEGIN { printf "unzip -p %s TESTDAT3.TXT: %.1f MB/s of output (%.3f ms per entry beyond the start)\n", a, 81410 / ((e - s) / 1e9) / 1e6, (e - s) / 1e6 }'
  done
fi
