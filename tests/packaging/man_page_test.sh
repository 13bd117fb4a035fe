#!/usr/bin/env bash
# The manual page describes what `stl2hzm --help` offers: every option with
# its value's name, and every exit status, and nothing that --help lacks.
#
#   man_page_test.sh STL2HZM MAN_PAGE.scd
set -euo pipefail
binary=$1
page=$2
. "$(dirname "$0")/../support/help_text.sh"
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

# The definition lines ("*-q*, *--quiet*", "*--pitch* _MM_") of a section.
definitions() {
  awk -v want="# $1" '/^# / { inside = ($0 == want); next } inside && /^\*/' "$page"
}
options_section=$(definitions OPTIONS)
exit_section=$(definitions "EXIT STATUS")
[ -n "$options_section" ] || fail "$page has no option in an OPTIONS section"
[ -n "$exit_section" ] || fail "$page has no EXIT STATUS section"
grep -q '^# EXAMPLES$' "$page" || fail "$page has no EXAMPLES section"

help=$(help_options "$binary")
[ -n "$help" ] || fail "$binary --help lists no option"
while IFS=$'\t' read -r option value; do
  line=$(grep -F -- "*$option*" <<<"$options_section" || true)
  if [ -z "$line" ]; then
    fail "--help lists $option, the manual page's OPTIONS do not"
  elif [ -n "$value" ] && ! grep -qF -- "_${value}_" <<<"$line"; then
    fail "the manual page gives $option without its value $value: $line"
  fi
done <<<"$help"

# Options the manual page describes but --help no longer offers.
for option in $(grep -o -- '\*-[^*]*\*' <<<"$options_section" | tr -d '*'); do
  cut -f1 <<<"$help" | grep -qxF -- "$option" ||
    fail "the manual page describes $option, --help does not list it"
done

codes=$(help_exit_codes "$binary")
[ -n "$codes" ] || fail "$binary --help lists no exit status"
page_codes=$(grep -o '^\*[0-9]*\*' <<<"$exit_section" | tr -d '*')
[ "$(sort <<<"$codes")" = "$(sort <<<"$page_codes")" ] ||
  fail "exit statuses differ: --help has $(echo $codes), the manual page $(echo $page_codes)"

[ "$failures" -eq 0 ] || exit 1
echo "the manual page agrees with --help: $(cut -f1 <<<"$help" | tr '\n' ' ')"
