// Rendering the compile's QPF2 fonts through the realised GDI font, and
// writing them with the pack fonts reported.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>

#include "Glyphworks.h"
#include "Qpf2Reader.h"
#include "TestProfile.h"
#include "TestSupport.h"
#include "win/gdi.h"
#include "win/wstr.h"

using testsupport::N;
using testsupport::TempDir;
using testsupport::TestProfile;

namespace {
std::set<std::string> Files(const std::filesystem::path& dir) {
    std::set<std::string> out;
    for (const auto& e : std::filesystem::directory_iterator(dir)) out.insert(e.path().filename().string());
    return out;
}

std::u32string Readable(const std::filesystem::path& file, const std::u32string& probe) {
    return testsupport::Qpf2Readable(file, probe);
}
}  // namespace

TEST(Qpf2Build, UnitsOfOneFileShareItAndUsablePackFontsAreReported) {
    TestProfile profile({"arial.ttf", "arialbd.ttf", "tahoma.ttf"});
    TempDir out;
    generateqpf2(u"ABC", u"Arial", -24, false, 50, u"arialpack", -1);
    generateqpf2(u"CDE", u"Arial", -24, false, 50, u"arialpack", -1);  // the same file
    generateqpf2(u"XY", u"Arial", -24, false, 75, u"arialpack", -1);   // bold: its own file
    generateqpf2(u"Hi", u"Tahoma", -16, true, 50, u"", -1);            // no pack name: named by face
    EXPECT_EQ(qpf2PendingCount(), 3);
    static WCHAR packs[1000][64] = {};
    lstrcpynW(packs[0], u"Gone Face", 64);  // not installed: cannot travel
    lstrcpynW(packs[1], u"Tahoma", 64);
    lstrcpynW(packs[2], u"Arial", 64);
    int count = 0;
    EXPECT_EQ(qpf2tofile(out.wpath().c_str(), packs, &count), 3);
    EXPECT_EQ(qpf2PendingCount(), 0);
    ASSERT_EQ(count, 2);
    EXPECT_EQ(N(packs[0]), "Tahoma");
    EXPECT_EQ(N(packs[1]), "Arial");
    EXPECT_EQ(packs[2][0], 0);
    EXPECT_EQ(Files(out.path()),
              (std::set<std::string>{"arialpack_24_50.qpf2", "arialpack_24_75.qpf2", "tahoma_16_50_italic.qpf2"}));
    EXPECT_EQ(Readable(out / "arialpack_24_50.qpf2", U"ABCDEXY"), U"ABCDE");
    EXPECT_EQ(Readable(out / "arialpack_24_75.qpf2", U"ABXY"), U"XY");
    EXPECT_EQ(Readable(out / "tahoma_16_50_italic.qpf2", U"Hi"), U"Hi");
}

TEST(Qpf2Build, CellHeightsGiveTheEmGdiRealises) {
    TestProfile profile({"arial.ttf"});
    TempDir out;
    LOGFONTW lf{};
    lf.lfHeight = 30;  // a cell height, as font records store sizes
    lstrcpynW(lf.lfFaceName, u"Arial", LF_FACESIZE);
    HFONT font = CreateFontIndirectW(&lf);
    int em = 0;
    GetRealizedFace(font, &em, nullptr, nullptr);
    DeleteObject(reinterpret_cast<HGDIOBJ>(font));
    ASSERT_GT(em, 0);
    generateqpf2(u"Size", u"Arial", 30, false, 50, u"", -1);
    EXPECT_EQ(qpf2tofileEx(out.wpath().c_str()), 1);
    EXPECT_TRUE(std::filesystem::exists(out / ("arial_" + std::to_string(em) + "_50.qpf2")));
}

TEST(Qpf2Build, MapTableRowsPerPanelNameWithTheRealisedFile) {
    TestProfile profile({"arial.ttf", "arialbd.ttf", "simsun.ttc"});
    generateqpf2(u"ABA", u"Arial", -24, false, 50, u"Arial", -1);
    generateqpf2(u"BCD", u"Arial", -12, false, 75, u"Arial", -1);  // another file, the same face row
    generateqpf2(u"中文", u"SimSun", -16, false, 50, u"", -1);     // no pack name: keyed by face
    generateqpf2(u"x", u"No Such Face", -16, false, 50, u"Nope", -1);  // falls back as GDI does
    TTFMapTable table;
    table[u"Arial"] = {u"arial.ttf", u"Z"};
    EXPECT_EQ(getSimplifyTTFMapTable(&table), 2);
    EXPECT_EQ(qpf2PendingCount(), 0);
    ASSERT_EQ(table.size(), 3u);
    EXPECT_EQ(table[u"Arial"].first, u"arial.ttf");
    EXPECT_EQ(table[u"Arial"].second, u"ZABCD");
    EXPECT_EQ(table[u"SimSun"].first, u"simsun.ttc");
    EXPECT_EQ(table[u"SimSun"].second, u"中文");
    EXPECT_EQ(table[u"Nope"].second, u"x");
    EXPECT_FALSE(table[u"Nope"].first.empty());
}

TEST(Qpf2Build, AFontOfCharactersTheFaceLacksStillReads) {
    TestProfile profile({"arial.ttf"});
    TempDir out;
    generateqpf2(u"中文", u"Arial", -16, false, 50, u"", -1);
    EXPECT_EQ(qpf2tofileEx(out.wpath().c_str()), 1);
    EXPECT_EQ(Readable(out / "arial_16_50.qpf2", U"中文A"), U"");
}
