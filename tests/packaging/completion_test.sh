#!/usr/bin/env bash
# The bash completion of stl2hzm, driven as readline drives it: options from
# --help, STL inputs whatever the case of their extension, files and folders
# for -o, nothing for free values, the listed words for fixed ones.
#
#   completion_test.sh STL2HZM COMPLETION_FILE
set -uo pipefail
binary=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
completion=$(cd "$(dirname "$2")" && pwd)/$(basename "$2")
. "$(dirname "$0")/../support/help_text.sh"
help=$(help_options "$binary")

. /usr/share/bash-completion/bash_completion || { echo "FAIL: no bash-completion" >&2; exit 1; }
. "$completion"
PATH=$(dirname "$binary"):$PATH

folder=$(mktemp -d)
trap 'rm -rf "$folder"' EXIT
cd "$folder" || exit 1
touch part.stl BIG.STL Mixed.Stl notes.txt ./-odd.stl
mkdir models

# What a Tab at the end of LINE offers, sorted, on one line. Readline splits
# the words at blanks and makes "=" a word of its own.
complete_line() {
  local line=$1
  COMP_LINE=$line
  COMP_POINT=${#line}
  read -r -a COMP_WORDS <<<"${line//=/ = }"
  [[ $line == *[[:blank:]=] ]] && COMP_WORDS+=("")
  COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
  COMPREPLY=()
  _stl2hzm stl2hzm "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}" 2>/dev/null
  printf '%s\n' "${COMPREPLY[@]}" | LC_ALL=C sort | grep -v '^$' | tr '\n' ' ' | sed 's/ $//'
}

failures=0
expect() {  # LABEL LINE EXPECTED
  local got
  got=$(complete_line "$2")
  [ "$got" = "$3" ] || { echo "FAIL: $1: '$2' offers '$got', expected '$3'" >&2; failures=$((failures + 1)); }
}

inputs="-odd.stl BIG.STL Mixed.Stl models part.stl"
long_options=$(cut -f1 <<<"$help" | grep -- '^--' | LC_ALL=C sort | tr '\n' ' ' | sed 's/ $//')

expect "every long option of --help"   "stl2hzm --"                 "$long_options"
expect "an option by its prefix"       "stl2hzm --pi"               "--pitch"
expect "options sharing a prefix"      "stl2hzm --p"                "--pitch --preview"
expect "an option after a value"       "stl2hzm --pitch 0.5 --s"    "--surface"
expect "inputs: STL files and folders" "stl2hzm "                   "$inputs"
expect "an input by its prefix"        "stl2hzm p"                  "part.stl"
expect "inputs whatever the case"      "stl2hzm M"                  "Mixed.Stl"
expect "a folder of inputs"            "stl2hzm mo"                 "models"
expect "inputs after other inputs"     "stl2hzm part.stl B"         "BIG.STL"
expect "output: any file"              "stl2hzm -o n"               "notes.txt"
expect "output: files and folders"     "stl2hzm part.stl -o "       "-odd.stl BIG.STL Mixed.Stl models notes.txt part.stl"
expect "pitch: a number, no files"     "stl2hzm --pitch "           ""
expect "threads given with ="          "stl2hzm --threads="         ""
expect "a fixed set of values"         "stl2hzm --units c"          "cm"
expect "after --, files only"          "stl2hzm -- -"               "-odd.stl"

# Every option that --help gives a value must be known to the completion:
# after it, the completion must not offer the STL inputs.
while IFS=$'\t' read -r option value; do
  [ -n "$value" ] || continue
  [ "$(complete_line "stl2hzm $option ")" != "$inputs" ] || {
    echo "FAIL: the completion does not know that $option takes $value" >&2
    failures=$((failures + 1))
  }
done <<<"$help"

[ "$failures" -eq 0 ] || exit 1
echo "the completion offers what --help lists: $long_options"
