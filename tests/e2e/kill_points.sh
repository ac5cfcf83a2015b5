#!/bin/sh
# The native installer stopped at every point of its run, as a kill or a power cut would stop
# it (QEL_STOP_AT_POINT=n ends the process at the n-th step boundary, see platform/process.h),
# then started again: that start must find the journal and leave the machine either fully
# installed or exactly as before: files, their content and read-only bits, links, both hives.
# Two runs: a first install on a fresh machine, and a repair over an earlier install with a
# changed image. At every third point the rollback of the next start is itself stopped at its
# first point, and a third start must finish it.
#   kill_points.sh INSTALL_PROGRAM SCRATCH_DIR
set -eu
program=$1
scratch=$2
here=$(cd "$(dirname "$0")" && pwd)
rm -rf "$scratch"
mkdir -p "$scratch/source"
python3 "$here/../../scripts/make_demo_image.py" "$scratch/source/image.zip"
cp "$program" "$scratch/source/Install"

install_input='next\nset C:\\Suite\ncopy\nc\n'
# A start that only recovers: the notice is answered, then the window is closed.
restart_input='o\nclose\no\n'

# What a check compares: every file below the sandbox (but the temporary folder, where the
# journal and the uninstaller's copy live) with its content's digest and read-only bit, and
# the two hives.
describe() {
  python3 - "$1" <<'PY'
import hashlib, os, sys
root = sys.argv[1]
for folder, dirs, files in sorted(os.walk(root)):
    dirs.sort()
    rel = os.path.relpath(folder, root)
    if rel.lower().startswith(os.path.join("drive_c", "windows", "temp")):
        continue
    print("dir", rel)
    for name in sorted(files):
        path = os.path.join(folder, name)
        if os.path.islink(path):
            continue
        data = open(path, "rb").read()
        readonly = not os.access(path, os.W_OK)
        print("file", os.path.join(rel, name), hashlib.sha1(data).hexdigest(), "ro" if readonly else "rw")
PY
}

# run ROOT INPUT [STOP]: the installer in the sandbox ROOT, its exit status echoed.
run() {
  status=0
  (cd "$scratch/source" && printf "$2" | QEL_ROOT="$1" QEL_STOP_AT_POINT="${3:-0}" ./Install > "$1.log" 2>&1) || status=$?
  echo $status
}

tried=0
failed=0
scenario() {  # scenario NAME: $scratch/NAME.before holds the machine before the install
  name=$1
  before=$scratch/$name.before
  after=$scratch/$name.after
  rm -rf "$after" && cp -a "$before" "$after"
  [ "$(run "$after" "$install_input")" = 0 ] || { echo "FAILED: $name: the full install did not end"; failed=1; return; }
  describe "$before" > "$scratch/$name.before.txt"
  describe "$after" > "$scratch/$name.after.txt"
  n=1
  while :; do
    machine=$scratch/$name.$n
    rm -rf "$machine" && cp -a "$before" "$machine"
    status=$(run "$machine" "$install_input" $n)
    if [ "$status" != 137 ]; then
      rm -rf "$machine"
      break  # the run ended before the n-th point: every point was tried
    fi
    tried=$((tried + 1))
    if [ $((n % 3)) = 0 ]; then
      run "$machine" "$restart_input" 1 > /dev/null  # the rollback stopped at its first point
    fi
    run "$machine" "$restart_input" > /dev/null
    describe "$machine" > "$machine.txt"
    if cmp -s "$machine.txt" "$scratch/$name.before.txt"; then
      found="as before"
    elif cmp -s "$machine.txt" "$scratch/$name.after.txt"; then
      found="fully installed"
    else
      found="neither"
      failed=1
      echo "FAILED: $name, stopped at point $n: the next start left the machine neither as before nor installed"
      diff "$scratch/$name.before.txt" "$machine.txt" | head -20
    fi
    echo "$name, point $n: $found"
    [ "$found" = neither ] || rm -rf "$machine" "$machine.txt" "$machine.log"
    n=$((n + 1))
  done
}

# A fresh machine: the sandbox as the first start lays it out.
fresh=$scratch/fresh.before
(cd "$scratch/source" && printf 'close\no\n' | QEL_ROOT="$fresh" ./Install > /dev/null 2>&1) || true
scenario fresh

# A repair: the suite installed, then a new image whose files differ.
repair=$scratch/repair.before
cp -a "$fresh" "$repair"
[ "$(run "$repair" "$install_input")" = 0 ]
python3 - "$scratch/source/image.zip" <<'PY'
import sys, zipfile
with zipfile.ZipFile(sys.argv[1], "a", zipfile.ZIP_DEFLATED) as image:
    image.writestr("Docs/new.txt", "added by the second image\r\n")
PY
chmod a-w "$repair/drive_c/Suite/DoVra.exe"  # a read-only file of the earlier install
scenario repair

echo "$tried kill points tried"
[ "$tried" -gt 20 ] || { echo "FAILED: too few kill points ($tried)"; failed=1; }
exit $failed
