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
python3 "$here/../../scripts/make_demo_image.py" "$scratch/source/image.zip"
cp "$program" "$scratch/source/Install.exe"
# What the installation must hold, as another program extracts it, and the manifest it makes.
(cd "$scratch/expected" && unzip -q ../source/image.zip)
unzip -Z1 "$scratch/source/image.zip" | sed 's|/|\\|g; s/$/\r/' > "$scratch/expected.dat"

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
