// Rendering the compile's QPF2 fonts through the realised GDI font, and
// writing them with the pack fonts reported.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <random>

#include "Glyphworks.h"
#include "Qpf2Reader.h"
#include "TestProfile.h"
#include "TestSupport.h"
#include "win/gdi.h"
#include "win/wstr.h"

using testsupport::N;
using testsupport::Qpf2Readable;
using testsupport::TempDir;
using testsupport::TestProfile;
using testsupport::Tree;

TEST(Qpf2Build, UnitsOfOneFileShareItAndUsablePackFontsAreReported) {
    TestProfile profile({"arial.ttf", "arialbd.ttf", "tahoma.ttf"});
    TempDir out;
    generateqpf2(u"ABC", u"Arial", -24, false, 50, u"Arial Pack", -1);
    generateqpf2(u"CDE", u"Arial", -24, false, 50, u"Arial Pack", -1);  // the same file
    generateqpf2(u"XY", u"Arial", -24, false, 75, u"Arial Pack", -1);   // bold: its own file
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
    EXPECT_EQ(Tree(out.path()), (std::vector<std::string>{"arial_pack_24_50.qpf2",
                                                         "arial_pack_24_75.qpf2",
                                                         "tahoma_16_50_italic.qpf2"}));
    EXPECT_EQ(Qpf2Readable(out / "arial_pack_24_50.qpf2", U"ABCDEXY"), U"ABCDE");
    EXPECT_EQ(Qpf2Readable(out / "arial_pack_24_75.qpf2", U"ABXY"), U"XY");
    EXPECT_EQ(Qpf2Readable(out / "tahoma_16_50_italic.qpf2", U"Hi"), U"Hi");
}

// The rows' characters are those that searching each character's units in
// the row's string would give: every character once, in first-use order, a
// character outside the Basic Multilingual Plane looked for as its pair of
// units, rows already in the table only gaining what they lack. A new row
// is cut from the regular file of the face that first asked for it.
TEST(Qpf2Build, MapTableCharactersAreThoseOfSearchingTheRow) {
    TestProfile profile({"arial.ttf", "arialbd.ttf", "tahoma.ttf"});
    const std::u16string pieces[] = {u"a", u"b", u"中", u"\xD840\xDC00", u"\xD83D\xDE00", u"\xD83D", u"\xDE00",
                                     u"\xDC00", u"\xD840", u"c"};
    const char16_t* faces[] = {u"Arial", u"Tahoma"};
    const char16_t* packs[] = {u"A", u"B", u""};
    std::mt19937 rng(3);
    auto text = [&](int most) {
        std::u16string t;
        for (int n = static_cast<int>(rng() % static_cast<unsigned>(most)); n > 0; --n) t += pieces[rng() % 10];
        return t;
    };
    for (int round = 0; round < 60; ++round) {
        TTFMapTable table;
        table[u"A"] = {u"given.ttf", text(6)};
        table[u"Untouched"] = {u"x.ttf", text(4)};
        TTFMapTable want = table;
        // What the font tools keep per file before the table is made: every
        // character of every call, in order, repeats and all, a pair of
        // units only within one call.
        std::map<std::u16string, std::vector<std::u16string>> kept;
        std::map<std::u16string, std::u16string> keyOf, fileOf;
        std::vector<std::u16string> order;
        for (int call = 1 + static_cast<int>(rng() % 8); call > 0; --call) {
            const char16_t* face = faces[rng() % 2];
            const char16_t* pack = packs[rng() % 3];
            const int height = rng() % 2 ? -16 : -20;
            const long weight = rng() % 2 ? 75 : 50;
            const std::u16string t = text(8);
            generateqpf2(t.c_str(), face, height, false, weight, pack, -1);
            const std::u16string file = qpf2UnitFileName(face, height, false, weight, pack);
            if (!kept.count(file)) {
                order.push_back(file);
                keyOf[file] = *pack ? pack : face;
                fileOf.emplace(keyOf[file], face == faces[0] ? u"arial.ttf" : u"tahoma.ttf");
            }
            for (size_t i = 0; i < t.size(); ++i) {
                const bool pair = t[i] >= 0xD800 && t[i] < 0xDC00 && i + 1 < t.size() &&
                                  t[i + 1] >= 0xDC00 && t[i + 1] < 0xE000;
                kept[file].push_back(t.substr(i, pair ? 2 : 1));
                if (pair) ++i;
            }
        }
        for (const std::u16string& file : order) {
            std::u16string& row = want[keyOf[file]].second;
            for (const std::u16string& units : kept[file])
                if (row.find(units) == std::u16string::npos) row += units;
        }
        // The rows it added are counted; what it used is no longer pending.
        EXPECT_EQ(getSimplifyTTFMapTable(&table), static_cast<int>(want.size()) - 2)
            << "round " << round;
        EXPECT_EQ(qpf2PendingCount(), 0);
        ASSERT_EQ(table.size(), want.size()) << "round " << round;
        for (const auto& row : want) {
            ASSERT_TRUE(table.count(row.first)) << "round " << round;
            EXPECT_EQ(table[row.first].second, row.second.second) << "round " << round;
            if (fileOf.count(row.first) && row.first != u"A") {
                EXPECT_EQ(table[row.first].first, fileOf[row.first]) << "round " << round;
            }
        }
        EXPECT_EQ(table[u"A"].first, u"given.ttf");
    }
}

