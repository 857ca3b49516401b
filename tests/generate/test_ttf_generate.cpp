// Subset TrueType panel fonts and the subsetting bridge, checked with fontTools.
#include <unistd.h>

#include <cstdlib>

#include "FontSubsetBridge.h"
#include "GenerateFixture.h"

using testsupport::N;

namespace {
std::string Range(unsigned first, unsigned last) {
    std::u16string s;
    for (unsigned c = first; c <= last; ++c) s += static_cast<char16_t>(c);
    return CmapOf(s);
}

uintmax_t SizeOf(const std::filesystem::path& p) {
    std::error_code ec;
    const uintmax_t n = std::filesystem::file_size(p, ec);
    return ec ? 0 : n;
}
}  // namespace

TEST_F(GenerateTest, TtfCollectsOneEntryPerFaceAndNeverSimSun) {
    Add(15, u"Small", u"Arial", -12);
    Add(16, u"Large", u"Arial", -30, 700);
    Add(17, u"Song", u"SimSun", -16);
    Add(18, u"Song2", u"宋体", -16);
    SayTtf(Text(u"aab\r\n"), 0, 1, 15);
    SayTtf(Text(u"bc"), 0, 1, 16);
    SayTtf(Text(u"中", u"文"), 0, 2, 17, 18);
    const auto& list = TtfTextList();
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].text, u"aabbc");  // joined, repeats kept
    EXPECT_EQ(list[0].lf.lfHeight, -12);  // the first text's font
    EXPECT_EQ(list[0].packName, u"Arial");
    CTtfFontData* c = CSingletonTpl<CTtfFontData>::getInstance();
    const auto heard = c->screenTexts(1);
    ASSERT_EQ(heard.size(), 2u);
    EXPECT_EQ(std::get<2>(heard[1]).nWeight, 75);
    EXPECT_EQ(std::get<2>(heard[1]).nHeight, -30);
    EXPECT_TRUE(c->screenTexts(2).empty());
}

TEST_F(GenerateTest, TtfFullBuildSkipsPackFacesAndNeverShipsSimSun) {
    Add(15, u"En", u"Arial", -16);
    Add(16, u"Pk", u"Tahoma", -16);
    Add(17, u"Hi", u"Mangal", -16);
    Add(18, u"Bold", u"Arial", -20, 700);
    WritePack({{"Tahoma", "tahoma.ttf"}, {"SimSun", "SIMSUN.TtC"}});
    SayTtf(Text(u"Bold"), 0, 1, 18);  // Arial's first text is bold
    SayTtf(Text(u"Pump 1"), 0, 1, 15);
    SayTtf(Text(u"Valve"), 0, 1, 16);
    SayTtf(Text(u"\u0915"), 0, 1, 17);  // one Devanagari letter
    SayTtf(Text(u"Calibri?"), 0, 2, 15);
    testsupport::WriteText(m_out / "old.ttf", "x");

    Built b = FullTtf(m_out.wpath());
    EXPECT_TRUE(TtfTextList().empty());
    const auto& units = CSingletonTpl<CTtfFontData>::getInstance()->fullBuildUnits();
    ASSERT_EQ(units.size(), 2u);  // Tahoma ships whole; no default Calibri unit
    EXPECT_EQ(units[0].first, u"Arial");

    EXPECT_EQ(Files(m_out.path()), (std::set<std::string>{"Arial.ttf", "Calibri.ttf", "Mangal.ttf"}));
    // One subset per face, cut from its regular file whatever style came
    // first: a panel can embolden a regular outline, not undo a bold one.
    const auto arial = ReadWithFontTools(m_out / "Arial.ttf");
    EXPECT_EQ(arial.at("style"), "Regular");
    EXPECT_EQ(arial.at("cmap"), CmapOf(u"BoldPump 1Calibri?"));
    // The Devanagari rule keeps the whole block that the face has.
    EXPECT_EQ(ReadWithFontTools(m_out / "Mangal.ttf").at("cmap"), Range(0x0900, 0x097F));
    ASSERT_EQ(b.packs.size(), 1u);
    EXPECT_EQ(b.packs[u"Tahoma"], u"tahoma.ttf");
    const double subsets =
        (SizeOf(m_out / "Arial.ttf") + SizeOf(m_out / "Calibri.ttf") + SizeOf(m_out / "Mangal.ttf")) / 1048576.0;
    EXPECT_NEAR(b.mb, subsets + FontSizeMap[u"Tahoma"], 1e-12);

    // The next compile, without a pack, hears nothing: the default Calibri
    // alone is cut, "Calibri.ttf" finding calibri.ttf as Windows would.
    CSingletonTpl<CTtfFontData>::getInstance()->reset();
    std::filesystem::remove(m_dir / "fpf.ini");
    const Built none = FullTtf(m_out.wpath());
    ASSERT_EQ(units.size(), 1u);
    EXPECT_EQ(units[0].first, u"Calibri");
    EXPECT_EQ(units[0].second.strPackName, u"Calibri");
    EXPECT_EQ(units[0].second.strText, kDefaultCharSet);
    EXPECT_EQ(Files(m_out.path()), (std::set<std::string>{"Calibri.ttf"}));
    const auto calibri = ReadWithFontTools(m_out / "Calibri.ttf");
    EXPECT_EQ(calibri.at("family"), "Calibri");
    EXPECT_EQ(calibri.at("cmap"), CmapOf(kDefaultCharSet));
    EXPECT_DOUBLE_EQ(none.mb, SizeOf(m_out / "Calibri.ttf") / 1048576.0);
    EXPECT_TRUE(none.packs.empty());
}

