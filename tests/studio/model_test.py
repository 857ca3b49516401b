#!/usr/bin/python3
"""An incremental compile gives what a clean one gives, whatever changed in between.

    model_test.py STUDIO TEST_FONTS_DIR [--seeds N] [--first S] [--steps K]
                  [--replay JSON] [--reports-as-sets] [--keep DIR]

Each seed draws a sequence of changes to a small project and its machine
profile: texts added, removed and edited; fonts resized and restyled; faces
installed, uninstalled and replaced by another version of the same file
name; FontSubstitutes, SystemLink and the icon-title font edited; output
files and records damaged or removed. Before the first change and after each
one, `compile --incremental` builds into the folder the sequence keeps and a
full compile into a new folder, and they must agree:
  - exit status, and the summary's coverage lines;
  - QPF2: the same files, byte for byte, and the same JSON report;
  - TrueType: every subset both write is the same file, and the reports
    agree on every other file; what the two builds may do differently (the
    default "Calibri" row, the rows of pack fonts) is left out.
Seeds 1..N (odd seeds QPF2, even seeds TrueType); a failing sequence is
shrunk to fewer and smaller changes and printed as a --replay argument
(JSON: [target, [[change, ...], ...]], the changes of each step), which
runs that sequence alone.
--reports-as-sets compares reports without their order, and not the summaries.
"""

import argparse
import json
import os
import random
import shutil
import struct
import subprocess
import sys
import tempfile
import time

from fontTools.ttLib import TTCollection, TTFont

LANGUAGES = 2
# The installable font files; version 2 of some is made below.
POOL = ["arial.ttf", "arialbd.ttf", "ariali.ttf", "tahoma.ttf", "simsun.ttc", "calibri.ttf",
        "latinonly.ttf", "mangal.ttf", "gauge.ttc"]
VERSIONED = ["arial.ttf", "tahoma.ttf", "simsun.ttc", "gauge.ttc"]
INITIAL_FONTS = ["arial.ttf", "arialbd.ttf", "tahoma.ttf", "simsun.ttc", "calibri.ttf", "gauge.ttc"]

# id -> [face, lfHeight, lfWeight, lfItalic, lfCharSet]; the first is the
# project's default font.
INITIAL_TABLE = {
    14: ["SimSun", 16, 400, 0, 1],
    16: ["Arial", 24, 700, 0, 1],
    17: ["DejaVu Sans", 16, 400, 0, 1],
    18: ["宋体", 20, 400, 0, 134],
    19: ["Tahoma", 18, 700, 1, 1],
    20: ["Calibri", -14, 400, 0, 1],
    21: ["Gauge", -15, 400, 0, 1],
    22: ["System", -13, 400, 0, 1],
}
INITIAL_TEXTS = [
    ["Start", [16, 18], ["Line 3", "三号线"]],
    ["Start", [17, 17], ["Press Start", "开始"]],
    ["Alarms", [19, 18], ["Overpressure", "压力"]],
    ["Alarms", [20, 22], ["Ack", "确定"]],
    ["Recipes", [21, 14], ["Speed 12", "速度"]],
]
INITIAL_SUBSTITUTES = {"DejaVu Sans": "Arial"}
INITIAL_LINKS = {"Tahoma": ["simsun.ttc,SimSun"]}
INITIAL_ICON = ["Tahoma", -12]
PACK = {"Gauge": "gauge.ttc"}

SCREENS = ["Start", "Alarms", "Recipes", "Trends"]
# Characters the faces have, some none has (U+13000), Devanagari (Mangal),
# ideographs inside and outside the fixture's CJK block.
LATIN = "AaBbCcXyz019 .:"
CJK = "宋体新文本字中国开始停止报警温度压力设置确定取消三号线灌装站"
OTHER = "\u0915\u0916“”\U00013000"
FACES = ["Arial", "Tahoma", "SimSun", "宋体", "Calibri", "DejaVu Sans", "Latin Only", "Gauge", "Mangal",
         "System", "Segoe UI"]
