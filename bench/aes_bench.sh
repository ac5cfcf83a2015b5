#!/usr/bin/env bash
# Times `qelunzip -t` against `7z t` on one archive of stored AES-256 entries (AE-2, as 7z
# writes it) of a few tens of MB, in alternating rounds; prints medians and the ratio. What it
# measures is the decryption and authentication: key derivation, AES-CTR, HMAC-SHA1, CRC.
# Also the extraction into a folder, beside `7z x`. Not part of CI.
#
#   bench/aes_bench.sh [QELUNZIP] [ROUNDS] [MEGABYTES]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
tool=${1:-$here/../build/native/tools/qelunzip}
rounds=${2:-7}
megabytes=${3:-48}
command -v 7z >/dev/null || { echo "7z is needed to make the archive and to compare with" >&2; exit 1; }
scratch=$(mktemp -d /dev/shm/qel-aes-bench.XXXXXX)
trap 'rm -rf "$scratch"' EXIT
export QEL_ROOT="$scratch/sandbox"

# Incompressible data in a few files, so stored is what any method would choose.
mkdir -p "$scratch/src"
python3 - "$scratch/src" "$megabytes" <<'PY'
import os, random, sys
folder, total = sys.argv[1], int(sys.argv[2]) << 20
rng = random.Random(1)
for i in range(4):
    with open(os.path.join(folder, "part%d.bin" % i), "wb") as f:
        f.write(rng.randbytes(total // 4))
PY
archive="$scratch/aes256.zip"
(cd "$scratch/src" && 7z a -tzip -mx=0 -mem=AES256 -pbench -bd "$archive" . >/dev/null)

run() {  # program mode
  case $1:$2 in
    qelunzip:t) "$tool" -t -q -P bench "$archive" >/dev/null ;;
    7z:t) 7z t -bd -pbench "$archive" >/dev/null ;;
    qelunzip:x) rm -rf "$scratch/out" && "$tool" -q -o -P bench -d "$scratch/out" "$archive" >/dev/null ;;
    7z:x) rm -rf "$scratch/out" && 7z x -bd -y -pbench -o"$scratch/out" "$archive" >/dev/null ;;
  esac
}

stats() { tr ' ' '\n' <<<"$1" | grep . | sort -n | awk '{a[NR] = $1} END {print a[int((NR + 1) / 2)], a[1]}'; }

run qelunzip t || { echo "qelunzip does not test the archive clean" >&2; exit 1; }
for mode in t x; do
  declare -A times=()
  for ((i = 0; i < rounds; i++)); do
    for program in qelunzip 7z; do
      start=$(date +%s%N)
      run "$program" "$mode"
      end=$(date +%s%N)
      times[$program]+="$(((end - start) / 1000000)) "
    done
  done
  reference=$(stats "${times[qelunzip]}" | cut -d' ' -f1)
  echo "$([ $mode = t ] && echo test || echo extraction) of $(basename "$archive") ($(du -h "$archive" | cut -f1), stored AES-256), $rounds rounds alternating:"
  for program in qelunzip 7z; do
    read -r median best <<<"$(stats "${times[$program]}")"
    printf '  %-10s median %6d ms  best %6d ms  %5.2fx qelunzip\n' "$program" "$median" "$best" \
      "$(awk -v a="$median" -v b="$reference" 'BEGIN { print a / b }')"
  done
  unset times
done
