#!/bin/sh
# Writes po/quillbox.pot, the template of every text the user can see: the dialogs'
# and the string table's (quillbox-pot, from the registered resources) and
# quillbox-cli's own (tool-texts.sh, from its Tr/TrF calls).
#
#     cmake --build build --target quillbox-pot && tools/po/make-pot.sh build
#     for f in po/*.po; do msgmerge --update --backup=none --no-fuzzy-matching "$f" po/quillbox.pot; done
set -eu
root=$(cd "$(dirname "$0")/../.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
"$build/src/quillbox-pot" >"$tmp/resources.pot"
"$root/tools/po/tool-texts.sh" >"$tmp/tool.pot"
msgcat --use-first "$tmp/resources.pot" "$tmp/tool.pot" -o "$root/po/quillbox.pot"
