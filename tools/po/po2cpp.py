#!/usr/bin/env python3
"""Turns the text catalogues (po/quillbox.pot, po/LANG.po) into a C++ source file of
tables the resource module registers, so that no build needs a translation library at
run time.

    po2cpp.py --pot po/quillbox.pot --out translations.cpp po/de.po po/fr.po ...

Each catalogue becomes one table of (context, English text, translation). Entries that
are fuzzy, untranslated or no longer in the template are left out (the program shows
English for them). A translation whose printf conversions or line breaks differ from
the English text's stops the build: the program passes its arguments by the English
text's conversions, so a mismatch could read the wrong argument.

The template also yields a pseudo-language "qps": every text accented and about 40 %
longer, for finding texts that are cut or were never put into the catalogue.
"""

import argparse
import os
import re
import sys

ESCAPES = {"n": "\n", "t": "\t", '"': '"', "\\": "\\", "r": "\r", "a": "\a", "b": "\b", "f": "\f", "v": "\v"}


def unquote(text, where):
    if len(text) < 2 or text[0] != '"' or text[-1] != '"':
        raise SystemExit(f"{where}: expected a quoted string, found {text!r}")
    body, out, i = text[1:-1], [], 0
    while i < len(body):
        c = body[i]
        if c == "\\" and i + 1 < len(body):
            out.append(ESCAPES.get(body[i + 1], body[i + 1]))
            i += 2
        else:
            out.append(c)
            i += 1
    return "".join(out)


def read_po(path):
    """The entries of a .po/.pot file: dicts with ctx, id, str, fuzzy."""
    entries, cur, field, flags = [], None, None, set()

    def finish():
        nonlocal cur, field
        if cur is not None and "id" in cur:
            entries.append(cur)
        cur, field = None, None

    def begin():
        nonlocal cur, flags
        cur = {"fuzzy": "fuzzy" in flags}
        flags = set()

    with open(path, encoding="utf-8") as f:
        for n, raw in enumerate(f, 1):
            line = raw.strip()
            where = f"{path}:{n}"
            if not line:
                finish()
            elif line.startswith("#~"):
                continue  # obsolete
            elif line.startswith("#,"):
                if cur is not None and "str" in cur:
                    finish()
                flags |= {x.strip() for x in line[2:].split(",")}
            elif line.startswith("#"):
                continue
            elif m := re.match(r"(msgctxt|msgid_plural|msgid|msgstr(?:\[\d+\])?)\s+(.*)$", line):
                word = m.group(1)
                key = {"msgctxt": "ctx", "msgid": "id", "msgid_plural": "plural"}.get(word, "str")
                if key == "ctx" or (key == "id" and (cur is None or "id" in cur)):
                    finish()
                    begin()
                if cur is None:
                    raise SystemExit(f"{where}: {word} without msgid")
                field = key
                if key == "str" and word != "msgstr" and word != "msgstr[0]":
                    field = "other"  # plural forms beyond the first are not used
                cur[field] = unquote(m.group(2), where)
            elif line.startswith('"') and cur is not None and field:
                cur[field] += unquote(line, where)
            else:
                raise SystemExit(f"{where}: cannot read this line: {line!r}")
    finish()
    return [e for e in entries if e.get("id")]  # the header has an empty msgid


CONVERSION = re.compile(r"%(?:%|[-+ #0]*(?:\d+|\*)?(?:\.(?:\d+|\*))?(?:hh|h|ll|l|z|j|t|L)?[diouxXeEfFgGaAcspn])")


def conversions(text):
    return [c for c in CONVERSION.findall(text) if c != "%%"]


def c_literal(text):
    out = ['"']
    for b in text.encode("utf-8"):
        ch = chr(b)
        if ch == '"':
            out.append('\\"')
        elif ch == "\\":
            out.append("\\\\")
        elif ch == "\n":
            out.append("\\n")
        elif ch == "\t":
            out.append("\\t")
        elif ch == "?":
            out.append("\\?")  # no trigraphs
        elif 32 <= b < 127:
            out.append(ch)
        else:
            out.append(f"\\{b:03o}")
    out.append('"')
    return "".join(out)


