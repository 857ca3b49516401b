// Shaping on the panel against HarfBuzz's shaping of the source face, on
// Debian's own fonts; the QPF2 face against Qt's own QPF2 engine.
#include <gtest/gtest.h>

#include <QString>
#include <QtGui/private/qfontengine_qpf2_p.h>
#include <QtGui/private/qharfbuzzng_p.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>

#include "Qpf2.h"
#include "Shaping.h"
#include "Qpf2Reader.h"
#include "TestSupport.h"

namespace {
namespace fs = std::filesystem;

const std::string kNoto = "/usr/share/fonts/truetype/noto/";
const std::string kNotoArabic = kNoto + "NotoSansArabic-Regular.ttf";
const std::string kNaskh = kNoto + "NotoNaskhArabic-Regular.ttf";
const std::string kHebrew = kNoto + "NotoSansHebrew-Regular.ttf";
const std::string kThai = kNoto + "NotoSansThai-Regular.ttf";
const std::string kDevanagari = kNoto + "NotoSansDevanagari-Regular.ttf";
const std::string kBengali = kNoto + "NotoSansBengali-Regular.ttf";
const std::string kDejaVu = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
const std::string kLohit = "/usr/share/fonts/truetype/lohit-devanagari/Lohit-Devanagari.ttf";

const char kArabicText[] = "مرحبا بالعالم";
const char kArabicMore[] = "لا إله إلا الله، السلام عليكم";
const char kHebrewText[] = "שלום עולם";
const char kDevanagariText[] = "नमस्ते क्षत्रिय";
const char kBengaliText[] = "নমস্কার বন্ধু";
const char kThaiText[] = "สวัสดี ผู้ใหญ่";

std::u32string U32(const std::string& utf8) {
    const QVector<uint> v = QString::fromStdString(utf8).toUcs4();
    return std::u32string(v.begin(), v.end());
}

void RequireFont(const std::string& path) {
    ASSERT_TRUE(fs::exists(path)) << path << " is missing: the test command installs fonts-noto-core, "
                                  << "fonts-dejavu-core and fonts-lohit-deva";
}

// A QPF2 file of the text's characters, as a compile renders it.
std::string Qpf2Of(const std::string& path, const std::u32string& chars, int em = 24) {
    qpf2::RenderRequest rq;
    rq.path = path;
    rq.pixelEm = em;
    rq.chars = chars;
    rq.fontName = "Test";
    qpf2::Font font;
    std::string error;
    EXPECT_TRUE(qpf2::Render(rq, font, &error)) << error;
    const std::vector<uint8_t> bytes = qpf2::Serialize(font);
    return std::string(bytes.begin(), bytes.end());
}

// A subset cut by HarfBuzz's subsetter with the bridge's options.
std::string SubsetOf(const std::string& path, const std::string& text) {
    testsupport::TempDir dir;
    const fs::path out = dir / "subset.ttf";
    const fs::path textFile = dir / "text.txt";
    testsupport::WriteText(textFile, text);
    const std::string cmd = "hb-subset '" + path + "' --name-IDs='*' --name-languages='*' --name-legacy "
                            "--notdef-outline --layout-features='*' --text-file='" + textFile.string() +
                            "' --output-file='" + out.string() + "'";
    EXPECT_EQ(std::system(cmd.c_str()), 0) << cmd;
    const std::vector<unsigned char> bytes = testsupport::ReadBytes(out);
    return std::string(bytes.begin(), bytes.end());
}

shaping::LineCheck CheckQpf2(const std::string& path, const std::string& text, int em = 24) {
    const std::u32string line = U32(text);
    auto source = shaping::Face::FromFile(path, 0, em);
    EXPECT_TRUE(source);
    auto panel = shaping::Face::FromQpf2(Qpf2Of(path, line, em), source.get());
    EXPECT_TRUE(panel);
    if (!source || !panel) return {};
    return shaping::CheckLine(line, *source, *panel, true);
}

shaping::LineCheck CheckSubset(const std::string& path, const std::string& text, int em = 24) {
    const std::u32string line = U32(text);
    auto source = shaping::Face::FromFile(path, 0, em);
    auto panel = shaping::Face::FromBytes(SubsetOf(path, text), em);
    EXPECT_TRUE(source && panel);
    if (!source || !panel) return {};
    return shaping::CheckLine(line, *source, *panel, false);
}

struct Case {
    std::string font, text, script;
};
}  // namespace

