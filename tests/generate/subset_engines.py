#!/usr/bin/python3
"""The studio's subsetting module on a corpus of real fonts: what HarfBuzz's
subsetter cuts must be what fontTools cuts of the same characters, and both
must pass the OpenType Sanitizer; a font HarfBuzz cannot cut takes fontTools,
and one neither can cut leaves nothing behind.

    /usr/bin/python3 subset_engines.py SCRIPT_DIR TEST_FONTS_DIR WORK_DIR

The corpus: the generated test fonts (every member of their collections) and
Debian's DejaVu, Liberation, Carlito, Noto Sans CJK (two members),
WenQuanYi Zen Hei (both members) and Lohit Devanagari; and a font of 20,000
ideographs cut to every second one, whose cmap no format 4 subtable holds.
"""

import os
import shutil
import subprocess
import sys
import unittest

SCRIPT_DIR, FONTS_DIR, WORK = sys.argv[1:4]
del sys.argv[1:4]
sys.path.insert(0, SCRIPT_DIR)

import logging  # noqa: E402

import myFont  # noqa: E402
from fontTools.pens.recordingPen import DecomposingRecordingPen  # noqa: E402
from fontTools.ttLib import TTFont  # noqa: E402

LATIN = "Line 3 Filling Station 0123456789 Overpressure Acknowledge äöüß éèçñ ÄÖÜ"
DEVANAGARI = "दबाव अलार्म चालू करें १२३"
DEBIAN = "/usr/share/fonts"


def members(path):
    """The font numbers of a file."""
    if path.lower().endswith(".ttc"):
        from fontTools.ttLib import TTCollection
        with TTCollection(path, lazy=True) as c:
            return list(range(len(c.fonts)))
    return [0]


# Debian's fonts: file and the members to cut.
DEBIAN_FACES = [
    ("truetype/dejavu/DejaVuSans.ttf", [0]),
    ("truetype/dejavu/DejaVuSerif.ttf", [0]),
    ("truetype/liberation2/LiberationSans-Regular.ttf", [0]),
    ("truetype/liberation2/LiberationMono-Regular.ttf", [0]),
    ("truetype/crosextra/Carlito-Regular.ttf", [0]),
    ("opentype/noto/NotoSansCJK-Regular.ttc", [0, 2]),  # JP and SC
    ("truetype/wqy/wqy-zenhei.ttc", [0, 1]),
    ("truetype/lohit-devanagari/Lohit-Devanagari.ttf", [0]),
]


def corpus():
    """(label, path, number): every member of the test fonts, and Debian's."""
    fixtures = os.path.join(FONTS_DIR, "Fonts")
    files = [(os.path.join(fixtures, name), None) for name in sorted(os.listdir(fixtures))
             if name.endswith((".ttf", ".ttc"))]
    files += [(os.path.join(DEBIAN, rel), numbers) for rel, numbers in DEBIAN_FACES]
    return [("%s#%d" % (os.path.basename(path), n), path, n)
            for path, numbers in files for n in (numbers or members(path))]


