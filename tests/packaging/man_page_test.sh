#!/usr/bin/env bash
# The manual page describes what `stl2hzm --help` offers: every option with
# its value's name, and nothing that --help lacks; every exit status with
# what --help says of it; every signal, environment variable and device that
# --help names; and every warning, both as the README's table lists it and
# as the program really prints it.
#
#   man_page_test.sh STL2HZM MAN_PAGE.scd README.md
set -euo pipefail
binary=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
page=$2
readme=$3
. "$(dirname "$0")/../support/help_text.sh"
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

# The definition lines ("*-q*, *--quiet*", "*--pitch* _MM_") of a section.
definitions() {
  awk -v want="# $1" '/^# / { inside = ($0 == want); next } inside && /^\*/' "$page"
}
# Text as a reader sees it, for comparing prose: without scdoc's markup
# (*bold*, _underline_, \-escapes), all blanks and line ends one space.
plain() { tr -d '*_\\' | tr -s ' \t\n' ' '; }
plain_page=$(plain <"$page")
# page_says TEXT: the page says TEXT, markup and line breaks aside.
page_says() { grep -qiF -- "$(plain <<<"$1" | sed 's/^ //; s/ $//')" <<<"$plain_page"; }

options_section=$(definitions OPTIONS)
exit_section=$(definitions "EXIT STATUS")
[ -n "$options_section" ] || fail "$page has no option in an OPTIONS section"
[ -n "$exit_section" ] || fail "$page has no EXIT STATUS section"
grep -q '^# EXAMPLES$' "$page" || fail "$page has no EXAMPLES section"

# Options: each of --help's, with the name of its value.
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

# Exit statuses: the same codes, and each described as --help describes it.
codes=$(help_exit_codes "$binary")
[ -n "$codes" ] || fail "$binary --help lists no exit status"
page_codes=$(grep -o '^\*[0-9]*\*' <<<"$exit_section" | tr -d '*')
[ "$(sort <<<"$codes")" = "$(sort <<<"$page_codes")" ] ||
  fail "exit statuses differ: --help has $(echo $codes), the manual page $(echo $page_codes)"
exit_meanings=$("$binary" --help | awk '
  /^[^ ]/ { section = $0; next }
  section == "Exit status:" && /^  +[0-9]+ / { code = $1; sub(/^ +[0-9]+ +/, ""); print code "\t" $0 }')
while IFS=$'\t' read -r code meaning; do
  described=$(awk -v want="*$code*" '
    /^# / { inside = ($0 == "# EXIT STATUS"); next }
    inside && $0 == want { found = 1; next }
    found && /^\t/ { print; next }
    found { exit }' "$page" | plain | sed 's/^ //; s/ $//')
  grep -qiF -- "$meaning" <<<"$described" ||
    fail "exit status $code: --help says '$meaning', the manual page '$described'"
done <<<"$exit_meanings"

# Names that --help mentions and a reader of the page needs as well.
#   what                   | pattern (Perl-style, matched in --help)
names=(
  "signal"                 'SIG[A-Z]+'
  "environment variable"   '\bLC_[A-Z]+|\bLANG\b'
  "device"                 '/dev/[a-z]+'
  "option"                 '(?<![[:alnum:]-])--?[a-z][a-z-]*'
)
help_text=$("$binary" --help)
for ((i = 0; i < ${#names[@]}; i += 2)); do
  what=${names[i]} pattern=${names[i + 1]}
  found=$(grep -oP -- "$pattern" <<<"$help_text" | sort -u)
  [ -n "$found" ] || fail "--help names no $what (pattern $pattern): the table is out of date"
  for name in $found; do
    grep -qF -- "$name" "$page" || fail "--help names the $what $name, the manual page does not"
  done
done

# Warnings, as the README's table lists them ("| `FILE: warning: ...` | ...").
listed=$(sed -n 's/^| `\([^`]*warning: [^`]*\)` |.*/\1/p' "$readme")
[ -n "$listed" ] || fail "$readme lists no warning in a table"
while IFS= read -r warning; do
  [ -z "$warning" ] || page_says "$warning" || fail "the README lists the warning '$warning', the manual page does not"
done <<<"$listed"

# Warnings, as the program prints them for a model that earns each one; the
# file, its line and the count become FILE, LINE and N as the page has them.
facet='facet normal 0 0 1\n outer loop\n  vertex 0 0 0\n  vertex 1 0 0\n  vertex 0 1 0\n endloop\nendfacet\n'
#   case                        | the model (printf format)
models=(
  "bytes after a Ctrl-Z"        "solid a\n${facet}endsolid a\n\x1athe rest\n"
  "an incomplete triangle"      "solid a\n${facet}  vertex 0 0 0\n  vertex 1 1 1\nendsolid a\n"
  "no endsolid line"            "solid a\n${facet}"
  "no triangles"                "solid a\nendsolid a\n"
)
folder=$(mktemp -d)
trap 'rm -rf "$folder"' EXIT
for ((i = 0; i < ${#models[@]}; i += 2)); do
  label=${models[i]}
  # shellcheck disable=SC2059  # the model is a printf format
  printf "${models[i + 1]}" >"$folder/model.stl"
  said=$(cd "$folder" && LC_ALL=C.UTF-8 "$binary" --pitch 1 -o model.hzm model.stl 2>&1) ||
    { fail "$label: stl2hzm failed: $said"; continue; }
  warning=$(grep 'warning: ' <<<"$said" || true)
  if [ "$(grep -c . <<<"$warning")" -ne 1 ]; then
    fail "$label: expected one warning, stl2hzm said: $said"
    continue
  fi
  generic=$(sed -E 's/^model\.stl:[0-9]+:/FILE:LINE:/; s/^model\.stl:/FILE:/; s/\b[0-9]+\b/N/g' <<<"$warning")
  page_says "$generic" || fail "$label: stl2hzm warns '$generic', the manual page does not say so"
done

[ "$failures" -eq 0 ] || exit 1
echo "the manual page agrees with --help: $(cut -f1 <<<"$help" | tr '\n' ' ')"
