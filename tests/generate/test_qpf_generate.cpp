// QPF2 panel fonts: collecting texts, the full build and the unit build.
#include "GenerateFixture.h"
#include "Qpf2Reader.h"

#include <random>

using testsupport::N;
using testsupport::Qpf2Readable;

namespace {
std::u32string U32(const std::u16string& s) { return std::u32string(s.begin(), s.end()); }

std::vector<std::pair<std::u16string, _tagQpfUnit>> Heard(int screen) {
    return CSingletonTpl<CQpfFontData>::getInstance()->screenTexts(screen);
}
}  // namespace

TEST_F(GenerateTest, QpfOneEntryPerByteIdenticalLogicalFont) {
    Add(15, u"A", u"Arial", 16);
    Add(16, u"A2", u"Arial", 16);  // the same logical font under another id
    Add(17, u"Big", u"Arial", 24);
    Add(18, u"Bold", u"Arial", 16, 700);
    Add(19, u"Semi", u"Arial", 16, 600);
    SayQpf(Text(u"HELLO\U00010300"), 1, 3, 15);
    // U+10301 shares its high surrogate with U+10300: one character of the merge.
    SayQpf(Text(u"WORLD\U00010301\U00010300"), 0, 3, 16);
    const auto& c = QpfCollection();
    ASSERT_EQ(c.size(), 1u);
    // First text whole, repeats and all; later texts only add what is new.
    EXPECT_EQ(c.at(1).chars, u"HELLO\U00010300WRD\U00010301");
    // Mode 1: the whole text in all eight languages, the characters grow once.
    EXPECT_EQ(Heard(3).size(), 9u);

    for (uint16_t id : {17, 18, 19}) {
        SayQpf(Text(u"x"), 0, 4, id);
    }
    ASSERT_EQ(c.size(), 4u);
    const auto units = Heard(4);
    ASSERT_EQ(units.size(), 3u);
    EXPECT_EQ(units[0].second.nHeight, 24);
    EXPECT_EQ(units[1].second.nWeight, 75);
    EXPECT_EQ(units[2].second.nWeight, 50);  // 600 is not bold on Qt's scale
    EXPECT_EQ(units[2].second.nIndex, 4);
    EXPECT_EQ(units[0].second.strPackName, u"Arial");
    EXPECT_FALSE(units[0].second.bLeading);
}

TEST_F(GenerateTest, QpfLanguagesLineBreaksAndPackNames) {
    Add(15, u"En", u"Arial", 16);
    Add(16, u"Zh", u"SimSun", 16);
    Add(17, u"Ghost", u"Nowhere Sans", 16);
    SayQpf(Text(u"a\r\nb\nc\rd", u"中文"), 0, 1, 15, 16);
    const auto units = Heard(1);
    ASSERT_EQ(units.size(), 2u);  // languages without a text are skipped
    EXPECT_EQ(units[0].first, u"abc\rd");
    EXPECT_EQ(units[1].first, u"中文");
    EXPECT_EQ(units[1].second.strFaceName, u"SimSun");

    // An unknown id skips the language; a face outside the pack-name map has no pack name.
    SayQpf(Text(u"zzz", u"qq"), 0, 2, 99, 17);
    const auto ghost = Heard(2);
    ASSERT_EQ(ghost.size(), 1u);
    EXPECT_EQ(ghost[0].second.strFaceName, u"Nowhere Sans");
    EXPECT_EQ(ghost[0].second.strPackName, u"");
}

