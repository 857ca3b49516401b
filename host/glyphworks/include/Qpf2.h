// Qt's pre-rendered font format (QPF2): the in-memory font and its file bytes.
#pragma once

#include <cstdint>
#include <functional>
#include <iosfwd>
#include <map>
#include <string>
#include <vector>

#include "Glyphworks.h"

namespace qpf2 {

// One rendered glyph: an 8-bit alpha map and its placement in pixels.
struct Glyph {
    uint8_t width = 0, height = 0, bytesPerLine = 0;
    int8_t x = 0;        // left bearing
    int8_t y = 0;        // top of the map above the baseline, negated (Qt's offset)
    int8_t advance = 0;
    std::vector<uint8_t> alpha;
};

// A font ready to write. Glyph ids are the file's own: 1..n in the order the
// characters were added (0 is never drawn), so the glyph map stays as small
// as the character set.
struct Font {
    std::string fontName, fileName, freeText;
    uint32_t fileIndex = 0, fontRevision = 0;
    // Metrics in pixels, Qt's engine values for the face at this size (what
    // Qt's makeqpf writes); written as 26.6 fixed point.
    double ascent = 0, descent = 0, leading = 0, xHeight = 0, averageCharWidth = 0, maxCharWidth = 0,
           lineThickness = 1, minLeftBearing = 0, minRightBearing = 0, underlinePosition = 0;
    uint8_t pixelSize = 0;
    uint8_t weight = 50;  // Qt's scale: 50 normal, 75 bold
    uint8_t style = 0;    // 0 normal, 1 italic
    std::vector<uint8_t> writingSystems;  // bit i = QFontDatabase::WritingSystem i
    std::map<char32_t, uint32_t> cmap;    // character -> glyph id
    std::vector<Glyph> glyphs;            // glyph id i + 1 at index i; an empty map for blanks
    // Glyph ids whose bitmap did not fit the format's byte fields; the
    // glyph map marks them not rendered.
    std::vector<uint32_t> unstorable;

    // What rendering found, for the build's report: the characters no face
    // has (control characters, which text layout never draws, left out), the
    // characters whose glyphs are in `unstorable`, and per linked face (by
    // name) the characters it supplied.
    std::u32string missing, tooLarge;
    std::vector<std::pair<std::string, std::u32string>> linked;
};

// Control characters are never drawn (text layout handles tabs and line
// breaks), so they are never missing from a font.
inline bool IsDrawn(char32_t c) { return c >= 0x20 && (c < 0x7F || c > 0x9F); }

// The largest pixel size the format's PixelSize byte holds. A larger font is
// not written: its header would contradict its name and its glyphs.
constexpr int kMaxPixelSize = 255;

// The bytes of a .qpf2 file: header, tags, CMap, GMap and Glyph blocks.
GLYPHWORKS_API std::vector<uint8_t> Serialize(const Font& font);
// The same bytes, written to a stream.
GLYPHWORKS_API void Write(const Font& font, std::ostream& out);
// The bytes before the glyph records (header, tags, CMap and GMap blocks,
// the Glyph block's tag), from the glyphs' sizes; *recordBytes: the bytes of
// the records that follow. WriteGlyphBlockEnd pads the block after them.
GLYPHWORKS_API std::vector<uint8_t> HeadBytes(const Font& font, uint32_t* recordBytes);
GLYPHWORKS_API void WriteGlyphBlockEnd(uint32_t recordBytes, std::ostream& out);
// Reads a .qpf2 file's bytes as Qt's reader will: the header and its tags
// (each within the tag area, of its type's length, a font name and a pixel
// size), then the CMap, GMap and Glyph blocks in that order, 4-byte aligned,
// ending with the file; the cmap's format 12 groups within its block and
// naming glyphs the glyph map has; every glyph map entry not rendered or a
// record wholly inside the glyph block. "" when the file holds, else what
// is wrong with it.
GLYPHWORKS_API std::string Check(const uint8_t* data, size_t size);
// The parts of a file that Check accepts, as Qt's engine reads them.
struct View {
    const uint8_t* cmap = nullptr;  // a whole TrueType cmap table
    size_t cmapSize = 0;
    const uint8_t* glyphMap = nullptr;  // one big-endian offset per glyph id
    size_t glyphCount = 0;
    const uint8_t* glyphData = nullptr;
    size_t glyphDataSize = 0;
    int pixelSize = 0;
    int32_t ascent = 0, descent = 0, leading = 0;  // 26.6
    // Glyph g's record (width, height, bytes per line, x, y, advance, then
    // the map), null when the file did not render it.
    const uint8_t* Record(uint32_t g) const;
};
// False when Check finds the bytes do not hold.
GLYPHWORKS_API bool Parse(const uint8_t* data, size_t size, View* view);
// "family_size_weight[_italic].qpf2", family in lower case with blanks as "_".
GLYPHWORKS_API std::string FileNameFor(const std::string& family, int pixelSize, int weight, bool italic);

}  // namespace qpf2

namespace qpf2 {

// A face that supplies the characters the rendered face lacks (font linking),
// with the bold and italic it lacks simulated.
struct LinkedFace {
    std::string path;
    int faceIndex = 0;
    bool simulateBold = false;
    bool simulateItalic = false;
    std::string name;  // for the report
};

// What to render: a face file (a collection member by index) at an em size
// in pixels, with the bold and italic that the face lacks simulated.
struct RenderRequest {
    std::string path;
    int faceIndex = 0;
    int pixelEm = 0;
    bool simulateBold = false;
    bool simulateItalic = false;
    std::u32string chars;  // duplicates are rendered once
    std::string fontName;  // the family written into the file
    int weight = 50;       // Qt's scale
    bool italic = false;
    std::vector<LinkedFace> links;  // asked in order for what the face lacks
};

// Renders the characters with FreeType into `out`: from the face, else from
// the first linked face that has them; characters no face has are left out.
// Advances are those Qt lays the face out with: hinted, and above Qt's glyph
// cache size (64 px) unhinted; simulated bold keeps the face's advances.
// False (with a reason) when the face cannot be opened or sized, or when
// the pixel size is beyond kMaxPixelSize; `out` then still says which
// characters were missing and which too large.
GLYPHWORKS_API bool Render(const RenderRequest& request, Font& out, std::string* error);
// Renders and writes in one go the bytes Serialize(Render()) gives, without
// keeping the glyphs' bitmaps: each record goes to the stream as it is
// rendered, and the head is filled in last (the stream must let seekp go
// back to where it began). `open` gives the stream once the face is open and
// sized (null stops); `written` is called every megabyte or so. False as
// Render is, and with *again set when a glyph the face maps could not be
// rendered, which changes the file's layout: the caller makes it again
// through Render. A failed write is left in the stream's state. With
// `found`, it gets what rendering found (missing, too large, linked), also
// when nothing could be rendered.
GLYPHWORKS_API bool RenderTo(const RenderRequest& request, const std::function<std::ostream*()>& open,
                             std::string* error, bool* again, const std::function<void()>& written,
                             Font* found = nullptr);

// The characters of `chars` that a face (a collection member by index) has
// no glyph for, each once, control characters left out; all of them when the
// file cannot be opened.
GLYPHWORKS_API std::u32string Lacking(const std::string& path, int faceIndex, const std::u32string& chars);

}  // namespace qpf2
