#!/usr/bin/python3
"""Writes host/glyphworks/src/ArabicForms.inc: the Unicode presentation forms
HarfBuzz's Arabic shaper looks up in a font that has no GSUB (isolated,
final, initial and medial forms of U+0621..U+06D3, and the lam-alef
ligatures), from the compatibility decompositions of Python's Unicode data.

    /usr/bin/python3 scripts/arabic-forms.py > host/glyphworks/src/ArabicForms.inc
"""
import sys
import unicodedata

FORMS = ("<isolated>", "<final>", "<initial>", "<medial>")
LAM = 0x0644


def tables():
    letters, lam_alef = {}, {}
    for cp in list(range(0xFB50, 0xFE00)) + list(range(0xFE70, 0xFF00)):
        parts = unicodedata.decomposition(chr(cp)).split()
        if not parts or parts[0] not in FORMS:
            continue
        form, chars = parts[0], [int(c, 16) for c in parts[1:]]
        if len(chars) == 1 and 0x0621 <= chars[0] <= 0x06D3:
            letters.setdefault(chars[0], {}).setdefault(form, cp)
        elif len(chars) == 2 and chars[0] == LAM and 0xFEF5 <= cp <= 0xFEFC:
            lam_alef.setdefault(chars[1], {})[form] = cp
    return letters, lam_alef


def main():
    letters, lam_alef = tables()
    out = sys.stdout
    out.write("// Made by scripts/arabic-forms.py from the Unicode %s data; do not edit.\n"
              % unicodedata.unidata_version)
    out.write("// letter, then its isolated, final, initial and medial forms (0: none)\n")
    out.write("static const char32_t kArabicLetterForms[][5] = {\n")
    for letter in sorted(letters):
        f = letters[letter]
        out.write("    {0x%04X, %s},\n" % (letter, ", ".join("0x%04X" % f.get(k, 0) for k in FORMS)))
    out.write("};\n")
    out.write("// lam with this alef: the isolated and the final ligature\n")
    out.write("static const char32_t kLamAlefForms[][3] = {\n")
    for alef in sorted(lam_alef):
        f = lam_alef[alef]
        out.write("    {0x%04X, 0x%04X, 0x%04X},\n" % (alef, f["<isolated>"], f["<final>"]))
    out.write("};\n")


if __name__ == "__main__":
    main()
