#!/bin/sh
# The native installer end to end, driven through its terminal front end in a fresh sandbox:
# install from a demo image.zip, check what landed where, then uninstall with the copy the
# install left in the installation directory.
#   installer_e2e.sh INSTALL_PROGRAM SCRATCH_DIR
set -eu
program=$1
scratch=$2
here=$(cd "$(dirname "$0")" && pwd)
rm -rf "$scratch"
mkdir -p "$scratch/source"
export QEL_ROOT="$scratch/root"
python3 "$here/../../scripts/make_demo_image.py" "$scratch/source/image.zip"
cp "$program" "$scratch/source/Install"

failed=0
check() {  # check DESCRIPTION COMMAND...
  description=$1
  shift
  if "$@"; then echo "ok: $description"; else echo "FAILED: $description"; failed=1; fi
}

# Welcome page, directory page with a directory of our own, copy; the completion question
# is answered Cancel, so nothing is launched.
(cd "$scratch/source" && printf 'next\nset C:\\Suite\ncopy\nc\n' | ./Install > "$scratch/install.log" 2>&1)
suite="$QEL_ROOT/drive_c/Suite"
check "the programs are extracted" test -f "$suite/DoVra.exe" -a -f "$suite/qellantern.url"
check "the folders are extracted" test -f "$suite/Docs/readme.txt"
check "the installer copied itself" cmp -s "$program" "$suite/Install"
check "the manifest lists every entry" sh -c "printf 'DoVra.exe\r\nQelPixet.exe\r\nQelFarrow.exe\r\nQelMarken.exe\r\nQelZonda.exe\r\nQelDayvo.exe\r\nQelScrivo.exe\r\nqellantern.url\r\nDocs\\\\\r\nDocs\\\\readme.txt\r\n' | cmp -s - '$suite/install.dat'"
menu=$(find "$QEL_ROOT" -type d -name "Qel Orvane" | head -n 1)
check "the Start-menu folder holds nine shortcuts" test "$(ls "$menu" 2>/dev/null | grep -c '\.lnk$')" = 9
check "the uninstall entry is registered" grep -q '"UninstallString"="C:\\\\Suite\\\\Install u"' "$QEL_ROOT/system.reg"
check "the program path is recorded" grep -q '"Program Path"="C:\\\\Suite\\\\Dovra.exe"' "$QEL_ROOT/user.reg"
check "the completion question was asked" grep -q "Installation complete. Run Qel Dovra?" "$scratch/install.log"

# The copy carries bytes only, as on Windows; the stand-in needs it executable to start it.
chmod +x "$suite/Install"
(cd "$scratch" && printf 'o\n' | "$suite/Install" u > "$scratch/uninstall.log" 2>&1)
check "the listed files are gone" test ! -e "$suite/DoVra.exe" -a ! -e "$suite/Docs/readme.txt"
check "the manifest is gone" test ! -e "$suite/install.dat"
check "the installer's copy stays" test -f "$suite/Install"
check "the Start-menu folder is gone" test ! -d "$menu"
check "the uninstall entry is gone" sh -c "! grep -q 'Qel Orvane' '$QEL_ROOT/system.reg'"
check "the notice was shown" grep -q "Uninstalling is completed." "$scratch/uninstall.log"

if [ $failed -ne 0 ]; then
  echo "--- install log"; cat "$scratch/install.log"
  echo "--- uninstall log"; cat "$scratch/uninstall.log"
fi
exit $failed
