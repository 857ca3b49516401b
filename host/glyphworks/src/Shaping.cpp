#include "Shaping.h"

#include <fribidi.h>
#include <hb-ot.h>
#include <hb.h>

#include <algorithm>
#include <array>
#include <bitset>
#include <map>
#include <mutex>
#include <unordered_map>

#include "Qpf2.h"
#include "win/filesafety.h"

namespace shaping {

namespace {
#include "ArabicForms.inc"

constexpr char32_t kZwnj = 0x200C, kZwj = 0x200D, kLam = 0x0644;
// Qt's itemizer never lets an item grow longer.
constexpr size_t kMaxItemLength = 4096;

hb_unicode_funcs_t* Unicode() { return hb_unicode_funcs_get_default(); }

// What HarfBuzz's buffer would make of it: a surrogate or a value beyond
// Unicode is a replacement character.
char32_t Valid(char32_t c) { return (c >= 0xD800 && c < 0xE000) || c > 0x10FFFF ? 0xFFFD : c; }

bool IsMark(char32_t c) {
    switch (hb_unicode_general_category(Unicode(), c)) {
    case HB_UNICODE_GENERAL_CATEGORY_NON_SPACING_MARK:
    case HB_UNICODE_GENERAL_CATEGORY_SPACING_MARK:
    case HB_UNICODE_GENERAL_CATEGORY_ENCLOSING_MARK:
        return true;
    default:
        return false;
    }
}

// Qt's script of a character before items are cut: Unknown, Inherited and
// Common below every real script.
bool IsCommon(hb_script_t s) {
    return s == HB_SCRIPT_COMMON || s == HB_SCRIPT_INHERITED || s == HB_SCRIPT_UNKNOWN || s == HB_SCRIPT_INVALID;
}

// Scripts whose characters are laid out one glyph after the other.
bool IsSimpleScript(hb_script_t s) {
    switch (s) {
    case HB_SCRIPT_COMMON: case HB_SCRIPT_INHERITED: case HB_SCRIPT_UNKNOWN:
    case HB_SCRIPT_LATIN: case HB_SCRIPT_GREEK: case HB_SCRIPT_CYRILLIC: case HB_SCRIPT_ARMENIAN:
    case HB_SCRIPT_GEORGIAN: case HB_SCRIPT_HAN: case HB_SCRIPT_HIRAGANA: case HB_SCRIPT_KATAKANA:
    case HB_SCRIPT_BOPOMOFO: case HB_SCRIPT_HANGUL: case HB_SCRIPT_YI: case HB_SCRIPT_ETHIOPIC:
    case HB_SCRIPT_CHEROKEE: case HB_SCRIPT_CANADIAN_SYLLABICS: case HB_SCRIPT_OGHAM: case HB_SCRIPT_RUNIC:
    case HB_SCRIPT_BRAILLE: case HB_SCRIPT_COPTIC: case HB_SCRIPT_GLAGOLITIC:
        return true;
    default:
        return false;
    }
}

bool IsConjoiningJamo(char32_t c) {
    return (c >= 0x1100 && c <= 0x11FF) || (c >= 0xA960 && c <= 0xA97F) || (c >= 0xD7B0 && c <= 0xD7FF);
}

bool ComputeNeedsShaping(char32_t c) {
    return !IsSimpleScript(hb_unicode_script(Unicode(), c)) || IsMark(c) || c == kZwj || c == kZwnj ||
           IsConjoiningJamo(c);
}

// The Basic Multilingual Plane's answers, worked out once: the test runs
// over every character of every text of a compile.
const std::bitset<0x10000>& BmpNeedsShaping() {
    static const std::bitset<0x10000> table = [] {
        std::bitset<0x10000> t;
        for (char32_t c = 0; c < 0x10000; ++c)
            if (ComputeNeedsShaping(c)) t.set(c);
        return t;
    }();
    return table;
}

std::vector<FriBidiChar> Sanitized(const std::u32string& line) {
    std::vector<FriBidiChar> out(line.size());
    for (size_t i = 0; i < line.size(); ++i) out[i] = Valid(line[i]);
    return out;
}

// Levels of the line's characters after the rules up to L1, and its bidi
// types; empty when FriBidi fails.
struct Bidi {
    std::vector<FriBidiCharType> types;
    std::vector<FriBidiLevel> levels;
    FriBidiParType base = FRIBIDI_PAR_ON;
};

Bidi Levels(const std::vector<FriBidiChar>& chars) {
    Bidi b;
    const FriBidiStrIndex n = static_cast<FriBidiStrIndex>(chars.size());
    b.types.resize(chars.size());
    std::vector<FriBidiBracketType> brackets(chars.size());
    b.levels.resize(chars.size());
    fribidi_get_bidi_types(chars.data(), n, b.types.data());
    fribidi_get_bracket_types(chars.data(), n, b.types.data(), brackets.data());
    if (!fribidi_get_par_embedding_levels_ex(b.types.data(), brackets.data(), n, &b.base, b.levels.data()) ||
        !fribidi_reorder_line(0, b.types.data(), n, 0, b.base, b.levels.data(), nullptr, nullptr)) {
        // Only an allocation failure gets here: the line is laid out left to right.
        std::fill(b.levels.begin(), b.levels.end(), 0);
        b.base = FRIBIDI_PAR_LTR;
    }
    return b;
}

std::string Lower(std::string s) {
    for (char& c : s) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    return s;
}
}  // namespace

std::vector<Item> Itemize(const std::u32string& line) {
    std::vector<Item> items;
    const size_t n = line.size();
    if (!n) return items;
    const std::vector<FriBidiChar> chars = Sanitized(line);
    const Bidi bidi = Levels(chars);
    const uint8_t baseLevel = FRIBIDI_IS_RTL(bidi.base) ? 1 : 0;

    // Common and inherited characters take the script of the run they are
    // in (the first real script of the line for those before it); a mark
    // never starts a run of its own.
    std::vector<hb_script_t> scripts(n, HB_SCRIPT_COMMON);
    size_t runStart = 0;
    hb_script_t script = HB_SCRIPT_COMMON;
    for (size_t i = 0; i < n; ++i) {
        const hb_script_t s = hb_unicode_script(Unicode(), chars[i]);
        if (s == script || IsCommon(s)) continue;
        if (IsCommon(script)) {
            script = s;
            continue;
        }
        if (IsMark(chars[i])) continue;
        std::fill(scripts.begin() + static_cast<long>(runStart), scripts.begin() + static_cast<long>(i), script);
        runStart = i;
        script = s;
    }
    std::fill(scripts.begin() + static_cast<long>(runStart), scripts.end(), script);

    std::vector<uint8_t> levels(bidi.levels.begin(), bidi.levels.end());
    for (size_t i = 0; i < n; ++i)
        if (chars[i] == '\t') levels[i] = baseLevel;
    const auto special = [&](size_t i) { return chars[i] == '\t' || chars[i] == 0xFFFC; };
    size_t start = 0;
    for (size_t i = 1; i <= n; ++i) {
        if (i < n && levels[i] == levels[start] && special(i) == special(start) && !special(i) &&
            (scripts[i] == scripts[start] || chars[i] == '.') && i - start < kMaxItemLength)
            continue;
        Item item;
        item.begin = start;
        item.end = i;
        item.level = levels[start];
        item.script = scripts[start];
        items.push_back(item);
        start = i;
    }
    return items;
}

std::vector<size_t> VisualOrder(const std::u32string& line, const std::vector<Item>& items) {
    std::vector<size_t> order;
    if (items.empty()) return order;
    const size_t n = items.back().end;
    const std::vector<FriBidiChar> chars = Sanitized(line.substr(0, n));
    std::vector<FriBidiCharType> types(n);
    fribidi_get_bidi_types(chars.data(), static_cast<FriBidiStrIndex>(n), types.data());
    std::vector<FriBidiLevel> levels(n);
    std::vector<size_t> itemOf(n);
    for (size_t k = 0; k < items.size(); ++k)
        for (size_t i = items[k].begin; i < items[k].end && i < n; ++i) {
            levels[i] = static_cast<FriBidiLevel>(items[k].level);
            itemOf[i] = k;
        }
    std::vector<FriBidiStrIndex> map(n);
    for (size_t i = 0; i < n; ++i) map[i] = static_cast<FriBidiStrIndex>(i);
    const bool rtl = (items.front().level & 1) != 0;
    if (!fribidi_reorder_line(0, types.data(), static_cast<FriBidiStrIndex>(n), 0,
                              rtl ? FRIBIDI_PAR_RTL : FRIBIDI_PAR_LTR, levels.data(), nullptr, map.data())) {
        for (size_t k = 0; k < items.size(); ++k) order.push_back(k);
        return order;
    }
    std::vector<bool> placed(items.size());
    for (FriBidiStrIndex logical : map) {
        const size_t k = itemOf[static_cast<size_t>(logical)];
        if (!placed[k]) {
            placed[k] = true;
            order.push_back(k);
        }
    }
    return order;
}

std::vector<Item> SplitByFont(const std::u32string& line, const std::vector<Item>& items,
                              const std::function<bool(char32_t)>& drawn) {
    std::vector<Item> out;
    for (const Item& item : items) {
        Item part = item;
        bool has = true;
        for (size_t i = item.begin; i < item.end; ++i) {
            const char32_t c = Valid(line[i]);
            const bool follows = i > item.begin && (IsMark(c) || IsDefaultIgnorable(c));
            const bool now = follows ? has : drawn(c);
            if (i == item.begin) {
                has = now;
            } else if (now != has) {
                part.end = i;
                part.lacking = !has;
                out.push_back(part);
                part.begin = i;
                has = now;
            }
        }
        part.end = item.end;
        part.lacking = !has;
        out.push_back(part);
    }
    return out;
}

bool NeedsShaping(const std::u32string& text) {
    const std::bitset<0x10000>& bmp = BmpNeedsShaping();
    for (char32_t c : text) {
        if (c < 0x10000 ? bmp.test(c) : c <= 0x10FFFF && ComputeNeedsShaping(c)) return true;
    }
    return false;
}

std::u32string FromUtf16(const std::u16string& s) {
    std::u32string out;
    out.reserve(s.size());
    for (size_t i = 0; i < s.size(); ++i) {
        char32_t c = s[i];
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < s.size() && s[i + 1] >= 0xDC00 && s[i + 1] < 0xE000) {
            c = 0x10000 + ((c - 0xD800) << 10) + (s[i + 1] - 0xDC00);
            ++i;
        }
        out += c;
    }
    return out;
}