TEST(ShapingOnThePanel, SubsetsShapeEveryScriptAsTheirSources) {
    const std::vector<Case> cases = {{kNotoArabic, kArabicText, "Arabic"},     {kNaskh, kArabicMore, "Arabic"},
                                     {kDejaVu, kArabicText, "Arabic"},         {kHebrew, kHebrewText, "Hebrew"},
                                     {kDevanagari, kDevanagariText, "Devanagari"}, {kLohit, kDevanagariText, "Devanagari"},
                                     {kBengali, kBengaliText, "Bengali"},      {kThai, kThaiText, "Thai"}};
    for (const Case& c : cases) {
        RequireFont(c.font);
        const shaping::LineCheck r = CheckSubset(c.font, c.text);
        EXPECT_TRUE(r.checked) << c.font;
        EXPECT_FALSE(r.differs) << c.font << ": " << c.text << ": " << r.why;
    }
}

TEST(ShapingOnThePanel, Qpf2JoinsArabicAndKeepsHebrewInOrder) {
    for (const Case& c : std::vector<Case>{{kNotoArabic, kArabicText, ""}, {kNotoArabic, kArabicMore, ""},
                                           {kDejaVu, kArabicText, ""}, {kDejaVu, kArabicMore, ""},
                                           {kHebrew, kHebrewText, ""}}) {
        RequireFont(c.font);
        for (int em : {16, 24, 40}) {
            const shaping::LineCheck r = CheckQpf2(c.font, c.text, em);
            EXPECT_TRUE(r.checked) << c.font;
            EXPECT_FALSE(r.differs) << c.font << " at " << em << " px: " << c.text << ": " << r.why;
        }
    }
}

TEST(ShapingOnThePanel, Qpf2CannotShapeConjunctsOrThaiMarks) {
    for (const Case& c : std::vector<Case>{{kDevanagari, kDevanagariText, "Devanagari"},
                                           {kLohit, kDevanagariText, "Devanagari"},
                                           {kBengali, kBengaliText, "Bengali"},
                                           {kThai, "ที่นี่ น้ำ", "Thai"}}) {
        RequireFont(c.font);
        const shaping::LineCheck r = CheckQpf2(c.font, c.text);
        EXPECT_TRUE(r.differs) << c.font << ": " << c.text;
        EXPECT_EQ(shaping::ScriptName(r.script), c.script);
        EXPECT_EQ(r.why, "the QPF2 format carries no glyph substitutions");
    }
}

TEST(ShapingOnThePanel, Qpf2WithoutThePresentationFormsDrawsIsolatedLetters) {
    RequireFont(kNotoArabic);
    const std::u32string line = U32(kArabicText);
    qpf2::RenderRequest rq;
    rq.path = kNotoArabic;
    rq.pixelEm = 24;
    rq.chars = line;
    rq.fontName = "Test";
    qpf2::Font font;
    std::string error;
    ASSERT_TRUE(qpf2::Render(rq, font, &error)) << error;
    size_t forms = 0;
    for (auto it = font.cmap.begin(); it != font.cmap.end();)
        if (it->first >= 0xFB50) {
            it = font.cmap.erase(it);
            ++forms;
        } else {
            ++it;
        }
    EXPECT_GE(forms, 20u) << "every form of the text's letters is carried";
    const std::vector<uint8_t> bytes = qpf2::Serialize(font);
    auto source = shaping::Face::FromFile(kNotoArabic, 0, 24);
    auto panel = shaping::Face::FromQpf2(std::string(bytes.begin(), bytes.end()), source.get());
    ASSERT_TRUE(source && panel);
    const shaping::LineCheck r = shaping::CheckLine(line, *source, *panel, true);
    EXPECT_TRUE(r.differs);
    EXPECT_EQ(shaping::ScriptName(r.script), "Arabic");
}

TEST(ShapingOnThePanel, LatinLigaturesAndKerningNeedNoCheck) {
    RequireFont(kDejaVu);
    for (const char* text : {"office ffl fi", "AV To WAVE", "Line 3 Filling Station"}) {
        EXPECT_FALSE(shaping::NeedsShaping(U32(text))) << text;
        const shaping::LineCheck r = CheckQpf2(kDejaVu, text);
        EXPECT_FALSE(r.checked) << text;
        EXPECT_FALSE(r.differs) << text;
    }
    for (const char* text : {"三号线灌装站", "Ελληνικά", "Кириллица"}) EXPECT_FALSE(shaping::NeedsShaping(U32(text)));
    for (const char* text : {kArabicText, kHebrewText, kThaiText, kDevanagariText, "e\xCC\x81", "a\xE2\x80\x8D" "b"})
        EXPECT_TRUE(shaping::NeedsShaping(U32(text))) << text;
}

