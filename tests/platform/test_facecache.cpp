#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "TestProfile.h"
#include "win/filesafety.h"
#include "win/fontdb.h"
#include "win/profile.h"
#include "win/wstr.h"

namespace fs = std::filesystem;
using testsupport::N;
using testsupport::TempDir;
using testsupport::TestProfile;

namespace fontdb {
static bool operator==(const FaceName& a, const FaceName& b) {
    return a.platformId == b.platformId && a.languageId == b.languageId && a.text == b.text;
}
}  // namespace fontdb

namespace {

// The cache vouches only for files that had not changed for two seconds
// when they were read: waits until the fixture fonts are that old.
void WaitUntilSettled(const fs::path& folder) {
    const auto ns = [](const timespec& t) { return int64_t{t.tv_sec} * 1000000000 + t.tv_nsec; };
    int64_t newest = 0;
    for (const auto& e : fs::directory_iterator(folder)) {
        struct stat st {};
        ASSERT_EQ(::stat(e.path().c_str(), &st), 0);
        newest = std::max({newest, ns(st.st_mtim), ns(st.st_ctim)});
    }
    for (;;) {
        const int64_t now = std::chrono::duration_cast<std::chrono::nanoseconds>(
                                std::chrono::system_clock::now().time_since_epoch())
                                .count();
        if (now > newest + 2'200'000'000) return;
        std::this_thread::sleep_for(std::chrono::nanoseconds(newest + 2'200'000'000 - now));
    }
}

// The faces of the profile read again, as a new process would read them.
std::vector<fontdb::Face> Reload(const fs::path& profile) {
    EXPECT_TRUE(winprofile::Load(profile.string()));
    return fontdb::Faces();
}

// Every field of a face, so that faces compare whole.
auto Fields(const fontdb::Face& f) {
    return std::tie(f.fileName, f.path, f.faceIndex, f.raster, f.family, f.families, f.fullName,
                    f.subfamily, f.weight, f.italic, f.bold, f.codePageRange1, f.unitsPerEm,
                    f.ascender, f.descender, f.internalLeadingHint, f.avgCharWidth, f.maxAdvance,
                    f.hasUnicodeCmap, f.stamp);
}

void ExpectSameFaces(const std::vector<fontdb::Face>& got, const std::vector<fontdb::Face>& want) {
    ASSERT_EQ(got.size(), want.size());
    for (size_t i = 0; i < got.size(); ++i)
        EXPECT_TRUE(Fields(got[i]) == Fields(want[i]))
            << want[i].fileName << " #" << want[i].faceIndex;
}

// What reading every file with FreeType gives.
std::vector<fontdb::Face> Uncached(const fs::path& profile) {
    const std::string folder = fontdb::FaceCacheFolder();
    fontdb::SetFaceCacheFolder("");
    std::vector<fontdb::Face> faces = Reload(profile);
    EXPECT_EQ(fontdb::LastScan().fromCache, 0u);
    fontdb::SetFaceCacheFolder(folder);
    return faces;
}

// The one cache file of the folder.
fs::path CacheFile(const fs::path& cache) {
    std::vector<fs::path> files;
    for (const auto& e : fs::directory_iterator(cache))
        if (e.path().filename().string().rfind("faces-", 0) == 0) files.push_back(e.path());
    EXPECT_EQ(files.size(), 1u);
    return files.empty() ? fs::path() : files.front();
}

class FaceCache : public ::testing::Test {
protected:
    void SetUp() override {
        fontdb::SetFaceCacheFolder((m_cache.path() / "faces").string());
        WaitUntilSettled(testsupport::FixtureFontsDir() / "Fonts");
        WaitUntilSettled(testsupport::FixtureFontsDir());
    }
    void TearDown() override { fontdb::ResetFaceCacheFolder(); }
    fs::path cache() const { return m_cache.path() / "faces"; }

    TempDir m_cache;
};
}  // namespace

TEST_F(FaceCache, FilesAreReadOnceAndAgainOnlyWhenTheyChange) {
    TestProfile p(testsupport::AllFixtureFonts());
    const std::vector<fontdb::Face> fresh = Uncached(p.path());
    const size_t files = fontdb::LastScan().files;
    ASSERT_GT(files, 5u);

    ExpectSameFaces(Reload(p.path()), fresh);
    EXPECT_EQ(fontdb::LastScan().read, files);
    EXPECT_TRUE(fontdb::LastScan().cacheWritten);
    // A new process: every file from the cache, nothing written.
    ExpectSameFaces(Reload(p.path()), fresh);
    EXPECT_EQ(fontdb::LastScan().fromCache, files);
    EXPECT_EQ(fontdb::LastScan().read, 0u);
    EXPECT_FALSE(fontdb::LastScan().cacheWritten);

    // A link pointed at another installed font, long unchanged: its stamp
    // alone tells.
    fs::remove(p.fonts() / "ariali.ttf");
    fs::create_symlink(testsupport::FixtureFontsDir() / "Fonts" / "arialbd.ttf", p.fonts() / "ariali.ttf");
    const std::vector<fontdb::Face> repointed = Reload(p.path());
    EXPECT_EQ(fontdb::LastScan().read, 1u);
    ExpectSameFaces(repointed, Uncached(p.path()));
    Reload(p.path());
    EXPECT_EQ(fontdb::LastScan().fromCache, files);

    // Another font put in place of one: that file alone is read again, and
    // again at every start while it is too new to vouch for.
    const fs::path changed = p.fonts() / "arial.ttf";
    fs::remove(changed);
    fs::copy_file(testsupport::FixtureFontsDir() / "Fonts" / "tahoma.ttf", changed);
    const std::vector<fontdb::Face> afterChange = Uncached(p.path());
    for (int start = 0; start < 2; ++start) {
        ExpectSameFaces(Reload(p.path()), afterChange);
        EXPECT_EQ(fontdb::LastScan().read, 1u);
        EXPECT_EQ(fontdb::LastScan().fromCache, files - 1);
    }
    bool sawTahomaTwice = false;
    for (const fontdb::Face& f : afterChange)
        sawTahomaTwice = sawTahomaTwice || (f.fileName == "arial.ttf" && N(f.family) == "Tahoma");
    EXPECT_TRUE(sawTahomaTwice);

    // The same file, rewritten in place under the same inode with other bytes.
    const fs::path calibri = testsupport::FixtureFontsDir() / "Fonts" / "calibri.ttf";
    testsupport::WriteBytes(changed, testsupport::ReadBytes(calibri));
    ExpectSameFaces(Reload(p.path()), Uncached(p.path()));

    // A file removed and one added.
    fs::remove(p.fonts() / "tahoma.ttf");
    fs::create_symlink(testsupport::FixtureFontsDir() / "Fonts" / "tahoma.ttf", p.fonts() / "zz-added.ttf");
    ExpectSameFaces(Reload(p.path()), Uncached(p.path()));
    EXPECT_EQ(fontdb::LastScan().files, files);
}

TEST_F(FaceCache, FilesThatAreNotFontsAreRememberedAsSuch) {
    // Short names and no faces make the smallest entries a cache holds.
    TestProfile p({});
    const fs::path notAFont = testsupport::FixtureFontsDir() / "manifest.json";
    ASSERT_TRUE(fs::is_regular_file(notAFont));
    for (const char* name : {"a.ttf", "b.fon", "c.otf", "d.ttc"}) fs::create_symlink(notAFont, p.fonts() / name);
    EXPECT_TRUE(Reload(p.path()).empty());
    EXPECT_EQ(fontdb::LastScan().read, 4u);
    EXPECT_TRUE(fontdb::LastScan().cacheWritten);
    EXPECT_TRUE(Reload(p.path()).empty());
    EXPECT_EQ(fontdb::LastScan().fromCache, 4u);
}

TEST_F(FaceCache, ADamagedOrForeignCacheIsNotBelieved) {
    TestProfile p(testsupport::AllFixtureFonts());
    const std::vector<fontdb::Face> fresh = Uncached(p.path());
    const size_t files = fontdb::LastScan().files;
    Reload(p.path());
    const fs::path file = CacheFile(cache());
    const std::vector<unsigned char> good = testsupport::ReadBytes(file);
    ASSERT_GT(good.size(), 100u);

    // Another folder's cache under this folder's name.
    TestProfile other({"arial.ttf"});
    Reload(other.path());
    std::vector<unsigned char> foreign;
    for (const auto& e : fs::directory_iterator(cache()))
        if (e.path() != file) foreign = testsupport::ReadBytes(e.path());
    ASSERT_FALSE(foreign.empty());

    std::vector<std::pair<std::string, std::vector<unsigned char>>> damaged = {
        {"empty", {}}, {"another folder's", foreign}, {"cut short", {good.begin(), good.begin() + good.size() / 2}},
        {"one byte less", {good.begin(), good.end() - 1}}, {"one byte more", good}};
    damaged.back().second.push_back(0);
    for (size_t at : {size_t{9}, size_t{40}, good.size() / 3, good.size() - 9}) {
        std::vector<unsigned char> flipped = good;
        flipped[at] ^= 0x20;
        damaged.push_back({"a byte changed at " + std::to_string(at), flipped});
    }
    for (const auto& [what, bytes] : damaged) {
        SCOPED_TRACE(what);
        testsupport::WriteBytes(file, bytes);
        ExpectSameFaces(Reload(p.path()), fresh);
        EXPECT_EQ(fontdb::LastScan().fromCache, 0u);
        EXPECT_TRUE(fontdb::LastScan().cacheWritten);
        ExpectSameFaces(Reload(p.path()), fresh);
        EXPECT_EQ(fontdb::LastScan().fromCache, files);
    }
}

TEST_F(FaceCache, WritesNeverFollowLinksAndFailuresCostOnlyTime) {
    TestProfile p({"arial.ttf", "simsun.ttc"});
    TempDir outside;
    const fs::path victim = outside / "victim";
    testsupport::WriteBytes(victim, {'k', 'e', 'e', 'p'});

    // The cache file a link to a file elsewhere: replaced, never written through.
    Reload(p.path());
    const fs::path file = CacheFile(cache());
    fs::remove(file);
    fs::create_symlink(victim, file);
    const std::vector<fontdb::Face> fresh = Uncached(p.path());
    ExpectSameFaces(Reload(p.path()), fresh);
    EXPECT_TRUE(fontdb::LastScan().cacheWritten);
    EXPECT_FALSE(fs::is_symlink(file));
    EXPECT_EQ(testsupport::ReadBytes(victim), (std::vector<unsigned char>{'k', 'e', 'e', 'p'}));

    // Caches of folders that are gone, or that are not caches, are removed
    // when a cache is written; a link among them as a link.
    {
        TestProfile temporary({"arial.ttf"});
        Reload(temporary.path());
    }
    fs::create_symlink(victim, cache() / "faces-0000000000000001");
    testsupport::WriteBytes(cache() / "faces-0000000000000002", {'x'});
    testsupport::WriteBytes(cache() / "notes.txt", {'n'});
    fs::remove(p.fonts() / "arial.ttf");
    Reload(p.path());
    ASSERT_TRUE(fontdb::LastScan().cacheWritten);
    std::vector<std::string> left;
    for (const auto& e : fs::directory_iterator(cache())) left.push_back(e.path().filename().string());
    std::sort(left.begin(), left.end());
    EXPECT_EQ(left, (std::vector<std::string>{file.filename().string(), "notes.txt"}));
    EXPECT_EQ(testsupport::ReadBytes(victim), (std::vector<unsigned char>{'k', 'e', 'e', 'p'}));

    // No cache folder can be made (a file has its name): the faces are
    // read all the same and the host hears of no failure.
    testsupport::WriteBytes(m_cache.path() / "blocked", {'b'});
    fontdb::SetFaceCacheFolder((m_cache.path() / "blocked" / "faces").string());
    const uint64_t mark = winfiles::FailureMark();
    ExpectSameFaces(Reload(p.path()), Uncached(p.path()));
    EXPECT_FALSE(fontdb::LastScan().cacheWritten);
    EXPECT_TRUE(winfiles::FailuresSince(mark).empty());
}

TEST(FaceCacheSetting, FromTheEnvironment) {
    fontdb::ResetFaceCacheFolder();
    std::vector<std::pair<const char*, std::optional<std::string>>> saved;
    for (const char* name : {"TAMSEL_FONT_CACHE", "XDG_CACHE_HOME", "HOME"}) {
        const char* v = std::getenv(name);
        saved.emplace_back(name, v ? std::optional<std::string>(v) : std::nullopt);
    }
    ::setenv("TAMSEL_FONT_CACHE", "/somewhere/faces", 1);
    EXPECT_EQ(fontdb::FaceCacheFolder(), "/somewhere/faces");
    for (const char* none : {"off", "", "relative/faces"}) {
        ::setenv("TAMSEL_FONT_CACHE", none, 1);
        EXPECT_EQ(fontdb::FaceCacheFolder(), "") << none;
    }
    ::unsetenv("TAMSEL_FONT_CACHE");
    ::setenv("XDG_CACHE_HOME", "/xdg", 1);
    EXPECT_EQ(fontdb::FaceCacheFolder(), "/xdg/tamsel/faces");
    ::setenv("XDG_CACHE_HOME", "not/absolute", 1);
    ::setenv("HOME", "/home/someone", 1);
    EXPECT_EQ(fontdb::FaceCacheFolder(), "/home/someone/.cache/tamsel/faces");
    fontdb::SetFaceCacheFolder("/set/by/the/host");
    EXPECT_EQ(fontdb::FaceCacheFolder(), "/set/by/the/host");
    fontdb::ResetFaceCacheFolder();
    for (const auto& [name, value] : saved)
        value ? ::setenv(name, value->c_str(), 1) : ::unsetenv(name);
}

TEST(FontDb, ALargeFolderReadsAsOneFileAfterAnother) {
    // A folder of 64 files or more is read by several threads: the faces
    // and their order must be those of reading the files one by one.
    TestProfile p(testsupport::AllFixtureFonts());
    const std::vector<std::string> fonts = testsupport::AllFixtureFonts();
    for (int copy = 0; copy < 6; ++copy)
        for (const std::string& f : fonts)
            std::filesystem::create_symlink(testsupport::FixtureFontsDir() / "Fonts" / f,
                                            p.fonts() / ("c" + std::to_string(copy) + "_" + f));
    ASSERT_TRUE(winprofile::Load(p.path().string()));
    std::vector<std::filesystem::path> files;
    for (const auto& e : std::filesystem::directory_iterator(p.fonts())) files.push_back(e.path());
    ASSERT_GE(files.size(), 64u);
    std::sort(files.begin(), files.end(), [](const auto& a, const auto& b) {
        const std::string sa = a.stem().string(), sb = b.stem().string();
        return sa != sb ? sa < sb : a.filename().string() < b.filename().string();
    });
    std::vector<fontdb::Face> one;
    for (const auto& f : files)
        for (fontdb::Face& face : fontdb::ScanFontFile(f.string())) one.push_back(std::move(face));
    ExpectSameFaces(fontdb::Faces(), one);
}