TEST_F(GenerateTest, QpfFullBuildWritesFilesQtReadsAndReportsPackFonts) {
    Add(15, u"En", u"Arial", -24);
    Add(16, u"Zh", u"SimSun", -16);
    Add(17, u"Title", u"Tahoma", -20, 700);
    const std::string longName(40, 'L');
    WritePack({{"Tahoma", "tahoma.ttf"}, {"Arial", "arial.ttf"}, {longName, "long.ttf"}});
    SayQpf(Text(u"Start", u"开始"), 0, 1, 15, 16);
    SayQpf(Text(u"Stop", u"停止"), 0, 1, 15, 16);
    SayQpf(Text(u"Alarm"), 0, 2, 17);
    testsupport::WriteText(m_out / "stale.qpf2", "old");

    Built b = FullQpf(m_out.wpath(), {{u"Arial", u"kept.ttf"}});
    EXPECT_TRUE(QpfCollection().empty());
    EXPECT_EQ(CSingletonTpl<CQpfFontData>::getInstance()->fullBuildUnits().size(), 3u);

    const std::set<std::string> files = Files(m_out.path());
    EXPECT_EQ(files, (std::set<std::string>{"arial_24_50.qpf2", "simsun_16_50.qpf2", "tahoma_20_75.qpf2"}));
    EXPECT_EQ(Qpf2Readable(m_out / "arial_24_50.qpf2", U"StaropX"), U"Starop");
    EXPECT_EQ(Qpf2Readable(m_out / "simsun_16_50.qpf2", U32(u"开始停止")), U32(u"开始停止"));
    EXPECT_EQ(Qpf2Readable(m_out / "tahoma_20_75.qpf2", U"Alarm"), U"Alarm");

    // Both installed pack fonts are reported; the 40-unit name reaches the
    // font tools cut to 32 and is not a pack font under that name.
    EXPECT_EQ(b.packs.size(), 2u);
    EXPECT_EQ(b.packs[u"Arial"], u"kept.ttf");
    EXPECT_EQ(b.packs[u"Tahoma"], u"tahoma.ttf");
    EXPECT_DOUBLE_EQ(b.mb, FontSizeMap[u"Arial"] + FontSizeMap[u"Tahoma"]);
    EXPECT_GT(b.mb, 0.0);

    // Nothing collected since: the folder is emptied, sub-folders and all,
    // and no pack font is reported.
    testsupport::WriteText(m_out / "sub" / "old.qpf2", "x");
    const Built none = FullQpf(m_out.wpath());
    EXPECT_EQ(none.mb, 0.0);
    EXPECT_TRUE(std::filesystem::is_directory(m_out.path()));
    EXPECT_TRUE(Files(m_out.path()).empty());
    EXPECT_TRUE(none.packs.empty());
}

TEST_F(GenerateTest, QpfUnitBuildWritesItsFilesAndReportsPackFonts) {
    Add(15, u"En", u"Arial", -24);
    Add(16, u"Big", u"Arial", -32);
    WritePack({{"Tahoma", "tahoma.ttf"}});
    const Built b = UnitQpf(m_out.wpath(), {{15, u"Run"}, {16, u"STOP"}});
    EXPECT_EQ(b.packs.size(), 1u);
    EXPECT_DOUBLE_EQ(b.mb, FontSizeMap[u"Tahoma"]);
    const std::filesystem::path qpf = m_out / "qpf2";
    EXPECT_EQ(Files(qpf, ".qpf2"), (std::set<std::string>{"arial_24_50.qpf2", "arial_32_50.qpf2"}));
    EXPECT_EQ(Qpf2Readable(qpf / "arial_32_50.qpf2", U"STOP"), U"STOP");
}

// A folder with a qpf2 folder in its path is used as it is; any other gets one.
TEST_F(GenerateTest, QpfUnitBuildFolderRule) {
    const std::pair<std::u16string, std::u16string> folders[] = {
        {u"\\out\\qpf2\\panel", u"\\out\\qpf2\\panel"},
        {u"\\out\\qpf2", u"\\out\\qpf2"},
        {u"\\qpf", u"\\qpf\\qpf2"}};
    for (const auto& [given, want] : folders) {
        std::u16string dir = m_out.wpath() + given;
        CPackFontFiles result;
        MakeLattice_QPF(dir, result);
        EXPECT_EQ(N(dir), N(m_out.wpath() + want));
    }
}

TEST_F(GenerateTest, LanguageFacesFollowTheDefaultFaceOfEachLanguage) {
    Add(14, u"Default", u"Calibri", 16);
    Add(15, u"Own", u"Calibri", 16);
    g_bUseDefaultFont = 1;
    g_strDefaultFont[0] = u"Arial";
    g_strDefaultFont[1] = u"Tahoma";
    const auto faces = [](int screen) {
        std::vector<std::u16string> out;
        for (const auto& t : Heard(screen)) out.push_back(t.second.strFaceName);
        return out;
    };
    SayQpf(Text(u"a", u"b"), 0, 1, 14);  // font 14 takes each language's default face
    EXPECT_EQ(faces(1), (std::vector<std::u16string>{u"Arial", u"Tahoma"}));
    SayQpf(Text(u"c"), 2, 2, 15);  // mode 2: every language with its default face
    ASSERT_EQ(faces(2).size(), 8u);
    EXPECT_EQ(faces(2)[0], u"Arial");
    EXPECT_EQ(faces(2)[1], u"Tahoma");
    SayQpf(Text(u"d", u"e"), 0, 3, 15);  // its own face in both
    EXPECT_EQ(faces(3), (std::vector<std::u16string>{u"Calibri", u"Calibri"}));
    g_bUseDefaultFont = 0;
    for (auto& f : g_strDefaultFont) f = CString();
}

