#!/bin/sh
# The unattended program natively, in a fresh sandbox: "/S" installs without the terminal front
# end, into the folder "/D=" names (blanks, no quotes), logging to "/LOG="; again over it; from a
# damaged image; then uninstalls with "u /S". Each run's exit status and log are checked.
#   silent_e2e.sh INSTALL_PROGRAM SCRATCH_DIR
set -eu
program=$1
scratch=$2
here=$(cd "$(dirname "$0")" && pwd)
rm -rf "$scratch"
mkdir -p "$scratch/source" "$scratch/damaged" "$scratch/broken"
export QEL_ROOT="$scratch/root"
python3 "$here/../../scripts/make_demo_image.py" "$scratch/source/image.zip"
# A link as a Unix zip stores one: made as a link here, and set aside, replaced and removed as itself.
python3 - "$scratch/source/image.zip" <<'PY'
import sys, zipfile
with zipfile.ZipFile(sys.argv[1], "a") as z:
    link = zipfile.ZipInfo("Docs/latest.txt", (2024, 1, 2, 3, 4, 6))
    link.create_system = 3
    link.external_attr = 0o120777 << 16
    z.writestr(link, "readme.txt")
PY
cp "$program" "$scratch/source/Install"

. "$here/checks.sh"
run() {  # run FOLDER ARGUMENTS...: the program's exit status; nothing may be read from the terminal
  folder=$1
  shift
  status=0
  (cd "$folder" && ./Install "$@" < /dev/null > "$scratch/output.txt" 2>&1) || status=$?
  echo $status
}

suite="$QEL_ROOT/drive_c/Program Files/My Qel"
status=$(run "$scratch/source" /S "/LOG=$scratch/install.log" /D=C:\\Program Files\\My Qel)
check "a silent install ends with status 0" test "$status" = 0
check "it shows nothing, the window's front end included" test ! -s "$scratch/output.txt"
check "the suite lands in the folder /D= names, blanks and all" test -f "$suite/Docs/readme.txt" -a -f "$suite/Install"
check "the log has a line for each file, folder, link and value" sh -c "
  grep -qE '^[0-9]{4}-[0-9]{2}-[0-9]{2} [0-9:]{8} created file C:.Program Files.My Qel.DoVra.exe.\$' '$scratch/install.log' &&
  grep -q 'created folder C:.Program Files.My Qel.Docs' '$scratch/install.log' &&
  grep -q 'created link .*Qel Orvane.Uninstall.lnk' '$scratch/install.log' &&
  grep -q 'created registry value HKEY_CURRENT_USER.Software.Qel.Qel Orvane.Option.Program Path' '$scratch/install.log'"
check "the launch question is not offered" sh -c "! grep -q 'Dovra.exe.*started' '$scratch/install.log' && grep -q 'answered Cancel: Installation complete' '$scratch/install.log'"
check "the entry holds the quiet uninstall command" \
  grep -qF '"QuietUninstallString"="\"C:\\Program Files\\My Qel\\Install\" u /S"' "$QEL_ROOT/system.reg"

status=$(run "$scratch/source" /S "/LOG=$scratch/install2.log" /D=C:\\Program Files\\My Qel)
check "installing again ends with status 0, replacing what was there" \
  sh -c "test '$status' = 0 && grep -q 'replaced file C:.Program Files.My Qel.DoVra.exe' '$scratch/install2.log' && ! grep -q ' created ' '$scratch/install2.log'"
check "the link entry is a link, and nothing set aside stays" sh -c "
  test \"\$(readlink '$suite/Docs/latest.txt')\" = readme.txt && test -z \"\$(find '$suite' -name '~qel*')\""

# An image that is no archive at all, and one whose entry is damaged.
printf 'no archive at all' > "$scratch/broken/image.zip"
cp "$scratch/source/Install" "$scratch/broken/"
status=$(run "$scratch/broken" /S "/LOG=$scratch/broken.log" "/D=C:\\Elsewhere")
check "a damaged image ends with status 2, logged, and nothing stays" sh -c "
  test '$status' = 2 && grep -q 'error: Cannot read the archive' '$scratch/broken.log' &&
  grep -q 'ended with status 2' '$scratch/broken.log' && test ! -e '$QEL_ROOT/drive_c/Elsewhere'"
python3 - "$scratch/source/image.zip" "$scratch/damaged/image.zip" <<'PY'
import sys, zipfile
with zipfile.ZipFile(sys.argv[1]) as source:
    info = source.getinfo("Docs/readme.txt")
    data = bytearray(open(sys.argv[1], "rb").read())
# The entry's first data byte, past its local header: a CRC that no longer fits.
offset = info.header_offset + 30 + len(info.filename.encode()) + len(info.extra)
data[offset] ^= 0xFF
open(sys.argv[2], "wb").write(data)
PY
cp "$scratch/source/Install" "$scratch/damaged/"
status=$(run "$scratch/damaged" /S "/LOG=$scratch/damaged.log" "/D=C:\\Damaged")
check "a damaged entry ends with status 2 and names the entry" sh -c "
  test '$status' = 2 && grep -q 'error: not extracted: Docs.readme.txt' '$scratch/damaged.log'"

# Killed in the middle, the log says how far the run got.
status=0
(cd "$scratch/source" && QEL_STOP_AT_POINT=12 ./Install /S "/LOG=$scratch/killed.log" "/D=C:\\Killed" < /dev/null > /dev/null 2>&1) || status=$?
check "the log of a killed run ends with its last step" sh -c "
  test '$status' = 137 && grep -q 'created file' '$scratch/killed.log' && ! grep -q 'ended with' '$scratch/killed.log'"

# The quiet command as the list of installed programs holds it, the arguments in either order.
status=0
("$suite/Install" /S u "/LOG=$scratch/uninstall.log" < /dev/null > "$scratch/output.txt" 2>&1) || status=$?
tries=0
while [ -e "$suite" ] && [ $tries -lt 100 ]; do sleep 0.1; tries=$((tries + 1)); done
check "a silent uninstall ends with status 0, asking nothing" sh -c "test '$status' = 0 && test ! -s '$scratch/output.txt'"
check "it removed the suite, its menu folder and its entry" sh -c "
  test ! -e '$suite' && ! grep -q 'Qel Orvane' '$QEL_ROOT/system.reg' &&
  test -z \"\$(find '$QEL_ROOT' -name 'Qel Orvane' -type d)\""
check "the uninstall log names what went" sh -c "
  grep -q 'removed file .*My Qel.Docs.readme.txt' '$scratch/uninstall.log' &&
  grep -q 'removed registry value .*Uninstall.Qel Orvane.QuietUninstallString' '$scratch/uninstall.log' &&
  grep -q 'removed link .*Uninstall.lnk' '$scratch/uninstall.log'"
status=$(run "$scratch/source" u /S "/LOG=$scratch/uninstall2.log")
check "an uninstall without a manifest ends with status 2" sh -c "test '$status' = 2 && grep -q 'error: Qel Orvane was not removed' '$scratch/uninstall2.log'"

# The window returns the same statuses: left on its welcome page, nothing was done.
status=0
(cd "$scratch/source" && printf 'close\no\n' | ./Install "/LOG=$scratch/window.log" > "$scratch/output.txt" 2>&1) || status=$?
check "the window left at once ends with status 1" sh -c "test '$status' = 1 && grep -q 'ended with status 1: cancelled' '$scratch/window.log'"

if [ $failed -ne 0 ]; then
  for log in install install2 broken damaged killed uninstall uninstall2 window; do echo "--- $log log"; cat "$scratch/$log.log" 2>/dev/null || true; done
fi
exit $failed
