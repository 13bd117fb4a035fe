#!/usr/bin/env bash
# The bash completion of stl2hzm, driven as readline drives it: options from
# --help, STL inputs whatever the case of their extension, files and folders
# for -o, nothing for free values, the listed words for fixed ones (and each
# of those words one that stl2hzm accepts).
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
probe=$(mktemp -d)  # a model to try values on, away from the files completed
trap 'rm -rf "$folder" "$probe"' EXIT
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
expect "options sharing a prefix"      "stl2hzm --p"                "--pitch --png-levels --preview"
expect "an option after a value"       "stl2hzm --pitch 0.5 --su"   "--surface"
expect "inputs: STL files and folders" "stl2hzm "                   "$inputs"
expect "an input by its prefix"        "stl2hzm p"                  "part.stl"
expect "inputs whatever the case"      "stl2hzm M"                  "Mixed.Stl"
expect "a folder of inputs"            "stl2hzm mo"                 "models"
expect "inputs after other inputs"     "stl2hzm part.stl B"         "BIG.STL"
expect "output: any file"              "stl2hzm -o n"               "notes.txt"
expect "output: files and folders"     "stl2hzm part.stl -o "       "-odd.stl BIG.STL Mixed.Stl models notes.txt part.stl"
expect "pitch: a number, no files"     "stl2hzm --pitch "           ""
expect "threads given with ="          "stl2hzm --threads="         ""
expect "output: --output too"          "stl2hzm --output n"         "notes.txt"
expect "after --, files only"          "stl2hzm -- -"               "-odd.stl"

# The options with a fixed set of values: every value, by prefix, after "=".
#   option     | typed        | offered
fixed=(
  --units      ""             "cm ft in m mm"
  --units      "m"            "m mm"
  --units      "c"            "cm"
  --units=     "i"            "in"
  --units      "yd"           ""
  --format     ""             "asc hzm png tif"
  --format     "p"            "png"
  --format=    "h"            "hzm"
  --format=    ""             "asc hzm png tif"
  --format     "stl"          ""
  --png-levels ""             "full units"
  --png-levels "u"            "units"
  --bit-depth= ""             "16 8"
)
for ((i = 0; i < ${#fixed[@]}; i += 3)); do
  option=${fixed[i]} typed=${fixed[i + 1]}
  separator=" "
  [[ $option == *= ]] && separator=""
  expect "the values of ${option%=}" "stl2hzm $option$separator$typed" "${fixed[i + 2]}"
done

# Whatever the completion offers as a value, stl2hzm takes; a word outside
# the set it refuses as bad usage (status 2), so the probe can tell them apart.
model=$probe/model.stl
printf 'solid a\nfacet normal 0 0 1\nouter loop\nvertex 0 0 0\nvertex 1 0 0\nvertex 0 1 0\nendloop\nendfacet\nendsolid a\n' >"$model"
accepts() { "$binary" --info "$1" "$2" "$model" >/dev/null 2>&1; }
#   option     | a word outside its set
probes=(
  --units      yd
  --format     stl
)
for ((i = 0; i < ${#probes[@]}; i += 2)); do
  option=${probes[i]}
  offered=$(complete_line "stl2hzm $option ")
  [ -n "$offered" ] || { echo "FAIL: nothing offered after $option" >&2; failures=$((failures + 1)); }
  for word in $offered; do
    accepts "$option" "$word" || {
      echo "FAIL: the completion offers $option $word, stl2hzm refuses it" >&2
      failures=$((failures + 1))
    }
  done
  if accepts "$option" "${probes[i + 1]}"; then
    echo "FAIL: stl2hzm takes $option ${probes[i + 1]}, so the probe cannot tell" >&2
    failures=$((failures + 1))
  fi
done
# --output, which --help does not list, is one more name of -o.
accepts --output "$probe/out.hzm" || {
  echo "FAIL: the completion knows --output, stl2hzm refuses it" >&2
  failures=$((failures + 1))
}

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
