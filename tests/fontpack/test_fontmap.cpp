#include <gtest/gtest.h>

#include <filesystem>

#include "FontTable.h"
#include "Glyphworks.h"
#include "TestProfile.h"
#include "win/profile.h"

using testsupport::FontsRegistry;
using testsupport::TestProfile;
using testsupport::U;

namespace {
const char kZh[] = "[Profile]\nLocale=zh-CN\nAnsiCodePage=936\n";

double Mb(const std::filesystem::path& p) { return std::filesystem::file_size(p) / 1048576.0; }
}  // namespace

TEST(FontMap, RegistryScanKeysFacesAsGdiReportsThem) {
    TestProfile p({"simsun.ttc", "arial.ttf", "arialbd.ttf", "tahoma.ttf"},
                  FontsRegistry({{"SimSun & NSimSun (TrueType)", "simsun.ttc"},
                                 {"Arial (TrueType)", "C:\\Windows\\Fonts\\arial.ttf"},
                                 {"Arial Bold (TrueType)", "arialbd.ttf"},
                                 {"Tahoma (TrueType)", "tahoma.Ttf"},  // mixed-case extension: skipped
                                 {"Nowhere Sans (TrueType)", "nowhere.ttf"}}),
                  kZh);
    MakeFontMap();
    // SimSun is reported under its Chinese name on a Chinese system.
    ASSERT_TRUE(FontFileMap.count(U("宋体")));
    EXPECT_EQ(FontFileMap.at(U("宋体")), u"simsun.ttc");
    EXPECT_EQ(PackNameMap.at(U("宋体")), u"SimSun");
    // A full path keeps only the file name; the first value of a face wins.
    EXPECT_EQ(FontFileMap.at(u"Arial"), u"arial.ttf");
    EXPECT_FALSE(FontFileMap.count(u"Tahoma"));
    EXPECT_FALSE(FontFileMap.count(u"Nowhere Sans"));
    EXPECT_FALSE(FontSizeMap.count(u"Nowhere Sans"));
    // The tool library names the families its files carry: none for a file
    // that is not there.
    EXPECT_FALSE(PackNameMap.count(u"Nowhere Sans"));
    // The tool library reads tahoma.Ttf (its extension test ignores case), so
    // Tahoma has a pack name but, skipped by the scan, no file.
    EXPECT_EQ(PackNameMap.at(u"Tahoma"), u"Tahoma");
    EXPECT_DOUBLE_EQ(FontSizeMap.at(u"Arial"), Mb(p.fonts() / "arial.ttf"));
    // 宋体 always counts 0 MB, installed or not.
    EXPECT_EQ(FontSizeMap.at(U("宋体")), 0.0);
    // The font tool library's pass adds the collection's members under the
    // names its own registry read gives, and NSimSun's Chinese name.
    EXPECT_EQ(PackNameMap.at(u"SimSun"), u"SimSun");
    EXPECT_EQ(PackNameMap.at(u"NSimSun"), u"NSimSun");
    EXPECT_EQ(PackNameMap.at(U("新宋体")), u"NSimSun");
    EXPECT_FALSE(FontSizeMap.count(u"NSimSun"));  // only the registry scan sizes faces
}

TEST(FontMap, BoldKeysAreSearchedWholeButStoredWithoutTheSuffix) {
    // The collection holds the families "Gauge" and "Gauge-Bold". The tool
    // library's key "Gauge-Bold" finds its member under the whole key, and
    // its family becomes the pack name of "Gauge".
    TestProfile p({"gauge.ttc", "arialbd.ttf"},
                  FontsRegistry({{"Gauge & Gauge-Bold (TrueType)", "gauge.ttc"}, {"Arial Bold (TrueType)", "arialbd.ttf"}}));
    MakeFontMap();
    EXPECT_EQ(FontFileMap.at(u"Gauge"), u"gauge.ttc");
    EXPECT_EQ(PackNameMap.at(u"Gauge"), u"Gauge-Bold");
    EXPECT_FALSE(PackNameMap.count(u"Gauge-Bold"));
    // A bold file gives its family, not its style name.
    EXPECT_EQ(PackNameMap.at(u"Arial"), u"Arial");
    EXPECT_FALSE(PackNameMap.count(u"Arial-Bold"));
}