SUBSTITUTED = ["DejaVu Sans", "Segoe UI", "Arial", "Tahoma", "宋体"]
SUBSTITUTES = ["", "Arial", "Tahoma", "SimSun", "Latin Only", "Mangal", "Gauge"]
LINKED = ["Arial", "Tahoma", "Latin Only", "Microsoft Sans Serif", "SimSun"]
LINKS = ["simsun.ttc,SimSun", "simsun.ttc,NSimSun", "mangal.ttf", "arial.ttf", "latinonly.ttf"]
ICON_FACES = ["Tahoma", "Arial", "Latin Only", "Segoe UI", "Mangal"]
HEIGHTS = [12, 16, 18, 24, -13, -16, -20]
DAMAGES = ["remove", "truncate", "flip", "touch", "records", "coverage", "cut-records", "folder"]


def make_versions(fonts, out):
    """Version 2 of some fonts: other advances, a few characters fewer."""
    os.makedirs(out, exist_ok=True)
    for name in VERSIONED:
        src = os.path.join(fonts, "Fonts", name)
        members = TTCollection(src).fonts if name.endswith(".ttc") else [TTFont(src)]
        for font in members:
            hmtx = font["hmtx"]
            for glyph, (advance, lsb) in list(hmtx.metrics.items()):
                hmtx.metrics[glyph] = (advance + 37, lsb)
            for table in font["cmap"].tables:
                for c in [ord(x) for x in "Bb开"]:
                    table.cmap.pop(c, None)
            font["head"].fontRevision = 2.0
        if name.endswith(".ttc"):
            ttc = TTCollection()
            ttc.fonts = members
            ttc.save(os.path.join(out, name))
        else:
            members[0].save(os.path.join(out, name))


def utf16_field(text, units):
    data = text.encode("utf-16-le")[:2 * (units - 1)]
    return data + b"\0" * (2 * units - len(data))