TEST_F(GenerateTest, TtfUnitBuildsCutOnlyWhatChanged) {
    Add(15, u"En", u"Arial", -16);
    Add(16, u"Tl", u"Calibri", -16);
    WritePack({{"Tahoma", "tahoma.ttf"}, {"Arial Shipped", "arial.ttf"}});
    testsupport::WriteText(m_out / "tahoma.ttf", "already copied");
    const auto compile = [&](bool withTitle) {
        // Characters beyond the basic plane, which Arial lacks, are recorded
        // whole: an unchanged build still cuts nothing.
        Texts texts{{15, u"a\U0001F600b\U0001D400c"}};
        if (withTitle) texts.push_back({16, u"XYZ"});
        return UnitTtf(m_out.wpath(), texts);
    };
    const double packs = FontSizeMap[u"Tahoma"] + FontSizeMap[u"Arial Shipped"];
    const Built first = compile(true);
    EXPECT_EQ(ReadWithFontTools(m_out / "Arial.ttf").at("cmap"), CmapOf(u"abc"));
    EXPECT_EQ(ReadWithFontTools(m_out / "Calibri.ttf").at("cmap"), CmapOf(u"XYZ"));
    // Tahoma's file is already there: counted, not reported.
    EXPECT_EQ(first.packs.count(u"Tahoma"), 0u);
    EXPECT_EQ(first.packs.count(u"Arial Shipped"), 1u);
    const double cut = (SizeOf(m_out / "Arial.ttf") + SizeOf(m_out / "Calibri.ttf")) / 1048576.0;
    EXPECT_NEAR(first.mb, packs + cut, 1e-12);
    // A pack face that is not installed entered the pack-name map on the way.
    EXPECT_EQ(PackNameMap.count(u"Arial Shipped"), 1u);

    // Unchanged: nothing is cut again.
    const Built second = compile(true);
    EXPECT_DOUBLE_EQ(second.mb, packs);
    EXPECT_TRUE(second.changed.empty());
    // A subset that is gone is cut again, and only it.
    std::filesystem::remove(m_out / "Arial.ttf");
    const Built again = compile(true);
    EXPECT_NEAR(again.mb, packs + SizeOf(m_out / "Arial.ttf") / 1048576.0, 1e-12);
    EXPECT_EQ(ReadWithFontTools(m_out / "Arial.ttf").at("cmap"), CmapOf(u"abc"));
    EXPECT_EQ(again.changed, (std::vector<std::u16string>{u"Arial.ttf"}));

    // The title text is gone: so is its subset.
    compile(false);
    EXPECT_FALSE(std::filesystem::exists(m_out / "Calibri.ttf"));
    EXPECT_TRUE(std::filesystem::exists(m_out / "tahoma.ttf"));
}

TEST_F(GenerateTest, BridgeNamesOutputsByKeyAndCutsTheRightMember) {
    CFontSubsetBridge& bridge = CFontSubsetBridge::Instance();
    TTFMapTable table;
    table[u"NSimSun"] = {u"simsun.ttc", u"中国A"};    // member 1 of the collection
    table[u"Unlisted"] = {u"simsun.ttc", u"中"};      // no such member: member 0
    table[u"Odd"] = {u"arial.Ttf", u"ab"};            // not ".ttf" nor ".TTF": a collection name
    table[u"Plain"] = {u"tahoma.ttf", u"Tt"};
    table[u"Missing"] = {u"nothere.ttf", u"x"};       // cannot be cut: counts 0
    const double mb = bridge.SubsetFontTable(table, m_out.wpath());
    EXPECT_EQ(Files(m_out.path()), (std::set<std::string>{"NSimSun.ttc", "Unlisted.ttc", "Odd.ttc", "Plain.ttf"}));

    const auto ns = ReadWithFontTools(m_out / "NSimSun.ttc");
    EXPECT_EQ(ns.at("family"), "NSimSun");
    EXPECT_EQ(ns.at("zh-family"), "新宋体");  // localized names kept
    EXPECT_EQ(ns.at("cmap"), CmapOf(u"中国A"));
    EXPECT_EQ(ReadWithFontTools(m_out / "Unlisted.ttc").at("family"), "SimSun");
    EXPECT_EQ(ReadWithFontTools(m_out / "Odd.ttc").at("cmap"), CmapOf(u"ab"));
    EXPECT_EQ(ReadWithFontTools(m_out / "Plain.ttf").at("family"), "Tahoma");
    uintmax_t bytes = 0;
    for (const std::string& f : Files(m_out.path())) bytes += SizeOf(m_out / f);
    EXPECT_DOUBLE_EQ(mb, bytes / 1048576.0);
    EXPECT_EQ(bridge.SubsetFileSize((m_out / "none").string()), 0);
}

