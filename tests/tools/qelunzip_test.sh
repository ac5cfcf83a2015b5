#!/usr/bin/env bash
# qelunzip against Info-ZIP unzip on the archives of the fixture step: the same names in the
# same order, clean tests of good archives, a failing test of a damaged one.
set -u
tool=$(realpath "$1")
fixtures=$(realpath "$2")
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
check exit_code_is 9 "$tool" -t -q "$work/missing.zip"
# Each damaged stream is named as such, not as a CRC error.
damaged_reasons() {
  [ "$("$tool" -t -q "$fixtures/damaged_methods.zip" | grep -c '(compressed data damaged)$')" -eq 4 ]
}
check damaged_reasons
check exit_code_is 1 "$tool" -t -q "$fixtures/damaged_methods.zip"
check exit_code_is 10 "$tool" -x

# Extraction into a folder, then the same again without overwriting.
mkdir -p "$work/out"
check exit_code_is 0 "$tool" -q -d "$work/out" "$fixtures/stored.zip"
check cmp -s "$work/out/docs/guide.txt" "$fixtures/tree/docs/guide.txt"
check exit_code_is 0 "$tool" -q -n -d "$work/out" "$fixtures/stored.zip"
check exit_code_is 0 "$tool" -q -j -o -d "$work/flat" "$fixtures/stored.zip" '*.txt'
check test -f "$work/flat/guide.txt"

# Methods the component does not implement are named as such, before any password is asked;
# Deflate64 is read.
unsupported() {  # unsupported ARCHIVE METHOD
  out=$("$tool" -t -q -P secret "$fixtures/$1" </dev/null)
  [ $? -eq 1 ] && echo "$out" | grep -q "(unsupported compression method $2)$" && ! echo "$out" | grep -q "OK\|password\|CRC"
}
if [ -f "$fixtures/aes.zip" ]; then
  check tests_clean "$fixtures/deflate64.zip"
  check tests_clean "$fixtures/aes.zip"
fi

# 7-Zip's BZip2 entries test clean.
[ -f "$fixtures/bzip2.zip" ] && check tests_clean "$fixtures/bzip2.zip"

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

# What Info-ZIP's zip keeps of Unix files comes back: the executable bit, the exact time, a link
# that stays inside; a link out of the destination is refused and named.
unix_files() {
  local src=$work/unixsrc out=$work/unixout
  mkdir -p "$src/bin" && printf '#!/bin/sh\n' >"$src/bin/run" && chmod 755 "$src/bin/run" &&
    touch -d '2021-03-04 05:06:07' "$src/bin/run" && ln -s run "$src/bin/start" && ln -s ../../x "$src/out" &&
    (cd "$src" && zip -q -y -r "$work/unix.zip" bin out) || return 1
  local report
  report=$("$tool" -d "$out" "$work/unix.zip")
  [ $? -eq 1 ] && grep -qxF '  failed: out (link would point outside the destination)' <<<"$report" &&
    [ -x "$out/bin/run" ] && [ "$(stat -c %Y "$out/bin/run")" = "$(stat -c %Y "$src/bin/run")" ] &&
    [ "$(readlink "$out/bin/start")" = run ] && [ ! -e "$out/out" ] && [ ! -L "$out/out" ]
}
check unix_files
# Nor does -u take them again: each file holds its entry's exact time.
check test -z "$("$tool" -u -d "$work/unixout" "$work/unix.zip" -x out 2>&1)"

# The command line as unzip users type it, run from $cli with the fixtures as fx/. A row: the
# exit status, a line the output must hold ("" for none), the arguments.
cli=$work/cli
mkdir -p "$cli/adir"
ln -s "$fixtures" "$cli/fx"
printf 'not a zip' >"$cli/notzip.zip"
python3 - "$cli/case.zip" <<'PY'
import sys, zipfile
with zipfile.ZipFile(sys.argv[1], "w") as z:
    for name in ("A.txt", "sub/a.txt", "a.txt"):
        z.writestr(name, name)
PY
cli_case() {  # cli_case STATUS LINE ARGS...
  local want=$1 line=$2 out
  shift 2
  out=$(cd "$cli" && "$tool" "$@" 2>&1 </dev/null)
  [ $? -eq "$want" ] && { [ -z "$line" ] || grep -qxF -- "$line" <<<"$out"; }
}
while IFS='|' read -r want line args; do
  eval "set -- $args"
  check cli_case "$want" "$line" "$@"
