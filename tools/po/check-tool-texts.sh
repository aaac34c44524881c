#!/bin/sh
# Fails when a text of quillbox-cli (a Tr/TrF call in src/cli) is missing from
# po/quillbox.pot, naming it; the fix is tools/po/make-pot.sh and msgmerge (README).
set -u
root=$(cd "$(dirname "$0")/../.." && pwd)
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
"$root/tools/po/tool-texts.sh" >"$tmp/tool.pot" || exit 1
msgcmp --use-untranslated "$root/po/quillbox.pot" "$tmp/tool.pot" 2>"$tmp/report"
status=$?
grep -v "this message is not used" "$tmp/report"
if [ "$status" -ne 0 ]; then
    echo "po/quillbox.pot lacks texts of quillbox-cli: run tools/po/make-pot.sh build, then msgmerge each po/LANG.po"
fi
exit "$status"
