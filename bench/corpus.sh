#!/usr/bin/env bash
# Builds the benchmark corpus once, into QEL_BENCH_CORPUS (default build/bench/corpus of this
# tree), and prints its folder. Sourced by the other bench scripts.
#
#   large.bin   about 103 MB: the machine's C headers (/usr/include) followed by programs
#               (/usr/bin), taken in sorted order, so the same machine always makes the same file
#   large.gz    large.bin by gzip -6 -n (for libdeflate-gunzip and gzip -d)
#   large.zip   large.bin by Info-ZIP zip -6
#   small.zip   5 000 text files of 100 B to 6 KB in 50 folders, zip -6
#   many.zip    16 000 such files in 160 folders, zip -6
set -euo pipefail
bench_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
corpus=${QEL_BENCH_CORPUS:-$bench_root/build/bench/corpus}
mkdir -p "$corpus"

if [ ! -f "$corpus/large.bin" ]; then
  python3 - "$corpus/large.bin" <<'PY'
import os, sys
limit_headers, limit_total = 51 * 1000 * 1000, 103 * 1000 * 1000
def files(top):
    for folder, dirs, names in os.walk(top):
        dirs.sort()
        for name in sorted(names):
            path = os.path.join(folder, name)
            if os.path.isfile(path) and not os.path.islink(path):
                yield path
written = 0
with open(sys.argv[1], "wb") as out:
    for top, limit in (("/usr/include", limit_headers), ("/usr/bin", limit_total)):
        for path in files(top):
            if written >= limit:
                break
            try:
                data = open(path, "rb").read(limit - written)
            except OSError:
                continue
            out.write(data)
            written += len(data)
PY
fi
[ -f "$corpus/large.gz" ] || gzip -6 -n -c "$corpus/large.bin" > "$corpus/large.gz"
[ -f "$corpus/large.zip" ] || (cd "$corpus" && zip -q -6 large.zip large.bin)

make_tree() {  # name count folders
  local name=$1 count=$2 folders=$3
  [ -f "$corpus/$name.zip" ] && return
  rm -rf "${corpus:?}/$name"
  python3 - "$corpus/$name" "$count" "$folders" <<'PY'
import os, random, sys
root, count, folders = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
rng = random.Random(count)
words = [w.encode() for w in "the of and to in archive setup window install program data file system user".split()]
for i in range(count):
    d = os.path.join(root, "d%03d" % (i % folders))
    os.makedirs(d, exist_ok=True)
    with open(os.path.join(d, "f%05d.txt" % i), "wb") as f:
        f.write(b" ".join(rng.choice(words) for _ in range(rng.randrange(20, 800))))
PY
  (cd "$corpus" && zip -q -6 -r "$name.zip" "$name")
  rm -rf "${corpus:?}/$name"
}
make_tree small 5000 50
make_tree many 16000 160
echo "$corpus"
