#!/bin/sh
# Writes the catalogue template of quillbox-cli's own texts (its help, messages,
# prompts and headings) to standard output: every Tr("context", "English") and
# TrF("context", "English", ...) call in src/cli, found by xgettext.
#
#     tools/po/tool-texts.sh > tool.pot
set -eu
cd "$(dirname "$0")/../.."
xgettext --language=C++ --from-code=UTF-8 --keyword= --keyword=Tr:1c,2 --keyword=TrF:1c,2 \
    --flag=TrF:2:c-format --add-comments=TRANSLATORS: --add-location=file --sort-by-file \
    --package-name=Quillbox -o - src/cli/*.cpp 2>/dev/null