// Per block of 256 code units, whether any of them needs shaping (or is a
// surrogate): Latin, CJK and Hangul texts are passed over a block test a
// character.
static const std::array<bool, 256>& BlocksNeedingShaping() {
    static const std::array<bool, 256> blocks = [] {
        std::array<bool, 256> b{};
        const std::bitset<0x10000>& bmp = BmpNeedsShaping();
        for (char32_t c = 0; c < 0x10000; ++c) b[c >> 8] = b[c >> 8] || bmp.test(c) || (c >= 0xD800 && c < 0xE000);
        return b;
    }();
    return blocks;
}

bool NeedsShaping(const char16_t* text, size_t length) {
    const std::bitset<0x10000>& bmp = BmpNeedsShaping();
    const std::array<bool, 256>& blocks = BlocksNeedingShaping();
    for (size_t i = 0; i < length; ++i) {
        const char16_t u = text[i];
        if (!blocks[u >> 8]) continue;
        if (u >= 0xD800 && u < 0xDC00 && i + 1 < length && text[i + 1] >= 0xDC00 && text[i + 1] < 0xE000) {
            if (ComputeNeedsShaping(0x10000 + ((char32_t{u} - 0xD800) << 10) + (text[i + 1] - 0xDC00))) return true;
            ++i;
        } else if (bmp.test(u)) {
            return true;
        }
    }
    return false;
}

