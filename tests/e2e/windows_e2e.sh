#!/bin/sh
# The Windows program end to end: Install.exe under Wine, in a prefix of its own and on a
# virtual display, driven by install_driver.exe through its window and message boxes. The
# screenshots land in SCRATCH_DIR/screenshots.
#   windows_e2e.sh INSTALL_DRIVER INSTALL_EXE SCRATCH_DIR OBJDUMP
set -eu
driver=$1
program=$2
scratch=$3
objdump=$4
here=$(cd "$(dirname "$0")" && pwd)
runner=$here/../../cmake/wine-run
export WINEPREFIX="$scratch/prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="

# A prefix left by an earlier run may still have its server.
[ -d "$WINEPREFIX" ] && wineserver -k 2>/dev/null || true
rm -rf "$scratch"
mkdir -p "$scratch/source" "$scratch/expected" "$scratch/screenshots"
# The demo image, with an entry named in Japanese and Greek and one whose path, below the
# installation folder, runs past 260 characters.
python3 - "$here/../../scripts" "$scratch/source/image.zip" <<'PY'
import sys, zipfile
sys.path.insert(0, sys.argv[1])
import make_demo_image
make_demo_image.main(sys.argv[2])
with zipfile.ZipFile(sys.argv[2], "a", zipfile.ZIP_DEFLATED) as image:
    image.writestr("日本/データ Ω.txt", "unicode\r\n")
    image.writestr("Tief " + "Ω" * 40 + "/" + "x" * 150 + "/" + "中" * 60 + "/Ende.txt", "deep\r\n")
PY
cp "$program" "$scratch/source/Install.exe"
# What the installation must hold, as another program extracts it, and the manifest it makes:
# UTF-8 behind its mark, as the names go beyond ASCII. (Python reads the names whatever the
# locale of the machine running the test.)
python3 - "$scratch/source/image.zip" "$scratch/expected" "$scratch/expected.dat" <<'PY'
import sys, zipfile
with zipfile.ZipFile(sys.argv[1]) as image:
    image.extractall(sys.argv[2])
    names = image.namelist()
with open(sys.argv[3], "wb") as manifest:
    manifest.write(b"\xef\xbb\xbf" + "".join(n.replace("/", "\\") + "\r\n" for n in names).encode("utf-8"))
PY

# Self-contained: the program imports nothing but the system's DLLs.
foreign=$("$objdump" -p "$program" | sed -n 's/^[[:space:]]*DLL Name: //p' |
  grep -iE '^(lib|mingw|msvcp|vcruntime)' || true)
if [ -n "$foreign" ]; then
  echo "FAILED: Install.exe needs DLLs that Windows does not have: $foreign"
  exit 1
fi
echo "ok: Install.exe imports only system DLLs"

"$runner" wineboot -i >/dev/null 2>&1 || true
# Wine draws the windows' frames itself, as no window manager runs: the screenshots then show
# the title bars, their captions and icons.
"$runner" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1 || true
# The desktop these started has no display: it must end before the programs under test start
# theirs on the virtual one.
wineserver -w
windows_path() { printf 'Z:%s' "$1" | tr / '\\'; }
status=0
xvfb-run -a -s "-screen 0 1280x1024x24" "$runner" "$driver" "$(windows_path "$scratch/source/Install.exe")" \
  "$(windows_path "$scratch/expected")" "$(windows_path "$scratch/expected.dat")" \
  "$(windows_path "$scratch/screenshots")" || status=$?
wineserver -k 2>/dev/null || true
echo "screenshots: $scratch/screenshots"
exit $status