done <<EOF
0||fx/plain.zip -q -d out
0||fx/plain.zip -n -d out
0||-1 fx/plain
0|    50600                     3 files|-l fx/plain.zip 'docs/*'
0|docs/guide.txt|-1 -C fx/plain.zip 'DOCS/*'
11|caution: filename not matched:  DOCS/*|-1 fx/plain.zip 'DOCS/*'
11|caution: filename not matched:  nomatch|fx/plain.zip nomatch -q -d out
0|Привет/мир.txt|-1 fx/python_utf8.zip 'Прив?т/*'
0|  -p           extract to standard output, without messages|-h
0||--help
0||--version
10|qelunzip: unknown option --bogus|--bogus
82||-P wrong -o -d enc fx/encrypted.zip
9|qelunzip: cannot find ../cli/fx/missing or ../cli/fx/missing.zip|-t ../cli/fx/missing
9|qelunzip: cannot find $cli/missing.zip|-l $cli/missing.zip
9|qelunzip: not a ZIP archive but a directory: adir|-l adir
9|qelunzip: not a ZIP archive (no end of central directory record; try -F): notzip.zip|-t notzip.zip
0||case.zip a.txt -q -d exact
EOF
check cmp -s "$cli/out/docs/guide.txt" "$fixtures/tree/docs/guide.txt"
# A mask takes the whole path with its case: neither A.txt nor sub/a.txt.
check test "$(cd "$cli/exact" && find . -type f)" = ./a.txt -a "$(cat "$cli/exact/a.txt")" = a.txt
check cmp -s <(cd "$cli" && "$tool" -p fx/plain.zip readme.txt docs/guide.txt) \
  <(cat "$fixtures/tree/readme.txt" "$fixtures/tree/docs/guide.txt")
check test "$(cd "$cli" && "$tool" -1 fx/plain.zip -x 'docs/*' 'bin/*')" = "$(printf 'readme.txt\nemptydir/\nempty.dat\nzeros.bin')"
check cmp -s <("$tool" -z "$fixtures/archive_comment.zip") <(cat "$fixtures/archive_comment.comment"; echo)

# Masks as unzip reads them, and a test takes exactly the entries the listing shows.
python3 - "$cli/masks.zip" <<'PY'
import sys, zipfile
with zipfile.ZipFile(sys.argv[1], "w") as z:
    for name in ("a1.txt", "b2.txt", "B3.txt", "dir/a1.txt", "]x.txt", "x[1].txt", "ü.txt"):
        z.writestr(name, name)
PY
masks_take() {  # masks_take "NAMES" ARGS...
  local want=$1
  shift
  [ "$(cd "$cli" && "$tool" -1 masks.zip "$@" | tr '\n' ' ')" = "$want " ] &&
    [ "$(cd "$cli" && "$tool" -t masks.zip "$@" | sed -n 's/^  OK: //p' | tr '\n' ' ')" = "$want " ]
}
while IFS='|' read -r want args; do
  eval "set -- $args"
  check masks_take "$want" "$@"
done <<'EOF'
a1.txt|'a?.txt'
a1.txt dir/a1.txt|'*a1.txt'
a1.txt b2.txt|'[ab]*'
a1.txt b2.txt B3.txt|-C '[a-b]*'
B3.txt ]x.txt ü.txt|'[^a-z]*'
B3.txt dir/a1.txt ]x.txt x[1].txt ü.txt|'[!ab]*'
]x.txt x[1].txt|'[]]x.txt' 'x[[]1].txt'
ü.txt|'?.txt'
dir/a1.txt|'dir\a1.txt'
a1.txt b2.txt B3.txt|'*' -x 'dir/*' '*]*' '?.txt'
EOF

# -f replaces only files older than their entries, -u also brings back the missing ones.
updated() {
  local upd=$cli/upd
  "$tool" -q -d "$upd" "$fixtures/plain.zip" && echo changed >"$upd/readme.txt" && echo kept >"$upd/zeros.bin" &&
    touch -d 2000-01-01 "$upd/readme.txt" && rm "$upd/docs/guide.txt" &&
    "$tool" -f -q -d "$upd" "$fixtures/plain.zip" && cmp -s "$upd/readme.txt" "$fixtures/tree/readme.txt" &&
    [ "$(cat "$upd/zeros.bin")" = kept ] && [ ! -e "$upd/docs/guide.txt" ] &&
    "$tool" -u -q -d "$upd" "$fixtures/plain.zip" && [ -f "$upd/docs/guide.txt" ]
}
check updated

# Listing and testing write nothing, not even the sandbox.
check env QEL_ROOT="$work/untouched" "$tool" -l -q "$fixtures/plain.zip" >/dev/null
check env QEL_ROOT="$work/untouched" "$tool" -t -q "$fixtures/plain.zip" >/dev/null
check test ! -e "$work/untouched"

# A full disk is status 50, told in host paths; Ctrl-C at a prompt is status 80.
mkdir -p "$QEL_ROOT/capacity" && echo 1000 >"$QEL_ROOT/capacity/x"
check cli_case 50 "qelunzip: Cannot write to file \"$QEL_ROOT/drive_x/full/readme.txt\". There is not enough space on the disk." \
  -q -d 'X:\full' fx/plain.zip
rm "$QEL_ROOT/capacity/x"
if command -v script >/dev/null; then
  interrupted() {
    sleep 4 | script -qec "timeout --preserve-status -s INT 2 '$tool' -d '$cli/out' '$fixtures/plain.zip'" /dev/null >/dev/null
    [ $? -eq 80 ]
  }
  check interrupted
fi

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