class World:
    """A project, its machine profile and the two output folders, on disk."""

    def __init__(self, root, fonts, versions, target):
        self.root, self.fonts, self.versions, self.target = root, fonts, versions, target
        self.profile = os.path.join(root, "profile")
        self.project = os.path.join(root, "project")
        self.inc = os.path.join(root, "inc")
        os.makedirs(os.path.join(self.profile, "Fonts"))
        os.makedirs(self.project)
        self.installed = {}
        for f in INITIAL_FONTS:
            self.install(f, 1)
        self.table = {k: list(v) for k, v in INITIAL_TABLE.items()}
        self.texts = [[s, list(i), list(p)] for s, i, p in INITIAL_TEXTS]
        self.substitutes = dict(INITIAL_SUBSTITUTES)
        self.links = {k: list(v) for k, v in INITIAL_LINKS.items()}
        self.icon = list(INITIAL_ICON)
        self.compiles = 0
        self.write_all()

    # ---- what the studio reads ----
    def write_all(self):
        self.write_table()
        self.write_texts()
        self.write_registry()
        self.write_settings()
        with open(os.path.join(self.project, "fpf.ini"), "w", encoding="utf-8") as f:
            f.write('<?xml version="1.0" encoding="UTF-8"?>\n<project filever="1.0">\n'
                    '<DefaultFont UseDefaultFont="1" Font0="Arial" Font1="宋体"/>\n<PackFontInfo>\n')
            for face, file in PACK.items():
                f.write('<FontInfo FontName="%s" FontFile="%s" FontSize="0.01MB"/>\n' % (face, file))
            f.write("</PackFontInfo>\n</project>\n")

    def write_table(self):
        records = []
        for font_id, (face, height, weight, italic, charset) in self.table.items():
            lf = struct.pack("<5i8B", height, 0, 0, 0, weight, italic, 0, 0, charset, 0, 0, 0, 0)
            records.append(struct.pack("<i", font_id) + utf16_field("Font %d" % font_id, 32) + lf +
                           utf16_field(face, 32))
        with open(os.path.join(self.project, "Font.hft"), "wb") as f:
            f.write(struct.pack("<I", len(records)) + b"".join(records))

    def write_texts(self):
        with open(os.path.join(self.project, "texts.txt"), "w", encoding="utf-8") as f:
            last = None
            for screen, ids, pieces in self.texts:
                if screen != last:
                    f.write("screen %s\n" % screen)
                    last = screen
                f.write("%s\t%s\n" % (",".join(str(i) for i in ids), "\t".join(pieces)))

    def write_registry(self):
        def quote(s):
            return '"' + s.replace("\\", "\\\\").replace('"', '\\"') + '"'

        def multi(strings):
            data = b"".join(s.encode("utf-16-le") + b"\0\0" for s in strings) + b"\0\0"
            return "hex(7):" + ",".join("%02x" % b for b in data)
        key = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\"
        text = "Windows Registry Editor Version 5.00\r\n\r\n[%sFontSubstitutes]\r\n" % key
        text += "".join("%s=%s\r\n" % (quote(k), quote(v)) for k, v in sorted(self.substitutes.items()))
        text += "\r\n[%sFontLink\\SystemLink]\r\n" % key
        text += "".join("%s=%s\r\n" % (quote(k), multi(v)) for k, v in sorted(self.links.items()))
        with open(os.path.join(self.profile, "registry.reg"), "w", encoding="utf-8") as f:
            f.write(text)

    def write_settings(self):
        with open(os.path.join(self.profile, "profile.ini"), "w", encoding="utf-8") as f:
            f.write("[Profile]\nLocale=en-US\nIconTitleFont=%s,%d,400,0\n" % tuple(self.icon))

    def install(self, name, version):
        src = os.path.join(self.fonts if version == 1 else self.versions, name)
        dst = os.path.join(self.profile, "Fonts", name)
        if version == 1:
            # Back to the first version through a rename (a new inode)...
            shutil.copyfile(src, dst + ".new")
            os.replace(dst + ".new", dst)
        else:
            # ...to the second by writing over the file in place.
            shutil.copyfile(src, dst)
        self.installed[name] = version

    # ---- the changes ----
    def apply(self, change):
        kind, args = change[0], change[1:]
        if kind == "add":
            pos, screen, ids, pieces = args
            self.texts.insert(pos % (len(self.texts) + 1), [screen, list(ids), list(pieces)])
            self.write_texts()
        elif kind == "remove" and self.texts:
            del self.texts[args[0] % len(self.texts)]
            self.write_texts()
        elif kind == "edit" and self.texts:
            pos, lang, piece = args
            self.texts[pos % len(self.texts)][2][lang] = piece
            self.write_texts()
        elif kind == "resize" and args[0] in self.table:
            self.table[args[0]][1] = args[1]
            self.write_table()
        elif kind == "restyle" and args[0] in self.table:
            self.table[args[0]][2:4] = args[1:3]
            self.write_table()
        elif kind == "face" and args[0] in self.table:
            self.table[args[0]][0] = args[1]
            self.write_table()
        elif kind == "install":
            self.install(args[0], args[1])
        elif kind == "uninstall":
            # "*": no face is left.
            for name in list(self.installed) if args[0] == "*" else [args[0]] if args[0] in self.installed else []:
                os.remove(os.path.join(self.profile, "Fonts", name))
                del self.installed[name]
        elif kind == "touch" and args[0] in self.installed:
            os.utime(os.path.join(self.profile, "Fonts", args[0]))
        elif kind == "subst":
            if args[1]:
                self.substitutes[args[0]] = args[1]
            else:
                self.substitutes.pop(args[0], None)
            self.write_registry()
        elif kind == "link":
            if args[1]:
                self.links[args[0]] = list(args[1])
            else:
                self.links.pop(args[0], None)
            self.write_registry()
        elif kind == "icon":
            self.icon = list(args)
            self.write_settings()
        elif kind == "damage":
            self.damage(*args)

    def output_folder(self):
        return os.path.join(self.inc, "qpf2") if self.target == "qpf2" else self.inc

    def damage(self, what, pick):
        folder = self.output_folder()
        if what == "folder":
            # The next incremental compile goes to a new folder.
            shutil.rmtree(self.inc, ignore_errors=True)
            return
        if not os.path.isdir(folder):
            return
        if what in ("records", "cut-records", "coverage"):
            name = ".tamsel-coverage" if what == "coverage" else \
                ".forgeline-qpf" if self.target == "qpf2" else ".forgeline-ttf"
            path = os.path.join(folder, name)
            if not os.path.exists(path):
                return
            if what == "cut-records":
                with open(path, "r+b") as f:
                    f.truncate(os.path.getsize(path) * 2 // 3)
            else:
                os.remove(path)
            return
        files = sorted(f for f in os.listdir(folder) if f.endswith((".qpf2", ".ttf", ".ttc")))
        if not files:
            return
        path = os.path.join(folder, files[pick % len(files)])
        if what == "remove":
            os.remove(path)
        elif what == "truncate":
            with open(path, "r+b") as f:
                f.truncate(os.path.getsize(path) // 2)
        elif what == "flip":
            with open(path, "r+b") as f:
                f.seek(os.path.getsize(path) // 2)
                byte = f.read(1)
                f.seek(-1, 1)
                f.write(bytes([byte[0] ^ 0x55]) if byte else b"x")
        elif what == "touch":
            os.utime(path)

    # ---- the two compiles ----
    def compile(self, out, report, incremental):
        argv = [STUDIO, "--profile", self.profile, "--languages", str(LANGUAGES), "compile", self.project,
                "--texts", os.path.join(self.project, "texts.txt"), "--out", out, "--target", self.target,
                "--report", report]
        if self.target == "qpf2":
            argv.append("--strict")
        if incremental:
            argv.append("--incremental")
        p = subprocess.run(argv, stdout=subprocess.PIPE, stderr=subprocess.PIPE, env=ENV)
        stdout = p.stdout.decode("utf-8", "replace")
        summary = [line for line in stdout.splitlines() if line.startswith(("coverage:", "  "))]
        return p.returncode, summary, stdout + p.stderr.decode("utf-8", "replace")

    def check(self, as_sets):
        """None when both compiles agree, else (what differs, details)."""
        self.compiles += 1
        full = os.path.join(self.root, "full-%d" % self.compiles)
        inc_report = os.path.join(self.root, "inc-%d.json" % self.compiles)
        full_report = full + ".json"
        inc_status, inc_summary, inc_log = self.compile(self.inc, inc_report, True)
        full_status, full_summary, full_log = self.compile(full, full_report, False)
        logs = "--- incremental:\n%s--- full:\n%s" % (inc_log, full_log)
        if inc_status != full_status:
            return "exit status (incremental %d, full %d)" % (inc_status, full_status), logs
        inc_files, full_files = font_files(self.output_folder()), font_files(full)
        inc_json, full_json = load_report(inc_report), load_report(full_report)
        shutil.rmtree(full, ignore_errors=True)
        for path in (inc_report, full_report):
            if os.path.exists(path):
                os.remove(path)
        if self.target == "ttf":
            return compare_ttf(inc_files, full_files, inc_json, full_json, as_sets, logs)
        if not as_sets and inc_summary != full_summary:
            return "summary", diff_lines(inc_summary, full_summary) + logs
        if sorted(inc_files) != sorted(full_files):
            return "files", "incremental %s\nfull        %s\n%s" % (sorted(inc_files), sorted(full_files), logs)
        for name in sorted(inc_files):
            if inc_files[name] != full_files[name]:
                return "bytes", "%s differs\n%s" % (name, logs)
        if as_sets:
            inc_json, full_json = report_as_set(inc_json), report_as_set(full_json)
        if inc_json != full_json:
            return "report", diff_lines(pretty(inc_json), pretty(full_json)) + logs
        return None


def font_files(folder):
    out = {}
    if os.path.isdir(folder):
        for name in os.listdir(folder):
            if name.endswith((".qpf2", ".ttf", ".ttc")):
                with open(os.path.join(folder, name), "rb") as f:
                    out[name] = f.read()
    return out


def load_report(path):
    if not os.path.exists(path):
        return None
    with open(path, encoding="utf-8") as f:
        return json.load(f)


def report_as_set(report):
    if report is None:
        return None
    files = sorted(json.dumps(f, sort_keys=True) for f in report["files"])
    return {"target": report["target"], "lost": sorted(report["lost"]["codes"]), "files": files}


def pretty(report):
    return json.dumps(report, indent=1, sort_keys=True, ensure_ascii=False).splitlines()


def diff_lines(a, b):
    import difflib
    return "\n".join(difflib.unified_diff(a, b, "incremental", "full", lineterm="", n=1)) + "\n"


def compare_ttf(inc_files, full_files, inc_json, full_json, as_sets, logs):
    """Subsets both write are the same, and so are their reports, but for the
    rows the two builds make differently: the full build's default "Calibri"
    row, and the rows that the texts of pack fonts reach in a unit build."""
    def pack_rows(report):
        return {f["file"] for f in report["files"] if f["kind"] == "truetype" and
                any(face in PACK and f["file"] != PACK[face] for face in f["facesAsked"])} if report else set()
    differ = {"Calibri.ttf"} | pack_rows(inc_json) | pack_rows(full_json)
    for name in sorted(set(inc_files) & set(full_files) - differ):
        if inc_files[name] != full_files[name]:
            return "bytes", "%s differs\n%s" % (name, logs)
    only = (set(inc_files) ^ set(full_files)) - differ
    if only:
        return "files", "only in one build: %s\n%s" % (sorted(only), logs)

    def kept(report):
        if report is None:
            return None
        files = [f for f in report["files"] if f["file"] not in differ]
        lost = sorted({c for f in files for c in f["missing"]["codes"] + f["tooLarge"]["codes"]})
        if as_sets:
            files = sorted(json.dumps(f, sort_keys=True) for f in files)
        return {"lost": lost, "files": files}
    if kept(inc_json) != kept(full_json):
        return "report", diff_lines(pretty(kept(inc_json)), pretty(kept(full_json))) + logs
    return None


# ---- sequences ----
def random_piece(rng, lang):
    alphabet = LATIN + OTHER[:2] if lang == 0 else CJK + OTHER
    return "".join(rng.choice(alphabet) for _ in range(rng.randint(1, 5)))


def random_change(rng, world_ids):
    kind = rng.choice(["add", "add", "remove", "edit", "edit", "resize", "restyle", "face", "install",
                       "install", "uninstall", "uninstall", "touch", "subst", "subst", "link", "icon", "damage",
                       "damage"])
    ids = sorted(world_ids)
    if kind == "add":
        return ["add", rng.randrange(8), rng.choice(SCREENS), [rng.choice(ids), rng.choice(ids)],
                [random_piece(rng, 0), random_piece(rng, 1)]]
    if kind == "remove":
        return ["remove", rng.randrange(8)]
    if kind == "edit":
        lang = rng.randrange(LANGUAGES)
        return ["edit", rng.randrange(8), lang, random_piece(rng, lang)]
    if kind == "resize":
        return ["resize", rng.choice(ids), rng.choice(HEIGHTS)]
    if kind == "restyle":
        return ["restyle", rng.choice(ids), rng.choice([400, 700, 600]), rng.choice([0, 1])]
    if kind == "face":
        return ["face", rng.choice(ids), rng.choice(FACES)]
    if kind == "install":
        name = rng.choice(POOL)
        return ["install", name, rng.choice([1, 2]) if name in VERSIONED else 1]
    if kind == "uninstall":
        return [kind, rng.choice(POOL + ["*"])]
    if kind == "touch":
        return [kind, rng.choice(POOL)]
    if kind == "subst":
        return ["subst", rng.choice(SUBSTITUTED), rng.choice(SUBSTITUTES)]
    if kind == "link":
        return ["link", rng.choice(LINKED), rng.sample(LINKS, rng.randrange(3))]
    if kind == "icon":
        return ["icon", rng.choice(ICON_FACES), rng.choice([-12, -16, 20])]
    return ["damage", rng.choice(DAMAGES), rng.randrange(8)]


def sequence_of(seed, steps):
    """A step is one change, or now and then two made between the same two compiles."""
    rng = random.Random(seed)
    return ["qpf2" if seed % 2 else "ttf",
            [[random_change(rng, INITIAL_TABLE) for _ in range(2 if rng.random() < 0.2 else 1)]
             for _ in range(steps)]]


def run(target, changes, as_sets, keep=None):
    """(step, what, details) of the first disagreement, step 0 being before any change; None when none."""
    root = tempfile.mkdtemp(prefix="tamsel-model-", dir=keep)
    try:
        world = World(root, os.path.join(FONTS, "Fonts"), VERSIONS, target)
        failed = world.check(as_sets)
        if failed:
            return 0, failed[0], failed[1]
        for step, changes_of_step in enumerate(changes, 1):
            for change in changes_of_step:
                world.apply(change)
            failed = world.check(as_sets)
            if failed:
                return step, failed[0], failed[1]
        return None
    finally:
        if keep is None:
            shutil.rmtree(root, ignore_errors=True)


def simpler(change):
    """Smaller forms of one change, simplest first."""
    if change[0] == "add":
        for lang in range(LANGUAGES):
            piece = change[4][lang]
            if len(piece) > 1:
                for shorter in (piece[:1], piece[:len(piece) // 2], piece[1:]):
                    pieces = list(change[4])
                    pieces[lang] = shorter
                    yield change[:4] + [pieces]
    if change[0] == "edit" and len(change[3]) > 1:
        yield change[:3] + [change[3][:1]]
    if change[0] == "link" and len(change[2]) > 1:
        for i in range(len(change[2])):
            yield change[:2] + [change[2][:i] + change[2][i + 1:]]


def shrink(target, changes, what, as_sets):
    """A shorter sequence that still fails the same way: steps dropped in
    halves, then quarters, ..., then each step's changes dropped or made
    simpler."""
    def fails(candidate):
        got = run(target, candidate, as_sets)
        return got is not None and got[1] == what, got

    chunk = len(changes) // 2
    while chunk >= 1:
        i = 0
        while i < len(changes):
            candidate = changes[:i] + changes[i + chunk:]
            ok, got = fails(candidate)
            if ok:
                changes = candidate[:got[0]] if got[0] else []
            else:
                i += chunk
        chunk //= 2
    progress = True
    while progress:
        progress = False
        for i, step in enumerate(changes):
            smaller_steps = [step[:k] + step[k + 1:] for k in range(len(step))] if len(step) > 1 else []
            smaller_steps += [step[:k] + [c] + step[k + 1:] for k in range(len(step)) for c in simpler(step[k])]
            for smaller in smaller_steps:
                candidate = changes[:i] + [smaller] + changes[i + 1:]
                if fails(candidate)[0]:
                    changes = candidate
                    progress = True
                    break
            if progress:
                break
    return changes


def main():
    global STUDIO, FONTS, VERSIONS, ENV
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("studio")
    parser.add_argument("fonts")
    parser.add_argument("--seeds", type=int, default=6, help="run seeds FIRST..FIRST+N-1")
    parser.add_argument("--first", type=int, default=1)
    parser.add_argument("--steps", type=int, default=12, help="steps per sequence")
    parser.add_argument("--replay", help="run one sequence, as a failure prints it")
    parser.add_argument("--reports-as-sets", action="store_true")
    parser.add_argument("--keep", help="leave the work folders in this folder")
    args = parser.parse_args()
    STUDIO, FONTS = os.path.abspath(args.studio), os.path.abspath(args.fonts)
    scratch = tempfile.mkdtemp(prefix="tamsel-model-fonts-")
    try:
        VERSIONS = os.path.join(scratch, "versions")
        make_versions(FONTS, VERSIONS)
        ENV = dict(os.environ, QT_QPA_PLATFORM="offscreen", TAMSEL_FONT_CACHE=os.path.join(scratch, "cache"),
                   XDG_CACHE_HOME=os.path.join(scratch, "xdg"))
        if args.replay:
            sequences = [("replay", json.loads(args.replay))]
        else:
            sequences = [(seed, sequence_of(seed, args.steps)) for seed in range(args.first, args.first + args.seeds)]
        failures = 0
        started = time.monotonic()
        for name, (target, changes) in sequences:
            got = run(target, changes, args.reports_as_sets, args.keep)
            if got is None:
                print("ok: seed %s (%s): %d steps, each incremental compile equal to a clean one"
                      % (name, target, len(changes)), flush=True)
                continue
            failures += 1
            step, what, details = got
            print("FAIL: seed %s (%s): after step %d the builds differ in their %s" % (name, target, step, what))
            print(details)
            shrunk = shrink(target, changes[:step], what, args.reports_as_sets)
            print("shrunk to %d step(s); replay with:\n  --replay '%s'"
                  % (len(shrunk), json.dumps([target, shrunk], ensure_ascii=False)), flush=True)
        print("%d passed, %d failed (%.0f s)" % (len(sequences) - failures, failures, time.monotonic() - started))
        return 1 if failures else 0
    finally:
        shutil.rmtree(scratch, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
