#!/usr/bin/env bash
# Inflate through the frame, CRC-32 included, against libdeflate on the same stream in memory,
# in alternating rounds; prints the medians and their ratio. Not part of CI.
#
#   bench/inflate_bench.sh [ROUNDS]          the native build (64-bit)
#   bench/inflate_bench.sh --win32 [ROUNDS]  also the i686 and x86-64 Windows builds under Wine,
#                                            and the ratio of their times
#
# The comparison needs libdeflate's header and library: install libdeflate-dev to compare
# (without it the frame is timed alone). The corpus is made by corpus.sh.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/.." && pwd)
win32=0
if [ "${1:-}" = --win32 ]; then win32=1; shift; fi
rounds=${1:-9}
out=${BENCH_DIR:-$root/build/bench}
corpus=$("$here/corpus.sh")
mkdir -p "$out"
sources=("$root"/archive/codecs/{inflate,decode_table,unzip_frame,crc32,crc32_folding,fast_codes,inflate_fast,linear_window}.cpp)
flags=(-std=c++20 -O2 -DNDEBUG -I"$root")

if [ -f /usr/include/libdeflate.h ]; then
  c++ "${flags[@]}" -DQEL_BENCH_LIBDEFLATE "$here/inflate_bench.cpp" "${sources[@]}" -ldeflate -o "$out/inflate_bench"
else
  echo "libdeflate.h not found: install libdeflate-dev to compare; timing the frame alone"
  c++ "${flags[@]}" "$here/inflate_bench.cpp" "${sources[@]}" -o "$out/inflate_bench"
fi
echo "== in memory, $(nproc) cores, load $(cut -d' ' -f1-3 /proc/loadavg)"
"$out/inflate_bench" "$corpus/large.gz" "$rounds"

if [ "$win32" = 1 ]; then
  # The shipped program is 32-bit: the same bench as i686 and x86-64 Windows programs, timed
  # alternately under Wine (the Wine layer costs both the same, the decoder runs natively).
  for target in i686 x86_64; do
    "$target-w64-mingw32-g++-posix" "${flags[@]}" -D__USE_MINGW_ANSI_STDIO=1 -static "$here/inflate_bench.cpp" "${sources[@]}" \
      -o "$out/inflate_bench_$target.exe"
  done
  export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" WINEPREFIX=${WINEPREFIX:-$out/wineprefix}
  wine wineboot -i >/dev/null 2>&1 || true
  declare -A times
  for ((i = 0; i < rounds; i++)); do
    for target in i686 x86_64; do
      t=$(wine "$out/inflate_bench_$target.exe" "Z:$corpus/large.gz" 1 qel | awk '/qel frame/ {print $6}')
      times[$target]+="$t "
    done
  done
  median() { tr ' ' '\n' <<<"$1" | grep . | sort -n | awk '{a[NR] = $1} END {print a[int((NR + 1) / 2)]}'; }
  m32=$(median "${times[i686]}")
  m64=$(median "${times[x86_64]}")
  echo "== under Wine, $rounds rounds alternating, load $(cut -d' ' -f1-3 /proc/loadavg)"
  awk -v a="$m32" -v b="$m64" 'BEGIN { printf "  i686 median %.3f s, x86-64 median %.3f s, ratio i686 / x86-64: %.2f\n", a, b, a / b }'
fi
