#include <gtest/gtest.h>

#include <climits>

#include <filesystem>

#include "FontTable.h"
#include "FontTableFixture.h"
#include "TestProfile.h"

using testsupport::N;
using testsupport::TestProfile;
using testsupport::U;

namespace {
LOGFONTW Lf(const std::u16string& face, LONG height, LONG weight, BYTE italic = 0) {
    LOGFONTW lf{};
    lf.lfHeight = height;
    lf.lfWeight = weight;
    lf.lfItalic = italic;
    lf.lfCharSet = DEFAULT_CHARSET;
    CopyFixedName(lf.lfFaceName, face.c_str(), LF_FACESIZE);
    return lf;
}
}  // namespace

TEST_F(FontTableTest, StoredMetricsAreWhatGdiRealises) {
    TestProfile p(testsupport::AllFixtureFonts());
    const struct {
        LOGFONTW asked;
        LONG weight;
        BYTE italic;
    } cases[] = {
        {Lf(u"Tahoma", 16, FW_BOLD, 1), 700, 255},  // simulated
        {Lf(u"Arial Black", 16, FW_NORMAL), 900, 0},
        {Lf(u"Arial", 20, 300), 400, 0},
    };
    for (const auto& c : cases) {
        LOGFONTW lf = c.asked;
        SyncFontMetrics(lf);
        EXPECT_EQ(lf.lfWeight, c.weight) << N(c.asked.lfFaceName);
        EXPECT_EQ(lf.lfItalic, c.italic) << N(c.asked.lfFaceName);
        EXPECT_EQ(lf.lfHeight, c.asked.lfHeight);  // nothing else changes
    }
}

TEST_F(FontTableTest, FontsFromInfoAreReusedOrCreatedHidden) {
    TestProfile p(testsupport::AllFixtureFonts());
    Add(13, u"{Builtin}", u"Arial", 20, FW_NORMAL);
    Add(14, u"Default", u"SimSun", 16);
    g_nMaxFontID = 16;
    int id = 0;
    ASSERT_EQ(NewFontByInfo(u"Arial", 20, u"", &id), 1);
    EXPECT_EQ(id, 17);  // the built-in font 13 is never reused
    EXPECT_EQ(std::u16string(Font_GetFontName(17)), u"{_Arial20_17");
    int again = 0;
    ASSERT_EQ(NewFontByInfo(u"Arial", 20, u"", &again), 1);
    EXPECT_EQ(again, 17);
    EXPECT_EQ(g_FontList.GetCount(), 3);
    // The style comes from the language's style names.
    ASSERT_EQ(NewFontByInfo(u"Arial", 20, LA_GetString(u"STR_40007"), &id), 1);
    EXPECT_EQ(findFontInList(id)->lf.lfWeight, 700);
    // A face that starts the stored one matches it; an empty face matches any.
    Add(30, u"Black", u"Arial Black", 24, 900);
    ASSERT_EQ(NewFontByInfo(u"", 16, u"", &id), 1);
    EXPECT_EQ(id, 14);
    CStringArray names, ids;
    Font_GetFontNames(names, ids);
    for (INT_PTR i = 0; i < names.GetSize(); ++i) EXPECT_NE(names[i].Left(1), u"{");
}

TEST_F(FontTableTest, FontsFromParamsGetUniqueNames) {
    Add(14, u"Default");
    Add(16, u"Title");
    g_nMaxFontID = 16;
    const LOGFONTW lf = Lf(u"Arial", 24, 700);
    EXPECT_EQ(AddFontFromParam(lf, u"Title"), 17);
    EXPECT_EQ(std::u16string(Font_GetFontName(17)), u"Title_(1)");
    EXPECT_EQ(AddFontFromParam(lf, u"Title"), 18);
    EXPECT_EQ(std::u16string(Font_GetFontName(18)), u"Title_(2)");
    const std::u16string longName(40, u'n');
    const int id = AddFontFromParam(lf, longName.c_str());
    EXPECT_EQ(std::u16string(Font_GetFontName(id)), longName.substr(0, 31));
}