std::string ScriptName(uint32_t script) {
    static const std::map<uint32_t, std::string> names = {
        {HB_SCRIPT_ARABIC, "Arabic"},         {HB_SCRIPT_HEBREW, "Hebrew"},       {HB_SCRIPT_SYRIAC, "Syriac"},
        {HB_SCRIPT_THAANA, "Thaana"},         {HB_SCRIPT_NKO, "N'Ko"},            {HB_SCRIPT_DEVANAGARI, "Devanagari"},
        {HB_SCRIPT_BENGALI, "Bengali"},       {HB_SCRIPT_GURMUKHI, "Gurmukhi"},   {HB_SCRIPT_GUJARATI, "Gujarati"},
        {HB_SCRIPT_ORIYA, "Oriya"},           {HB_SCRIPT_TAMIL, "Tamil"},         {HB_SCRIPT_TELUGU, "Telugu"},
        {HB_SCRIPT_KANNADA, "Kannada"},       {HB_SCRIPT_MALAYALAM, "Malayalam"}, {HB_SCRIPT_SINHALA, "Sinhala"},
        {HB_SCRIPT_THAI, "Thai"},             {HB_SCRIPT_LAO, "Lao"},             {HB_SCRIPT_TIBETAN, "Tibetan"},
        {HB_SCRIPT_MYANMAR, "Myanmar"},       {HB_SCRIPT_KHMER, "Khmer"},         {HB_SCRIPT_MONGOLIAN, "Mongolian"},
        {HB_SCRIPT_HANGUL, "Hangul"},         {HB_SCRIPT_COMMON, "Common"},       {HB_SCRIPT_LATIN, "Latin"},
    };
    auto it = names.find(script);
    if (it != names.end()) return it->second;
    char tag[5] = {};
    hb_tag_to_string(hb_script_to_iso15924_tag(static_cast<hb_script_t>(script)), tag);
    return Lower(tag);
}

