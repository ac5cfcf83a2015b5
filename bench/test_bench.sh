#!/usr/bin/env bash
# Times `qelunzip -t` against `unzip -t` (and `7z t` where present) on one large entry and on
# many small ones, in alternating rounds; prints medians and ratios. A test writes nothing, so
# no output folder is involved. Not part of CI.
#
#   bench/test_bench.sh [QELUNZIP] [ROUNDS]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
tool=${1:-$here/../build/native/tools/qelunzip}
rounds=${2:-7}
corpus=$("$here/corpus.sh")
scratch=$(mktemp -d /dev/shm/qel-bench.XXXXXX)
trap 'rm -rf "$scratch"' EXIT
export QEL_ROOT="$scratch/sandbox"

check() {  # program archive
  case $1 in
    qelunzip) "$tool" -t -q "$corpus/$2.zip" >/dev/null ;;
    unzip) unzip -tq "$corpus/$2.zip" >/dev/null ;;
    7z) 7z t -bd "$corpus/$2.zip" >/dev/null ;;
  esac
}

stats() { tr ' ' '\n' <<<"$1" | grep . | sort -n | awk '{a[NR] = $1} END {print a[int((NR + 1) / 2)], a[1]}'; }

for archive in large small many; do
  present=()
  for program in qelunzip unzip 7z; do
    if [ "$program" = qelunzip ] || command -v "$program" >/dev/null 2>&1; then present+=("$program"); fi
  done
  declare -A times=()
  for ((i = 0; i < rounds; i++)); do
    for program in "${present[@]}"; do
      start=$(date +%s%N)
      check "$program" "$archive"
      end=$(date +%s%N)
      times[$program]+="$(((end - start) / 1000000)) "
    done
  done
  reference=$(stats "${times[qelunzip]}" | cut -d' ' -f1)
  echo "test of $archive.zip ($(du -h "$corpus/$archive.zip" | cut -f1)), $rounds rounds alternating:"
  for program in "${present[@]}"; do
    read -r median best <<<"$(stats "${times[$program]}")"
    printf '  %-10s median %6d ms  best %6d ms  %5.2fx qelunzip -t\n' "$program" "$median" "$best" \
      "$(awk -v a="$median" -v b="$reference" 'BEGIN { print a / b }')"
  done
  unset times
done
