# Reads what `stl2hzm --help` promises, for the tests of the files that must
# agree with it (the man page, the shell completion). Source it, then call:
#
#   help_options BINARY      one line per option spelling in the "Options:"
#                            section: the option, a tab, and its value's name
#                            (MM, OUTPUT, ...; empty for a flag). "-q, --quiet"
#                            gives two lines.
#   help_exit_codes BINARY   one line per exit code in the "Exit status:" section

help_options() {
  "$1" --help | awk '
    /^[^ ]/ { section = $0; next }
    section == "Options:" && /^  +-/ {
      line = $0
      sub(/^ +/, "", line)
      sub(/  .*/, "", line)            # the description starts after two spaces
      n = split(line, parts, /, /)
      for (i = 1; i <= n; i++) {
        split(parts[i], word, / /)
        printf "%s\t%s\n", word[1], word[2]
      }
    }'
}

help_exit_codes() {
  "$1" --help | awk '
    /^[^ ]/ { section = $0; next }
    section == "Exit status:" && /^  +[0-9]+ / { print $1 }'
}
