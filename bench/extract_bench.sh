#!/usr/bin/env bash
# Times extraction of deflated archives by qelunzip against unzip, 7z and bsdtar.
#
#   bench/extract_bench.sh [QELUNZIP] [RUNS]
#
# Builds a corpus once (one file of about 100 MB mixing text and binary data, and a tree of
# many small files), zips each with Info-ZIP zip -6, and extracts it into a memory-backed
# folder with every program in turn, RUNS rounds alternating the programs. Reports each
# program's best time and its ratio to qelunzip's. Not part of CI.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
tool=${1:-$here/../build/native/tools/qelunzip}
runs=${2:-5}
corpus=${QEL_BENCH_CORPUS:-/tmp/qel-bench-corpus}
scratch=$(mktemp -d /dev/shm/qel-bench.XXXXXX)
trap 'rm -rf "$scratch"' EXIT
export QEL_ROOT="$scratch/sandbox"

if [ ! -f "$corpus/large.zip" ] || [ ! -f "$corpus/small.zip" ]; then
  mkdir -p "$corpus"
  python3 - "$corpus" <<'PY'
import os, random, sys
root = sys.argv[1]
rng = random.Random(1)
words = [w.encode() for w in "the of and to in archive setup window install program data file system user".split()]
# The large file: runs of text, of incompressible bytes and of structured binary records.
with open(os.path.join(root, "large.bin"), "wb") as f:
    written = 0
    while written < 100 * 1024 * 1024:
        kind = rng.random()
        if kind < 0.5:
            chunk = b" ".join(rng.choice(words) for _ in range(20000))
        elif kind < 0.7:
            chunk = rng.randbytes(200000)
        else:
            chunk = b"".join(rng.randrange(1 << 16).to_bytes(4, "little") + b"\0\0\x01\x02" for _ in range(40000))
        f.write(chunk)
        written += len(chunk)
small = os.path.join(root, "small")
for i in range(5000):
    d = os.path.join(small, "d%02d" % (i % 50))
    os.makedirs(d, exist_ok=True)
    with open(os.path.join(d, "f%04d.txt" % i), "wb") as f:
        f.write(b" ".join(rng.choice(words) for _ in range(rng.randrange(10, 800))))
PY
  (cd "$corpus" && rm -f large.zip small.zip && zip -q -6 large.zip large.bin && zip -q -6 -r small.zip small)
fi

declare -A best
programs=(qelunzip unzip 7z bsdtar)
extract() {
  local program=$1 archive=$2 out=$3
  case $program in
    qelunzip) "$tool" -q -o -d "$out" "$archive" ;;
    unzip) unzip -q -o "$archive" -d "$out" ;;
    7z) 7z x -y -bd -o"$out" "$archive" >/dev/null ;;
    bsdtar) mkdir -p "$out" && bsdtar -x -f "$archive" -C "$out" ;;
  esac
}
for archive in large small; do
  for program in "${programs[@]}"; do best[$archive.$program]=999999; done
  for ((run = 0; run < runs; run++)); do
    for program in "${programs[@]}"; do
      command -v "${program/qelunzip/$tool}" >/dev/null 2>&1 || [ "$program" = qelunzip ] || continue
      out="$scratch/out"
      rm -rf "$out"
      start=$(date +%s%N)
      extract "$program" "$corpus/$archive.zip" "$out"
      ms=$(( ($(date +%s%N) - start) / 1000000 ))
      (( ms < best[$archive.$program] )) && best[$archive.$program]=$ms
    done
  done
  reference=${best[$archive.qelunzip]}
  echo "$archive.zip ($(du -h "$corpus/$archive.zip" | cut -f1)), best of $runs runs:"
  for program in "${programs[@]}"; do
    ms=${best[$archive.$program]}
    [ "$ms" = 999999 ] && continue
    printf '  %-9s %7d ms  %5.2fx qelunzip\n' "$program" "$ms" "$(awk -v a="$ms" -v b="$reference" 'BEGIN { print a / b }')"
  done
done