ACCENTED = dict(zip("aceinorsuyzACEINORSUYZ", "àçéîñøŕšüýžÀÇÉÎÑØŔŠÜÝŽ"))


def pseudo(text):
    """Accented, about 40 % longer, with conversions, accelerators and breaks kept."""
    out, i = [], 0
    while i < len(text):
        m = CONVERSION.match(text, i)
        if m:
            out.append(m.group(0))
            i = m.end()
            continue
        c = text[i]
        if c == "&" and i + 1 < len(text):
            out.append(text[i : i + 2])  # the accelerator stays a key on the keyboard
            i += 2
            continue
        out.append(ACCENTED.get(c, c))
        i += 1
    body = "".join(out)
    longest = max(len(part) for part in text.split("\n"))
    pad = max(1, (longest * 4 + 9) // 10 - 2)
    lines = body.split("\n")
    # The padding goes on the longest line, so the widest line grows by 40 %.
    k = max(range(len(lines)), key=lambda j: len(lines[j]))
    lines[k] = lines[k] + " " + "~" * pad
    return "[" + "\n".join(lines) + "]"


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--pot", required=True)
    ap.add_argument("--out", required=True)
    ap.add_argument("catalogues", nargs="*")
    args = ap.parse_args()

    template = read_po(args.pot)
    known = {(e.get("ctx", ""), e["id"]) for e in template}
    tables = []
    for path in args.catalogues:
        language = os.path.splitext(os.path.basename(path))[0]
        rows = []
        for e in read_po(path):
            key = (e.get("ctx", ""), e["id"])
            if e["fuzzy"] or not e.get("str") or key not in known:
                continue
            if conversions(e["id"]) != conversions(e["str"]):
                raise SystemExit(
                    f"{path}: the translation of {e['id']!r} ({key[0]}) has the conversions "
                    f"{conversions(e['str'])}, the English text {conversions(e['id'])}: make them the same"
                )
            if e["id"].count("\t") != e["str"].count("\t"):
                raise SystemExit(f"{path}: the translation of {e['id']!r} ({key[0]}) must keep its tab stops")
            rows.append((key[0], key[1], e["str"]))
        tables.append((language, rows))
    # The file list's date form ("MM/DD/YY") is a pattern, not a text: it stays as it is.
    tables.append(("qps", [(e.get("ctx", ""), e["id"], pseudo(e["id"])) for e in template
                           if not re.fullmatch(r"[MDY]{2}([^A-Za-z][MDY]{2})*", e["id"])]))

    lines = [
        "// Made by tools/po/po2cpp.py from the catalogues in po/ at build time; not edited by hand.",
        '#include "platform/resources.h"',
        "",
        "namespace {",
    ]
    for n, (language, rows) in enumerate(tables):
        lines.append(f"const TranslationRes kCatalogue{n}[] = {{")
        for ctx, english, text in rows:
            lines.append(f"    {{{c_literal(ctx)}, {c_literal(english)}, {c_literal(text)}}},")
        if not rows:
            lines.append('    {"", "", ""},')
        lines.append("};")
    lines.append("const TranslationRes kTemplate[] = {")
    for e in template:
        lines.append(f"    {{{c_literal(e.get('ctx', ''))}, {c_literal(e['id'])}, \"\"}},")
    lines.append("};")
    lines.append("}  // namespace")
    lines.append("")
    lines.append("extern const CatalogueRes g_qbxCatalogues[] = {")
    for n, (language, rows) in enumerate(tables):
        lines.append(f"    {{{c_literal(language)}, kCatalogue{n}, {len(rows)}}},")
    lines.append("};")
    lines.append(f"extern const int g_qbxCatalogueCount = {len(tables)};")
    lines.append("// The template's entries: every text the catalogues can translate.")
    lines.append("extern const CatalogueRes g_qbxTemplate = {\"\", kTemplate, "
                 f"{len(template)}}};")
    text = "\n".join(lines) + "\n"
    old = None
    if os.path.exists(args.out):
        with open(args.out, encoding="utf-8") as f:
            old = f.read()
    if old != text:
        with open(args.out, "w", encoding="utf-8") as f:
            f.write(text)
    return 0


if __name__ == "__main__":
    sys.exit(main())
