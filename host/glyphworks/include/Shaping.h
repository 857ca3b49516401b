// Text as a panel lays it out: bidirectional runs and script items as Qt's
// text layout makes them, shaped by HarfBuzz on a face, on a subset, or on a
// QPF2 file as Qt's QPF2 engine shows it to HarfBuzz (its cmap and its
// glyph records, nothing else).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "Glyphworks.h"

typedef struct hb_font_t hb_font_t;
typedef struct hb_blob_t hb_blob_t;

namespace shaping {

// A run of one line: characters [begin, end), one bidi level, one script
// (an hb_script_t; Latin, Han, kana and Bopomofo are "common", as Qt 5
// shapes them).
struct Item {
    size_t begin = 0, end = 0;
    uint8_t level = 0;  // odd: right to left
    uint32_t script = 0;
    bool lacking = false;  // SplitByFont: the font lacks its characters
    bool rtl() const { return level & 1; }
};

// Cuts one line (no line breaks inside) into items: the Unicode
// bidirectional algorithm (GNU FriBidi, the paragraph's direction from its
// first strong character), then script runs in which common and inherited
// characters and marks take the script around them, a tab alone, and at
// most 4,096 characters an item, as Qt's itemizer cuts.
GLYPHWORKS_API std::vector<Item> Itemize(const std::u32string& line);
// The items' order from left to right on the screen.
GLYPHWORKS_API std::vector<size_t> VisualOrder(const std::u32string& line, const std::vector<Item>& items);
// Cuts items where `drawn` changes between base characters (marks, joiners
// and other default-ignorable characters stay with the character before
// them): the runs a font draws, and those it lacks, as Qt hands a run to
// each font of a fallback chain.
GLYPHWORKS_API std::vector<Item> SplitByFont(const std::u32string& line, const std::vector<Item>& items,
                                             const std::function<bool(char32_t)>& drawn);

// UTF-16 text as the code points a line is laid out from: a surrogate pair
// is one character, a lone surrogate stays (and is shaped as U+FFFD).
GLYPHWORKS_API std::u32string FromUtf16(const std::u16string& text);

// Whether laying the text out can do more than put each character's glyph
// after the last: a character of a script with a shaper of its own
// (Arabic, Hebrew, the Indic scripts, Thai, ...), a combining mark, or a
// joiner. Latin, Greek, Cyrillic, CJK and the like need none.
GLYPHWORKS_API bool NeedsShaping(const std::u32string& text);
// The same of UTF-16 text (a lone surrogate needs none).
GLYPHWORKS_API bool NeedsShaping(const char16_t* text, size_t length);
// "Arabic", "Devanagari", ...: the script's name for reports.
GLYPHWORKS_API std::string ScriptName(uint32_t script);

// One glyph of a shaped item, in HarfBuzz's order (left to right on the
// screen). Positions in 26.6 pixels, y upwards.
struct Glyph {
    uint32_t id = 0;
    uint32_t cluster = 0;  // index in the line of its first character
    int32_t advance = 0, xOffset = 0, yOffset = 0;
};

// What the shaping asks of the font's layout tables: all a panel applies
// (Qt's defaults), or what a script requires, without the typographic
// niceties a bitmap panel cannot apply (ligatures and kerning off).
enum class Features { Panel, Required };

// Shapes the item of `line` with `font`, as Qt shapes a run: the item
// alone, no context around it, its direction from its level.
GLYPHWORKS_API std::vector<Glyph> Shape(hb_font_t* font, const std::u32string& line, const Item& item,
                                        Features features);

struct Qpf2Data;

// A face to shape with, and what its glyphs are in the face they come from.
class GLYPHWORKS_API Face {
public:
    // A font file (a member of a collection by index) or its bytes, at an em
    // of `pixelEm` pixels: a source face, or a subset with all its tables.
    static std::unique_ptr<Face> FromFile(const std::string& path, int index, int pixelEm);
    static std::unique_ptr<Face> FromBytes(const std::string& bytes, int pixelEm);
    // A QPF2 file as Qt's engine gives it to HarfBuzz: the cmap of its CMap
    // block, advances and extents from its glyph records, its header's
    // ascent, descent and leading, at its pixel size with y downwards. Its
    // glyphs are those `source` (the face the file was rendered from) has
    // for the same characters, the presentation forms added for Arabic
    // included. Null when the bytes are not a QPF2 file.
    static std::unique_ptr<Face> FromQpf2(const std::string& bytes, const Face* source);
    ~Face();
    Face(const Face&) = delete;
    Face& operator=(const Face&) = delete;

