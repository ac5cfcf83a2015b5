# The end-to-end scripts' one way of checking: "ok:" or "FAILED:" and the description, a line
# each; $failed becomes 1 at the first failure, for the script's exit status. Sourced.
failed=0
check() {  # check DESCRIPTION COMMAND...
  description=$1
  shift
  if "$@"; then echo "ok: $description"; else echo "FAILED: $description"; failed=1; fi
}