// Without registry.reg the key holds what the installer would write; regedit's
// export of a Windows machine names files as its installer did, in upper case,
// while the fonts folder here holds them in lower case.
TEST(FontMap, RegistryBuiltFromTheFontsFolderOrAWindowsExport) {
    const struct {
        std::string registry;
        std::u16string simsun, arial, calibri;
    } cases[] = {
        {"", u"simsun.ttc", u"arial.ttf", u"calibri.ttf"},
        {FontsRegistry({{"SimSun & NSimSun (TrueType)", "SIMSUN.TTC"},
                        {"Arial (TrueType)", "C:\\WINDOWS\\FONTS\\ARIAL.TTF"},
                        {"Calibri (TrueType)", "CALIBRI.TTF"}}),
         u"SIMSUN.TTC", u"ARIAL.TTF", u"CALIBRI.TTF"},
    };
    for (const auto& c : cases) {
        TestProfile p({"simsun.ttc", "arial.ttf", "calibri.ttf"}, c.registry);
        MakeFontMap();
        // An English system reports SimSun under its English name.
        EXPECT_EQ(FontFileMap.at(u"SimSun"), c.simsun);
        EXPECT_FALSE(FontFileMap.count(U("宋体")));
        EXPECT_EQ(FontSizeMap.at(U("宋体")), 0.0);
        EXPECT_EQ(FontFileMap.at(u"Arial"), c.arial);  // a full path keeps only the file name
        EXPECT_EQ(FontFileMap.at(u"Calibri"), c.calibri);
        for (const auto& [face, file] : std::vector<std::pair<std::u16string, std::string>>{
                 {u"SimSun", "simsun.ttc"}, {u"Arial", "arial.ttf"}, {u"Calibri", "calibri.ttf"}})
            EXPECT_DOUBLE_EQ(FontSizeMap.at(face), Mb(p.fonts() / file)) << file;
        // The files are read for their family names, collection members included.
        EXPECT_EQ(PackNameMap.at(u"Calibri"), u"Calibri");
        EXPECT_EQ(PackNameMap.at(u"NSimSun"), u"NSimSun");
        std::map<std::u16string, std::u16string> files;
        EXPECT_EQ(getFontFileMapByRegedit(files), 4);
        EXPECT_EQ(files.at(u"NSimSun"), c.simsun);
    }
}

TEST(FontChecks, PanelUsableFaces) {
    TestProfile p(testsupport::AllFixtureFonts(), "", kZh);
    EXPECT_EQ(CheckFontSuable(U("宋体").c_str()), 1);
    EXPECT_EQ(CheckFontSuable(u"simsun"), 1);  // names compare without regard to case
    EXPECT_EQ(CheckFontSuable(u"Arial Black"), 1);
    EXPECT_EQ(CheckFontSuable(u"MS Sans Serif"), 0);  // raster
    EXPECT_EQ(CheckFontSuable(u"Nowhere Sans"), 0);
    EXPECT_EQ(CheckFontSuable(u""), 0);
    EXPECT_EQ(CheckFontSuable(nullptr), 0);
}

