// The default machine profile from a fontconfig set-up the test controls:
// its own fonts folder, configuration (FONTCONFIG_FILE) and caches.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <optional>

#include "FontTable.h"
#include "TestProfile.h"
#include "win/fcprofile.h"
#include "win/fontlink.h"
#include "win/gdi.h"
#include "win/profile.h"
#include "win/registry.h"
#include "win/wstr.h"

namespace fs = std::filesystem;
using testsupport::N;
using testsupport::TempDir;
using testsupport::U;

namespace {

// Sets an environment variable for the life of the object.
struct ScopedEnv {
    ScopedEnv(const char* n, const std::string& value) : name(n) {
        if (const char* was = std::getenv(n)) old = was;
        setenv(n, value.c_str(), 1);
    }
    ~ScopedEnv() { old ? setenv(name, old->c_str(), 1) : unsetenv(name); }
    const char* name;
    std::optional<std::string> old;
};

class FontconfigProfile : public ::testing::Test {
protected:
    FontconfigProfile()
        : m_config("FONTCONFIG_FILE", (m_dir / "fonts.conf").string()),
          m_cache("XDG_CACHE_HOME", (m_dir / "xdg").string()) {
        fs::create_directories(m_dir / "fonts");
    }

    // fontconfig's configuration: the test's folder, its cache, and `rules`.
    void Configure(const std::string& rules = "") {
        testsupport::WriteText(m_dir / "fonts.conf",
                               "<?xml version=\"1.0\"?>\n<!DOCTYPE fontconfig SYSTEM \"urn:fontconfig:fonts.dtd\">\n"
                               "<fontconfig>\n<dir>" + (m_dir / "fonts").string() + "</dir>\n<cachedir>" +
                                   (m_dir / "fc-cache").string() + "</cachedir>\n" + rules + "</fontconfig>\n");
    }

    void Install(const std::string& file) {
        fs::copy_file(testsupport::FixtureFontsDir() / "Fonts" / file, m_dir / "fonts" / file);
        Touch();
    }

    void Uninstall(const std::string& file) {
        fs::remove(m_dir / "fonts" / file);
        Touch();
    }

    // Makes the change visible to fontconfig's folder cache, whatever the
    // file system's time resolution.
    void Touch() {
        m_time += std::chrono::seconds(5);
        fs::last_write_time(m_dir / "fonts", m_time);
    }

    // What the studio does at start: bring the profile up to date and load it.
    bool Start(const std::string& locale = "en-US") {
        std::string error;
        bool rebuilt = false;
        EXPECT_TRUE(fcprofile::Update(profile().string(), locale, &error, &rebuilt)) << error;
        EXPECT_TRUE(winprofile::Load(profile().string(), &error)) << error;
        MakeFontMap();
        return rebuilt;
    }

    fs::path profile() const { return m_dir / "cache" / "default-profile"; }

    TempDir m_dir;
    ScopedEnv m_config, m_cache;
    fs::file_time_type m_time = fs::file_time_type::clock::now();
};

int CountEnumerated(const std::u16string& face) {
    LOGFONTW lf{};
    lf.lfCharSet = DEFAULT_CHARSET;
    CopyFixedName(lf.lfFaceName, face.c_str(), LF_FACESIZE);
    int n = 0;
    HDC dc = GetDC(nullptr);
    EnumFontFamiliesExW(
        dc, &lf, [](const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM p) { return ++*reinterpret_cast<int*>(p), 1; },
        reinterpret_cast<LPARAM>(&n), 0);
    ReleaseDC(nullptr, dc);
    return n;
}

}  // namespace

TEST_F(FontconfigProfile, AddingOrRemovingAFontMakesTheProfileAgainAtTheNextStart) {
    Configure();
    Install("tahoma.ttf");
    EXPECT_TRUE(Start());
    EXPECT_EQ(FontFileMap.at(u"Tahoma"), u"tahoma.ttf");
    EXPECT_FALSE(PackNameMap.count(u"Calibri"));
    EXPECT_FALSE(Start());  // nothing changed: the profile stays

    Install("calibri.ttf");
    EXPECT_TRUE(Start());
    EXPECT_EQ(FontFileMap.at(u"Calibri"), u"calibri.ttf");
    EXPECT_GT(FontSizeMap.at(u"Calibri"), 0.0);

    Uninstall("calibri.ttf");
    EXPECT_TRUE(Start());
    EXPECT_FALSE(PackNameMap.count(u"Calibri"));
    EXPECT_TRUE(PackNameMap.count(u"Tahoma"));
    // No broken link is left behind, and no folder of the rebuilds.
    for (const auto& e : fs::directory_iterator(profile() / "Fonts")) EXPECT_TRUE(fs::exists(e.path())) << e.path();
    std::vector<std::string> folders;
    for (const auto& e : fs::directory_iterator(profile().parent_path())) folders.push_back(e.path().filename().string());
    EXPECT_EQ(folders, std::vector<std::string>{"default-profile"});

    // Another locale is another profile.
    EXPECT_TRUE(Start("zh-CN"));
    EXPECT_EQ(winprofile::GetSettings().langId, 0x0804);
    EXPECT_EQ(winprofile::GetSettings().ansiCodePage, 936u);
}

