#include <gtest/gtest.h>

#include <filesystem>

#include "TestProfile.h"
#include "win/gdi.h"
#include "win/profile.h"
#include "win/registry.h"
#include "win/wstr.h"

using testsupport::TempDir;
using testsupport::U;

namespace {
const WCHAR kFonts[] = u"Software\\Microsoft\\Windows NT\\CurrentVersion\\Fonts";

using Links = std::vector<std::pair<std::string, std::string>>;
using Keys = std::vector<std::pair<std::u16string, std::vector<winregistry::Value>>>;

// A .reg text parsed as the profile parses it; the parse itself must succeed.
Keys Parse(const std::string& reg, std::vector<std::string>* problems = nullptr) {
    Keys keys;
    std::string error;
    EXPECT_TRUE(winregistry::ParseRegFile(reg, keys, &error, problems)) << error;
    return keys;
}

// A profile whose registry comes from a .reg file (none if empty) and whose
// Fonts/ links fixture fonts under the names given.
struct RegProfile {
    explicit RegProfile(const std::string& reg, const std::string& ini = "",
                        const Links& links = {}) {
        std::filesystem::create_directories(dir / "Fonts");
        for (const auto& l : links)
            std::filesystem::create_symlink(testsupport::FixtureFontsDir() / "Fonts" / l.first,
                                            dir / "Fonts" / l.second);
        if (!reg.empty()) testsupport::WriteText(dir / "registry.reg", reg);
        if (!ini.empty()) testsupport::WriteText(dir / "profile.ini", ini);
        std::string error;
        loaded = winprofile::Load(dir.path().string(), &error);
        EXPECT_TRUE(loaded) << error;
    }
    TempDir dir;
    bool loaded = false;
};

const char kReg[] =
    "Windows Registry Editor Version 5.00\r\n"
    "\r\n"
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Fonts]\r\n"
    "\"Arial (TrueType)\"=\"arial.ttf\"\r\n"
    "\"SimSun & NSimSun (TrueType)\"=\"C:\\\\Windows\\\\Fonts\\\\simsun.ttc\"\r\n"
    "\"Quote \\\"Q\\\" (TrueType)\"=\"q.TTF\"\r\n"
    "\"Flag\"=dword:0000002a\r\n"
    "\"Blob\"=hex:01,02,\\\r\n"
    "  03\r\n";
}  // namespace

TEST(Registry, ReadsValuesInFileOrderFromARegFile) {
    RegProfile p(kReg);
    HKEY key = nullptr;
    // Key paths compare without regard to case, as on Windows.
    ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, kFonts, 0, KEY_ALL_ACCESS, &key), ERROR_SUCCESS);
    std::vector<std::u16string> names, data;
    for (DWORD i = 0;; ++i) {
        WCHAR name[MAX_PATH];
        BYTE bytes[259];
        DWORD nameChars = MAX_PATH, dataBytes = sizeof bytes, type = 0;
        const LONG rc = RegEnumValueW(key, i, name, &nameChars, nullptr, &type, bytes, &dataBytes);
        if (rc == ERROR_NO_MORE_ITEMS) break;
        ASSERT_EQ(rc, ERROR_SUCCESS);
        names.emplace_back(name, nameChars);
        if (type == REG_SZ) {
            EXPECT_EQ(dataBytes % 2, 0u);
            data.emplace_back(reinterpret_cast<const char16_t*>(bytes), dataBytes / 2 - 1);
        } else if (type == REG_DWORD) {
            ASSERT_EQ(dataBytes, 4u);
            EXPECT_EQ(bytes[0], 0x2a);
        } else {
            EXPECT_EQ(type, static_cast<DWORD>(REG_BINARY));
            EXPECT_EQ(dataBytes, 3u);  // the continued hex line is joined
        }
    }
    EXPECT_EQ(names, (std::vector<std::u16string>{u"Arial (TrueType)", u"SimSun & NSimSun (TrueType)",
                                                  u"Quote \"Q\" (TrueType)", u"Flag", u"Blob"}));
    EXPECT_EQ(data, (std::vector<std::u16string>{u"arial.ttf", u"C:\\Windows\\Fonts\\simsun.ttc", u"q.TTF"}));
    // Buffers too small fail the enumeration.
    WCHAR name[MAX_PATH];
    BYTE bytes[259];
    // "Arial (TrueType)" is 16 units: it needs 17 with the terminator.
    DWORD nameChars = 16, dataBytes = sizeof bytes;
    EXPECT_EQ(RegEnumValueW(key, 0, name, &nameChars, nullptr, nullptr, bytes, &dataBytes), ERROR_MORE_DATA);
    nameChars = 17;
    EXPECT_EQ(RegEnumValueW(key, 0, name, &nameChars, nullptr, nullptr, bytes, &dataBytes), ERROR_SUCCESS);
    // "arial.ttf" is 9 units: 20 bytes with the terminator.
    nameChars = MAX_PATH;
    dataBytes = 19;
    EXPECT_EQ(RegEnumValueW(key, 0, name, &nameChars, nullptr, nullptr, bytes, &dataBytes), ERROR_MORE_DATA);
    EXPECT_EQ(dataBytes, 20u);
    EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);

    HKEY missing = reinterpret_cast<HKEY>(1);
    EXPECT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"Software\\Nothing", 0, KEY_READ, &missing), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(missing, nullptr);
}

