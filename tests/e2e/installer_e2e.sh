#!/bin/sh
# The native installer end to end, driven through its terminal front end in a fresh sandbox:
# install from a demo image.zip, install again over it (a repair), check what landed where
# (files, shortcut targets read back from the .lnk files, registry values), then uninstall
# with the copy the install left in the installation directory and check that nothing of the
# suite is left.
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

. "$here/checks.sh"

# Prints what the sandbox holds that a check compares: "link NAME -> TARGET ARGUMENTS" for
# each .lnk in the menu folder (decoded from the Shell Link format), and "reg NAME=VALUE" for
# each value of the suite's uninstall entry.
describe() {
  python3 - "$QEL_ROOT" "$1" <<'PY'
import os, re, struct, sys
root, menu = sys.argv[1], sys.argv[2]

def link_fields(path):
    data = open(path, "rb").read()
    flags = struct.unpack_from("<I", data, 20)[0]
    pos = 76
    if flags & 0x01:  # an item-ID list comes first
        pos += 2 + struct.unpack_from("<H", data, pos)[0]
    target = ""
    if flags & 0x02:  # link information: the local base path
        size, _, _, _, base = struct.unpack_from("<IIIII", data, pos)
        target = data[pos + base:data.index(b"\0", pos + base)].decode("cp1252")
        pos += size
    strings = {}
    unicode = flags & 0x80
    for bit, name in ((0x04, "name"), (0x08, "relative"), (0x10, "directory"), (0x20, "arguments")):
        if flags & bit:
            count = struct.unpack_from("<H", data, pos)[0]
            width = 2 if unicode else 1
            raw = data[pos + 2:pos + 2 + count * width]
            strings[name] = raw.decode("utf-16-le" if unicode else "cp1252")
            pos += 2 + count * width
    return target, strings.get("arguments", "")

if os.path.isdir(menu):
    for name in sorted(os.listdir(menu)):
        target, arguments = link_fields(os.path.join(menu, name))
        print("link %s -> %s %s" % (name, target, arguments))
text = open(os.path.join(root, "system.reg"), encoding="latin-1").read()
section = re.search(r"\[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Qel Orvane\]\r?\n(.*?)(\r?\n\r?\n|\Z)",
                    text, re.S | re.I)
if section:
    for line in section.group(1).splitlines():
        print("reg " + line)
PY
}

install() {  # install LOG
  (cd "$scratch/source" && printf 'Next\nset C:\\Suite\ncopy\nc\n' | ./Install > "$1" 2>&1)
}

# Welcome page (its button typed "Next", as its text spells it), directory page with a
# directory of our own, copy; the completion question is answered Cancel, so nothing is
# launched. Then the same again over the first install.
install "$scratch/install.log"
suite="$QEL_ROOT/drive_c/Suite"
menu=$(find "$QEL_ROOT" -type d -name "Qel Orvane" | head -n 1)
describe "$menu" > "$scratch/first.txt"
echo changed > "$suite/DoVra.exe"
install "$scratch/install2.log"
describe "$menu" > "$scratch/second.txt"

check "the programs are extracted" test -f "$suite/DoVra.exe" -a -f "$suite/qellantern.url"
check "the second install replaced a changed file" grep -q "stand-in for DoVra.exe" "$suite/DoVra.exe"
check "the folders are extracted" test -f "$suite/Docs/readme.txt"
check "the installer copied itself" cmp -s "$program" "$suite/Install"
check "the installation directory holds the archive's entries, the copy and the manifest" \
  test "$(cd "$suite" && find . | LC_ALL=C sort | tr '\n' ' ')" = ". ./DoVra.exe ./Docs ./Docs/readme.txt ./Install ./QelDayvo.exe ./QelFarrow.exe ./QelMarken.exe ./QelPixet.exe ./QelScrivo.exe ./QelZonda.exe ./install.dat ./qellantern.url "