TEST_F(FontTableTest, LogFontsTakeTheDefaultFaceForFonts13And14) {
    Add(13, u"{B}", u"Tahoma");
    Add(20, u"Own", u"Calibri");
    PackNameMap.clear();
    PackNameMap[U("宋体")] = u"SimSun";
    g_bUseDefaultFont = 0;
    // Font 14, the default faces and a font's own face are read back by the
    // generate suite (LanguageFacesFollowTheDefaultFaceOfEachLanguage).
    LOGFONTW out{};
    ASSERT_EQ(Font_GetLogFont(13, &out, 0, 0), 1);
    EXPECT_EQ(std::u16string(out.lfFaceName), U("宋体"));
    // The record is unchanged.
    EXPECT_EQ(std::u16string(findFontInList(13)->lf.lfFaceName), u"Tahoma");
    LOGFONTW untouched{};
    untouched.lfHeight = 99;
    EXPECT_EQ(Font_GetLogFont(99, &untouched, 0, 0), 0);
    EXPECT_EQ(untouched.lfHeight, 99);
    const LOGFONTW repl = Lf(u"Arial", 33, 400);
    EXPECT_EQ(Font_SetLogFont(20, &repl), 1);
    EXPECT_EQ(findFontInList(20)->lf.lfHeight, 33);
    EXPECT_EQ(Font_SetLogFont(99, &repl), 0);
    PackNameMap.clear();
}

TEST_F(FontTableTest, GenerationSessionFindsUnusedFonts) {
    Add(14, u"Default");
    Add(16, u"Used");
    Add(17, u"OnlyEmptyTexts");
    Add(18, u"Unused");
    Font_AddString(16, u"abc");  // no session: nothing happens
    DelUnUseFont();              // no session: no deletion, no save
    EXPECT_FALSE(std::filesystem::exists(m_dir / "Font.hft"));
    EXPECT_EQ(g_FontList.GetCount(), 4);

    Font_BeginGenerate();  // always 1
    Font_AddString(16, u"aab");
    Font_AddString(16, u"aab");
    Font_AddString(17, u"");
    Font_AddString(14, U("宋体").c_str());
    Font_AddString(99, u"x");  // an unknown id is passed over
    g_nMaxFontID = 18;
    const int late = AddFontFromParam(Lf(u"Arial", 12, 400), u"Late");  // created after the start
    DelUnUseFont();
    EXPECT_EQ(Font_IsValid(16), 1);
    EXPECT_EQ(Font_IsValid(14), 1);
    EXPECT_EQ(Font_IsValid(17), 0);
    EXPECT_EQ(Font_IsValid(18), 0);
    EXPECT_EQ(Font_IsValid(late), 1);
    const auto saved = testsupport::ReadBytes(m_dir / "Font.hft");
    EXPECT_EQ(saved.size(), 4u + 160u * 3u);
    Font_FreeMemory();
    std::filesystem::remove(m_dir / "Font.hft");
    DelUnUseFont();  // the session has ended: nothing is deleted or saved
    EXPECT_FALSE(std::filesystem::exists(m_dir / "Font.hft"));
    EXPECT_EQ(DelHmiFont(16), 1);
    EXPECT_EQ(DelHmiFont(16), 0);
}

// An id read from a file may be the largest there is: creation then fails
// instead of wrapping to negative ids.
TEST_F(FontTableTest, IdsAreNeverWrapped) {
    Add(14, u"Default");
    Add(INT_MAX, u"Last");
    g_nMaxFontID = INT_MAX;
    LOGFONTW lf = findFontInList(14)->lf;
    int id = 7;
    EXPECT_EQ(NewFontByInfo(u"Tahoma", 33, u"", &id), 0);
    EXPECT_EQ(id, 7);
    EXPECT_EQ(AddFontFromParam(lf, CString(u"More")), 0);
    EXPECT_EQ(AppendNewFont(lf, u"More"), nullptr);
    EXPECT_EQ(g_FontList.GetCount(), 2);
    EXPECT_EQ(g_nMaxFontID, INT_MAX);
    // The id below the largest is still handed out.
    g_nMaxFontID = INT_MAX - 1;
    EXPECT_EQ(AddFontFromParam(lf, CString(u"Penultimate")), INT_MAX);
}
