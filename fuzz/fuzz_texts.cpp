// Fuzzes the studio's texts file reader (docs/texts-format.md), from memory
// and from a file. A StudioError is the defined answer to bad input; any
// other exception, a crash or an overrun is a finding.
#include <cstddef>
#include <cstdint>
#include <string>

#include "FuzzSupport.h"
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