std::vector<Glyph> Shape(hb_font_t* font, const std::u32string& line, const Item& item, Features features) {
    std::vector<Glyph> out;
    if (!font || item.end <= item.begin || item.end > line.size()) return out;
    hb_buffer_t* buffer = hb_buffer_create();
    const int length = static_cast<int>(item.end - item.begin);
    hb_buffer_add_utf32(buffer, reinterpret_cast<const uint32_t*>(line.data() + item.begin), length, 0, length);
    hb_buffer_set_direction(buffer, item.rtl() ? HB_DIRECTION_RTL : HB_DIRECTION_LTR);
    hb_buffer_set_script(buffer, static_cast<hb_script_t>(item.script));
    hb_buffer_guess_segment_properties(buffer);
    static const hb_feature_t panel[] = {{HB_TAG('k', 'e', 'r', 'n'), 1, 0, static_cast<unsigned>(-1)}};
    static const hb_feature_t required[] = {{HB_TAG('l', 'i', 'g', 'a'), 0, 0, static_cast<unsigned>(-1)},
                                            {HB_TAG('c', 'l', 'i', 'g'), 0, 0, static_cast<unsigned>(-1)},
                                            {HB_TAG('d', 'l', 'i', 'g'), 0, 0, static_cast<unsigned>(-1)},
                                            {HB_TAG('k', 'e', 'r', 'n'), 0, 0, static_cast<unsigned>(-1)}};
    if (features == Features::Panel)
        hb_shape(font, buffer, panel, 1);
    else
        hb_shape(font, buffer, required, 4);
    unsigned count = 0;
    const hb_glyph_info_t* info = hb_buffer_get_glyph_infos(buffer, &count);
    const hb_glyph_position_t* pos = hb_buffer_get_glyph_positions(buffer, nullptr);
    out.resize(count);
    for (unsigned i = 0; i < count; ++i) {
        out[i].id = info[i].codepoint;
        out[i].cluster = static_cast<uint32_t>(item.begin) + info[i].cluster;
        out[i].advance = pos[i].x_advance;
        out[i].xOffset = pos[i].x_offset;
        out[i].yOffset = pos[i].y_offset;
    }
    hb_buffer_destroy(buffer);
    return out;
}

// ---- Faces ----

// A QPF2 file as Qt's engine reads it.
struct Qpf2Data {
    qpf2::View view;
    hb_font_t* cmapFont = nullptr;  // reads the CMap block
    const Face* source = nullptr;
    std::once_flag mapped;
    std::vector<uint32_t> sourceOf;  // file glyph -> source glyph
    ~Qpf2Data() { hb_font_destroy(cmapFont); }

    uint32_t Nominal(hb_codepoint_t u) const {
        hb_codepoint_t g = 0;
        return hb_font_get_nominal_glyph(cmapFont, u, &g) ? g : 0;
    }
};

struct Face::Cache {
    std::mutex lock;
    std::unordered_map<uint32_t, uint64_t> outlines;
    std::unordered_map<char32_t, uint32_t> forms;
};

