#!/usr/bin/env bash
# Deflate64 against deflate: one slice of the corpus compressed by 7-Zip with each (the same
# encoder, so the two streams differ only in the format), decoded in memory through the frame
# in alternating rounds; then `qelunzip -t` against `7z t` on the Deflate64 archive, whole
# programs, alternating. Prints medians and ratios. Not part of CI.
#
#   bench/deflate64_bench.sh [QELUNZIP] [ROUNDS] [MEGABYTES]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/.." && pwd)
tool=${1:-$root/build/native/tools/qelunzip}
rounds=${2:-7}
megabytes=${3:-32}
out=${BENCH_DIR:-$root/build/bench}
corpus=$("$here/corpus.sh")
mkdir -p "$out"

slice="$corpus/slice${megabytes}m.bin"
[ -f "$slice" ] || head -c "$((megabytes * 1000 * 1000))" "$corpus/large.bin" > "$slice"
for method in Deflate Deflate64; do
  archive="$corpus/slice${megabytes}m_$method.zip"
  [ -f "$archive" ] || (cd "$corpus" && 7z a -tzip -bd -mm=$method -mx=5 "$archive" "$(basename "$slice")" >/dev/null)
done

c++ -std=c++20 -O2 -DNDEBUG -I"$root" "$here/deflate64_bench.cpp" "$root"/archive/codecs/*.cpp -o "$out/deflate64_bench"
echo "== in memory, $(nproc) cores, load $(cut -d' ' -f1-3 /proc/loadavg), $rounds rounds alternating"
"$out/deflate64_bench" "$rounds" "$corpus/slice${megabytes}m_Deflate.zip" "$corpus/slice${megabytes}m_Deflate64.zip"

if command -v 7z >/dev/null 2>&1 && [ -x "$tool" ]; then
  scratch=$(mktemp -d)
  trap 'rm -rf "$scratch"' EXIT
  export QEL_ROOT="$scratch/sandbox"
  archive="$corpus/slice${megabytes}m_Deflate64.zip"
  declare -A times=()
  for ((i = 0; i < rounds; i++)); do
    for program in qelunzip 7z; do
      start=$(date +%s%N)
      case $program in
        qelunzip) "$tool" -t -q "$archive" >/dev/null ;;
        7z) 7z t -bd "$archive" >/dev/null ;;
      esac
      end=$(date +%s%N)
      times[$program]+="$(((end - start) / 1000000)) "
    done
  done
  median() { tr ' ' '\n' <<<"$1" | grep . | sort -n | awk '{a[NR] = $1} END {print a[int((NR + 1) / 2)]}'; }
  q=$(median "${times[qelunzip]}")
  s=$(median "${times[7z]}")
  echo "== test of the Deflate64 archive, whole programs, $rounds rounds alternating, load $(cut -d' ' -f1-3 /proc/loadavg)"
  awk -v q="$q" -v s="$s" 'BEGIN { printf "  qelunzip -t median %d ms, 7z t median %d ms, ratio qelunzip / 7z: %.2f\n", q, s, q / s }'
fi