    hb_font_t* font() const { return m_font; }
    int pixelEm() const { return m_pixelEm; }
    // Shapes at another em from now on (not for a QPF2 file, whose size is its own).
    void Resize(int pixelEm);
    // The em, in pixels, of a font of this face whose cell (ascent and
    // descent) is `cell` pixels high, as a positive lfHeight asks.
    int EmForCell(int cell) const;
    // The glyph the cmap gives the character, 0 for none.
    uint32_t Glyph(char32_t c) const;
    bool Maps(char32_t c) const { return Glyph(c) != 0; }
    // Whether glyph `ours` of this face is glyph `theirs` of the source
    // face: for a QPF2 file the glyph it was rendered from, for a subset the
    // same outline and advance.
    bool SameGlyph(uint32_t ours, const Face& source, uint32_t theirs) const;
    // The glyph of a presentation form of Arabic that a QPF2 file rendered
    // from this face carries: the single glyph its layout tables give the
    // letter (or lam-alef) in that position, which is what the face shows
    // for it in text, else the face's own for the form's code point; 0 when
    // neither exists.
    uint32_t PresentationForm(char32_t form) const;

private:
    Face();
    uint64_t Outline(uint32_t glyph) const;
    static std::unique_ptr<Face> FromBlob(hb_blob_t* blob, int index, int pixelEm);

    hb_font_t* m_font = nullptr;
    hb_font_t* m_unscaled = nullptr;  // outlines, in font units
    int m_pixelEm = 0;
    std::string m_bytes;  // what the fonts read, when they came as bytes
    std::unique_ptr<Qpf2Data> m_qpf2;
    struct Cache;
    std::unique_ptr<Cache> m_cache;
};

// The presentation forms a QPF2 file of these characters carries so that
// HarfBuzz, given no GSUB, joins its Arabic: every form of each Arabic
// letter among them, and the lam-alef ligatures of the alefs among them
// when lam is there too; each with the glyph PresentationForm gives it in
// `face`, forms it has no glyph for left out. In code point order.
GLYPHWORKS_API std::vector<std::pair<char32_t, uint32_t>> ArabicForms(const Face& face, const std::u32string& chars);
// A character no font draws and HarfBuzz hides (Unicode's
// Default_Ignorable_Code_Point: joiners, bidi controls, variation selectors).
GLYPHWORKS_API bool IsDefaultIgnorable(char32_t c);
// A code point of the Arabic presentation forms (U+FB50..U+FDFF, U+FE70..U+FEFF).
GLYPHWORKS_API bool IsPresentationForm(char32_t c);
// The character a right-to-left run shows for `c` (its mirror: ")" for
// "("), `c` itself when it has none.
GLYPHWORKS_API char32_t Mirror(char32_t c);

// What a line looks like on the panel against the desktop's rendering of
// the face it comes from.
struct LineCheck {
    bool checked = false;   // false: nothing in it needs shaping
    bool differs = false;
    uint32_t script = 0;    // of the first item that differs
    std::string why;
};
// Shapes the items of the line that the source face draws and that need
// shaping on both faces, with the required features, and compares the
// glyphs (as source glyphs), their order and clusters, and the offsets of
// marks at the pixel size, within a pixel. Characters the source face
// lacks are not this check's business; the runs around them are checked
// each alone. `qpf2`: the panel face is a QPF2 file (for the reason given).
GLYPHWORKS_API LineCheck CheckLine(const std::u32string& line, const Face& source, const Face& panel, bool qpf2);

}  // namespace shaping