TEST(Registry, AFileThatIsNoRegistryReadsAsAnEmptyOne) {
    RegProfile p("this is not a registry file\n[x]\n");
    HKEY key = nullptr;
    EXPECT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, kFonts, 0, KEY_READ, &key), ERROR_FILE_NOT_FOUND);
    const auto problems = winregistry::RegistryProblems();
    ASSERT_EQ(problems.size(), 1u);
    EXPECT_NE(problems[0].find("not a registry file"), std::string::npos);

    // UTF-16LE with a byte-order mark, as regedit writes it.
    std::string utf16 = "\xFF\xFE";
    for (char16_t c : U("Windows Registry Editor Version 5.00\r\n[K]\r\n\"宋体 (TrueType)\"=\"simsun.ttc\"\r\n")) {
        utf16 += static_cast<char>(c & 0xFF);
        utf16 += static_cast<char>(c >> 8);
    }
    const Keys keys = Parse(utf16);
    ASSERT_EQ(keys.size(), 1u);
    EXPECT_EQ(keys[0].second.at(0).name, U("宋体 (TrueType)"));
}

// One bad line costs its own value, not the registry: regedit imports the rest.
TEST(Registry, ABadValueIsSkippedAndItsLineReported) {
    const std::string reg =
        "REGEDIT4\n"
        "\"orphan\"=\"x\"\n"                                   // 2: no key yet
        "[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows NT\\CurrentVersion\\Fonts]\n"
        "\"Open (TrueType)\"=\"open.ttf\n"                         // 4: unterminated string
        "\"Arial (TrueType)\"=\"arial.ttf\"\n"
        "\"Bad hex\"=hex:zz\n"                                    // 6
        "\"Long\"=dword:0000000001\n"                             // 7: over-long dword
        "\"Tail (TrueType)\"=\"tail.ttf\\\n"                        // 8: unterminated, ends in a backslash
        "\"Tahoma (TrueType)\"=\"tahoma.ttf\"\n"                   // must not be swallowed by line 8
        "\"Blob\"=hex:01,\\\n"
        "  02\n"
        "[broken\n"                                               // 12: its values go with it
        "\"Lost\"=\"lost.ttf\"\n";
    std::vector<std::string> problems;
    const Keys keys = Parse(reg, &problems);
    ASSERT_EQ(keys.size(), 1u);
    std::vector<std::string> names;
    for (const auto& v : keys[0].second) names.push_back(testsupport::N(v.name));
    EXPECT_EQ(names, (std::vector<std::string>{"Arial (TrueType)", "Tahoma (TrueType)", "Blob"}));
    EXPECT_EQ(keys[0].second[2].data, (std::vector<BYTE>{1, 2}));
    std::vector<std::string> lines;
    for (const std::string& p : problems) lines.push_back(p.substr(0, p.find(':')));
    EXPECT_EQ(lines, (std::vector<std::string>{"line 2", "line 4", "line 6", "line 7", "line 8", "line 12"}));

    // Through a profile: the good values reach the scan, the host hears the rest.
    RegProfile p(reg);
    EXPECT_EQ(winregistry::InstalledFontValues().size(), 3u);
    EXPECT_EQ(winregistry::RegistryProblems().size(), 6u);
}

// regedit wraps a binary value at about 80 columns: a value of a few
// megabytes spans a hundred thousand lines (here 7.6 MB of text). It is read
// in one pass; joining the value again for every line took minutes, hours
// under the sanitizers, for a file well inside the reader's limit.
TEST(Registry, ALongHexValueOverManyLinesIsReadWhole) {
    const int kLines = 100000;
    std::string reg = "REGEDIT4\n[HKEY_LOCAL_MACHINE\\Blobs]\n\"Big\"=hex(3):00,\\\n";
    for (int i = 0; i < kLines; ++i)
        reg += "  01,02,03,04,05,06,07,08,09,0a,0b,0c,0d,0e,0f,10,11,12,13,14,15,16,17,18,\\\n";
    reg += "  ff\n\"After\"=dword:00000007\n";
    std::vector<std::string> problems;
    const Keys keys = Parse(reg, &problems);
    EXPECT_TRUE(problems.empty());
    ASSERT_EQ(keys.size(), 1u);
    ASSERT_EQ(keys[0].second.size(), 2u);
    const std::vector<BYTE>& big = keys[0].second[0].data;
    ASSERT_EQ(big.size(), 2u + 24u * kLines);
    EXPECT_EQ(big.front(), 0x00);
    EXPECT_EQ(big[1], 0x01);
    EXPECT_EQ(big[24 * kLines], 0x18);
    EXPECT_EQ(big.back(), 0xFF);
    EXPECT_EQ(keys[0].second[1].name, u"After");
}

