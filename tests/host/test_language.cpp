#include <dlfcn.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <vector>

#include "Stanchion.h"
#include "TestSupport.h"
#include "Velmora.h"
#include "win/wstr.h"

using testsupport::U;

namespace {
// Every message key the font module asks for.
const char* const kModuleKeys[] = {
    "STR_40001", "STR_40002", "STR_40003", "STR_40004", "STR_40005", "STR_40006", "STR_40007",
    "STR_40008", "STR_40009", "STR_40010", "STR_40011", "STR_40012", "STR_40013", "STR_40014",
    "STR_40015", "STR_40016", "STR_40017", "STR_40021", "STR_40022", "STR_40025", "STR_40028",
    "STR_40030"};

// The studio's data folder, as the language service finds it.
std::filesystem::path DataDir() {
    return std::filesystem::path(GetStudioScriptDir()).parent_path();
}

class LanguageTest : public ::testing::Test {
protected:
    void TearDown() override {
        velmora::SetLanguageDir((DataDir() / "lang").string());
        velmora::SetUILanguage("en_US");
        velmora::SetProjectLanguages(1);
        velmora::SetCurrentLanguage(0);
    }
};
}  // namespace

TEST_F(LanguageTest, BothLanguageFilesHoldEveryModuleKey) {
    for (const char* lang : {"en_US", "zh_CN"}) {
        ASSERT_TRUE(velmora::SetUILanguage(lang)) << lang;
        for (const char* key : kModuleKeys)
            EXPECT_FALSE(LA_GetString(U(key).c_str()).IsEmpty()) << lang << " lacks " << key;
    }
}

TEST_F(LanguageTest, TextsPrefixesAndFormats) {
    ASSERT_TRUE(velmora::SetUILanguage("zh_CN"));
    EXPECT_EQ(LA_GetString(u"STR_40005"), U("宋体"));
    EXPECT_EQ(LA_GetLangPrefix(), u"");
    // The default-name text takes one integer.
    EXPECT_EQ(Format(LA_GetString(u"STR_40001"), 2), U("字体2"));

    // The English texts are read back by the dialog suites (the preferred Arial, the
    // sample of the EN_ prefix, "Font2", the "(10 MB)" limit).
    ASSERT_TRUE(velmora::SetUILanguage("en_US"));
    EXPECT_TRUE(LA_GetString(u"STR_99999").IsEmpty());
    EXPECT_TRUE(LA_GetString(nullptr).IsEmpty());

    EXPECT_FALSE(velmora::SetUILanguage("xx_XX"));
    EXPECT_EQ(LA_GetString(u"STR_40005"), u"Arial");  // the previous language stays
}

TEST_F(LanguageTest, DialogCaptionsReplacedByTemplateAndControlId) {
    ASSERT_TRUE(velmora::SetUILanguage("en_US"));
    CWnd dialog, list, okButton, stray;
    dialog.AttachChild(3033, &list);
    dialog.AttachChild(1, &okButton);
    dialog.AttachChild(4242, &stray);
    stray.SetWindowText(u"unchanged");
    EXPECT_EQ(LA_SetDlgStrings(&dialog, 3002, u"Tamsel"), 3);
    CString text;
    dialog.GetWindowText(text);
    EXPECT_EQ(text, u"Replace Missing Fonts");
    okButton.GetWindowText(text);
    EXPECT_EQ(text, u"OK");
    stray.GetWindowText(text);
    EXPECT_EQ(text, u"unchanged");
    EXPECT_EQ(LA_SetDlgStrings(&dialog, 3002, u"NoSuchSection"), 0);
    EXPECT_EQ(LA_SetDlgStrings(nullptr, 3002, u"Tamsel"), 0);
}

TEST_F(LanguageTest, LanguagePiecesOfMultiLanguageTexts) {
    std::u16string out = u"stale";
    // Separators at every place a word-sized scan could miss, among units
    // that differ from the separator in one bit.
    const char16_t units[] = {u'\x02', u'\x03', u'\x0102', u'a'};
    for (int n = 0; n <= 9; ++n)
        for (int code = 0; code < 1 << (2 * n) && code < 4096; ++code) {
            std::u16string t;
            for (int k = 0, c = code; k < n; ++k, c >>= 2) t += units[c & 3];
            std::vector<std::u16string> pieces(1);
            for (char16_t c : t) {
                if (c == u'\x02') pieces.emplace_back();
                else pieces.back() += c;
            }
            for (int lang = -1; lang < 10; ++lang) {
                const size_t at = static_cast<size_t>(lang);
                GetLangString(t, out, lang);
                ASSERT_EQ(out, lang >= 0 && at < pieces.size() ? pieces[at] : u"")
                    << "text " << code << " of " << n << ", language " << lang;
            }
        }

    // Buffer form: a 300-unit piece is cut to 259 units and terminated, and
    // nothing past the 260-unit buffer is touched.
    const std::u16string longPiece(300, u'7');
    std::u16string big = u"1\x02" + longPiece + u"\x02";
    WCHAR buf[MAX_PATH + 8];
    for (auto& c : buf) c = 0x55AA;
    GetLangString(big.c_str(), buf, 1);
    EXPECT_EQ(wcslen16(buf), 259u);
    EXPECT_EQ(buf[259], 0);
    for (int i = MAX_PATH; i < MAX_PATH + 8; ++i) EXPECT_EQ(buf[i], 0x55AA);
    GetLangString(nullptr, buf, 0);
    EXPECT_EQ(buf[0], 0);
}

