"""The studio's font subsetting module, run by the font library's embedded
interpreter (and usable from the command line for checks).

    FontSubset(src, text, unicodes, out, number)   keep text and the code points
    FontSubsetText(src, text, out, number)         keep text
    GetFontSubSetFileSize(out)                     bytes of a written file

`number` picks the member of a collection file (0 for a single font). The
output is always one font; every name record in every language is kept, so a
face such as SimSun keeps its Chinese family name. fontTools is imported on
first use: loading the font library must stay cheap for hosts that never
subset.
"""

import os
import struct

_subset = None


def _module():
    global _subset
    if _subset is None:
        import logging
        from fontTools import subset
        # Tables it drops are not the studio user's concern.
        logging.getLogger("fontTools.subset").setLevel(logging.ERROR)
        _subset = subset
    return _subset


def _options(number):
    subset = _module()
    options = subset.Options()
    options.font_number = number
    options.name_IDs = ["*"]
    options.name_languages = ["*"]
    options.name_legacy = True
    options.notdef_outline = True
    options.recalc_timestamp = False
    options.layout_features = ["*"]
    return options


def _cut(src, text, unicodes, out, number):
    subset = _module()
    options = _options(number)
    font = subset.load_font(src, options, dontLoadGlyphNames=True)
    try:
        subsetter = subset.Subsetter(options)
        subsetter.populate(text=text, unicodes=unicodes)
        subsetter.subset(font)
        _save_whole(subset, font, out, options)
    finally:
        font.close()


def _save_whole(subset, font, out, options):
    """Writes under a temporary name in the same folder and puts the file in
    place only when it is whole: a full disk or a failed cut leaves the old
    file, never half a font. A link at the temporary name is not followed."""
    folder = os.path.dirname(out)
    if folder:
        os.makedirs(folder, exist_ok=True)
    temp = "%s.~%d" % (out, os.getpid())
    try:
        os.unlink(temp)
    except FileNotFoundError:
        pass
    fd = os.open(temp, os.O_WRONLY | os.O_CREAT | os.O_EXCL | os.O_NOFOLLOW | os.O_CLOEXEC, 0o644)
    try:
        with os.fdopen(fd, "wb") as f:
            save_font(subset, font, f, options)
            f.flush()
            os.fsync(f.fileno())
        os.replace(temp, out)
    except BaseException:
        try:
            os.unlink(temp)
        except OSError:
            pass
        raise


def save_font(subset, font, f, options):
    """subset.save_font, for subsets of many scattered characters too: a
    format 4 cmap subtable holds at most 64 KB (about 8,000 separate
    characters), so one that does not fit is left out where a format 12
    subtable maps the same characters, and becomes one otherwise, as
    HarfBuzz's subsetter does. FreeType and Qt read format 12."""
    try:
        subset.save_font(font, f, options)
    except (struct.error, OverflowError):
        if not _fit_cmap(font):
            raise
        f.seek(0)
        f.truncate()
        subset.save_font(font, f, options)


def _compiles(table, font):
    try:
        table.compile(font)
        return True
    except (struct.error, OverflowError):
        return False


def _fit_cmap(font):
    """True when a format 4 subtable that cannot be written was replaced."""
    if "cmap" not in font:
        return False
    from fontTools.ttLib.tables._c_m_a_p import CmapSubtable
    cmap = font["cmap"]
    wide = {(t.platformID, t.platEncID) for t in cmap.tables if t.format == 12}
    kept, changed = [], False
    for table in cmap.tables:
        if table.format != 4 or _compiles(table, font):
            kept.append(table)
            continue
        changed = True
        encoding = (table.platformID, 10 if table.platformID == 3 else 4)
        if encoding in wide:
            continue
        twelve = CmapSubtable.newSubtable(12)
        twelve.platformID, twelve.platEncID = encoding
        twelve.language = 0
        twelve.cmap = dict(table.cmap)
        kept.append(twelve)
        wide.add(encoding)
    kept.sort(key=lambda t: (t.platformID, t.platEncID, t.language))
    cmap.tables = kept
    return changed


def FontSubset(src, text, unicodes, out, number):
    _cut(src, text, list(unicodes), out, number)


def FontSubsetText(src, text, out, number):
    _cut(src, text, [], out, number)


def GetFontSubSetFileSize(out):
    return os.path.getsize(out)