// Locale, code page, Dpi and the fonts folder are read back by the FontMap, TrueTypeNames
// and GdiObjects tests.
TEST(Profile, SettingsAndTheFontsFolder) {
    RegProfile p("REGEDIT4\n", "[Profile]\nDpi=120\nIconTitleFont=Microsoft YaHei,-15,700,1\n");
    LOGFONTW icon{};
    ASSERT_TRUE(SystemParametersInfoW(SPI_GETICONTITLELOGFONT, sizeof icon, &icon, 0));
    EXPECT_FALSE(SystemParametersInfoW(0x0030, sizeof icon, &icon, 0));
    EXPECT_EQ(icon.lfHeight, -15);
    EXPECT_EQ(icon.lfWeight, 700);
    EXPECT_EQ(icon.lfItalic, 1);
    EXPECT_EQ(std::u16string(icon.lfFaceName), u"Microsoft YaHei");
    WCHAR folder[MAX_PATH];
    EXPECT_FALSE(SHGetSpecialFolderPathW(nullptr, folder, 0x0005, FALSE));

    const uint64_t gen = winprofile::Generation();
    TempDir bad;
    testsupport::WriteText(bad / "profile.ini", "Dpi=many\n");
    std::string error;  // what it says: studio_cli "a broken profile is reported"
    EXPECT_FALSE(winprofile::Load(bad.path().string(), &error));
    EXPECT_EQ(winprofile::Generation(), gen);  // the previous profile stays
    EXPECT_EQ(winprofile::GetSettings().dpi, 120);
    EXPECT_FALSE(winprofile::Load((bad / "none").string(), &error));
}

namespace {
// The Fonts key read as the system font map's scan reads it: a name buffer
// of MAX_PATH units and a data buffer of 259 bytes; the first failure ends it.
struct ScanResult {
    std::vector<std::u16string> names, files;
    LONG end = ERROR_SUCCESS;
};

ScanResult ScanFontsKey() {
    ScanResult r;
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kFonts, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) return r;
    for (DWORD i = 0;; ++i) {
        WCHAR name[MAX_PATH];
        BYTE bytes[259];
        DWORD nameChars = MAX_PATH, dataBytes = sizeof bytes;
        r.end = RegEnumValueW(key, i, name, &nameChars, nullptr, nullptr, bytes, &dataBytes);
        if (r.end != ERROR_SUCCESS) break;
        r.names.emplace_back(name, nameChars);
        r.files.emplace_back(reinterpret_cast<const char16_t*>(bytes), dataBytes / 2 - 1);
    }
    RegCloseKey(key);
    return r;
}
}  // namespace

TEST(InstallerFonts, RegularFaceFirstInEachFamilyAndLongFileNamesLast) {
    const std::string longName = std::string(130, 'a') + ".ttf";
    RegProfile p("", "", {{"arialbd.ttf", "Arial-Bold.ttf"}, {"ariali.ttf", "Arial-Italic.ttf"},
                          {"arial.ttf", "Arial-Regular.ttf"}, {"calibri.ttf", longName},
                          {"tahoma.ttf", "tahoma.ttf"}});
    const ScanResult scan = ScanFontsKey();
    ASSERT_EQ(scan.files.size(), 4u);
    EXPECT_EQ(scan.files, (std::vector<std::u16string>{u"Arial-Regular.ttf", u"Arial-Italic.ttf", u"Arial-Bold.ttf",
                                                       u"tahoma.ttf"}));
    EXPECT_EQ(scan.names[0], u"Arial (TrueType)");
    EXPECT_EQ(scan.names[2], u"Arial Bold (TrueType)");
    // The value whose file name does not fit the data buffer ends the scan, last.
    EXPECT_EQ(scan.end, ERROR_MORE_DATA);
    const auto values = winregistry::InstalledFontValues();
    ASSERT_EQ(values.size(), 5u);
    EXPECT_EQ(values.back().name, u"Calibri (TrueType)");
}