TEST(FontMap, EveryFamilyOfTheFolderGetsItsOwnFile) {
    // No registry: the installer's key for a folder with a ten-member
    // collection whose names do not fit one value, and a family whose bold
    // file sorts before its regular one.
    testsupport::TempDir dir;
    std::filesystem::create_directories(dir / "Fonts");
    for (const auto& link : std::vector<std::pair<std::string, std::string>>{
             {"annunciator.ttc", "annunciator.ttc"}, {"arialbd.ttf", "Arial-Bold.ttf"},
             {"arial.ttf", "Arial-Regular.ttf"}, {"simsun.ttc", "simsun.ttc"}, {"tahoma.ttf", "tahoma.ttf"}})
        std::filesystem::create_symlink(testsupport::FixtureFontsDir() / "Fonts" / link.first, dir / "Fonts" / link.second);
    ASSERT_TRUE(winprofile::Load(dir.path().string()));
    MakeFontMap();
    for (const char* kind : {"", "Mono "})
        for (const char* region : {"JP", "KR", "SC", "TC", "HK"}) {
            const std::u16string face = U(std::string("Annunciator Sans ") + kind + "CJK " + region);
            ASSERT_TRUE(FontFileMap.count(face)) << testsupport::N(face);
            EXPECT_EQ(FontFileMap.at(face), u"annunciator.ttc");
            EXPECT_EQ(PackNameMap.at(face), face);
            EXPECT_GT(FontSizeMap.at(face), 0.0);
        }
    EXPECT_EQ(FontFileMap.at(u"Arial"), u"Arial-Regular.ttf");
    EXPECT_EQ(FontFileMap.at(u"Tahoma"), u"tahoma.ttf");
    EXPECT_EQ(FontFileMap.at(u"NSimSun"), u"simsun.ttc");
    // Every face the map lists has a file, but the fixed NSimSun entry.
    for (const auto& kv : PackNameMap)
        EXPECT_TRUE(kv.first == U("新宋体") || FontFileMap.count(kv.first)) << testsupport::N(kv.first);
}

TEST(FontMap, AFileChangedIsReadAgainAtTheNextProfileLoad) {
    const std::filesystem::path fixture = testsupport::FixtureFontsDir() / "Fonts";
    TestProfile p({"arial.ttf", "tahoma.ttf"},
                  FontsRegistry({{"Arial (TrueType)", "arial.ttf"}, {"Tahoma (TrueType)", "tahoma.ttf"}}));
    MakeFontMap();
    ASSERT_EQ(Font_GetPackName(u"Arial"), u"Arial");
    EXPECT_DOUBLE_EQ(FontSizeMap.at(u"Arial"), Mb(fixture / "arial.ttf"));
    // Asking for a face indexes it; a stale entry and that one go at the rebuild.
    PackNameMap.emplace(u"Stale", u"x");
    EXPECT_EQ(Font_GetPackName(u"Not Installed"), u"");
    EXPECT_TRUE(PackNameMap.count(u"Not Installed"));
    // The same files: the same map.
    MakeFontMap();
    EXPECT_FALSE(PackNameMap.count(u"Stale") || PackNameMap.count(u"Not Installed"));
    EXPECT_DOUBLE_EQ(FontSizeMap.at(u"Arial"), Mb(fixture / "arial.ttf"));
    // arial.ttf now holds Arial Bold: another file of the same family.
    ASSERT_NE(std::filesystem::file_size(fixture / "arialbd.ttf"), std::filesystem::file_size(fixture / "arial.ttf"));
    std::filesystem::remove(p.fonts() / "arial.ttf");
    std::filesystem::copy_file(fixture / "arialbd.ttf", p.fonts() / "arial.ttf");
    ASSERT_TRUE(winprofile::Load(p.path().string()));
    MakeFontMap();
    EXPECT_EQ(PackNameMap.at(u"Arial"), u"Arial");
    EXPECT_DOUBLE_EQ(FontSizeMap.at(u"Arial"), Mb(fixture / "arialbd.ttf"));
    // Gone: no file, no size.
    std::filesystem::remove(p.fonts() / "arial.ttf");
    ASSERT_TRUE(winprofile::Load(p.path().string()));
    MakeFontMap();
    EXPECT_FALSE(FontFileMap.count(u"Arial"));
    EXPECT_EQ(FontSizeMap[u"Arial"], 0.0);
}
