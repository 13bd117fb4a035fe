#!/usr/bin/env bash
# Fails when a tracked C++ source differs from what the checked-in
# .clang-format makes of it; names the files. Fix with
#   git ls-files '*.cpp' '*.h' | xargs clang-format-14 -i
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
format=clang-format-14
command -v "$format" >/dev/null || format=clang-format
mapfile -t sources < <(git ls-files '*.cpp' '*.h')
if ! "$format" --dry-run -Werror "${sources[@]}" 2>/tmp/pelmoro-format.$$; then
  grep -o '^[^:]*:[0-9]*:[0-9]*' /tmp/pelmoro-format.$$ | cut -d: -f1 | sort -u |
    sed 's/^/check-format: not formatted: /' >&2
  rm -f /tmp/pelmoro-format.$$
  exit 1
fi
rm -f /tmp/pelmoro-format.$$