namespace {
// What Qt's engine answers HarfBuzz for a QPF2 file: glyphs from its cmap
// (a variation selector changes nothing), the advance and box of each
// glyph record, the header's line metrics, no kerning, no outline points.
hb_bool_t Qpf2Nominal(hb_font_t*, void* data, hb_codepoint_t u, hb_codepoint_t* glyph, void*) {
    *glyph = static_cast<const Qpf2Data*>(data)->Nominal(u);
    return *glyph != 0;
}
hb_bool_t Qpf2Variation(hb_font_t*, void* data, hb_codepoint_t u, hb_codepoint_t, hb_codepoint_t* glyph, void*) {
    *glyph = static_cast<const Qpf2Data*>(data)->Nominal(u);
    return *glyph != 0;
}
hb_position_t Qpf2Advance(hb_font_t*, void* data, hb_codepoint_t glyph, void*) {
    const uint8_t* r = static_cast<const Qpf2Data*>(data)->view.Record(glyph);
    return r ? static_cast<int8_t>(r[5]) * 64 : 0;
}
hb_bool_t Qpf2Extents(hb_font_t*, void* data, hb_codepoint_t glyph, hb_glyph_extents_t* e, void*) {
    const uint8_t* r = static_cast<const Qpf2Data*>(data)->view.Record(glyph);
    *e = hb_glyph_extents_t{};
    if (r) {
        e->x_bearing = static_cast<int8_t>(r[3]) * 64;
        e->y_bearing = static_cast<int8_t>(r[4]) * 64;
        e->width = r[0] * 64;
        e->height = r[1] * 64;
    }
    return true;
}
hb_bool_t Qpf2LineMetrics(hb_font_t*, void* data, hb_font_extents_t* m, void*) {
    const qpf2::View& v = static_cast<const Qpf2Data*>(data)->view;
    *m = hb_font_extents_t{};
    m->ascender = v.ascent;
    m->descender = v.descent;
    m->line_gap = v.leading;
    return true;
}
hb_position_t NoKerning(hb_font_t*, void*, hb_codepoint_t, hb_codepoint_t, void*) { return 0; }
hb_bool_t NoContourPoint(hb_font_t*, void*, hb_codepoint_t, unsigned, hb_position_t* x, hb_position_t* y, void*) {
    *x = *y = 0;
    return false;
}

hb_font_funcs_t* Qpf2FontFuncs() {
    static hb_font_funcs_t* funcs = [] {
        hb_font_funcs_t* f = hb_font_funcs_create();
        hb_font_funcs_set_nominal_glyph_func(f, Qpf2Nominal, nullptr, nullptr);
        hb_font_funcs_set_variation_glyph_func(f, Qpf2Variation, nullptr, nullptr);
        hb_font_funcs_set_glyph_h_advance_func(f, Qpf2Advance, nullptr, nullptr);
        hb_font_funcs_set_glyph_extents_func(f, Qpf2Extents, nullptr, nullptr);
        hb_font_funcs_set_font_h_extents_func(f, Qpf2LineMetrics, nullptr, nullptr);
        hb_font_funcs_set_glyph_h_kerning_func(f, NoKerning, nullptr, nullptr);
        hb_font_funcs_set_glyph_contour_point_func(f, NoContourPoint, nullptr, nullptr);
        hb_font_funcs_make_immutable(f);
        return f;
    }();
    return funcs;
}

// An outline as a number: its drawing commands and points, in font units.
struct OutlineHash {
    uint64_t h = 1469598103934665603ull;
    void Mix(uint64_t v) {
        for (int i = 0; i < 8; ++i) {
            h ^= (v >> (8 * i)) & 0xFF;
            h *= 1099511628211ull;
        }
    }
    void Point(int command, float x, float y) {
        Mix(static_cast<uint64_t>(command));
        Mix(static_cast<uint64_t>(static_cast<int64_t>(x * 16)));
        Mix(static_cast<uint64_t>(static_cast<int64_t>(y * 16)));
    }
};
void MoveTo(hb_draw_funcs_t*, void* d, hb_draw_state_t*, float x, float y, void*) {
    static_cast<OutlineHash*>(d)->Point(1, x, y);
}
void LineTo(hb_draw_funcs_t*, void* d, hb_draw_state_t*, float x, float y, void*) {
    static_cast<OutlineHash*>(d)->Point(2, x, y);
}
void QuadTo(hb_draw_funcs_t*, void* d, hb_draw_state_t*, float cx, float cy, float x, float y, void*) {
    static_cast<OutlineHash*>(d)->Point(3, cx, cy);
    static_cast<OutlineHash*>(d)->Point(3, x, y);
}
void CubicTo(hb_draw_funcs_t*, void* d, hb_draw_state_t*, float c1x, float c1y, float c2x, float c2y, float x, float y,
             void*) {
    static_cast<OutlineHash*>(d)->Point(4, c1x, c1y);
    static_cast<OutlineHash*>(d)->Point(4, c2x, c2y);
    static_cast<OutlineHash*>(d)->Point(4, x, y);
}
void ClosePath(hb_draw_funcs_t*, void* d, hb_draw_state_t*, void*) { static_cast<OutlineHash*>(d)->Mix(5); }

hb_draw_funcs_t* HashingDraw() {
    static hb_draw_funcs_t* funcs = [] {
        hb_draw_funcs_t* f = hb_draw_funcs_create();
        hb_draw_funcs_set_move_to_func(f, MoveTo, nullptr, nullptr);
        hb_draw_funcs_set_line_to_func(f, LineTo, nullptr, nullptr);
        hb_draw_funcs_set_quadratic_to_func(f, QuadTo, nullptr, nullptr);
        hb_draw_funcs_set_cubic_to_func(f, CubicTo, nullptr, nullptr);
        hb_draw_funcs_set_close_path_func(f, ClosePath, nullptr, nullptr);
        hb_draw_funcs_make_immutable(f);
        return f;
    }();
    return funcs;
}


// The text whose shaping puts the letter (or lam-alef) in the position of
// the form, and the index of its first character there.
bool FormContext(char32_t form, std::u32string* text, size_t* at) {
    for (const auto& row : kArabicLetterForms)
        for (int k = 1; k < 5; ++k)
            if (row[k] == form) {
                static const char32_t* const before[] = {U"", U"\u200D", U"", U"\u200D"};
                static const char32_t* const after[] = {U"", U"", U"\u200D", U"\u200D"};
                *text = std::u32string(before[k - 1]) + row[0] + after[k - 1];
                *at = (k == 2 || k == 4) ? 1 : 0;
                return true;
            }
    for (const auto& row : kLamAlefForms)
        for (int k = 1; k < 3; ++k)
            if (row[k] == form) {
                *text = std::u32string(k == 2 ? U"\u200D" : U"") + kLam + row[0];
                *at = k == 2 ? 1 : 0;
                return true;
            }
    return false;
}
}  // namespace

