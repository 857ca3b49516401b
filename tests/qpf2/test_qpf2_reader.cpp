// QPF2 files as Qt's own reader sees them.
#include <gtest/gtest.h>

#include <QtGui/private/qfontengine_qpf2_p.h>

#include <ft2build.h>
#include FT_FREETYPE_H

#include <functional>
#include <sstream>

#include "Qpf2.h"
#include "Qpf2Reader.h"
#include "TestProfile.h"

namespace {
using testsupport::GuiApp;

std::string Fixture(const std::string& file) {
    return (testsupport::FixtureFontsDir() / "Fonts" / file).string();
}

// Arial at `em` pixels.
qpf2::RenderRequest Arial(int em, const std::u32string& chars) {
    qpf2::RenderRequest rq;
    rq.path = Fixture("arial.ttf");
    rq.pixelEm = em;
    rq.chars = chars;
    rq.fontName = "Arial";
    return rq;
}

qpf2::Font RenderOrFail(const qpf2::RenderRequest& rq) {
    qpf2::Font font;
    std::string error;
    EXPECT_TRUE(qpf2::Render(rq, font, &error)) << error;
    return font;
}

// The same glyph through FreeType directly, to compare against what was stored.
std::pair<int, int> FreeTypeBitmapSize(const std::string& path, int index, int em, char32_t c) {
    FT_Library lib;
    FT_Init_FreeType(&lib);
    FT_Face face;
    FT_New_Face(lib, path.c_str(), index, &face);
    FT_Set_Pixel_Sizes(face, 0, static_cast<FT_UInt>(em));
    FT_Load_Char(face, c, FT_LOAD_RENDER);
    const std::pair<int, int> size{static_cast<int>(face->glyph->bitmap.width), static_cast<int>(face->glyph->bitmap.rows)};
    FT_Done_Face(face);
    FT_Done_FreeType(lib);
    return size;
}
}  // namespace

TEST(Qpf2Reader, QtAcceptsTheFileAndFindsEveryGlyph) {
    GuiApp();
    const qpf2::RenderRequest rq = Arial(24, U"Hello, World 0123");
    const qpf2::Font font = RenderOrFail(rq);
    const std::vector<uint8_t> bytes = qpf2::Serialize(font);
    ASSERT_TRUE(QFontEngineQPF2::verifyHeader(bytes.data(), static_cast<int>(bytes.size())));
    EXPECT_EQ(QFontEngineQPF2::extractHeaderField(bytes.data(), QFontEngineQPF2::Tag_FontName).toString(), "Arial");
    EXPECT_EQ(QFontEngineQPF2::extractHeaderField(bytes.data(), QFontEngineQPF2::Tag_PixelSize).toInt(), 24);
    EXPECT_EQ(QFontEngineQPF2::extractHeaderField(bytes.data(), QFontEngineQPF2::Tag_Weight).toInt(), 50);

    QFontDef def;
    def.pixelSize = 24;
    // The engine reads the bytes in place: they must outlive it.
    const QByteArray data(reinterpret_cast<const char*>(bytes.data()), static_cast<int>(bytes.size()));
    QFontEngineQPF2 engine(def, data);
    ASSERT_TRUE(engine.isValid());
    for (char32_t c : std::u32string(U"HeloWrd0123,")) {
        const glyph_t g = engine.glyphIndex(c);
        ASSERT_NE(g, 0u) << static_cast<uint32_t>(c);
        const QFontEngineQPF2::Glyph* glyph = engine.findGlyph(g);
        ASSERT_NE(glyph, nullptr);
        const auto size = FreeTypeBitmapSize(rq.path, 0, 24, c);
        EXPECT_EQ(glyph->width, size.first);
        EXPECT_EQ(glyph->height, size.second);
    }
    // The blank has no bitmap (its advance is Qpf2Metrics'); characters not asked for are absent.
    const QFontEngineQPF2::Glyph* space = engine.findGlyph(engine.glyphIndex(U' '));
    ASSERT_NE(space, nullptr);
    EXPECT_EQ(space->width, 0);
    EXPECT_EQ(engine.glyphIndex(U'Q'), 0u);
    // The glyph map holds one entry per distinct character asked for (and glyph 0).
    EXPECT_EQ(font.glyphs.size(), 13u);
}

TEST(Qpf2Reader, GlyphsTooLargeForTheFormatAreListedButNotRendered) {
    GuiApp();
    // "W" advances past the signed byte, "." does not.
    const qpf2::RenderRequest rq = Arial(250, U"W.");
    const qpf2::Font font = RenderOrFail(rq);
    ASSERT_EQ(font.cmap.size(), 2u);
    ASSERT_EQ(font.unstorable.size(), 1u);
    const std::vector<uint8_t> bytes = qpf2::Serialize(font);
    const QByteArray data(reinterpret_cast<const char*>(bytes.data()), static_cast<int>(bytes.size()));
    QFontEngineQPF2 engine(QFontDef(), data);
    ASSERT_TRUE(engine.isValid());  // its header verified
    const auto pixelSize = QFontEngineQPF2::extractHeaderField(bytes.data(), QFontEngineQPF2::Tag_PixelSize);
    EXPECT_EQ(pixelSize.toInt(), 250);
    // Every stored record is complete; the big one is marked not rendered.
    EXPECT_EQ(engine.findGlyph(font.unstorable[0]), nullptr);
    ASSERT_NE(engine.findGlyph(engine.glyphIndex(U'.')), nullptr);
    EXPECT_GT(engine.findGlyph(engine.glyphIndex(U'.'))->advance, 0);
}

