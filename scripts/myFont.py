"""The studio's font subsetting module, run by the font library's embedded
interpreter (and usable from the command line for checks).

    FontSubset(src, text, unicodes, out, number)   keep text and the code points
    FontSubsetText(src, text, out, number)         keep text
    GetFontSubSetFileSize(out)                     bytes of a written file

`number` picks the member of a collection file (0 for a single font). The
output is always one font; every name record in every language is kept, so a
face such as SimSun keeps its Chinese family name.

Fonts are cut by HarfBuzz's subsetter (libharfbuzz-subset.so.0, reached
through ctypes), which maps the source file instead of reading it into the
interpreter. A font HarfBuzz gives no result for, or whose result fails the
check below, is cut by fontTools instead. Every subset is checked before it
is put in place: its cmap holds every character asked for that the source
face maps. The subset functions return the engine that cut the file
("harfbuzz" or "fonttools") and raise when neither gave a subset that holds.

Nothing is imported before first use: loading the font library must stay
cheap for hosts that never subset.
"""

import os
import stat
import struct

_subset = None
_hb = None
# Subsets reach the disk before they take their names; the benchmarks turn
# this off to tell what the flush costs.
_flush = True

HARFBUZZ = "harfbuzz"
FONTTOOLS = "fonttools"


class SubsetError(Exception):
    pass


class _NotWhole(SubsetError):
    """The host's check of the written file failed."""


def _host_check():
    """The font library's check of a written subset (FreeType), when the
    script runs inside the studio; None elsewhere."""
    try:
        from _tamsel import check_subset
    except ImportError:
        return None
    return check_subset


# ---- fontTools ----

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


def _fonttools_cut(src, codes, number):
    """The subset's bytes, cut by fontTools."""
    import io
    subset = _module()
    options = _options(number)
    font = subset.load_font(src, options, dontLoadGlyphNames=True)
    try:
        subsetter = subset.Subsetter(options)
        subsetter.populate(unicodes=codes)
        subsetter.subset(font)
        buffer = io.BytesIO()
        save_font(subset, font, buffer, options)
        return buffer.getvalue()
    finally:
        font.close()


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


def _fonttools_lacking(data, codes, src, number):
    """The characters of `codes` that the source face maps and the subset
    `data` does not, read by fontTools (when HarfBuzz is not there)."""
    import io
    from fontTools.ttLib import TTFont
    source = TTFont(src, fontNumber=number, lazy=True)
    try:
        mapped = source.getBestCmap() or {}
    finally:
        source.close()
    cut = TTFont(io.BytesIO(data), lazy=True)
    try:
        kept = cut.getBestCmap() or {}
    finally:
        cut.close()
    return [c for c in codes if c in mapped and c not in kept]


# ---- HarfBuzz ----