TEST_F(FontconfigProfile, WindowsFacesIconTitleFontAndLinksComeFromFontconfig) {
    // Chinese requests prefer SimSun, as a desktop's CJK configuration would
    // prefer its Chinese face; everything else prefers Tahoma, then Calibri.
    Configure(
        "<match target=\"pattern\"><test name=\"lang\" compare=\"contains\"><string>zh-cn</string></test>"
        "<edit name=\"family\" mode=\"prepend\" binding=\"strong\"><string>SimSun</string></edit></match>\n"
        "<match target=\"pattern\"><edit name=\"family\" mode=\"append\"><string>Tahoma</string>"
        "<string>Calibri</string></edit></match>\n"
        "<alias><family>Arial</family><prefer><family>Calibri</family></prefer></alias>\n");
    for (const char* f : {"tahoma.ttf", "calibri.ttf", "simsun.ttc"}) Install(f);
    Start("zh-CN");

    // The icon-title font: fontconfig's sans-serif for the locale, installed.
    LOGFONTW icon{};
    ASSERT_TRUE(SystemParametersInfoW(SPI_GETICONTITLELOGFONT, sizeof icon, &icon, 0));
    EXPECT_EQ(std::u16string(icon.lfFaceName), u"SimSun");
    EXPECT_GT(CountEnumerated(icon.lfFaceName), 0);

    // FontSubstitutes: each Windows face matched in its own language.
    // Installed faces get no entry, under any of their names; MS Gothic is
    // Japanese, which no zh-cn rule matches.
    for (const auto& [face, substitute] : std::vector<std::pair<std::u16string, std::u16string>>{
             {u"Arial", u"Calibri"}, {u"Verdana", u"Tahoma"}, {U("微软雅黑"), u"SimSun"},
             {u"Microsoft YaHei", u"SimSun"},
             {u"SimHei", u"SimSun"}, {u"MS Gothic", u"Tahoma"}, {u"SimSun", u""},
             {U("新宋体"), u""}, {u"Tahoma", u""}})
        EXPECT_EQ(fontlink::SubstituteFor(face, 0), substitute) << N(face);

    // SystemLink: fontconfig's fallback order for the locale, the face itself left out.
    const auto linked = fontlink::LinkedFaces(u"Calibri");
    ASSERT_FALSE(linked.empty());
    EXPECT_EQ(linked.front()->family, u"SimSun");
    for (const fontdb::Face* f : linked) EXPECT_NE(f->family, u"Calibri");
}

TEST_F(FontconfigProfile, AProfileFolderThatIsALinkIsNotMadeThroughIt) {
    Configure();
    Install("tahoma.ttf");
    TempDir elsewhere;
    fs::create_directories(elsewhere / "Fonts");
    testsupport::WriteText(elsewhere / "Fonts" / "keep.ttf", "mine");
    fs::create_directories(profile().parent_path());
    fs::create_directory_symlink(elsewhere.path(), profile());
    std::string error;
    EXPECT_FALSE(fcprofile::Update(profile().string(), "en-US", &error));
    EXPECT_NE(error.find("link"), std::string::npos) << error;
    EXPECT_EQ(testsupport::ReadText(elsewhere / "Fonts" / "keep.ttf"), "mine");
    EXPECT_TRUE(fs::is_symlink(profile()));
}

TEST(FontconfigLocale, FromPosixLocaleNames) {
    for (const auto& [posix, locale] : std::vector<std::pair<std::string, std::string>>{
             {"zh_CN.UTF-8", "zh-CN"}, {"de_DE@euro", "de-DE"}, {"ja", "ja"},
             {"C.UTF-8", "en-US"}, {"POSIX", "en-US"}, {"", "en-US"}})
        EXPECT_EQ(fcprofile::LocaleFromPosix(posix), locale) << posix;
}
