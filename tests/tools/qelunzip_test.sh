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

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