// Rendering straight to a file writes the bytes of rendering in memory and
// serializing: glyphs too large for the format, characters the face lacks,
// repeated characters, simulated styles, an empty request, a collection
// member. A face that cannot be opened asks for no stream at all.
TEST(Qpf2Reader, RenderingStraightToAFileWritesTheSameBytes) {
    struct Case {
        const char* file;
        int index, em;
        bool bold, italic;
        std::u32string chars;
        const char* link = nullptr;  // a face for what the face lacks
    };
    const Case cases[] = {
        {"arial.ttf", 0, 24, false, false, U"Hello, World 0123 \U0001F600Hello"},
        {"arial.ttf", 0, 250, false, false, U"W.iWx"},  // "W" beyond the format
        {"arial.ttf", 0, 18, true, false, U"A中文B𓀀", "simsun.ttc"},
        {"arial.ttf", 0, 16, true, true, U"Bold italic xyz"},
        {"simsun.ttc", 0, 20, false, false, U"中文宋体确认报警 abc"},
        {"simsun.ttc", 1, 12, false, false, U"新宋体 ABC"},
        {"tahoma.ttf", 0, 30, false, false, U""},
        {"tahoma.ttf", 0, 30, false, false, U"中文"},
    };
    for (const Case& c : cases) {
        qpf2::RenderRequest rq;
        rq.path = Fixture(c.file);
        rq.faceIndex = c.index;
        rq.pixelEm = c.em;
        rq.simulateBold = c.bold;
        rq.simulateItalic = c.italic;
        rq.chars = c.chars;
        rq.fontName = c.file;
        rq.weight = c.bold ? 75 : 50;
        if (c.link) {
            rq.links.emplace_back();
            rq.links.back().path = Fixture(c.link);
            rq.links.back().simulateBold = c.bold;
        }
        const std::vector<uint8_t> want = qpf2::Serialize(RenderOrFail(rq));
        std::stringstream out;
        out << "before";  // the file's head is filled in where the font began
        bool again = true;
        std::string error;
        ASSERT_TRUE(qpf2::RenderTo(rq, [&]() -> std::ostream* { return &out; }, &error, &again, nullptr))
            << c.file << " " << c.em << ": " << error;
        EXPECT_FALSE(again);
        const std::string bytes = out.str();
        ASSERT_EQ(bytes.substr(0, 6), "before");
        EXPECT_TRUE(std::vector<uint8_t>(bytes.begin() + 6, bytes.end()) == want) << c.file << " at " << c.em;
    }
    qpf2::RenderRequest missing = Arial(20, U"x");
    missing.path = Fixture("no-such-font.ttf");
    bool opened = false;
    EXPECT_FALSE(qpf2::RenderTo(missing, [&]() -> std::ostream* { opened = true; return nullptr; }, nullptr, nullptr,
                                nullptr));
    EXPECT_FALSE(opened);
}

// The project's own reader, which every written file passes before it takes
// its name: it accepts what the writer makes and refuses every damage that
// would let a panel read past the file, where Qt's header check alone
// accepts most of them.
TEST(Qpf2Reader, TheProjectsCheckRefusesDamagedFiles) {
    GuiApp();
    const qpf2::RenderRequest rq = Arial(20, U"Tank 3");
    const std::vector<uint8_t> good = qpf2::Serialize(RenderOrFail(rq));
    ASSERT_EQ(qpf2::Check(good.data(), good.size()), "");
    const size_t tags = 12 + (size_t{good[10]} << 8 | good[11]);
    // Offsets of the blocks: tag at `tags`, then CMap, GMap, Glyph.
    const auto blockAt = [&](int n) {
        size_t at = tags;
        for (int b = 0; b < n; ++b)
            at += 8 + (size_t{good[at + 4]} << 24 | size_t{good[at + 5]} << 16 | size_t{good[at + 6]} << 8 | good[at + 7]);
        return at;
    };
    const size_t gmap = blockAt(1) + 8;
    struct Damage {
        const char* what;
        std::function<void(std::vector<uint8_t>&)> apply;
        const char* said;
    };
    const Damage damages[] = {
        {"cut to 20 bytes", [](std::vector<uint8_t>& b) { b.resize(20); }, "header runs past"},
        {"cut inside the glyphs", [](std::vector<uint8_t>& b) { b.resize(b.size() - 8); }, "runs past the end"},
        {"four bytes more", [](std::vector<uint8_t>& b) { b.insert(b.end(), 4, 0); }, "bytes follow"},
        {"another magic", [](std::vector<uint8_t>& b) { b[0] = 'X'; }, "not a QPF2 file"},
        {"version 3", [](std::vector<uint8_t>& b) { b[8] = 3; }, "not version 2"},
        {"a tag past the header", [&](std::vector<uint8_t>& b) { b[14] = 0xFF; }, "runs past the header"},
        {"a glyph map entry past the glyphs",
         [&](std::vector<uint8_t>& b) { b[gmap + 4] = 0x7F; }, "outside the glyph block"},
        {"the blocks swapped", [&](std::vector<uint8_t>& b) { b[tags + 1] = 2; }, "not where it belongs"},
    };
    for (const Damage& d : damages) {
        std::vector<uint8_t> bytes = good;
        d.apply(bytes);
        const std::string why = qpf2::Check(bytes.data(), bytes.size());
        EXPECT_NE(why.find(d.said), std::string::npos) << d.what << ": " << why;
    }
    // Qt's header check takes a file cut after its header: only the
    // project's reader stands between it and the panel.
    std::vector<uint8_t> cut = good;
    cut.resize(tags);
    EXPECT_TRUE(QFontEngineQPF2::verifyHeader(cut.data(), static_cast<int>(cut.size())));
    EXPECT_NE(qpf2::Check(cut.data(), cut.size()), "");
}
