#!/bin/sh
# Runs the example program on an archive made here and checks what it prints and writes.
#   examples/check.sh PROGRAM WORK_DIR
# The archive: three entries from Python's zipfile (one with a name only UTF-8 spells), and one
# that Info-ZIP zip encrypts with a password.
set -eu
program=$1
rm -rf "$2"
mkdir -p "$2"
work=$(cd "$2" && pwd)
mkdir -p "$work/src"
printf 'hidden words' > "$work/src/secret.txt"
python3 - "$work/demo.zip" <<'PY'
import sys, zipfile
with zipfile.ZipFile(sys.argv[1], "w", zipfile.ZIP_DEFLATED) as z:
    z.writestr("readme.txt", "Read me first.\n")
    z.writestr("docs/guide.txt", "A guide, deflated.\n" * 4)
    z.writestr("docs/\u043c\u0438\u0440.txt", "peace\n")
PY
(cd "$work/src" && zip -q -P swordfish "$work/demo.zip" secret.txt)

# The component's "Windows machine" for this run.
QEL_ROOT=$work/root "$program" "$work/demo.zip" "$work/out" swordfish secret.txt > "$work/output.txt"
cat > "$work/expected.txt" <<'TXT'
15	readme.txt
76	docs/guide.txt
6	docs/мир.txt
12	secret.txt	(encrypted)
extracted 4 of 4
secret.txt in memory: hidden words
TXT
if ! diff -u "$work/expected.txt" "$work/output.txt"; then
  echo "examples/check.sh: the example printed something else" >&2
  exit 1
fi
[ "$(cat "$work/out/secret.txt")" = "hidden words" ]
[ "$(cat "$work/out/docs/мир.txt")" = "peace" ]
# The component's string tables came with it: only the table holds this text.
if ! grep -a -q 'Putback overflow' "$program"; then
  echo "examples/check.sh: $program was linked without the component's string tables" >&2
  exit 1
fi
echo "examples/check.sh: $program works"