Face::Face() : m_cache(std::make_unique<Cache>()) {}

Face::~Face() {
    hb_font_destroy(m_font);
    hb_font_destroy(m_unscaled);
}

std::unique_ptr<Face> Face::FromBlob(hb_blob_t* blob, int index, int pixelEm) {
    hb_face_t* face = hb_face_create(blob, static_cast<unsigned>(std::max(0, index)));
    hb_blob_destroy(blob);
    if (hb_face_get_glyph_count(face) == 0) {
        hb_face_destroy(face);
        return nullptr;
    }
    std::unique_ptr<Face> f(new Face());
    f->m_pixelEm = std::max(1, pixelEm);
    f->m_font = hb_font_create(face);
    hb_font_set_scale(f->m_font, f->m_pixelEm * 64, f->m_pixelEm * 64);
    hb_font_set_ppem(f->m_font, static_cast<unsigned>(f->m_pixelEm), static_cast<unsigned>(f->m_pixelEm));
    f->m_unscaled = hb_font_create(face);
    hb_face_destroy(face);
    return f;
}

std::unique_ptr<Face> Face::FromFile(const std::string& path, int index, int pixelEm) {
    if (!winfiles::IsRegularFile(path)) return nullptr;
    hb_blob_t* blob = hb_blob_create_from_file_or_fail(path.c_str());
    if (!blob) return nullptr;
    return FromBlob(blob, index, pixelEm);
}

std::unique_ptr<Face> Face::FromBytes(const std::string& bytes, int pixelEm) {
    // The blob keeps its own copy: the face may outlive the caller's bytes.
    char* copy = static_cast<char*>(malloc(std::max<size_t>(1, bytes.size())));
    if (!copy) return nullptr;
    std::copy(bytes.begin(), bytes.end(), copy);
    hb_blob_t* blob = hb_blob_create(copy, static_cast<unsigned>(bytes.size()), HB_MEMORY_MODE_READONLY, copy, free);
    return FromBlob(blob, 0, pixelEm);
}

std::unique_ptr<Face> Face::FromQpf2(const std::string& bytes, const Face* source) {
    std::unique_ptr<Face> f(new Face());
    f->m_bytes = bytes;
    auto q = std::make_unique<Qpf2Data>();
    const auto* data = reinterpret_cast<const uint8_t*>(f->m_bytes.data());
    if (!qpf2::Parse(data, f->m_bytes.size(), &q->view) || q->view.pixelSize <= 0) return nullptr;
    q->source = source;
    // The face Qt makes of the engine: one table, the CMap block, and the
    // engine's em square (its ascent, cut to whole pixels).
    hb_face_t* face = hb_face_builder_create();
    hb_blob_t* cmap = hb_blob_create(reinterpret_cast<const char*>(q->view.cmap),
                                     static_cast<unsigned>(q->view.cmapSize), HB_MEMORY_MODE_READONLY, nullptr, nullptr);
    hb_face_builder_add_table(face, HB_TAG('c', 'm', 'a', 'p'), cmap);
    hb_blob_destroy(cmap);
    hb_face_set_upem(face, static_cast<unsigned>(std::max(0, q->view.ascent / 64)));
    q->cmapFont = hb_font_create(face);
    f->m_font = hb_font_create(face);
    hb_face_destroy(face);
    f->m_pixelEm = q->view.pixelSize;
    hb_font_set_funcs(f->m_font, Qpf2FontFuncs(), q.get(), nullptr);
    // Qt lays text out with y downwards.
    hb_font_set_scale(f->m_font, f->m_pixelEm * 64, -f->m_pixelEm * 64);
    hb_font_set_ppem(f->m_font, static_cast<unsigned>(f->m_pixelEm), static_cast<unsigned>(f->m_pixelEm));
    f->m_qpf2 = std::move(q);
    return f;
}