// Long runs of texts into two fonts, the collection looked at half-way:
// every entry keeps its first text whole and then each new character once,
// in the order the texts brought them.
TEST_F(GenerateTest, QpfEntriesKeepFirstUseOrderOverManyTexts) {
    Add(15, u"A", u"Arial", 16);
    Add(16, u"B", u"Tahoma", 16);
    std::mt19937 rng(5);
    std::u16string want[2];
    std::set<char16_t> seen[2];
    for (int i = 0; i < 3000; ++i) {
        std::u16string text;
        for (int k = 0; k < 10; ++k) {
            const uint32_t r = rng();
            text += static_cast<char16_t>(r % 3 ? 0x4E00 + r / 3 % 3000 : 0x21 + r / 3 % 90);
        }
        const int f = i % 3 ? 1 : 0;
        if (want[f].empty()) {
            want[f] = text;
            seen[f].insert(text.begin(), text.end());
        } else {
            for (char16_t c : text)
                if (seen[f].insert(c).second) want[f] += c;
        }
        SayQpf(Text(text), 0, i % 7, static_cast<uint16_t>(15 + f));
        if (i == 1500) {
            ASSERT_EQ(QpfCollection().size(), 2u);
            EXPECT_EQ(QpfCollection().at(1).chars, want[0]);
            EXPECT_EQ(QpfCollection().at(2).chars, want[1]);
        }
    }
    EXPECT_EQ(QpfCollection().at(1).chars, want[0]);
    EXPECT_EQ(QpfCollection().at(2).chars, want[1]);
    FullQpf(m_out.wpath());
    const auto& units = CSingletonTpl<CQpfFontData>::getInstance()->fullBuildUnits();
    ASSERT_EQ(units.size(), 2u);
    EXPECT_EQ(units[0].strText, want[0]);
    EXPECT_EQ(units[1].strText, want[1]);
}

// Line breaks of every arrangement: "\r\n" pairs go, then every "\n".
TEST_F(GenerateTest, QpfLineBreaksOfAnyArrangement) {
    Add(15, u"A", u"Arial", 16);
    const char16_t units[] = {u'\r', u'\n', u'a'};
    for (int n = 1; n <= 6; ++n) {
        int combos = 1;
        for (int k = 0; k < n; ++k) combos *= 3;
        for (int code = 0; code < combos; ++code) {
            std::u16string text;
            for (int k = 0, c = code; k < n; ++k, c /= 3) text += units[c % 3];
            std::u16string pairsGone, want;
            for (size_t i = 0; i < text.size(); ++i) {
                if (text[i] == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') ++i;
                else pairsGone += text[i];
            }
            for (char16_t c : pairsGone)
                if (c != u'\n') want += c;
            CSingletonTpl<CQpfFontData>::getInstance()->reset();
            SayQpf(CString(text.c_str()), 1, 1, 15);
            ASSERT_FALSE(Heard(1).empty());
            ASSERT_EQ(Heard(1)[0].first, want) << "text of " << n << " units, code " << code;
        }
    }
}

TEST(LanguagePieces, AreThePiecesGetLangStringGives) {
    const std::u16string sep(1, kLangSeparator);
    std::vector<std::u16string> texts = {u"", u"a", sep, u"a" + sep, sep + u"b", u"a" + sep + sep + u"c",
                                         u"long piece of text" + sep + u"\u4E2D\u6587" + sep + u"x"};
    std::u16string nine;
    for (int i = 0; i < 9; ++i) nine += std::u16string(static_cast<size_t>(i), u'a' + i) + sep;
    texts.push_back(nine);
    std::mt19937 rng(3);
    const char16_t alphabet[] = {u'a', u'\u4E2D', kLangSeparator, u'\n'};
    for (int i = 0; i < 300; ++i) {
        std::u16string t;
        for (size_t n = rng() % 40; n > 0; --n) t += alphabet[rng() % 4];
        texts.push_back(t);
    }
    for (const std::u16string& t : texts) {
        const panelfonts::LanguagePieces pieces(t);
        for (int lang = -1; lang <= 9; ++lang) {
            std::u16string want, got = u"stale";
            GetLangString(t, want, lang);
            pieces.Get(t, lang, got);
            ASSERT_EQ(got, want) << "language " << lang << " of a text of " << t.size() << " units";
        }
    }
}
