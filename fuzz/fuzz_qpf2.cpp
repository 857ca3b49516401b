// Fuzzes QPF2 rendering from a hostile font: qpf2::Render and Serialize on
// the input file directly, at an ordinary and at an extreme pixel size
// (chosen by the input's last byte), and the compile's road through
// generateqpf2 and qpf2tofileEx into a temporary folder, with a machine
// profile whose fonts folder holds the input. Every file written is checked
// against the format's structure; the input itself is read as a QPF2 file
// by the project's reader (qpf2::Check).
#include <climits>
#include <cstddef>
#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "Glyphworks.h"
#include "Qpf2.h"
#include "win/filesafety.h"
#include "win/fontdb.h"
#include "win/profile.h"
#include "win/wstr.h"

namespace fs = fuzzsupport::fs;

namespace {

const std::u32string kChars = U"Ax g\u00E9\u4E8C\u53F7\U0001F600 .,W|\u0301";
const int kSizes[] = {1, 2, 11, 24, 72, 255, 256, 1000, 16384, 65535, 100000, INT_MAX};

uint32_t Be32(const std::vector<uint8_t>& b, size_t at) {
    FUZZ_CHECK(at + 4 <= b.size());
    return uint32_t{b[at]} << 24 | uint32_t{b[at + 1]} << 16 | uint32_t{b[at + 2]} << 8 | b[at + 3];
}
uint16_t Be16(const std::vector<uint8_t>& b, size_t at) {
    FUZZ_CHECK(at + 2 <= b.size());
    return static_cast<uint16_t>(b[at] << 8 | b[at + 1]);
}

// The file's structure as Qt's reader walks it: header and tags, then the
// cmap, glyph map and glyph blocks, every glyph record inside its block.
void CheckQpf2Bytes(const std::vector<uint8_t>& b, size_t glyphCount) {
    FUZZ_CHECK(b.size() >= 12 && b[0] == 'Q' && b[1] == 'P' && b[2] == 'F' && b[3] == '2');
    const size_t tagsEnd = 12 + Be16(b, 10);
    size_t at = 12;
    bool end = false;
    while (at < tagsEnd && !end) {
        const uint16_t tag = Be16(b, at), len = Be16(b, at + 2);
        end = tag == 19;
        at += 4 + len;
    }
    FUZZ_CHECK(end && at <= tagsEnd && tagsEnd % 4 == 0);
    at = tagsEnd;
    size_t gmapAt = 0, gmapSize = 0, glyphsAt = 0, glyphsSize = 0;
    for (uint16_t expected = 0; expected < 3; ++expected) {
        FUZZ_CHECK(Be16(b, at) == expected);
        const size_t blockSize = Be32(b, at + 4);
        FUZZ_CHECK(blockSize % 4 == 0 && at + 8 + blockSize <= b.size());
        if (expected == 1) gmapAt = at + 8, gmapSize = blockSize;
        if (expected == 2) glyphsAt = at + 8, glyphsSize = blockSize;
        at += 8 + blockSize;
    }
    FUZZ_CHECK(at == b.size());
    FUZZ_CHECK(gmapSize == 4 * (glyphCount + 1));
    for (size_t i = 0; i < glyphCount + 1; ++i) {
        const uint32_t offset = Be32(b, gmapAt + 4 * i);
        if (offset == 0xFFFFFFFFu) continue;
        FUZZ_CHECK(offset + 6 <= glyphsSize);
        const size_t rec = glyphsAt + offset;
        FUZZ_CHECK(b[rec + 2] == b[rec]);  // bytes per line: one per pixel
        FUZZ_CHECK(offset + 6 + size_t{b[rec]} * b[rec + 1] <= glyphsSize);
    }
}

void CheckFont(const qpf2::Font& font) {
    std::set<uint32_t> unstorable(font.unstorable.begin(), font.unstorable.end());
    for (size_t i = 0; i < font.glyphs.size(); ++i) {
        const qpf2::Glyph& g = font.glyphs[i];
        if (unstorable.count(static_cast<uint32_t>(i + 1))) continue;
        FUZZ_CHECK(g.alpha.size() == size_t{g.width} * g.height && g.bytesPerLine == g.width);
    }
    for (const auto& kv : font.cmap) FUZZ_CHECK(kv.second >= 1 && kv.second <= font.glyphs.size());
    FUZZ_CHECK(font.glyphs.size() <= kChars.size());
    const std::vector<uint8_t> bytes = qpf2::Serialize(font);
    CheckQpf2Bytes(bytes, font.glyphs.size());
    // The project's reader takes every file the writer makes.
    FUZZ_CHECK(qpf2::Check(bytes.data(), bytes.size()).empty());
}

void RenderDirect(const std::string& path, int faceIndex, int pixelEm, bool bold, bool italic) {
    qpf2::RenderRequest rq;
    rq.path = path;
    rq.faceIndex = faceIndex;
    rq.pixelEm = pixelEm;
    rq.simulateBold = bold;
    rq.simulateItalic = italic;
    rq.chars = kChars;
    rq.fontName = "Fuzz Face";
    rq.weight = bold ? 75 : 50;
    rq.italic = italic;
    qpf2::Font font;
    std::string error;
    if (qpf2::Render(rq, font, &error)) CheckFont(font);
    else FUZZ_CHECK(!error.empty());
}

struct Folders {
    fs::path profile, out;
};

const Folders& Dirs() {
    static const Folders f = [] {
        Folders d;
        const auto root = fuzzsupport::ScratchDir("qpf2");
        d.profile = root / "profile";
        d.out = root / "out";
        fs::create_directories(d.profile / "Fonts");
        fs::create_directories(d.out);
        return d;
    }();
    return f;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const Folders& d = Dirs();
    const fs::path font = d.profile / "Fonts" / "fuzz.ttf";
    fuzzsupport::WriteFile(font, data, size);
    // The input as a QPF2 file for the project's reader: it must say, never overrun.
    (void)qpf2::Check(data, size);
    const uint8_t pick = size ? data[size - 1] : 0;
    const int extreme = kSizes[pick % (sizeof kSizes / sizeof kSizes[0])];
    const bool bold = pick & 0x40, italic = pick & 0x80;

    RenderDirect(font.string(), 0, 13, false, false);
    RenderDirect(font.string(), 0, extreme, bold, italic);
    RenderDirect(font.string(), 1, 20, !bold, !italic);

    // The compile's road: GDI realises the face, Glyphworks renders and writes.
    FUZZ_CHECK(winprofile::Load(d.profile.string()));
    fuzzsupport::Clear(d.out);
    (void)winfiles::TakeFailures();
    std::set<std::u16string> families;
    for (const fontdb::Face& f : fontdb::Faces())
        if (families.size() < 4) families.insert(f.family);
    const std::u16string text = u"Ax g\u00E9\u4E8C\U0001F600";
    for (const std::u16string& family : families) {
        generateqpf2(text.c_str(), family.c_str(), -12, false, 50, u"", -1);
        generateqpf2(text.c_str(), family.c_str(), pick & 1 ? -extreme : extreme, italic, bold ? 75 : 50,
                     u"../pack", -1);
        generateqpf2(u"", family.c_str(), INT_MIN, true, 75, nullptr, -1);
    }
    const int pending = qpf2PendingCount();
    const int written = qpf2tofileEx(Utf8ToUtf16(d.out.string()).c_str());
    FUZZ_CHECK(written <= pending && qpf2PendingCount() == 0);
    int files = 0;
    for (const std::string& name : fuzzsupport::Listing(d.out)) {
        FUZZ_CHECK(name.size() > 5 && name.compare(name.size() - 5, 5, ".qpf2") == 0);
        std::string bytes;
        FUZZ_CHECK(winfiles::ReadRegularFile((d.out / name).string(), &bytes));
        const std::vector<uint8_t> b(bytes.begin(), bytes.end());
        const size_t gmapSize = Be32(b, 12 + Be16(b, 10) + 8 + Be32(b, 12 + Be16(b, 10) + 4) + 4);
        CheckQpf2Bytes(b, gmapSize / 4 - 1);
        ++files;
    }
    FUZZ_CHECK(files == written);
    // Each file written has its record; a record without a file says why.
    std::set<std::string> recorded;
    for (const CoverageRecord& r : takeCoverageReport()) {
        FUZZ_CHECK(r.missing.size() + r.tooLarge.size() <= static_cast<size_t>(r.requested));
        if (r.file.empty())
            FUZZ_CHECK(!r.note.empty());
        else if (r.note.empty())
            recorded.insert(Utf16ToUtf8(r.file));
    }
    FUZZ_CHECK(recorded == fuzzsupport::Listing(d.out));
    FUZZ_CHECK(fuzzsupport::Listing(d.out.parent_path()) == (std::set<std::string>{"out", "profile"}));
    (void)winfiles::TakeFailures();
    return 0;
}
