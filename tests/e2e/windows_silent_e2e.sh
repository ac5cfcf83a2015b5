#!/bin/sh
# Install.exe unattended under Wine, with no display at all: "/S" must need no window. Installs
# into a folder with blanks given by "/D=", again over it, from a damaged image, then
# uninstalls with the quiet command the registration holds; each exit status and log is checked.
#   windows_silent_e2e.sh INSTALL_EXE SCRATCH_DIR
set -eu
program=$1
scratch=$2
here=$(cd "$(dirname "$0")" && pwd)
runner=$here/../../cmake/wine-run
export WINEPREFIX="$scratch/prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY

[ -d "$WINEPREFIX" ] && wineserver -k 2>/dev/null || true
rm -rf "$scratch"
mkdir -p "$scratch/source" "$scratch/broken"
python3 "$here/../../scripts/make_demo_image.py" "$scratch/source/image.zip"
cp "$program" "$scratch/source/Install.exe"
printf 'no archive at all' > "$scratch/broken/image.zip"
cp "$program" "$scratch/broken/Install.exe"
"$runner" wineboot -i >/dev/null 2>&1 || true
wineserver -w

. "$here/checks.sh"
windows_path() { printf 'Z:%s' "$1" | tr / '\\'; }
run() {  # run FOLDER PROGRAM ARGUMENTS...: the exit status, once every process of it has ended
  folder=$1
  shift
  status=0
  (cd "$folder" && "$runner" "$@" < /dev/null > /dev/null 2>&1) || status=$?
  wineserver -w
  echo $status
}
# Whether the log holds a line (a fixed text), read as the CR LF text it is.
logged() { tr -d '\r' < "$1" | grep -qF -- "$2"; }
# A 32-bit program's view of HKLM\Software is WOW6432Node in a 64-bit prefix, where reg runs
# as a 64-bit program: the value is looked for in both.
quiet_command() {
  for software in 'Software' 'Software\WOW6432Node'; do
    "$runner" reg query "HKLM\\$software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Qel Orvane" /v QuietUninstallString \
      2>/dev/null | tr -d '\r' | sed -n 's/.*QuietUninstallString[[:space:]]*REG_SZ[[:space:]]*//p'
  done | head -n 1
}

suite="$WINEPREFIX/drive_c/Program Files/My Qel"
status=$(run "$scratch/source" ./Install.exe /S "/LOG=$(windows_path "$scratch/install.log")" /D=C:\\Program Files\\My Qel)
check "a silent install ends with status 0" test "$status" = 0
check "the suite lands in the folder /D= names, blanks and all" test -f "$suite/Docs/readme.txt" -a -f "$suite/Install.exe"
check "the log has the files" logged "$scratch/install.log" 'created file C:\Program Files\My Qel\DoVra.exe'
check "the log has the links" logged "$scratch/install.log" 'Qel Orvane\Uninstall.lnk'
check "the log has the values" logged "$scratch/install.log" 'QuietUninstallString = "C:\Program Files\My Qel\Install.exe" u /S'
check "the log ends with the status" logged "$scratch/install.log" 'ended with status 0: done'
check "no dialog was even attempted" sh -c "! grep -q 'not shown' '$scratch/install.log'"
quiet=$(quiet_command)
check "the entry holds the quiet uninstall command" test "$quiet" = '"C:\Program Files\My Qel\Install.exe" u /S'

status=$(run "$scratch/source" ./Install.exe /S "/LOG=$(windows_path "$scratch/install2.log")" /D=C:\\Program Files\\My Qel)
check "installing again ends with status 0" test "$status" = 0
check "installing again replaces the files" logged "$scratch/install2.log" 'replaced file C:\Program Files\My Qel\DoVra.exe'

status=$(run "$scratch/broken" ./Install.exe /S "/LOG=$(windows_path "$scratch/broken.log")" "/D=C:\\Elsewhere")
check "a damaged image ends with status 2, logged, and nothing stays" sh -c "
  test '$status' = 2 && grep -q 'error: Cannot read the archive' '$scratch/broken.log' &&
  test ! -e '$WINEPREFIX/drive_c/Elsewhere'"

# The quiet command as the list of installed programs holds it.
status=$(run "$scratch" "$suite/Install.exe" u /S "/LOG=$(windows_path "$scratch/uninstall.log")")
check "a silent uninstall ends with status 0" test "$status" = 0
check "it removed the suite and its entry" sh -c "test ! -e '$suite' && test -z \"\$(find '$WINEPREFIX/drive_c' -type d -name 'Qel Orvane')\""
check "the quiet command is gone with the entry" test -z "$(quiet_command)"
check "the uninstall log names what went" sh -c "
  grep -q 'removed file .*Docs.readme.txt' '$scratch/uninstall.log' &&
  grep -q 'removed registry value .*QuietUninstallString' '$scratch/uninstall.log' &&
  grep -q 'ended with status 0' '$scratch/uninstall.log'"

wineserver -k 2>/dev/null || true
if [ $failed -ne 0 ]; then
  for log in install install2 broken uninstall; do echo "--- $log log"; cat "$scratch/$log.log" 2>/dev/null || true; done
fi
exit $failed
