#!/usr/bin/env bash
# LZMA (method 14): `qelunzip -t` against `7z t` on the same archive, in alternating rounds;
# prints medians and the ratio (the target is at most 7-Zip's time). The archive is made once by
# 7-Zip from about 6 MB of mixed data: C headers (text) and programs (binary) of this machine,
# in sorted order, so the same machine always makes the same file. `xz -t` on the same data
# through the .lzma format is shown beside them as a second reference. Not part of CI.
#
#   bench/lzma_bench.sh [QELUNZIP] [ROUNDS]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/.." && pwd)
tool=${1:-$root/build/native/tools/qelunzip}
rounds=${2:-7}
data=${BENCH_DIR:-$root/build/bench}/lzma
mkdir -p "$data"
scratch=$(mktemp -d /dev/shm/qel-lzma-bench.XXXXXX)
trap 'rm -rf "$scratch"' EXIT
export QEL_ROOT="$scratch/sandbox"

if [ ! -f "$data/mixed.bin" ]; then
  python3 - "$data/mixed.bin" <<'PY'
import os, sys
written = 0
with open(sys.argv[1], "wb") as out:
    for top, limit in (("/usr/include", 3 * 1000 * 1000), ("/usr/bin", 6 * 1000 * 1000)):
        for folder, dirs, names in os.walk(top):
            dirs.sort()
            for name in sorted(names):
                path = os.path.join(folder, name)
                if written >= limit:
                    break
                if os.path.isfile(path) and not os.path.islink(path):
                    try:
                        data = open(path, "rb").read(limit - written)
                    except OSError:
                        continue
                    out.write(data)
                    written += len(data)
PY
fi
[ -f "$data/mixed_lzma.zip" ] || (cd "$data" && 7z a -tzip -mm=LZMA -bd mixed_lzma.zip mixed.bin >/dev/null)
[ -f "$data/mixed.lzma" ] || xz --format=lzma -k -c "$data/mixed.bin" > "$data/mixed.lzma"

check() {  # program
  case $1 in
    qelunzip) "$tool" -t -q "$data/mixed_lzma.zip" >/dev/null ;;
    7z) 7z t -bd "$data/mixed_lzma.zip" >/dev/null ;;
    xz) xz -t "$data/mixed.lzma" ;;
  esac
}
stats() { tr ' ' '\n' <<<"$1" | grep . | sort -n | awk '{a[NR] = $1} END {print a[int((NR + 1) / 2)], a[1]}'; }

programs=(qelunzip 7z)
command -v xz >/dev/null 2>&1 && programs+=(xz)
declare -A times=()
for ((i = 0; i < rounds; i++)); do
  for program in "${programs[@]}"; do
    start=$(date +%s%N)
    check "$program"
    end=$(date +%s%N)
    times[$program]+="$(((end - start) / 1000000)) "
  done
done
echo "== $(nproc) cores, load $(cut -d' ' -f1-3 /proc/loadavg)"
echo "test of mixed_lzma.zip ($(stat -c %s "$data/mixed_lzma.zip") bytes from $(stat -c %s "$data/mixed.bin")), $rounds rounds alternating:"
reference=$(stats "${times[qelunzip]}" | cut -d' ' -f1)
for program in "${programs[@]}"; do
  read -r median best <<<"$(stats "${times[$program]}")"
  printf '  %-10s median %6d ms  best %6d ms  %5.2fx qelunzip -t\n' "$program" "$median" "$best" \
    "$(awk -v a="$median" -v b="$reference" 'BEGIN { print a / b }')"
done