TEST(SubsetBridge, DevanagariRuleAndTheModulePath) {
    EXPECT_TRUE(CFontSubsetBridge::HasDevanagari(u"abc\u0905"));
    EXPECT_TRUE(CFontSubsetBridge::HasDevanagari(u"\uA8FF"));
    EXPECT_FALSE(CFontSubsetBridge::HasDevanagari(u"\u08FF\u0980\uA8DF\uA900"));
    CFontSubsetBridge& bridge = CFontSubsetBridge::Instance();
    ASSERT_TRUE(bridge.IsReady());
    // The studio's own script module, from its data folder beside the libraries.
    EXPECT_EQ(bridge.ModuleFile(), GetStudioScriptDir() + "/myFont.py");
    // Neither the current folder nor an empty entry (its stand-in) is searched.
    char cwd[4096] = {};
    ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
    const std::string path = "\n" + bridge.ModuleSearchPath();
    EXPECT_EQ(path.find("\n\n"), std::string::npos);
    EXPECT_EQ(path.find("\n" + std::string(cwd) + "\n"), std::string::npos);
}

// Ten thousand characters with gaps between them need more than the 64 KB a
// format 4 cmap subtable can hold; the subset still carries every one.
TEST_F(GenerateTest, BridgeCutsSubsetsOfManyScatteredCharacters) {
    const std::filesystem::path wide = m_profile.fonts() / "wide.ttf";
    const std::string make = "/usr/bin/python3 '" TAMSEL_SOURCE_DIR "/tests/fixtures/make_wide_font.py' '" +
                             wide.string() + "' 20000";
    ASSERT_EQ(std::system(make.c_str()), 0);
    std::u16string every2nd;
    for (char16_t c = 0x4E00; c < 0x4E00 + 20000; c += 2) every2nd += c;
    TTFMapTable table;
    table[u"Wide"] = {u"wide.ttf", every2nd};
    EXPECT_GT(CFontSubsetBridge::Instance().SubsetFontTable(table, m_out.wpath()), 0);
    EXPECT_EQ(ReadWithFontTools(m_out / "Wide.ttf")["cmap"], CmapOf(every2nd));
}

// A font neither engine can cut is reported to the host, and nothing of it,
// not even a temporary file, stays in the output folder.
TEST_F(GenerateTest, BridgeReportsFontsNeitherEngineCanCutAndLeavesNothing) {
    CFontSubsetBridge& bridge = CFontSubsetBridge::Instance();
    std::string garbage(4096, '\0');
    for (size_t i = 0; i < garbage.size(); ++i) garbage[i] = static_cast<char>(i * 7);
    testsupport::WriteText(m_profile.fonts() / "broken.ttf", garbage);
    // A font cut off after its table directory.
    std::string tahoma = testsupport::ReadText(m_profile.fonts() / "tahoma.ttf");
    testsupport::WriteText(m_profile.fonts() / "short.ttf", tahoma.substr(0, 200));
    TTFMapTable table;
    table[u"Broken"] = {u"broken.ttf", u"x"};
    table[u"Good"] = {u"tahoma.ttf", u"Tt"};
    table[u"Short"] = {u"short.ttf", u"Tt"};
    winfiles::TakeFailures();
    const double mb = bridge.SubsetFontTable(table, m_out.wpath());
    EXPECT_EQ(Files(m_out.path()), (std::set<std::string>{"Good.ttf"}));
    EXPECT_DOUBLE_EQ(mb, SizeOf(m_out / "Good.ttf") / 1048576.0);
    std::set<std::string> failed;
    for (const auto& f : winfiles::TakeFailures()) failed.insert(std::filesystem::path(f.path).filename().string());
    EXPECT_EQ(failed, (std::set<std::string>{"Broken.ttf", "Short.ttf"}));
    EXPECT_EQ(bridge.LastEngine(), "");  // the last row, Short, was cut by neither
}
