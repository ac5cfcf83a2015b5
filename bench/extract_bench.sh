#!/usr/bin/env bash
# Times extraction by qelunzip against other programs, into a memory-backed folder, in
# alternating rounds; prints each program's median and best time and its ratio to qelunzip's
# median. Not part of CI.
#
#   bench/extract_bench.sh [QELUNZIP] [ROUNDS]
#
# large: the 103 MB entry of large.zip, beside libdeflate-gunzip and gzip -d on the same bytes
#        as large.gz (install libdeflate-tools to compare), bsdtar, unzip and 7z where present,
#        and the peak memory of qelunzip.
# small, many: 5 000 and 16 000 small files, beside bsdtar and unzip, and the system calls
#        per extracted file (strace -c; install strace to count them).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
tool=${1:-$here/../build/native/tools/qelunzip}
rounds=${2:-7}
corpus=$("$here/corpus.sh")
scratch=$(mktemp -d /dev/shm/qel-bench.XXXXXX)
trap 'rm -rf "$scratch"' EXIT
export QEL_ROOT="$scratch/sandbox"
out="$scratch/out"

extract() {  # program archive
  local program=$1 archive=$2
  rm -rf "$out" && mkdir -p "$out"
  case $program in
    qelunzip) "$tool" -q -o -d "$out" "$corpus/$archive.zip" ;;
    libdeflate-gunzip) libdeflate-gunzip -c "$corpus/$archive.gz" >"$out/$archive.bin" ;;
    gzip) gzip -d -c "$corpus/$archive.gz" >"$out/$archive.bin" ;;
    bsdtar) bsdtar -x -f "$corpus/$archive.zip" -C "$out" ;;
    unzip) unzip -q -o "$corpus/$archive.zip" -d "$out" ;;
    7z) 7z x -y -bd -o"$out" "$corpus/$archive.zip" >/dev/null ;;
  esac
}

run() {  # archive program...
  local archive=$1 program
  shift
  local present=()
  for program in "$@"; do
    if [ "$program" = qelunzip ] || command -v "$program" >/dev/null 2>&1; then present+=("$program"); fi
  done
  declare -A times=()
  for ((i = 0; i < rounds; i++)); do
    for program in "${present[@]}"; do
      local start end
      start=$(date +%s%N)
      extract "$program" "$archive"
      end=$(date +%s%N)
      times[$program]+="$(((end - start) / 1000000)) "
    done
  done
  local stats reference
  stats() { tr ' ' '\n' <<<"$1" | grep . | sort -n | awk '{a[NR] = $1} END {print a[int((NR + 1) / 2)], a[1]}'; }
  reference=$(stats "${times[qelunzip]}" | cut -d' ' -f1)
  echo "$archive.zip ($(du -h "$corpus/$archive.zip" | cut -f1)), $rounds rounds alternating, $(nproc) cores," \
    "load $(cut -d' ' -f1-3 /proc/loadavg):"
  for program in "${present[@]}"; do
    read -r median best <<<"$(stats "${times[$program]}")"
    printf '  %-18s median %6d ms  best %6d ms  %5.2fx qelunzip\n' "$program" "$median" "$best" \
      "$(awk -v a="$median" -v b="$reference" 'BEGIN { print a / b }')"
  done
}

run large qelunzip libdeflate-gunzip gzip bsdtar unzip 7z
rm -rf "$out" && mkdir -p "$out"
peak=$(/usr/bin/time -f %M "$tool" -q -o -d "$out" "$corpus/large.zip" 2>&1 >/dev/null | tail -1)
echo "  peak memory of qelunzip on large.zip: $peak KB"

for archive in small many; do
  run "$archive" qelunzip bsdtar unzip
  if command -v strace >/dev/null 2>&1; then
    files=$(unzip -Z1 "$corpus/$archive.zip" | grep -vc '/$')
    for program in qelunzip bsdtar; do
      rm -rf "$out" && mkdir -p "$out"
      case $program in
        qelunzip) strace -f -c -o "$scratch/strace" "$tool" -q -o -d "$out" "$corpus/$archive.zip" ;;
        bsdtar) strace -f -c -o "$scratch/strace" bsdtar -x -f "$corpus/$archive.zip" -C "$out" ;;
      esac
      calls=$(awk '$NF == "total" {print $4}' "$scratch/strace")
      printf '  %-18s %d system calls, %.1f per file\n' "$program" "$calls" "$(awk -v c="$calls" -v f="$files" 'BEGIN { print c / f }')"
    done
  else
    echo "  (install strace to count the system calls per file)"
  fi
done