TEST(ShapingOnThePanel, CharactersTheSourceLacksAreLeftToTheCoverageReport) {
    RequireFont(kNotoArabic);
    // Noto Sans Arabic has no Devanagari: only the Arabic word is checked.
    const shaping::LineCheck r = CheckQpf2(kNotoArabic, std::string(kArabicText) + " " + kDevanagariText);
    EXPECT_TRUE(r.checked);
    EXPECT_FALSE(r.differs) << r.why;
}

// ---- The QPF2 face against Qt's own engine over the same file ----

namespace {
struct QtQpf2 {
    QByteArray bytes;
    std::unique_ptr<QFontEngineQPF2> engine;
    explicit QtQpf2(const std::string& file) : bytes(file.data(), static_cast<int>(file.size())) {
        qpf2::View view;
        EXPECT_TRUE(qpf2::Parse(reinterpret_cast<const uint8_t*>(file.data()), file.size(), &view));
        QFontDef def;
        def.pixelSize = view.pixelSize;  // as the panel asks for the font
        engine = std::make_unique<QFontEngineQPF2>(def, bytes);
    }
};

std::string Describe(const std::vector<shaping::Glyph>& glyphs) {
    std::string s;
    char buf[80];
    for (const shaping::Glyph& g : glyphs) {
        std::snprintf(buf, sizeof buf, "%u@%u+%d<%d,%d> ", g.id, g.cluster, g.advance, g.xOffset, g.yOffset);
        s += buf;
    }
    return s;
}
}  // namespace

TEST(ShapingOnThePanel, Qpf2FaceGivesHarfBuzzWhatQtsEngineGivesIt) {
    testsupport::GuiApp();
    const std::vector<Case> cases = {
        {kNotoArabic, kArabicMore, ""},  {kDejaVu, kArabicText, ""},
        {kHebrew, "שָׁלוֹם עוֹלָם", ""},  // points placed by HarfBuzz's fallback from the glyph boxes
        {kDevanagari, kDevanagariText, ""}, {kThai, kThaiText, ""},
        {kDejaVu, "(مرحبا) [abc] e\xCC\x81", ""}};
    for (const Case& c : cases) {
        RequireFont(c.font);
        const std::u32string line = U32(c.text);
        const std::string file = Qpf2Of(c.font, line, 24);
        QtQpf2 qt(file);
        ASSERT_TRUE(qt.engine->isValid()) << c.font;
        hb_font_t* qtFont = hb_qt_font_get_for_engine(qt.engine.get());
        ASSERT_TRUE(qtFont);
        auto ours = shaping::Face::FromQpf2(file, nullptr);
        ASSERT_TRUE(ours);
        for (const shaping::Item& item : shaping::Itemize(line)) {
            const auto want = shaping::Shape(qtFont, line, item, shaping::Features::Panel);
            const auto got = shaping::Shape(ours->font(), line, item, shaping::Features::Panel);
            EXPECT_EQ(Describe(got), Describe(want)) << c.font << ": " << c.text;
        }
    }
}

// ---- HarfBuzz's own command line on the source face ----

TEST(ShapingOnThePanel, SourceShapingIsWhatHbShapeGives) {
    for (const Case& c : std::vector<Case>{{kNotoArabic, kArabicMore, ""}, {kDevanagari, kDevanagariText, ""},
                                           {kHebrew, kHebrewText, ""}, {kThai, kThaiText, ""}}) {
        RequireFont(c.font);
        const std::u32string line = U32(c.text);
        auto face = shaping::Face::FromFile(c.font, 0, 24);
        ASSERT_TRUE(face);
        const std::vector<shaping::Item> items = shaping::Itemize(line);
        ASSERT_EQ(items.size(), 1u) << "one script, one direction: " << c.text;
        std::string ours;
        for (const shaping::Glyph& g : shaping::Shape(face->font(), line, items[0], shaping::Features::Required))
            ours += std::to_string(g.id) + " ";
        testsupport::TempDir dir;
        const fs::path out = dir / "shape.txt";
        const std::string cmd = "hb-shape --no-glyph-names --no-clusters --no-positions "
                                "--features=-liga,-clig,-dlig,-kern '" + c.font + "' '" + c.text + "' > '" +
                                out.string() + "'";
        ASSERT_EQ(std::system(cmd.c_str()), 0) << cmd;
        std::string theirs = testsupport::ReadText(out);
        for (char& ch : theirs)
            if (ch == '[' || ch == ']' || ch == '|' || ch == '\n') ch = ' ';
        std::string normalized;
        for (size_t i = 0; i < theirs.size(); ++i)
            if (theirs[i] != ' ' || (!normalized.empty() && normalized.back() != ' ')) normalized += theirs[i];
        if (!normalized.empty() && normalized.back() != ' ') normalized += ' ';
        EXPECT_EQ(ours, normalized) << c.font;
    }
}