TEST(Qpf2Build, ALatinFaceDrawsWhatItLacksWithItsLinkedFacesAndTheReportSaysSo) {
    // NSimSun, not SimSun: the default links would find SimSun on their own.
    const std::string links = "\"Arial\"=" + testsupport::MultiString({"simsun.ttc,NSimSun"}) + "\r\n";
    TestProfile profile({"arial.ttf", "simsun.ttc"}, testsupport::MapperRegistry("", links));
    TempDir out;
    takeCoverageReport();
    generateqpf2(u"Ab中文\U00013000\t", u"Arial", -16, false, 50, u"", -1);
    ASSERT_EQ(qpf2tofileEx(out.wpath().c_str()), 1);
    EXPECT_EQ(Qpf2Readable(out / "arial_16_50.qpf2", U"Ab中文\U00013000"), U"Ab中文");
    const std::vector<CoverageRecord> report = takeCoverageReport();
    ASSERT_EQ(report.size(), 1u);
    const CoverageRecord& r = report[0];
    EXPECT_EQ(r.file, u"arial_16_50.qpf2");
    EXPECT_EQ(r.facesAsked, std::vector<std::u16string>{u"Arial"});
    EXPECT_EQ(r.fontFile, u"arial.ttf");
    EXPECT_EQ(r.requested, 5);  // the tab is never drawn, so never missing
    EXPECT_EQ(r.missing, U"\U00013000");
    EXPECT_EQ(r.tooLarge, U"");
    ASSERT_EQ(r.linked.size(), 1u);
    EXPECT_NE(r.linked[0].first.find(u"NSimSun"), std::u16string::npos) << N(r.linked[0].first.c_str());
    EXPECT_EQ(r.linked[0].second, U"中文");
    EXPECT_TRUE(takeCoverageReport().empty());
}

TEST(Qpf2Build, WhatTheFormatCannotHoldIsReportedAndNoHeaderContradictsItsFile) {
    TestProfile profile({"arial.ttf"});
    TempDir out;
    takeCoverageReport();
    generateqpf2(u"W.", u"Arial", -250, false, 50, u"", -1);     // "W" advances past the signed byte
    generateqpf2(u"W.中", u"Arial", -300, false, 50, u"", -1);   // the PixelSize byte cannot say 300
    generateqpf2(u"x", u"Arial", -16, false, 75, u"", -1);
    EXPECT_EQ(qpf2tofileEx(out.wpath().c_str()), 2);
    EXPECT_EQ(Tree(out.path()),
              (std::vector<std::string>{"arial_16_75.qpf2", "arial_250_50.qpf2"}));
    EXPECT_EQ(Qpf2Readable(out / "arial_250_50.qpf2", U"W."), U".");
    const std::vector<CoverageRecord> report = takeCoverageReport();
    ASSERT_EQ(report.size(), 3u);
    EXPECT_EQ(report[0].file, u"arial_250_50.qpf2");
    EXPECT_EQ(report[0].tooLarge, U"W");
    EXPECT_EQ(report[0].missing, U"");
    EXPECT_EQ(report[0].note, u"");
    EXPECT_EQ(report[1].file, u"");
    EXPECT_EQ(report[1].pixelSize, 300);
    EXPECT_EQ(report[1].tooLarge, U"W.");
    EXPECT_EQ(report[1].missing, U"中");
    EXPECT_NE(report[1].note.find(u"300"), std::u16string::npos);
    EXPECT_EQ(report[2].file, u"arial_16_75.qpf2");
    EXPECT_EQ(report[2].simulatedBold, true);
    EXPECT_EQ(report[2].tooLarge + report[2].missing, U"");
}