check "the manifest lists every entry" sh -c "printf 'DoVra.exe\r\nQelPixet.exe\r\nQelFarrow.exe\r\nQelMarken.exe\r\nQelZonda.exe\r\nQelDayvo.exe\r\nQelScrivo.exe\r\nqellantern.url\r\nDocs\\\\\r\nDocs\\\\readme.txt\r\n' | cmp -s - '$suite/install.dat'"
cat > "$scratch/expected.txt" <<'EXPECTED'
link Pixet.lnk -> C:\Suite\QelPixet.exe 
link Qel Dayvo.lnk -> C:\Suite\QelDayvo.exe 
link Qel Dovra.lnk -> C:\Suite\DoVra.exe 
link Qel Farrow.lnk -> C:\Suite\QelFarrow.exe 
link Qel Lantern.lnk -> C:\Suite\qellantern.url 
link Qel Marken.lnk -> C:\Suite\QelMarken.exe 
link Qel Scrivo.lnk -> C:\Suite\QelScrivo.exe 
link Qel Zonda.lnk -> C:\Suite\QelZonda.exe 
link Uninstall.lnk -> C:\Suite\Install u
reg "DisplayName"="Qel Orvane"
reg "UninstallString"="\"C:\\Suite\\Install\" u"
reg "QuietUninstallString"="\"C:\\Suite\\Install\" u /S"
reg "DisplayIcon"="C:\\Suite\\Dovra.exe"
reg "DisplayVersion"="1.0"
reg "Publisher"="Qel"
reg "InstallLocation"="C:\\Suite\\"
reg "EstimatedSize"=dword:0000002d
reg "NoModify"=dword:00000001
reg "NoRepair"=dword:00000001
EXPECTED
check "the shortcuts point at the suite, the uninstall entry is complete" cmp -s "$scratch/expected.txt" "$scratch/first.txt"
check "installing again leaves one set of shortcuts and one entry" cmp -s "$scratch/first.txt" "$scratch/second.txt"
check "the program path is recorded" grep -q '"Program Path"="C:\\\\Suite\\\\Dovra.exe"' "$QEL_ROOT/user.reg"
check "the completion question was asked" grep -q "Installation complete. Run Qel Dovra?" "$scratch/install2.log"

# What the terminal front end shows a newcomer on the way.
log="$scratch/install.log"
check "every command was understood, \"Next\" capitalised too" sh -c "! grep -qF '? commands' '$log'"
check "a button shows the word that clicks it" grep -qE '^  \[Next >>\] +type: next$' "$log"
check "the browse button shows its word" grep -qE '^  \[\.\.\.\] Browse +type: browse$' "$log"
check "the progress bars are labelled File and Total" sh -c "grep -qE '^File +\\[' '$log' && grep -qE '^Total +\\[' '$log'"
check "the total progress ends at 100%" sh -c "grep -E 'Total +\\[' '$log' | tail -n 1 | grep -qE '100%\$'"
check "the last line says where the suite went" sh -c "tail -n 1 '$log' | grep -qxF 'Qel Orvane was installed in C:\\Suite.'"

# The registered command, as the list of installed programs would run it.
command=$(tr -d '\r' < "$QEL_ROOT/system.reg" | sed -n 's/^"UninstallString"="\\"\(.*\)\\" u"$/\1/p' | sed 's/\\\\/\\/g')
check "the uninstall command names the copy" test "$command" = 'C:\Suite\Install'
check "the copy is a program the uninstall command can start" test -x "$suite/Install"
(cd "$scratch" && printf 'o\n' | "$suite/Install" u > "$scratch/uninstall.log" 2>&1)
# The uninstaller's file goes once it has ended, removed by its copy in the temporary folder.
tries=0
while [ -e "$suite" ] && [ $tries -lt 100 ]; do sleep 0.1; tries=$((tries + 1)); done
check "the notice says the uninstall is complete" grep -q "Uninstalling is completed." "$scratch/uninstall.log"
check "nothing is left of the installation directory" test ! -e "$suite"
check "the Start-menu folder and its parent Qel are gone" test ! -d "$menu" -a ! -d "$(dirname "$menu")"
check "the uninstall entry is gone" sh -c "! grep -q 'Qel Orvane' '$QEL_ROOT/system.reg'"
check "the temporary copy stays in the temporary folder only" test -f "$QEL_ROOT/drive_c/WINDOWS/Temp/Qel Orvane uninstall.exe"

# Errors: each names its file or folder, and the page left behind shows its way out.
mkdir -p "$scratch/empty"
status=0
(cd "$scratch/empty" && printf 'next\ncopy\no\nclose\no\n' | "$program" > "$scratch/no-image.log" 2>&1) || status=$?
check "a missing image.zip is named, the status says so (2), and the page then offers close" \
  sh -c "test $status = 2 && grep -qF 'empty\\image.zip\". The system cannot find' '$scratch/no-image.log' &&
         grep -qE '^  \[Close\] +type: close$' '$scratch/no-image.log' && ! grep -q 'no more input' '$scratch/no-image.log'"
(cd "$scratch/source" && printf 'next\nset Q:\\x\ncopy\no\no\nclose\no\n' | ./Install > "$scratch/no-drive.log" 2>&1) || true
check "a folder that cannot be made is named" grep -qF 'Cannot create the folder "Q:\x". The system cannot find the path' "$scratch/no-drive.log"
# A name too long for the file system: the reason is the one the folder's creation met.
long=$(printf '%0300d' 0)
(cd "$scratch/source" && printf 'next\nset C:\\%s\ncopy\no\no\nclose\no\n' "$long" | ./Install > "$scratch/long-name.log" 2>&1) || true
check "a folder's error gives the reason it could not be made" grep -qF "$long\". The filename or extension is too long." "$scratch/long-name.log"

if [ $failed -ne 0 ]; then
  for log in install install2 uninstall no-image no-drive long-name; do echo "--- $log log"; cat "$scratch/$log.log"; done
  echo "--- first install"; cat "$scratch/first.txt"
fi
exit $failed