class _HarfBuzz:
    """The calls of libharfbuzz-subset that a cut needs."""

    # hb_subset_sets_t
    DROP_TABLE_TAG, NAME_ID, NAME_LANG_ID, LAYOUT_FEATURE_TAG = 3, 4, 5, 6
    # hb_subset_flags_t
    NAME_LEGACY, NOTDEF_OUTLINE = 0x8, 0x40
    INVALID = 0xFFFFFFFF  # HB_SET_VALUE_INVALID, HB_MAP_VALUE_INVALID

    def __init__(self):
        import ctypes
        self.ctypes = ctypes
        # The subset library brings the main one; its symbols are found through it.
        lib = ctypes.CDLL("libharfbuzz-subset.so.0")
        p, u, c, b = ctypes.c_void_p, ctypes.c_uint, ctypes.c_char_p, ctypes.c_int

        def bind(name, restype, *argtypes):
            f = getattr(lib, name)
            f.restype, f.argtypes = restype, list(argtypes)
            setattr(self, name, f)

        bind("hb_blob_create_from_file_or_fail", p, c)
        bind("hb_blob_create", p, p, u, b, p, p)
        bind("hb_blob_get_data", p, p, ctypes.POINTER(u))
        bind("hb_blob_destroy", None, p)
        bind("hb_face_create", p, p, u)
        bind("hb_face_get_glyph_count", u, p)
        bind("hb_face_get_table_tags", u, p, u, ctypes.POINTER(u), ctypes.POINTER(ctypes.c_uint32))
        bind("hb_face_reference_table", p, p, ctypes.c_uint32)
        bind("hb_face_reference_blob", p, p)
        bind("hb_face_collect_unicodes", None, p, p)
        bind("hb_face_builder_create", p)
        bind("hb_face_builder_add_table", b, p, ctypes.c_uint32, p)
        bind("hb_face_destroy", None, p)
        bind("hb_set_create", p)
        bind("hb_set_destroy", None, p)
        bind("hb_set_add", None, p, ctypes.c_uint32)
        bind("hb_set_clear", None, p)
        bind("hb_set_invert", None, p)
        bind("hb_set_add_sorted_array", None, p, ctypes.POINTER(ctypes.c_uint32), u)
        bind("hb_set_intersect", None, p, p)
        bind("hb_set_subtract", None, p, p)
        bind("hb_set_next", b, p, ctypes.POINTER(ctypes.c_uint32))
        bind("hb_set_allocation_successful", b, p)
        bind("hb_map_get", ctypes.c_uint32, p, ctypes.c_uint32)
        bind("hb_subset_input_create_or_fail", p)
        bind("hb_subset_input_unicode_set", p, p)
        bind("hb_subset_input_set", p, p, u)
        bind("hb_subset_input_set_flags", None, p, u)
        bind("hb_subset_input_destroy", None, p)
        bind("hb_subset_plan_create_or_fail", p, p, p)
        bind("hb_subset_plan_execute_or_fail", p, p)
        bind("hb_subset_plan_old_to_new_glyph_mapping", p, p)
        bind("hb_subset_plan_unicode_to_old_glyph_mapping", p, p)
        bind("hb_subset_plan_destroy", None, p)
        bind("hb_unicode_funcs_get_default", p)
        bind("hb_unicode_mirroring", ctypes.c_uint32, p, ctypes.c_uint32)
        self.ufuncs = self.hb_unicode_funcs_get_default()

    def mirror(self, c):
        return self.hb_unicode_mirroring(self.ufuncs, c)

    def add(self, s, codes):
        if codes:
            array = (self.ctypes.c_uint32 * len(codes))(*codes)
            self.hb_set_add_sorted_array(s, array, len(codes))

    def members(self, s):
        out, c = [], self.ctypes.c_uint32(self.INVALID)  # the walk starts before the first
        while self.hb_set_next(s, self.ctypes.byref(c)):
            out.append(c.value)
        return out

    def lacking(self, source_face, cut_face, codes):
        """The characters of `codes` that the source face maps and the cut
        face does not."""
        want, mapped, kept = self.hb_set_create(), self.hb_set_create(), self.hb_set_create()
        try:
            self.add(want, codes)
            self.hb_face_collect_unicodes(source_face, mapped)
            self.hb_face_collect_unicodes(cut_face, kept)
            self.hb_set_intersect(want, mapped)
            self.hb_set_subtract(want, kept)
            if not all(self.hb_set_allocation_successful(s) for s in (want, mapped, kept)):
                raise MemoryError("HarfBuzz could not hold the character sets")
            return self.members(want)
        finally:
            for s in (want, mapped, kept):
                self.hb_set_destroy(s)

    def open(self, src, number):
        """The face of member `number` of `src`, mapped; None when the file
        cannot be mapped or has no such font."""
        blob = self.hb_blob_create_from_file_or_fail(os.fsencode(src))
        if not blob:
            return None
        face = self.hb_face_create(blob, number)
        self.hb_blob_destroy(blob)  # the face holds it
        if not face or self.hb_face_get_glyph_count(face) == 0:
            # An empty face: not a font, or not that many members.
            self.hb_face_destroy(face)
            return None
        return face

    def plan(self, face, codes, drop=None):
        """The subset plan of `face` keeping `codes` with myFont's options,
        or None; `drop`, a table to leave out."""
        request = self.hb_subset_input_create_or_fail()
        if not request:
            return None
        try:
            self.add(self.hb_subset_input_unicode_set(request), codes)
            # Every name id, every language, every layout feature.
            for which in (self.NAME_ID, self.NAME_LANG_ID, self.LAYOUT_FEATURE_TAG):
                s = self.hb_subset_input_set(request, which)
                self.hb_set_clear(s)
                self.hb_set_invert(s)
            # Hinting is kept, glyphs are renumbered, head stays as it was.
            self.hb_subset_input_set_flags(request, self.NAME_LEGACY | self.NOTDEF_OUTLINE)
            if drop is not None:
                self.hb_set_add(self.hb_subset_input_set(request, self.DROP_TABLE_TAG), drop)
            return self.hb_subset_plan_create_or_fail(face, request) or None
        finally:
            self.hb_subset_input_destroy(request)

    def data(self, blob):
        """A memory view of a blob's bytes, None for an empty blob."""
        length = self.ctypes.c_uint(0)
        address = self.hb_blob_get_data(blob, self.ctypes.byref(length))
        if not address or not length.value:
            return None
        return memoryview((self.ctypes.c_char * length.value).from_address(address)).cast("B")

    def table(self, face, tag):
        blob = self.hb_face_reference_table(face, tag)
        try:
            view = self.data(blob)
            return bytes(view) if view is not None else b""
        finally:
            self.hb_blob_destroy(blob)

    def mapping(self, plan, codes):
        """(code point, glyph of the subset) for every code of `codes` that
        the plan keeps, in code order."""
        to_old = self.hb_subset_plan_unicode_to_old_glyph_mapping(plan)
        to_new = self.hb_subset_plan_old_to_new_glyph_mapping(plan)
        pairs = []
        for code in codes:
            old = self.hb_map_get(to_old, code)
            if old != self.INVALID:
                new = self.hb_map_get(to_new, old)
                if new != self.INVALID:
                    pairs.append((code, new))
        return pairs

    def with_table(self, face, tag, data):
        """The bytes of `face` with table `tag` replaced by `data`: a blob,
        or None."""
        count = self.ctypes.c_uint(0)
        total = self.hb_face_get_table_tags(face, 0, self.ctypes.byref(count), None)
        tags = (self.ctypes.c_uint32 * total)()
        count.value = total
        self.hb_face_get_table_tags(face, 0, self.ctypes.byref(count), tags)
        builder = self.hb_face_builder_create()
        try:
            for t in tags[:count.value]:
                if t == tag:
                    continue
                blob = self.hb_face_reference_table(face, t)
                ok = self.hb_face_builder_add_table(builder, t, blob)
                self.hb_blob_destroy(blob)
                if not ok:
                    return None
            # HB_MEMORY_MODE_DUPLICATE: the builder keeps its own copy.
            blob = self.hb_blob_create(data, len(data), 0, None, None)
            ok = self.hb_face_builder_add_table(builder, tag, blob)
            self.hb_blob_destroy(blob)
            # Table records, checksums and head's adjustment, as the subsetter writes them.
            return self.hb_face_reference_blob(builder) if ok else None
        finally:
            self.hb_face_destroy(builder)