def sample(path, number):
    """Characters to keep: a Latin line, a Devanagari one, and 400
    ideographs spread over what the face maps; with the Devanagari extra
    code points when the face draws that script, as the bridge sends them."""
    with TTFont(path, fontNumber=number, lazy=True) as f:
        mapped = f.getBestCmap() or {}
    ideographs = sorted(c for c in mapped if 0x4E00 <= c <= 0x9FFF)
    spread = "".join(chr(ideographs[i * len(ideographs) // 400]) for i in range(min(400, len(ideographs))))
    extra = []
    if any(0x0900 <= c <= 0x097F for c in mapped):
        extra = list(range(0x0900, 0x0980)) + list(range(0xA8E0, 0xA900))
    return LATIN + DEVANAGARI + spread, extra


def ots(path):
    r = subprocess.run(["ots-sanitize", path], capture_output=True, text=True)
    return r.returncode, (r.stdout + r.stderr).strip()


def names(font):
    return sorted((n.nameID, n.platformID, n.platEncID, n.langID, n.string) for n in font["name"].names)


def drawn(font):
    """Per code point, the decomposed outline and the advance of its glyph."""
    glyphs = font.getGlyphSet()
    metrics = font["hmtx"].metrics
    out = {}
    for code, name in (font.getBestCmap() or {}).items():
        pen = DecomposingRecordingPen(glyphs)
        glyphs[name].draw(pen)
        out[code] = (tuple(pen.value), metrics[name][0])
    return out


def cut(engine, src, text, extra, out, number):
    """Cuts with either engine through the module's own entry points."""
    saved = myFont._harfbuzz
    if engine == myFont.FONTTOOLS:
        myFont._harfbuzz = lambda: None
    try:
        if extra:
            return myFont.FontSubset(src, text, extra, out, number)
        return myFont.FontSubsetText(src, text, out, number)
    finally:
        myFont._harfbuzz = saved


def compare(test, label, src, number, text, extra, out_dir):
    """Cuts `src` with both engines and compares what the two files hold."""
    paths = {}
    for engine in (myFont.HARFBUZZ, myFont.FONTTOOLS):
        paths[engine] = os.path.join(out_dir, "%s.%s" % (label.replace("#", "-"), engine))
        test.assertEqual(cut(engine, src, text, extra, paths[engine], number), engine, label)
        status, said = ots(paths[engine])
        test.assertEqual(status, 0, "%s by %s: ots-sanitize: %s" % (label, engine, said))
    hb, ft = (TTFont(paths[e]) for e in (myFont.HARFBUZZ, myFont.FONTTOOLS))
    with TTFont(src, fontNumber=number, lazy=True) as source:
        mapped = source.getBestCmap() or {}
        wanted = {ord(c) for c in text} | set(extra)
        test.assertEqual(set(hb.getBestCmap()), wanted & set(mapped), label)
        test.assertEqual(set(hb.getBestCmap()), set(ft.getBestCmap()), label)
        test.assertEqual(hb["maxp"].numGlyphs, ft["maxp"].numGlyphs, label)
        hb_drawn, ft_drawn = drawn(hb), drawn(ft)
        for code in hb_drawn:
            test.assertEqual(hb_drawn[code], ft_drawn[code], "%s: U+%04X" % (label, code))
        # Every record of the member asked for, none of another member's.
        test.assertEqual(names(hb), names(ft), label)
        test.assertEqual(names(hb), names(source), label)
    hb.close()
    ft.close()


class CorpusTest(unittest.TestCase):
    def setUp(self):
        self.out = os.path.join(WORK, self.id().rsplit(".", 1)[-1])
        shutil.rmtree(self.out, ignore_errors=True)
        os.makedirs(self.out)

    def test_both_engines_cut_the_same_fonts(self):
        faces = corpus()
        self.assertGreaterEqual(len(faces), 25)
        for label, path, number in faces:
            with self.subTest(label):
                text, extra = sample(path, number)
                compare(self, label, path, number, text, extra, self.out)

    def test_characters_no_format_4_subtable_holds(self):
        wide = os.path.join(self.out, "wide.ttf")
        subprocess.run([sys.executable, os.path.join(os.path.dirname(__file__), "..", "fixtures",
                                                     "make_wide_font.py"), wide, "20000"], check=True)
        every2nd = "".join(chr(0x4E00 + i) for i in range(0, 20000, 2))
        compare(self, "wide", wide, 0, every2nd, [], self.out)
        with TTFont(os.path.join(self.out, "wide.harfbuzz")) as f:
            formats = sorted({t.format for t in f["cmap"].tables})
        self.assertEqual(formats, [12])


class FallbackTest(unittest.TestCase):
    """HarfBuzz's result is never taken on trust."""

    SRC = os.path.join(DEBIAN, "truetype/dejavu/DejaVuSans.ttf")

    def setUp(self):
        self.out = os.path.join(WORK, self.id().rsplit(".", 1)[-1])
        shutil.rmtree(self.out, ignore_errors=True)
        os.makedirs(self.out)
        self.hb = myFont._harfbuzz()
        self.saved = (myFont._HarfBuzz.plan, myFont._fonttools_cut)

    def tearDown(self):
        myFont._HarfBuzz.plan, myFont._fonttools_cut = self.saved

    def cmap(self, path):
        with TTFont(path) as f:
            return set(f.getBestCmap())

    def drop_last(self):
        """Fault: HarfBuzz keeps one character less than asked."""
        plan = self.saved[0]
        myFont._HarfBuzz.plan = lambda hb, face, codes: plan(hb, face, codes[:-1])

    def test_what_harfbuzz_cuts_short_or_gives_nothing_for_is_cut_by_fonttools(self):
        plan = self.saved[0]
        faults = {
            "lacks a character": lambda hb, face, codes: plan(hb, face, codes[:-1]),
            "gives nothing": lambda hb, face, codes: None,
        }
        for label, fault in faults.items():
            with self.subTest(label):
                myFont._HarfBuzz.plan = fault
                out = os.path.join(self.out, label, "a.ttf")
                self.assertEqual(myFont.FontSubsetText(self.SRC, "Pump", out, 0), myFont.FONTTOOLS)
                self.assertEqual(self.cmap(out), set(map(ord, "Pump")))

    def test_a_cut_both_engines_fail_leaves_nothing(self):
        self.drop_last()
        cut = self.saved[1]
        myFont._fonttools_cut = lambda src, codes, number: cut(src, codes[:-1], number)
        out = os.path.join(self.out, "a.ttf")
        with self.assertRaises(myFont.SubsetError):
            myFont.FontSubsetText(self.SRC, "Flow", out, 0)
        self.assertEqual(os.listdir(self.out), [])

    def test_damaged_fonts_give_a_checked_subset_or_nothing(self):
        with open(self.SRC, "rb") as f:
            whole = f.read()
        damaged = {
            "empty": b"",
            "garbage": bytes(range(256)) * 64,
            "header only": whole[:12],
            "cut short": whole[:len(whole) // 3],
            "directory lies": whole[:4] + b"\xff\xff" + whole[6:],
        }
        for label, data in damaged.items():
            with self.subTest(label):
                src = os.path.join(self.out, "src.ttf")
                with open(src, "wb") as f:
                    f.write(data)
                out = os.path.join(self.out, "cut", "a.ttf")
                try:
                    engine = myFont.FontSubsetText(src, "Tank", out, 0)
                except Exception:  # noqa: BLE001 - a failure the bridge reports
                    self.assertFalse(os.path.exists(os.path.dirname(out)) and os.listdir(os.path.dirname(out)))
                    continue
                self.assertIn(engine, (myFont.HARFBUZZ, myFont.FONTTOOLS))
                self.assertEqual(ots(out)[0], 0, label)
                shutil.rmtree(os.path.dirname(out))

    def test_a_source_that_is_not_a_regular_file_is_refused(self):
        fifo = os.path.join(self.out, "pipe.ttf")
        os.mkfifo(fifo)
        with self.assertRaises(myFont.SubsetError):
            myFont.FontSubsetText(fifo, "A", os.path.join(self.out, "a.ttf"), 0)
        self.assertEqual(os.listdir(self.out), ["pipe.ttf"])


if __name__ == "__main__":
    # The generated fonts' dates are those of the epoch.
    logging.getLogger("fontTools").setLevel(logging.ERROR)
    os.makedirs(WORK, exist_ok=True)
    unittest.main(verbosity=2)
