# shellcheck shell=bash
# The counting of checks shared by the Windows test scripts, which source
# it after setting check_label (the name their failures are reported by).
passed=0
failed=0
pass() { passed=$((passed + 1)); }
fail() {
  failed=$((failed + 1))
  echo "$check_label: FAILED: $*" >&2
}
