#!/usr/bin/env bash
# qelunzip against Info-ZIP unzip on the archives of the fixture step: the same names in the
# same order, clean tests of good archives, a failing test of a damaged one.
set -u
tool=$1
fixtures=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export QEL_ROOT="$work/sandbox"
passed=0
failed=0
check() {
  if "$@"; then passed=$((passed + 1)); else failed=$((failed + 1)); echo "FAILED: $*"; fi
}
same_names() { diff <("$tool" -1 "$1") <(unzip -Z1 "$1") >/dev/null; }
tests_clean() { "$tool" -t -q -P secret "$1" >/dev/null; }
exit_code_is() {
  local want=$1
  shift
  "$@" >/dev/null 2>&1
  [ $? -eq "$want" ]
}

while read -r name; do
  [ -n "$name" ] || continue
  archive="$fixtures/$name"
  [ "$name" = split.zip ] || check same_names "$archive"
  check tests_clean "$archive"
done <"$fixtures/archives.list"

cp "$fixtures/plain.zip" "$work/damaged.zip"
# Flip one byte inside the first entry's deflated data.
printf '\xff' | dd of="$work/damaged.zip" bs=1 seek=200 conv=notrunc status=none
check exit_code_is 1 "$tool" -t -q "$work/damaged.zip"
check exit_code_is 2 "$tool" -t -q "$work/missing.zip"
# Each damaged stream is named as such, not as a CRC error.
damaged_reasons() {
  [ "$("$tool" -t -q "$fixtures/damaged_methods.zip" | grep -c '(compressed data damaged)$')" -eq 4 ]
}
check damaged_reasons
check exit_code_is 1 "$tool" -t -q "$fixtures/damaged_methods.zip"
check exit_code_is 2 "$tool" -x

# Extraction into a folder, then the same again without overwriting.
mkdir -p "$work/out"
check exit_code_is 0 "$tool" -q -d "$work/out" "$fixtures/stored.zip"
check cmp -s "$work/out/docs/guide.txt" "$fixtures/tree/docs/guide.txt"
check exit_code_is 1 "$tool" -q -n -d "$work/out" "$fixtures/stored.zip"
check exit_code_is 0 "$tool" -q -j -o -d "$work/flat" "$fixtures/stored.zip" '*.txt'
check test -f "$work/flat/guide.txt"

# Methods the component does not implement are named as such, before any password is asked.
unsupported() {  # unsupported ARCHIVE METHOD
  out=$("$tool" -t -q -P secret "$fixtures/$1" </dev/null)
  [ $? -eq 1 ] && echo "$out" | grep -q "(unsupported compression method $2)$" && ! echo "$out" | grep -q "OK\|password\|CRC"
}
if [ -f "$fixtures/aes.zip" ]; then
  check unsupported deflate64.zip 9
  check unsupported bzip2.zip 12
  check unsupported aes.zip 99
fi

# More entries than a 16-bit count: all listed, and the last ones extract.
check test "$("$tool" -1 "$fixtures/many_entries.zip" | wc -l)" -eq 70000
check exit_code_is 0 "$tool" -q -d "$work/many" "$fixtures/many_entries.zip" 'd69\*'
check test "$(cat "$work/many/d69/f69999.txt")" = 69999

# A damaged directory is an error unless recovery from the local headers is asked for.
python3 - "$fixtures/plain.zip" "$work/cut_directory.zip" <<'PY'
import sys, zipfile
data = bytearray(open(sys.argv[1], "rb").read())
third = data.find(b"PK\x01\x02", data.find(b"PK\x01\x02", zipfile.ZipFile(sys.argv[1]).start_dir) + 4)
third = data.find(b"PK\x01\x02", third + 4)
data[third + 1] = ord("X")
open(sys.argv[2], "wb").write(data)
PY
check exit_code_is 2 "$tool" -t -q "$work/cut_directory.zip"
check exit_code_is 0 "$tool" -t -q -F "$work/cut_directory.zip"
# A streamed archive without its directory: the descriptors give the sizes and CRCs.
python3 - "$fixtures/streamed.zip" "$work/streamed_cut.zip" <<'PY'
import sys, zipfile
data = open(sys.argv[1], "rb").read()
open(sys.argv[2], "wb").write(data[:zipfile.ZipFile(sys.argv[1]).start_dir])
PY
check exit_code_is 0 "$tool" -t -q -F "$work/streamed_cut.zip"
check test "$("$tool" -1 -F "$work/streamed_cut.zip" | wc -l)" -eq "$(unzip -Z1 "$fixtures/streamed.zip" | wc -l)"

# Hostile names never leave the destination, and a run that lost entries says so.
python3 - "$work/hostile.zip" <<'PY'
import sys, zipfile
with zipfile.ZipFile(sys.argv[1], "w") as z:
    for name in ("../up.txt", "C:../drive.txt", "/abs/root.txt", "C:/abs/drive.txt", "con.txt", "bad\x01name.txt",
                 "q?.txt", "ok.txt"):
        z.writestr(name, name)
PY
mkdir -p "$work/hostile/dest"
check exit_code_is 1 "$tool" -q -o -d "$work/hostile/dest" "$work/hostile.zip"
check test "$(ls "$work/hostile")" = dest
check test -f "$work/hostile/dest/up.txt" -a -f "$work/hostile/dest/drive.txt" -a -f "$work/hostile/dest/abs/root.txt"

# Control characters in names are shown escaped: no forged report line, no terminal escape. A
# folder entry that holds data is reported, not dropped silently.
python3 - "$work/controls.zip" <<'PY'
import sys, zipfile
with zipfile.ZipFile(sys.argv[1], "w") as z:
    z.writestr("evil\n  extracted forged.txt\x1b[2J.txt", "x")
    z.writestr("dir/", "data")
PY
escaped_names() {
  out=$("$tool" -o -d "$work/controls" "$work/controls.zip")
  [ $? -eq 1 ] && echo "$out" | grep -qxF '  failed: evil\x0a  extracted forged.txt\x1b[2J.txt (name not allowed)' &&
    echo "$out" | grep -qxF '  failed: dir/ (a folder entry that holds data)' && ! echo "$out" | grep -q $'^  extracted forged\\|\e'
}
check escaped_names

# The same archive twice with overwriting: both runs succeed and give the same files.
check exit_code_is 0 "$tool" -q -o -d "$work/twice" "$fixtures/plain.zip"
check exit_code_is 0 "$tool" -q -o -d "$work/twice" "$fixtures/plain.zip"
check diff -r "$work/twice" "$fixtures/tree"

# Names in UTF-8 are written as the archive spells them.
check exit_code_is 0 "$tool" -q -d "$work/utf8" "$fixtures/python_utf8.zip"
check test -f "$work/utf8/Привет/мир.txt" -a -f "$work/utf8/日本語.txt"

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