def _harfbuzz():
    """The HarfBuzz binding, or None when its library is not installed."""
    global _hb
    if _hb is None:
        try:
            _hb = _HarfBuzz()
        except (OSError, AttributeError):
            _hb = False
    return _hb or None


CMAP = 0x636D6170


def _wide_cmap(source_cmap, cut_cmap, pairs):
    """A cmap for characters too many and too scattered for format 4, as
    myFont has always written it: format 12 subtables for the Unicode and
    Windows platforms the source maps on, and the cut's other subtables
    (format 14 variation sequences) as they are. HarfBuzz 6.0 drops every
    subtable but format 14 when format 4 overflows."""
    platforms = {p for p, _, _, f in _cmap_formats(source_cmap) if f in (4, 12) and p in (0, 3)}
    groups = []
    for code, glyph in pairs:
        last = groups[-1] if groups else None
        if last and code == last[1] + 1 and glyph == last[2] + (code - last[0]):
            last[1] = code
        else:
            groups.append([code, code, glyph])
    twelve = struct.pack(">HHIII", 12, 0, 16 + 12 * len(groups), 0, len(groups))
    twelve += b"".join(struct.pack(">III", *g) for g in groups)
    subtables = {(p, 4 if p == 0 else 10): twelve for p in platforms}
    for platform, encoding, offset, fmt in _cmap_formats(cut_cmap):
        if fmt == 14 and offset + 6 <= len(cut_cmap):
            length = struct.unpack_from(">I", cut_cmap, offset + 2)[0]
            subtables.setdefault((platform, encoding), cut_cmap[offset:offset + length])
    order = sorted(subtables)
    out = struct.pack(">HH", 0, len(order))
    offset, placed, body = 4 + 8 * len(order), {}, b""
    for key in order:
        data = subtables[key]
        if data not in placed:  # one format 12 serves both platforms
            placed[data] = offset + len(body)
            body += data
        out += struct.pack(">HHI", key[0], key[1], placed[data])
    return out + body


