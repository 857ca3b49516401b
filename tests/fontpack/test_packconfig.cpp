#include <gtest/gtest.h>

#include <filesystem>

#include "FontTable.h"
#include "FontTableFixture.h"
#include "PackConfig.h"

using testsupport::N;
using testsupport::ReadText;
using testsupport::U;
using testsupport::WriteText;

namespace {
class PackConfigTest : public FontTableTest {
protected:
    void SetUp() override {
        FontTableTest::SetUp();
        PackFontList.clear();
        FontFileMap.clear();
        FontSizeMap.clear();
        PackNameMap.clear();
        g_bUseDefaultFont = 0;
        for (auto& s : g_strDefaultFont) s.Empty();
    }
    void TearDown() override {
        velmora::SetUILanguage("en_US");
        FontTableTest::TearDown();
    }
    void WriteConfig(const std::string& body) { WriteText(m_dir / "fpf.ini", body); }
};

const char kWritten[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<project filever=\"1.0\">"
    "<DefaultFont UseDefaultFont=\"0\" Font0=\"Arial\"/>"
    "<PackFontInfo><FontInfo FontName=\"A\" FontFile=\"a1.ttf\"/><FontInfo FontName=\"B\" FontFile=\"b.ttf\"/>"
    "<FontInfo FontName=\"A\" FontFile=\"a2.ttf\"/></PackFontInfo></project>";
}  // namespace

TEST_F(PackConfigTest, ReadersOfTheWrittenLayout) {
    WriteConfig(kWritten);
    PackFontList.push_back(u"stale");
    LoadPackFontNames(&PackFontList);
    EXPECT_EQ(PackFontList, (CPackFontList{u"A", u"B"}));
    std::map<std::u16string, std::u16string> files{{u"Kept", u"k.ttf"}};
    LoadPackFontFiles(&files);
    EXPECT_EQ(files.at(u"A"), u"a2.ttf");  // the later file of a repeated name
    EXPECT_EQ(files.at(u"B"), u"b.ttf");
    EXPECT_EQ(files.at(u"Kept"), u"k.ttf");  // the map is not emptied
}

TEST_F(PackConfigTest, BadFilesGiveEmptyResults) {
    std::map<std::u16string, std::u16string> files;
    for (const char* body : {"not xml", "<other><PackFontInfo><FontInfo FontName=\"X\"/></PackFontInfo></other>", ""}) {
        WriteConfig(body);
        PackFontList.push_back(u"x");
        LoadPackFontNames(&PackFontList);
        EXPECT_TRUE(PackFontList.empty()) << body;
        LoadPackFontFiles(&files);
        EXPECT_TRUE(files.empty()) << body;
        EXPECT_EQ(LoadDefaultFont(), body[0] == '<' ? 0 : 1) << body;
    }
}

TEST_F(PackConfigTest, SaveWritesOneOfEachSectionInPackOrder) {
    FontFileMap[u"Arial"] = u"arial.ttf";
    FontSizeMap[u"Arial"] = 0.7731;
    PackFontList = {u"Tahoma", u"Arial", U("宋体")};
    const CString faces[8] = {U("宋体"), u"Arial", u"Tahoma", u"", u"", u"", u"", u"Arial"};
    SavePackConfig(1, faces);  // no file yet: the template
    EXPECT_EQ(g_bUseDefaultFont, 1);
    EXPECT_EQ(g_strDefaultFont[2], u"Tahoma");
    std::string text = ReadText(m_dir / "fpf.ini");
    EXPECT_LT(text.find("<DefaultFont"), text.find("<PackFontInfo"));
    EXPECT_NE(text.find("FontName=\"Arial\" FontFile=\"arial.ttf\" FontSize=\"0.77MB\""), std::string::npos) << text;
    // Faces that are not installed are written empty and enter the tables.
    EXPECT_NE(text.find("FontName=\"Tahoma\" FontFile=\"\" FontSize=\"0.00MB\""), std::string::npos) << text;
    EXPECT_TRUE(FontFileMap.count(u"Tahoma"));

    PackFontList = {u"Arial"};
    SavePackConfig(0, faces);
    text = ReadText(m_dir / "fpf.ini");
    auto count = [&](const std::string& what) {
        size_t n = 0;
        for (size_t p = text.find(what); p != std::string::npos; p = text.find(what, p + 1)) ++n;
        return n;
    };
    EXPECT_EQ(count("<DefaultFont"), 1u);
    EXPECT_EQ(count("<PackFontInfo"), 1u);
    EXPECT_EQ(count("<FontInfo"), 1u);
}

TEST_F(PackConfigTest, FirstUseCreatesDefaultsByLanguage) {
    velmora::SetUILanguage("zh_CN");  // the empty prefix
    PackNameMap[U("宋体")] = u"SimSun";
    ASSERT_EQ(LoadDefaultFont(), 1);
    const std::string text = ReadText(m_dir / "fpf.ini");
    EXPECT_NE(text.find("UseDefaultFont=\"0\""), std::string::npos) << text;
    EXPECT_NE(text.find("Font0=\"宋体\" Font1=\"Arial\""), std::string::npos) << text;
    EXPECT_NE(text.find("Font7=\"Arial\""), std::string::npos);
    EXPECT_EQ(GetDefaultFont(0), U("宋体"));
    EXPECT_EQ(GetDefaultFont(3), U("宋体"));  // not in force: the SimSun choice

    velmora::SetUILanguage("en_US");
    std::filesystem::remove(m_dir / "fpf.ini");
    ASSERT_EQ(LoadDefaultFont(), 1);
    EXPECT_NE(ReadText(m_dir / "fpf.ini").find("Font0=\"Arial\""), std::string::npos);

    PackNameMap.clear();
    EXPECT_EQ(SimSunChoice(), u"Arial");
    PackNameMap[u"SimSun"] = u"SimSun";
    EXPECT_EQ(SimSunChoice(), u"SimSun");
}

TEST_F(PackConfigTest, DefaultFacesInForce) {
    WriteConfig("<project><DefaultFont UseDefaultFont=\"1\" Font0=\"Arial\" Font2=\"Tahoma\"/></project>");
    PackFontList = {u"x"};
    ASSERT_EQ(LoadDefaultFont(), 1);
    EXPECT_EQ(IsUseDefaultFont(), 1);
    EXPECT_EQ(GetDefaultFont(2), u"Tahoma");
    EXPECT_EQ(GetDefaultFont(1), u"");
    EXPECT_EQ(GetDefaultFont(9), u"");
    velmora::SetCurrentLanguage(2);
    EXPECT_EQ(GetDefaultFont(-1), u"Tahoma");
    // All eight slots join the pack list, empty ones and all.
    EXPECT_EQ(PackFontList.size(), 9u);
    WriteConfig("<project><DefaultFont UseDefaultFont=\"yes\"/></project>");
    LoadDefaultFont();
    EXPECT_EQ(IsUseDefaultFont(), 0);
}

// A file that is no XML is the user's: a new one is written, the old one is
// kept beside it under a name that says what happened.
TEST_F(PackConfigTest, AnUnreadableFileIsKeptAsideNotOverwritten) {
    WriteConfig("<project><PackFontInfo><FontInfo FontName=\"Mine\"/></PackFontInfo></project><project/>");
    EXPECT_EQ(LoadDefaultFont(), 1);
    EXPECT_EQ(ReadText(m_dir / "fpf.ini.unreadable"),
              "<project><PackFontInfo><FontInfo FontName=\"Mine\"/></PackFontInfo></project><project/>");
    EXPECT_NE(ReadText(m_dir / "fpf.ini").find("<DefaultFont"), std::string::npos);

    WriteConfig("\x01 garbage");
    PackFontList = {u"A"};
    const CString faces[8];
    SavePackConfig(0, faces);
    EXPECT_EQ(ReadText(m_dir / "fpf.ini.unreadable-2"), "\x01 garbage");
    LoadPackFontNames(&PackFontList);
    EXPECT_EQ(PackFontList, (CPackFontList{u"A"}));

    // Nothing to keep: a missing or empty file is simply made.
    std::filesystem::remove(m_dir / "fpf.ini");
    WriteConfig("");
    EXPECT_EQ(LoadDefaultFont(), 1);
    EXPECT_FALSE(std::filesystem::exists(m_dir / "fpf.ini.unreadable-3"));
}

// Older and hand-made files: whatever the order of the project's children,
// the dialog's pack (LoadPackFontNames) is the pack a compile ships
// (LoadPackFontFiles), and a save leaves only the new one.
TEST_F(PackConfigTest, OlderLayoutsShipWhatTheDialogShows) {
    // A pack section of one face, whose file is named after it.
    const auto section = [](const std::string& tag, const std::string& face) {
        const std::string info = "<FontInfo FontName=\"" + face + "\" FontFile=\"" + face;
        return "<" + tag + ">" + info + ".ttf\"/></" + tag + ">";
    };
    const struct {
        std::string sections;
        std::u16string face;
    } layouts[] = {
        // LoadDefaultFont appends DefaultFont after the pack.
        {section("PackFontInfo", "Old"), u"Old"},
        {section("PackFontInfo", "P") + section("HighGradeHMI", "H"), u"P"},
        {section("LowGradeHMI", "L"), u"L"},
        {"<DefaultFont/>" + section("HighGradeHMI", "H") + section("PackFontInfo", "P"), u"P"},
        // Older sections only, in any order: both readers take the same one.
        {section("LowGradeHMI", "L") + "<DefaultFont/>" + section("HighGradeHMI", "H"), u"H"},
    };
    using Files = std::map<std::u16string, std::u16string>;
    const auto files = [] {
        Files f;
        LoadPackFontFiles(&f);
        return f;
    };
    FontFileMap[u"New"] = u"new.ttf";
    const CString faces[8];
    for (const auto& layout : layouts) {
        const std::string body = "<project>" + layout.sections + "</project>";
        WriteConfig(body);
        EXPECT_EQ(LoadDefaultFont(), 1) << body;
        LoadPackFontNames(&PackFontList);
        EXPECT_EQ(PackFontList, CPackFontList{layout.face}) << body;
        EXPECT_EQ(files(), (Files{{layout.face, layout.face + u".ttf"}})) << body;

        PackFontList = {u"New"};
        SavePackConfig(0, faces);
        LoadPackFontNames(&PackFontList);
        EXPECT_EQ(PackFontList, (CPackFontList{u"New"}));
        EXPECT_EQ(files(), (Files{{u"New", u"new.ttf"}}));
        const std::string text = ReadText(m_dir / "fpf.ini");
        EXPECT_EQ(text.find("GradeHMI"), std::string::npos) << text;
        EXPECT_EQ(text.find("=\"" + N(layout.face) + "\""), std::string::npos) << text;
    }
}

TEST_F(PackConfigTest, MembershipCountsRepeatedFaces) {
    CPackFontList list{u"A", u"B"};
    list.push_back(u"A");  // the default faces are appended unchecked
    EXPECT_EQ(list.size(), 3u);
    EXPECT_TRUE(PackListHas(list, u"A"));
    list.remove(u"A");
    EXPECT_FALSE(PackListHas(list, u"A"));
    EXPECT_EQ(list, (CPackFontList{u"B"}));
    PackListAdd(list, u"B");
    PackListAdd(list, u"C");
    EXPECT_EQ(list, (CPackFontList{u"B", u"C"}));
    list.clear();
    EXPECT_FALSE(PackListHas(list, u"B"));
}