void Face::Resize(int pixelEm) {
    if (m_qpf2) return;
    m_pixelEm = std::max(1, pixelEm);
    hb_font_set_scale(m_font, m_pixelEm * 64, m_pixelEm * 64);
    hb_font_set_ppem(m_font, static_cast<unsigned>(m_pixelEm), static_cast<unsigned>(m_pixelEm));
}

int Face::EmForCell(int cell) const {
    if (!m_unscaled) return cell;
    hb_font_extents_t e{};
    hb_font_get_h_extents(m_unscaled, &e);
    const int height = e.ascender - e.descender;
    const unsigned upem = hb_face_get_upem(hb_font_get_face(m_unscaled));
    if (height <= 0) return cell;
    return std::max(1, static_cast<int>((static_cast<int64_t>(cell) * upem + height / 2) / height));
}

uint32_t Face::Glyph(char32_t c) const {
    hb_codepoint_t g = 0;
    return hb_font_get_nominal_glyph(m_font, Valid(c), &g) ? g : 0;
}

uint64_t Face::Outline(uint32_t glyph) const {
    std::lock_guard<std::mutex> hold(m_cache->lock);
    auto it = m_cache->outlines.find(glyph);
    if (it != m_cache->outlines.end()) return it->second;
    OutlineHash hash;
    hb_font_get_glyph_shape(m_unscaled, glyph, HashingDraw(), &hash);
    hash.Mix(static_cast<uint64_t>(hb_font_get_glyph_h_advance(m_unscaled, glyph)));
    m_cache->outlines.emplace(glyph, hash.h);
    return hash.h;
}

bool Face::SameGlyph(uint32_t ours, const Face& source, uint32_t theirs) const {
    if (m_qpf2) {
        Qpf2Data& q = *m_qpf2;
        std::call_once(q.mapped, [&q] {
            q.sourceOf.assign(q.view.glyphCount, 0);
            if (!q.source) return;
            // HarfBuzz lists only the characters of glyphs a font has: a
            // face of the file's cmap and a glyph count.
            hb_face_t* listing = hb_face_builder_create();
            hb_blob_t* cmap = hb_face_reference_table(hb_font_get_face(q.cmapFont), HB_TAG('c', 'm', 'a', 'p'));
            hb_face_builder_add_table(listing, HB_TAG('c', 'm', 'a', 'p'), cmap);
            hb_blob_destroy(cmap);
            const uint32_t n = static_cast<uint32_t>(std::min<size_t>(q.view.glyphCount, 0xFFFF));
            const char maxp[6] = {0, 0, 0x50, 0, static_cast<char>(n >> 8), static_cast<char>(n & 0xFF)};
            hb_blob_t* counted = hb_blob_create(maxp, 6, HB_MEMORY_MODE_DUPLICATE, nullptr, nullptr);
            hb_face_builder_add_table(listing, HB_TAG('m', 'a', 'x', 'p'), counted);
            hb_blob_destroy(counted);
            hb_set_t* unicodes = hb_set_create();
            hb_face_collect_unicodes(listing, unicodes);
            hb_face_destroy(listing);
            for (hb_codepoint_t u = HB_SET_VALUE_INVALID; hb_set_next(unicodes, &u);) {
                const uint32_t g = q.Nominal(u);
                if (g >= q.sourceOf.size() || q.sourceOf[g]) continue;
                q.sourceOf[g] = IsPresentationForm(u) ? q.source->PresentationForm(u) : q.source->Glyph(u);
            }
            hb_set_destroy(unicodes);
        });
        const uint32_t mapped = ours < q.sourceOf.size() ? q.sourceOf[ours] : 0;
        return mapped == theirs;
    }
    if (this == &source || ours == 0 || theirs == 0) return ours == theirs;
    return Outline(ours) == source.Outline(theirs);
}

