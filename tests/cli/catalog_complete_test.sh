#!/bin/sh
# Fails while a message of stl2hzm or of the window has no Japanese text:
# every id the sources hand to Translate, TranslatePlural or N_ is listed by
# xgettext and looked up in po/ja.po by msgcmp, which refuses a missing, an
# empty and a fuzzy translation alike.
#
#   catalog_complete_test.sh SOURCE_DIR PO_FILE
set -eu
src=$1
po=$2
pot=$(mktemp)
trap 'rm -f "$pot"' EXIT
cd "$src"
# The one id with a CR LF (the window's own "Error!" text) draws a warning.
xgettext --from-code=UTF-8 --keyword=Translate --keyword=TranslatePlural:1,2 --keyword=N_ \
  --omit-header --no-location -o "$pot" cli/*.cpp run/*.cpp app/*.cpp 2>/dev/null
ids=$(grep -c '^msgid ' "$pot")
if [ "$ids" -lt 90 ]; then
  echo "FAIL: xgettext found only $ids message ids; are Translate and N_ still the keywords?"
  exit 1
fi
msgcmp "$po" "$pot"
