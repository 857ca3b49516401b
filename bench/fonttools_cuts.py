"""fontTools in-process, the yardstick of the subsetting benchmarks.

    fonttools_cuts.py SCRIPT_DIR CUTS_FILE
    fonttools_cuts.py --serve SCRIPT_DIR     (one CUTS_FILE per line on stdin)

Cuts the fonts of CUTS_FILE (one cut per line: source path, font number,
characters file, output path, optional extra code points "0x900,0x901",
separated by tabs) with exactly the options of the studio's subsetting
module (myFont._options from SCRIPT_DIR) and the same calls, loading,
subsetting and saving in one process, without the whole-file write of myFont
(temporary name, flush, rename).

The first form prints the seconds of importing fontTools.subset and of the
cuts, then those of the cuts alone: a process that cuts once pays both. The
second keeps the process, as the studio keeps its interpreter, and prints
the seconds of each list of cuts as it is asked for. cut_file() does the
same in the interpreter that imports this module.
"""

import sys
import time


def read_cuts(cuts_file):
    todo = []
    with open(cuts_file, encoding="utf-8") as f:
        for line in f:
            parts = line.rstrip("\n").split("\t")
            if len(parts) < 4:
                continue
            with open(parts[2], encoding="utf-8") as t:
                text = t.read()
            extra = [int(u, 16) for u in parts[4].split(",")] if len(parts) > 4 and parts[4] else []
            todo.append((parts[0], int(parts[1]), text, parts[3], extra))
    return todo


def cut(myFont, subset, todo):
    start = time.perf_counter()
    for src, number, text, out, extra in todo:
        options = myFont._options(number)
        font = subset.load_font(src, options, dontLoadGlyphNames=True)
        try:
            subsetter = subset.Subsetter(options)
            subsetter.populate(text=text, unicodes=extra)
            subsetter.subset(font)
            with open(out, "wb") as f:
                myFont.save_font(subset, font, f, options)
        finally:
            font.close()
    return time.perf_counter() - start


def cut_file(script_dir, cuts_file):
    """The seconds of the cuts of CUTS_FILE, in the interpreter that calls
    this (the bridge's own, for the benchmark)."""
    if script_dir not in sys.path:
        sys.path.insert(0, script_dir)
    import myFont
    return cut(myFont, myFont._module(), read_cuts(cuts_file))


def main():
    serve = sys.argv[1] == "--serve"
    script_dir = sys.argv[2] if serve else sys.argv[1]
    started = time.perf_counter()
    sys.path.insert(0, script_dir)
    import myFont
    subset = myFont._module()
    imported = time.perf_counter() - started
    if not serve:
        seconds = cut(myFont, subset, read_cuts(sys.argv[2]))
        print("%.6f %.6f" % (imported + seconds, seconds), flush=True)
        return
    for line in sys.stdin:
        todo = read_cuts(line.strip())
        print("%.6f" % cut(myFont, subset, todo), flush=True)


if __name__ == "__main__":
    main()