TEST_F(LanguageTest, ProjectLanguageCountIsClamped) {
    velmora::SetProjectLanguages(3);
    EXPECT_EQ(getLangCount(), 3);
    velmora::SetProjectLanguages(20);
    EXPECT_EQ(getLangCount(), kMaxProjectLanguages);
    velmora::SetProjectLanguages(-1);
    EXPECT_EQ(getLangCount(), 0);
    velmora::SetCurrentLanguage(2);
    EXPECT_EQ(GetCurLanguage(), 2);
}

// The data comes with the library: the language files, the panel models and
// the script modules are found from where libVelmora.so itself lies, never
// from the source tree.
TEST(HostData, FoundBesideTheLibrary) {
    Dl_info info{};
    ASSERT_TRUE(dladdr(reinterpret_cast<const void*>(&LA_GetString), &info));
    const std::filesystem::path libDir = std::filesystem::canonical(info.dli_fname).parent_path();
    EXPECT_EQ(DataDir(), (libDir / TAMSEL_DATADIR_FROM_LIBDIR).lexically_normal());
    // Not the source tree's folders, which a moved or installed tree lacks.
    const std::filesystem::path scripts(GetStudioScriptDir());
    EXPECT_NE(scripts, std::filesystem::path(TAMSEL_SOURCE_DIR) / "scripts");
    EXPECT_TRUE(std::filesystem::is_regular_file(scripts / "myFont.py"));
    // The shipped language files and panel models, found there with nothing set by the
    // host, are read by the dialog suites.
}

TEST(HostUtilities, ModelLimitsFromTheDataFile) {
    testsupport::TempDir dir;
    testsupport::WriteText(dir / "models.ini",
                           "[A]\nFontFileMaxSize=10485760\n[B]\nOther=1\n[C]\nFontFileMaxSize=x\n");
    velmora::SetModelDataFile((dir / "models.ini").string());
    int64_t limit = 0;
    ASSERT_TRUE(velmora::SetPanelModel("A"));
    EXPECT_TRUE(CHmiAuth::getSingleton()->getModelDataLimit("FontFileMaxSize", limit, ""));
    EXPECT_EQ(limit, 10485760);
    ASSERT_TRUE(velmora::SetPanelModel("B"));
    limit = 0;
    EXPECT_FALSE(CHmiAuth::getSingleton()->getModelDataLimit("FontFileMaxSize", limit, ""));
    EXPECT_EQ(limit, 0);  // no limit: the output stays as preset
    ASSERT_TRUE(velmora::SetPanelModel("C"));
    EXPECT_FALSE(CHmiAuth::getSingleton()->getModelDataLimit("FontFileMaxSize", limit, ""));
    EXPECT_FALSE(velmora::SetPanelModel("Z"));
    velmora::SetModelDataFile("");  // the shipped models again
    EXPECT_TRUE(velmora::SetPanelModel("TP-0435"));
}

TEST(HostUtilities, RectsStayOnScreenAndDebugOutputGoes) {
    velmora::SetScreenSize(800, 600);
    RECT r = GetBestRect(POINT{700, 550}, 200, 100);
    EXPECT_EQ(r.left, 600);
    EXPECT_EQ(r.top, 500);
    EXPECT_EQ(r.right - r.left, 200);
    r = GetBestRect(POINT{-50, 10}, 1000, 100);
    EXPECT_EQ(r.left, 0);
    EXPECT_EQ(r.right, 1000);
    velmora::SetScreenSize(1920, 1080);

    testsupport::TempDir dir;
    std::filesystem::create_directories(dir / "Debug" / "fonts");
    testsupport::WriteText(dir / "Debug" / "fonts" / "a.qpf2", "x");
    testsupport::WriteText(dir / "Font.hft", "keep");
    EXPECT_TRUE(DelDebugDir(dir.wpath().c_str()));
    EXPECT_FALSE(std::filesystem::exists(dir / "Debug"));
    EXPECT_TRUE(std::filesystem::exists(dir / "Font.hft"));
    EXPECT_FALSE(DelDebugDir(u""));

    EXPECT_EQ(Unicode_ConvertTo_Utf8(U("宋体")), "宋体");
}

// The panel settings the studio registers are read by the table tests of test_dialogs.
TEST(Stanchion, ProjectDirLosesItsTrailingSeparator) {
    CRootMgr::getSingleton()->setProjectDir(u"/tmp/proj\\");
    EXPECT_EQ(CRootMgr::getSingleton()->getProjectDir(), u"/tmp/proj");
    CRootMgr::getSingleton()->setProjectDir(u"");
}
