#!/bin/sh
# The native installer with names beyond any one code page: a user whose profile folder is
# "Jörg Ω中", the installation folder "C:\Program Files\中文 Qel Ω", image entries named in
# Japanese and Greek, and one whose full path runs past 260 characters. Everything lands under
# its own name, the shortcuts and the uninstall entry name it, and the uninstaller removes it.
#   names_e2e.sh INSTALL_PROGRAM SCRATCH_DIR
set -eu
program=$1
scratch=$2
here=$(cd "$(dirname "$0")" && pwd)
rm -rf "$scratch"
mkdir -p "$scratch/source"
export QEL_ROOT="$scratch/root"
export USER="Jörg Ω中"
deep="Tief $(printf 'Ω%.0s' $(seq 1 40))/$(printf 'x%.0s' $(seq 1 100))/$(printf '中%.0s' $(seq 1 60))/Ende.txt"
python3 - "$here/../../scripts" "$scratch/source/image.zip" "$deep" <<'PY'
import sys, zipfile
sys.path.insert(0, sys.argv[1])
import make_demo_image
make_demo_image.main(sys.argv[2])
with zipfile.ZipFile(sys.argv[2], "a", zipfile.ZIP_DEFLATED) as image:
    image.writestr("日本/データ Ω.txt", "unicode")
    image.writestr(sys.argv[3], "deep")
PY
cp "$program" "$scratch/source/Install"

. "$here/checks.sh"

(cd "$scratch/source" && printf 'Next\nset C:\\Program Files\\中文 Qel Ω\ncopy\nc\n' | ./Install > "$scratch/install.log" 2>&1)
suite="$QEL_ROOT/drive_c/Program Files/中文 Qel Ω"
check "an entry named in Japanese and Greek is extracted under its name" test "$(cat "$suite/日本/データ Ω.txt")" = unicode
check "an entry past 260 characters is extracted" test "$(cat "$suite/$deep")" = deep
check "the manifest names both as they were written, in UTF-8" python3 - "$suite/install.dat" "$deep" <<'PY'
import sys
text = open(sys.argv[1], "rb").read()
assert text.startswith(b"\xef\xbb\xbf"), text[:8]
lines = text[3:].decode("utf-8").split("\r\n")
assert "日本\\データ Ω.txt" in lines and sys.argv[2].replace("/", "\\") in lines, lines
PY
menu=$(find "$QEL_ROOT" -type d -name "Qel Orvane" | head -n 1)
check "the Start-menu folder is in the profile of Jörg Ω中" sh -c "echo '$menu' | grep -q 'Jörg Ω中'"
check "a shortcut names the folder in Unicode" python3 - "$menu/Qel Dovra.lnk" <<'PY'
import struct, sys
data = open(sys.argv[1], "rb").read()
flags = struct.unpack_from("<I", data, 20)[0]
assert flags & 0x82 == 0x82, hex(flags)  # link information, Unicode strings
pos = 76
header_size = struct.unpack_from("<I", data, pos + 4)[0]
assert header_size >= 0x24
base = pos + struct.unpack_from("<I", data, pos + 0x1C)[0]
end = base
while data[end:end + 2] != b"\0\0":
    end += 2
target = data[base:end].decode("utf-16-le")
assert target == "C:\\Program Files\\中文 Qel Ω\\DoVra.exe", target
PY
check "the uninstall entry names the folder" grep -qF '"InstallLocation"="C:\\Program Files\\中文 Qel Ω\\"' "$QEL_ROOT/system.reg"

(cd "$scratch" && printf 'o\n' | "$suite/Install" u > "$scratch/uninstall.log" 2>&1)
tries=0
while [ -e "$suite" ] && [ $tries -lt 100 ]; do sleep 0.1; tries=$((tries + 1)); done
check "the uninstall is complete" grep -q "Uninstalling is completed." "$scratch/uninstall.log"
check "nothing is left of the installation folder" test ! -e "$suite"
check "the Start-menu folder is gone" test ! -d "$menu"

if [ $failed -ne 0 ]; then
  for log in install uninstall; do echo "--- $log log"; cat "$scratch/$log.log"; done
fi
exit $failed
