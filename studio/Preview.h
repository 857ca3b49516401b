// The panel's view of a text: drawn from the files that go to the panel,
// never from the workstation's fonts.
#pragma once

#include <QByteArray>
#include <QImage>

#include <memory>
#include <string>
#include <vector>

namespace preview {

// One glyph as the panel draws it: its coverage map (0 none .. 255 full),
// placed from the pen position on the baseline.
struct GlyphImage {
    QImage alpha;        // Format_Alpha8; null for a blank glyph
    int left = 0;        // from the pen to the map's left edge
    int top = 0;         // from the baseline down to the map's top edge
    double advance = 0;  // pixels
};

// A font file of the panel.
class PanelFont {
public:
    virtual ~PanelFont();
    virtual int ascent() const = 0;
    virtual int descent() const = 0;
    // False when the file cannot draw `c`.
    virtual bool glyph(char32_t c, GlyphImage* out) = 0;
};

// A QPF2 file through Qt's own QPF2 engine; null when Qt rejects it.
std::unique_ptr<PanelFont> OpenQpf2(const QByteArray& bytes);
// A TrueType or OpenType file through Qt from the bytes themselves. `lfHeight`
// as the font table has it: negative an em height, positive a cell height.
// Null when Qt cannot load it. A style the file lacks is simulated, as a
// panel embolds or slants a regular outline.
std::unique_ptr<PanelFont> OpenOutline(const QByteArray& bytes, int lfHeight, bool bold = false, bool italic = false);

// One line of text at the panel's size, black on white. Characters the font
// cannot draw, and those of `lost`, are red boxes with their code.
struct DrawnLine {
    QImage image;            // Format_RGB32
    int baseline = 0;        // row of the baseline in `image`
    int width = 0;           // the line's width on the panel, markers counted
    std::u32string marked;   // the characters drawn as markers, in order
};
DrawnLine DrawLine(PanelFont* font, const std::u32string& text, const std::u32string& lost);

// The marker's colour: nothing else on a line is drawn in it.
extern const unsigned kMarkerRgb;

// ---- The sheet ----
struct Cell {
    DrawnLine line;
    bool drawn = false;  // false: no text in this language
    std::string note;    // e.g. no file for the font
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
