#!/usr/bin/env bash
# Bunzip2 through the frame, CRC-32 included, against bzip2 -dc on the same stream, at levels 1
# and 9; prints the medians and their ratio. Not part of CI.
#   bench/bzip2_bench.sh [ROUNDS]
# The input is 8 MB of the bench corpus (corpus.sh): 4 MB of C headers and 4 MB of programs.
# bzip2's time is that of the whole program writing to /dev/null, less its time on an empty
# stream, so that starting it is not counted.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/.." && pwd)
rounds=${1:-7}
out=${BENCH_DIR:-$root/build/bench}
corpus=$("$here/corpus.sh")
mkdir -p "$out"
c++ -std=c++20 -O2 -DNDEBUG -I"$root" "$here/bzip2_bench.cpp" \
  "$root"/archive/codecs/{bunzip2,unzip_frame,crc32,crc32_folding,decode_table}.cpp -o "$out/bzip2_bench"

mixed=$out/bzip2_mixed.bin
if [ ! -f "$mixed" ]; then
  { dd if="$corpus/large.bin" bs=1000000 count=4 status=none
    dd if="$corpus/large.bin" bs=1000000 skip=60 count=4 status=none; } >"$mixed"
fi
printf '' | bzip2 -c >"$out/empty.bz2"
median() { sort -n | awk '{a[NR] = $1} END {print a[int((NR + 1) / 2)]}'; }
seconds() {  # FILE: median wall time of bzip2 -dc over the rounds
  for ((i = 0; i < rounds; i++)); do
    local start end
    start=$(date +%s%N)
    bzip2 -dc "$1" >/dev/null
    end=$(date +%s%N)
    echo $((end - start))
  done | median
}
echo "== $(nproc) cores, load $(cut -d' ' -f1-3 /proc/loadavg), $(stat -c %s "$mixed") bytes of mixed input"
base=$(seconds "$out/empty.bz2")
for level in 1 9; do
  stream=$out/bzip2_mixed_$level.bz2
  [ -f "$stream" ] || bzip2 -"$level" -c "$mixed" >"$stream"
  ours=$("$out/bzip2_bench" "$stream" "$rounds")
  echo "level $level: $ours"
  theirs=$(seconds "$stream")
  qel=$(sed -n 's/.*median \([0-9.]*\) s.*/\1/p' <<<"$ours")
  awk -v t="$theirs" -v b="$base" -v q="$qel" \
    'BEGIN { s = (t - b) / 1e9; printf "level %s: bzip2 -dc median %.3f s beyond its start; qel / bzip2: %.2f\n", "'"$level"'", s, q / s }'
done