def _holds(hb, face, blob, codes):
    """True when the font in `blob` maps every character of `codes` that
    `face` maps. The check reads the bytes as they will be written."""
    written = hb.hb_face_create(blob, 0)
    try:
        return not hb.lacking(face, written, codes)
    finally:
        hb.hb_face_destroy(written)


def _cmap_formats(table):
    """(platform, encoding, offset, format) of a cmap table's subtables."""
    if len(table) < 4:
        return []
    count = min(struct.unpack_from(">H", table, 2)[0], (len(table) - 4) // 8)
    out = []
    for i in range(count):
        platform, encoding, offset = struct.unpack_from(">HHI", table, 4 + 8 * i)
        if offset + 2 <= len(table):
            out.append((platform, encoding, offset, struct.unpack_from(">H", table, offset)[0]))
    return out


def _execute(hb, plan):
    cut = hb.hb_subset_plan_execute_or_fail(plan)
    if not cut:
        return None
    try:
        return hb.hb_face_reference_blob(cut)
    finally:
        hb.hb_face_destroy(cut)


def _with_wide_cmap(hb, face, plan, blob, codes):
    """The font in `blob` with the cmap rebuilt from `plan` (the blob is
    given up), checked; or None."""
    written = hb.hb_face_create(blob, 0)
    try:
        cmap = _wide_cmap(hb.table(face, CMAP), hb.table(written, CMAP), hb.mapping(plan, codes))
        fixed = hb.with_table(written, CMAP, cmap)
    finally:
        hb.hb_face_destroy(written)
        hb.hb_blob_destroy(blob)
    if fixed and _holds(hb, face, fixed, codes):
        return fixed
    hb.hb_blob_destroy(fixed)
    return None


def _harfbuzz_cut(hb, face, plan, codes):
    """The blob of the subset that `plan` makes of `face`, checked; None
    when it lacks characters that even a rebuilt cmap cannot give.

    HarfBuzz 6.0 cannot write a cmap of characters too many and scattered
    for format 4: of a source with a format 12 subtable it keeps only the
    variation sequences (format 14), of one without it cuts nothing. The
    first gets its cmap rebuilt, the second is cut again without cmap and
    given one; a source with variation sequences is then left to fontTools,
    which keeps them."""
    blob = _execute(hb, plan)
    if blob:
        if _holds(hb, face, blob, codes):
            return blob
        return _with_wide_cmap(hb, face, plan, blob, codes)
    source = hb.table(face, CMAP)
    if any(f == 14 for _, _, _, f in _cmap_formats(source)):
        return None
    again = hb.plan(face, codes, drop=CMAP)
    if not again:
        return None
    try:
        blob = _execute(hb, again)
        return _with_wide_cmap(hb, face, again, blob, codes) if blob else None
    finally:
        hb.hb_subset_plan_destroy(again)


def _harfbuzz_cut_and_write(hb, src, codes, out, number):
    """Cuts with HarfBuzz and writes the result when it holds; the engine
    name, or None when HarfBuzz gave nothing that holds."""
    face = hb.open(src, number)
    if not face:
        return None
    try:
        plan = hb.plan(face, codes)
        if not plan:
            return None
        try:
            blob = _harfbuzz_cut(hb, face, plan, codes)
        finally:
            hb.hb_subset_plan_destroy(plan)
        if not blob:
            return None
        try:
            data = hb.data(blob)
            if data is None:
                return None
            try:
                _write_whole(out, data, src, number, codes)
            except _NotWhole:
                return None
            finally:
                data.release()
            return HARFBUZZ
        finally:
            hb.hb_blob_destroy(blob)
    finally:
        hb.hb_face_destroy(face)


def _lacking(hb, data, codes, src, number):
    """What a subset made by fontTools lacks, read by HarfBuzz when it is
    there (the check of its own cuts)."""
    face = hb.open(src, number) if hb else None
    if not face:
        return _fonttools_lacking(data, codes, src, number)
    try:
        # HB_MEMORY_MODE_READONLY: the bytes stay Python's, alive until the end.
        blob = hb.hb_blob_create(data, len(data), 1, None, None)
        cut = hb.hb_face_create(blob, 0)
        hb.hb_blob_destroy(blob)
        try:
            return hb.lacking(face, cut, codes)
        finally:
            hb.hb_face_destroy(cut)
    finally:
        hb.hb_face_destroy(face)


# ---- Writing ----

def _write_whole(out, data, src, number, codes):
    """Writes under a temporary name in the same folder and puts the file in
    place only when it is whole and holds what was asked: a full disk or a
    failed cut leaves the old file, never half a font. A link at the
    temporary name is not followed. Inside the studio the written file is
    read back by the font library first (_NotWhole when it fails)."""
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
            f.write(data)
            f.flush()
            check = _host_check()
            why = check(temp, src, number, codes) if check else ""
            if why:
                raise _NotWhole("the subset of %s does not hold: %s" % (src, why))
            if _flush:
                os.fsync(f.fileno())
        os.replace(temp, out)
    except BaseException:
        try:
            os.unlink(temp)
        except OSError:
            pass
        raise


def _regular_source(src):
    # A pipe or a device in the fonts folder would block the read.
    try:
        mode = os.stat(src).st_mode
    except OSError as e:
        raise SubsetError("cannot open %s: %s" % (src, e.strerror)) from None
    if not stat.S_ISREG(mode):
        raise SubsetError("%s is not a regular file" % src)


def _with_mirrors(hb, codes):
    """In a right-to-left run the panel's HarfBuzz shows a bracket by its
    mirror ("(" as ")"), looked up in the subset's cmap: a text with
    right-to-left characters keeps the mirrors of its characters."""
    import unicodedata
    chars = [chr(c) for c in codes if c < 0x110000 and not 0xD800 <= c < 0xE000]
    if not hb or not any(unicodedata.bidirectional(ch) in ("R", "AL") for ch in chars):
        return codes
    return sorted(set(codes).union(hb.mirror(ord(ch)) for ch in chars if unicodedata.mirrored(ch)))


def _cut(src, text, unicodes, out, number):
    _regular_source(src)
    hb = _harfbuzz()
    codes = _with_mirrors(hb, sorted(set(map(ord, text)).union(unicodes)))
    if hb:
        engine = _harfbuzz_cut_and_write(hb, src, codes, out, number)
        if engine:
            return engine
    data = _fonttools_cut(src, codes, number)
    lacking = _lacking(hb, data, codes, src, number)
    if lacking:
        raise SubsetError("the subset of %s lacks %d of the characters asked for (U+%04X first)"
                          % (src, len(lacking), lacking[0]))
    _write_whole(out, data, src, number, codes)
    return FONTTOOLS


def FontSubset(src, text, unicodes, out, number):
    return _cut(src, text, list(unicodes), out, number)


def FontSubsetText(src, text, out, number):
    return _cut(src, text, [], out, number)


def GetFontSubSetFileSize(out):
    return os.path.getsize(out)