uint32_t Face::PresentationForm(char32_t form) const {
    {
        std::lock_guard<std::mutex> hold(m_cache->lock);
        auto it = m_cache->forms.find(form);
        if (it != m_cache->forms.end()) return it->second;
    }
    uint32_t glyph = 0;
    std::u32string text;
    size_t at = 0;
    if (FormContext(form, &text, &at)) {
        Item item;
        item.end = text.size();
        item.level = 1;
        item.script = HB_SCRIPT_ARABIC;
        const std::vector<shaping::Glyph> shaped = Shape(m_font, text, item, Features::Required);
        // One glyph for the letter (or both letters of lam-alef), and one
        // that the face has: a form it cannot make is no form.
        size_t found = 0;
        for (const shaping::Glyph& g : shaped)
            if (g.cluster == at) {
                ++found;
                glyph = g.id;
            } else if (g.cluster == at + 1 && text[at] == kLam) {
                found = 2;
            }
        if (found != 1) glyph = 0;
    }
    // A form the layout tables do not make is the face's own, if it has one.
    if (!glyph) glyph = Glyph(form);
    std::lock_guard<std::mutex> hold(m_cache->lock);
    m_cache->forms.emplace(form, glyph);
    return glyph;
}

std::vector<std::pair<char32_t, uint32_t>> ArabicForms(const Face& face, const std::u32string& chars) {
    std::vector<std::pair<char32_t, uint32_t>> out;
    const auto has = [&chars](char32_t c) { return chars.find(c) != std::u32string::npos; };
    bool any = false;
    for (char32_t c : chars) any = any || (c >= 0x0621 && c <= 0x06D3);
    if (!any) return out;
    const auto add = [&](char32_t form) {
        if (const uint32_t g = face.PresentationForm(form)) out.emplace_back(form, g);
    };
    for (const auto& row : kArabicLetterForms)
        if (has(row[0]))
            for (int k = 1; k < 5; ++k)
                if (row[k]) add(row[k]);
    if (has(kLam))
        for (const auto& row : kLamAlefForms)
            if (has(row[0])) {
                add(row[1]);
                add(row[2]);
            }
    std::sort(out.begin(), out.end());
    out.erase(std::unique(out.begin(), out.end()), out.end());
    return out;
}

// Characters a font never draws and HarfBuzz hides (Unicode's
// Default_Ignorable_Code_Point).
bool IsDefaultIgnorable(char32_t c) {
    return c == 0x00AD || c == 0x034F || c == 0x061C || (c >= 0x115F && c <= 0x1160) || (c >= 0x17B4 && c <= 0x17B5) ||
           (c >= 0x180B && c <= 0x180F) || (c >= 0x200B && c <= 0x200F) || (c >= 0x202A && c <= 0x202E) ||
           (c >= 0x2060 && c <= 0x206F) || c == 0x3164 || (c >= 0xFE00 && c <= 0xFE0F) || c == 0xFEFF ||
           c == 0xFFA0 || (c >= 0xFFF0 && c <= 0xFFF8) || (c >= 0x1BCA0 && c <= 0x1BCA3) ||
           (c >= 0x1D173 && c <= 0x1D17A) || (c >= 0xE0000 && c <= 0xE0FFF);
}

bool IsPresentationForm(char32_t c) { return (c >= 0xFB50 && c <= 0xFDFF) || (c >= 0xFE70 && c <= 0xFEFF); }

char32_t Mirror(char32_t c) { return hb_unicode_mirroring(Unicode(), Valid(c)); }

LineCheck CheckLine(const std::u32string& line, const Face& source, const Face& panel, bool qpf2) {
    LineCheck result;
    int xScale = 0, yScale = 0;
    hb_font_get_scale(panel.font(), &xScale, &yScale);
    const int flipY = yScale < 0 ? -1 : 1;
    const std::vector<Item> runs =
        SplitByFont(line, Itemize(line), [&source](char32_t c) { return source.Maps(c) || IsDefaultIgnorable(c); });
    for (const Item& run : runs) {
        if (run.lacking || !NeedsShaping(line.substr(run.begin, run.end - run.begin))) continue;
        result.checked = true;
        const std::vector<shaping::Glyph> want = Shape(source.font(), line, run, Features::Required);
        const std::vector<shaping::Glyph> got = Shape(panel.font(), line, run, Features::Required);
        bool glyphs = want.size() == got.size(), offsets = true;
        for (size_t i = 0; glyphs && i < want.size(); ++i) {
            glyphs = want[i].cluster == got[i].cluster && panel.SameGlyph(got[i].id, source, want[i].id);
            offsets = offsets && std::abs(want[i].xOffset - got[i].xOffset) <= 64 &&
                      std::abs(want[i].yOffset - flipY * got[i].yOffset) <= 64;
        }
        if (glyphs && offsets) continue;
        result.differs = true;
        result.script = run.script;
        if (qpf2)
            result.why = glyphs ? "the QPF2 format carries no mark positioning"
                                : "the QPF2 format carries no glyph substitutions";
        else
            result.why = glyphs ? "the subset places marks otherwise than its source face"
                                : "the subset shapes it otherwise than its source face";
        break;
    }
    return result;
}

}  // namespace shaping