// ---- Lines no one should write, and random ones ----

TEST(ShapingOnThePanel, HostileLinesGiveADefinedResult) {
    RequireFont(kNotoArabic);
    auto source = shaping::Face::FromFile(kNotoArabic, 0, 24);
    ASSERT_TRUE(source);
    std::u32string longLine;
    for (int i = 0; i < 10000; ++i) longLine += (i % 7 == 0) ? U' ' : static_cast<char32_t>(0x0628 + i % 20);
    const std::vector<std::u32string> lines = {
        std::u32string{0xD800, 0x0645, 0xDC00, 0x0631},         // lone surrogates
        std::u32string{0x0651, 0x064E, 0x0300},                  // marks with no base
        std::u32string{0x202E, 0x0645, 0x202A, 'a', 0x2067, 0x05D0, 0x2069, 0x202C},  // bidi controls
        std::u32string{0x110000, 0xFFFFFFFF, 0},                 // beyond Unicode
        longLine};
    for (const std::u32string& line : lines) {
        const std::vector<shaping::Item> items = shaping::Itemize(line);
        size_t at = 0;
        for (const shaping::Item& item : items) {
            EXPECT_EQ(item.begin, at);
            EXPECT_LE(item.end - item.begin, 4096u);
            at = item.end;
        }
        EXPECT_EQ(at, line.size());
        const std::string file = Qpf2Of(kNotoArabic, line);
        auto panel = shaping::Face::FromQpf2(file, source.get());
        ASSERT_TRUE(panel);
        const shaping::LineCheck r = shaping::CheckLine(line, *source, *panel, true);
        EXPECT_TRUE(!r.differs || !r.why.empty());
    }
}

TEST(ShapingOnThePanel, RandomLinesItemizeIntoOrderedRunsThatShapeWithinThemselves) {
    RequireFont(kDejaVu);
    auto face = shaping::Face::FromFile(kDejaVu, 0, 20);
    ASSERT_TRUE(face);
    // Letters of several scripts and directions, digits, neutrals, marks, controls.
    const std::u32string alphabet = U"aZ09 .,()[]!\u0627\u0644\u0645\u0628\u0661\u05D0\u05D1\u05B8\u0301\u064E"
                                    U"\u200D\u200C\u202B\u202C\u2067\u2069\t\u0410\u4E00\u0915\u094D";
    for (uint32_t seed : {1u, 2u, 3u, 5u, 8u, 13u, 21u, 34u}) {
        std::mt19937 random(seed);
        for (int round = 0; round < 200; ++round) {
            std::u32string line;
            const int length = static_cast<int>(random() % 40);
            for (int i = 0; i < length; ++i) line += alphabet[random() % alphabet.size()];
            const std::vector<shaping::Item> items = shaping::Itemize(line);
            std::vector<size_t> order = shaping::VisualOrder(line, items);
            std::vector<size_t> sorted = order;
            std::sort(sorted.begin(), sorted.end());
            std::vector<size_t> all(items.size());
            for (size_t i = 0; i < all.size(); ++i) all[i] = i;
            ASSERT_EQ(sorted, all) << "seed " << seed << " round " << round << ": a permutation of the items";
            for (const shaping::Item& item : items) {
                const auto glyphs = shaping::Shape(face->font(), line, item, shaping::Features::Panel);
                for (size_t i = 0; i < glyphs.size(); ++i) {
                    ASSERT_GE(glyphs[i].cluster, item.begin) << "seed " << seed << " round " << round;
                    ASSERT_LT(glyphs[i].cluster, item.end) << "seed " << seed << " round " << round;
                    // HarfBuzz's order: clusters rise left to right, fall right to left.
                    if (i) {
                        ASSERT_TRUE(item.rtl() ? glyphs[i].cluster <= glyphs[i - 1].cluster
                                               : glyphs[i].cluster >= glyphs[i - 1].cluster)
                            << "seed " << seed << " round " << round;
                    }
                }
            }
        }
    }
}

TEST(ShapingOnThePanel, ArabicFormsTableIsWhatTheUnicodeDataGives) {
    testsupport::TempDir dir;
    const fs::path out = dir / "forms.inc";
    const std::string cmd = "/usr/bin/python3 '" TAMSEL_SOURCE_DIR "/scripts/arabic-forms.py' > '" + out.string() + "'";
    ASSERT_EQ(std::system(cmd.c_str()), 0);
    EXPECT_EQ(testsupport::ReadText(out), testsupport::ReadText(TAMSEL_SOURCE_DIR "/host/glyphworks/src/ArabicForms.inc"))
        << "scripts/arabic-forms.py writes host/glyphworks/src/ArabicForms.inc";
}
