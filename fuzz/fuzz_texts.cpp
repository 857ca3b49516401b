// Fuzzes the studio's texts file reader (docs/texts-format.md), from memory
// and from a file, and lays every text it reads out as the panel would:
// bidi runs, script items and HarfBuzz shaping on a real face and on a QPF2
// file of its characters, and the shaping check between them. A
// StudioError is the defined answer to bad input; any other exception, a
// crash or an overrun is a finding.
#include <cstddef>
#include <cstdint>
#include <string>

#include <algorithm>
#include <memory>

#include "FuzzSupport.h"
#include "Qpf2.h"
#include "Shaping.h"
#include "Studio.h"
#include "TextsFile.h"

namespace {

// What must hold of every file that was read.
void CheckParsed(const studio::TextsFile& t, const std::string& bytes) {
    size_t lines = 1;
    for (char c : bytes) lines += c == '\n';
    int lastLine = 0;
    for (const studio::ScreenText& s : t.texts) {
        FUZZ_CHECK(!s.screen.empty());
        FUZZ_CHECK(s.line > lastLine && static_cast<size_t>(s.line) <= lines);
        lastLine = s.line;
        FUZZ_CHECK(!s.text.empty());
        bool known = false;
        for (const std::string& screen : t.screens) known = known || screen == s.screen;
        FUZZ_CHECK(known);
    }
    for (const std::string& screen : t.screens) FUZZ_CHECK(!screen.empty());
}

bool SameFile(const studio::TextsFile& a, const studio::TextsFile& b) {
    if (a.screens != b.screens || a.texts.size() != b.texts.size()) return false;
    for (size_t i = 0; i < a.texts.size(); ++i) {
        const studio::ScreenText &x = a.texts[i], &y = b.texts[i];
        if (x.screen != y.screen || x.line != y.line || x.text != y.text) return false;
        for (int slot = 0; slot < kMultiFontSlots; ++slot)
            if (x.fonts.wFontID[slot] != y.fonts.wFontID[slot]) return false;
    }
    return true;
}


// A face with Latin, Greek, Cyrillic, Hebrew and Arabic, when Debian's DejaVu is there.
const shaping::Face* Source() {
    static const std::unique_ptr<shaping::Face> face =
        shaping::Face::FromFile("/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf", 0, 16);
    return face.get();
}

// What must hold of a line laid out: items cut it whole, in order; the
// visual order is a permutation of them; glyphs stay in their item.
void LayOut(const std::u32string& line) {
    const std::vector<shaping::Item> items = shaping::Itemize(line);
    size_t at = 0;
    for (const shaping::Item& item : items) {
        FUZZ_CHECK(item.begin == at && item.end > item.begin && item.end - item.begin <= 4096);
        at = item.end;
    }
    FUZZ_CHECK(at == line.size());
    std::vector<size_t> order = shaping::VisualOrder(line, items);
    std::sort(order.begin(), order.end());
    for (size_t i = 0; i < order.size(); ++i) FUZZ_CHECK(order[i] == i);
    shaping::NeedsShaping(line);
    if (const shaping::Face* source = Source())
        for (const shaping::Item& item : items)
            for (const shaping::Glyph& g : shaping::Shape(source->font(), line, item, shaping::Features::Panel))
                FUZZ_CHECK(g.cluster >= item.begin && g.cluster < item.end);
}

// The shaping check of every line on one QPF2 file of all their characters,
// as a compile renders one file for the texts of a font.
void CheckOnQpf2(const std::vector<std::u32string>& lines) {
    const shaping::Face* source = Source();
    if (!source || lines.empty()) return;
    qpf2::RenderRequest rq;
    rq.path = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
    rq.pixelEm = 16;
    for (const std::u32string& line : lines) rq.chars += line;
    rq.fontName = "Fuzz";
    qpf2::Font font;
    std::string error;
    if (!qpf2::Render(rq, font, &error)) return;
    const std::vector<uint8_t> bytes = qpf2::Serialize(font);
    const auto panel = shaping::Face::FromQpf2(std::string(bytes.begin(), bytes.end()), source);
    FUZZ_CHECK(panel != nullptr);
    for (const std::u32string& line : lines) {
        const shaping::LineCheck r = shaping::CheckLine(line, *source, *panel, true);
        FUZZ_CHECK(!r.differs || (r.checked && !r.why.empty()));
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const fuzzsupport::fs::path path = fuzzsupport::ScratchDir("texts") / "texts.txt";
    const std::string bytes(reinterpret_cast<const char*>(data), size);

    bool parsed = false;
    studio::TextsFile fromMemory;
    try {
        fromMemory = studio::ParseTexts(bytes, "texts.txt");
        parsed = true;
        CheckParsed(fromMemory, bytes);
        std::vector<std::u32string> lines;
        for (const studio::ScreenText& t : fromMemory.texts)
            for (const std::u16string& piece : t.text) {
                lines.push_back(shaping::FromUtf16(piece));
                LayOut(lines.back());
            }
        CheckOnQpf2(lines);
    } catch (const studio::StudioError& e) {
        // Errors name the file and the line.
        FUZZ_CHECK(e.message.rfind("texts.txt:", 0) == 0);
    }

    // The file reader gives the same answer for the same bytes.
    fuzzsupport::WriteFile(path, data, size);
    try {
        const studio::TextsFile fromFile = studio::ReadTextsFile(path.string());
        FUZZ_CHECK(parsed);
        FUZZ_CHECK(SameFile(fromMemory, fromFile));
    } catch (const studio::StudioError& e) {
        FUZZ_CHECK(!parsed);
        FUZZ_CHECK(e.message.rfind(path.string() + ":", 0) == 0);
    }
    return 0;
}
