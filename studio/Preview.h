// The panel's view of a text: drawn from the files that go to the panel,
// never from the workstation's fonts.
#pragma once

#include <QByteArray>
#include <QImage>

#include <QPointF>
#include <QRectF>

#include <memory>
#include <string>
#include <vector>

typedef struct hb_font_t hb_font_t;

namespace preview {

// A font file of the panel, as the panel's Qt lays text out and draws with it.
class PanelFont {
public:
    virtual ~PanelFont();
    virtual int ascent() const = 0;
    virtual int descent() const = 0;
    // The HarfBuzz font Qt shapes with: its own, over the file's font engine.
    virtual hb_font_t* shaper() = 0;
    // The glyph of a character, 0 when the file has none (or cannot draw it).
    virtual uint32_t glyphIndex(char32_t c) = 0;
    // Where a glyph's ink lies from its origin on the baseline (y downwards).
    virtual QRectF inkBox(uint32_t glyph) = 0;
    // What a simulated bold adds to each advance, in pixels.
    virtual double boldening() const { return 0; }
    // Draws glyphs, black on the image, each at its origin (y downwards).
    virtual void draw(QImage& image, const std::vector<uint32_t>& glyphs, const std::vector<QPointF>& at) = 0;
};

// A QPF2 file through Qt's own QPF2 engine; null when Qt rejects it.
std::unique_ptr<PanelFont> OpenQpf2(const QByteArray& bytes);
// A TrueType or OpenType file through Qt from the bytes themselves. `lfHeight`
// as the font table has it: negative an em height, positive a cell height.
// Null when Qt cannot load it. A style the file lacks is simulated, as a
// panel embolds or slants a regular outline.
std::unique_ptr<PanelFont> OpenOutline(const QByteArray& bytes, int lfHeight, bool bold = false, bool italic = false);

// One glyph of a drawn line: its id in the file and its origin, in pixels
// from the start of the line on the baseline (y downwards).
struct PlacedGlyph {
    uint32_t id = 0;
    QPointF at;
    uint32_t cluster = 0;  // the index in the line of its first character
};

// One line of text at the panel's size, black on white, laid out as Qt lays
// it out: bidirectional runs in their visual order, each shaped by HarfBuzz
// with the file's font. Characters the font cannot draw, and those of
// `lost`, are red boxes with their code.
struct DrawnLine {
    QImage image;            // Format_RGB32
    int baseline = 0;        // row of the baseline in `image`
    int origin = 0;          // column where the line starts (ink may lie before it)
    int width = 0;           // the line's width on the panel, markers counted
    std::u32string marked;   // the characters drawn as markers, in visual order
    std::vector<PlacedGlyph> glyphs;  // from left to right
};
DrawnLine DrawLine(PanelFont* font, const std::u32string& text, const std::u32string& lost);

// The marker's colour: nothing else on a line is drawn in it.
extern const unsigned kMarkerRgb;

// ---- The sheet ----
struct Cell {
    DrawnLine line;
    bool drawn = false;  // false: no text in this language
    std::string note;    // e.g. no file for the font
    std::string shaped;  // why the panel shapes it otherwise; "" when it does not
};
struct Row {
    std::string label;  // the text's line in the texts file
    std::vector<Cell> cells;
};
struct Screen {
    std::string name;
    std::vector<Row> rows;
};
struct Sheet {
    std::string title;
    std::vector<std::string> languages;  // column headings
    int screenWidth = 0;                 // the panel's; wider lines are marked
    std::vector<Screen> screens;
};
// Lines taller than this are scaled down to it, and the sheet says so.
constexpr int kMaxRowHeight = 96;
QImage DrawSheet(const Sheet& sheet);

}  // namespace preview
