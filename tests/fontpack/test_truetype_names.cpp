#include <gtest/gtest.h>

#include <stdexcept>
#include <utility>
#include <vector>

#include "TestProfile.h"
#include "TestSupport.h"
#include "TrueTypeFont.h"
#include "win/nls.h"
#include "win/profile.h"
#include "win/wstr.h"

using testsupport::N;
using testsupport::TempDir;
using testsupport::U;

namespace {

using Bytes = std::vector<unsigned char>;

struct Rec {
    uint16_t platform;
    uint16_t nameId;
    Bytes text;
};

void Put16(Bytes& b, uint32_t v) { b.insert(b.end(), {uint8_t(v >> 8), uint8_t(v)}); }
void Put32(Bytes& b, uint32_t v) { b.insert(b.end(), {uint8_t(v >> 24), uint8_t(v >> 16), uint8_t(v >> 8), uint8_t(v)}); }

Rec Win(uint16_t id, const std::u16string& s) {
    Rec r{3, id, {}};
    for (char16_t c : s) Put16(r.text, c);
    return r;
}
Rec Mac(uint16_t id, const std::string& s) { return {1, id, Bytes(s.begin(), s.end())}; }

Bytes NameTable(const std::vector<Rec>& recs, uint16_t declaredCount) {
    Bytes t, strings;
    Put16(t, 0);
    Put16(t, declaredCount);
    Put16(t, static_cast<uint32_t>(6 + 12 * recs.size()));
    for (const Rec& r : recs) {
        for (uint32_t v : {uint32_t(r.platform), r.platform == 3 ? 1u : 0u, r.platform == 3 ? 0x409u : 0u,
                           uint32_t(r.nameId), uint32_t(r.text.size()), uint32_t(strings.size())})
            Put16(t, v);
        strings.insert(strings.end(), r.text.begin(), r.text.end());
    }
    t.insert(t.end(), strings.begin(), strings.end());
    return t;
}

// A font placed at `base` of its file: a "cmap" record, then one tagged `tag`
// for the name table (offsets are from the start of the file).
Bytes Sfnt(const std::vector<Rec>& recs, const char* tag = "name", uint32_t base = 0, int numTables = 2,
           int nameCount = -1) {
    Bytes b;
    Put32(b, 0x00010000);
    Put16(b, static_cast<uint32_t>(numTables));
    for (int i = 0; i < 3; ++i) Put16(b, 0);
    b.insert(b.end(), {'c', 'm', 'a', 'p'});
    for (int i = 0; i < 3; ++i) Put32(b, 0);
    const Bytes name = NameTable(recs, static_cast<uint16_t>(nameCount < 0 ? recs.size() : nameCount));
    b.insert(b.end(), tag, tag + 4);
    Put32(b, 0);
    Put32(b, base + 44);
    Put32(b, static_cast<uint32_t>(name.size()));
    b.insert(b.end(), name.begin(), name.end());
    return b;
}

// A collection; a member without records gets no name table.
Bytes Ttc(const std::vector<std::vector<Rec>>& members, const char* tag = "ttcf", long long numFonts = -1) {
    Bytes b(tag, tag + 4);
    Put32(b, 0x00010000);
    Put32(b, numFonts < 0 ? static_cast<uint32_t>(members.size()) : static_cast<uint32_t>(numFonts));
    Bytes body;
    const uint32_t start = static_cast<uint32_t>(12 + 4 * members.size());
    for (const auto& recs : members) {
        Put32(b, start + static_cast<uint32_t>(body.size()));
        const Bytes m = Sfnt(recs, recs.empty() ? "post" : "name", start + static_cast<uint32_t>(body.size()));
        body.insert(body.end(), m.begin(), m.end());
    }
    b.insert(b.end(), body.begin(), body.end());
    return b;
}

// `r`, padded to 34 records with an id beyond 0-7, then records 34 and 35.
std::vector<Rec> WithAltNames(std::vector<Rec> r, const std::u16string& alt34,
                              const std::u16string& alt35) {
    while (r.size() < 34) r.push_back(Win(9, u"filler"));
    r.push_back(Win(4, alt34));
    r.push_back(Win(3, alt35));
    return r;
}

const char kAnsi1252[] = "[Profile]\nAnsiCodePage=1252\n";

// 8-bit names follow the profile's ANSI code page, so each test sets its own.
class TrueTypeNames : public ::testing::Test {
protected:
    std::u16string Write(const std::string& name, const Bytes& bytes) {
        testsupport::WriteBytes(m_dir / name, bytes);
        return Utf8ToUtf16((m_dir / name).string());
    }
    testsupport::TestProfile m_profile{{}, "", kAnsi1252};
    TempDir m_dir;
};

TEST_F(TrueTypeNames, FindsTheNameTableWhateverTheCaseOfItsTag) {
    CTrueTypeFont font;
    for (const char* tag : {"name", "NAME", "nAmE"}) {
        ASSERT_TRUE(font.Open(Write("f.ttf", Sfnt({Win(1, u"Fam")}, tag)).c_str())) << tag;
        EXPECT_EQ(font.GetFamilyName(), u"Fam");
    }
    EXPECT_FALSE(font.Open(Write("f.ttf", Sfnt({Win(1, u"Fam")}, "nam ")).c_str()));
    EXPECT_EQ(font.GetFamilyName(), u"");
    EXPECT_FALSE(font.Open((m_dir.wpath() + u"/missing.ttf").c_str()));
}

TEST_F(TrueTypeNames, FirstRecordOfAnIdWinsAndEightBitTextUsesTheAnsiCodePage) {
    CTrueTypeFont font;
    ASSERT_TRUE(font.Open(Write("f.ttf", Sfnt({Mac(1, "Caf\xe9 Sans"), Win(1, u"Cafe Sans Win"), Win(2, u"Bold"),
                                               Mac(2, "Regular"), Mac(4, std::string("Full\0Rest", 9)),
                                               Mac(5, "\x80\x81\x9f")}))
                              .c_str()));
    EXPECT_EQ(font.GetFamilyName(), U("Café Sans"));
    EXPECT_EQ(font.GetName(2), u"Bold");
    EXPECT_TRUE(font.IsBold());
    EXPECT_EQ(font.GetName(4), u"Full");
    EXPECT_EQ(font.GetName(5), u"\u20AC\u0081\u0178");
    EXPECT_EQ(font.GetFoundMask(), 0x36);

    {
        testsupport::TestProfile chinese({}, "", "[Profile]\nAnsiCodePage=936\n");
        ASSERT_TRUE(font.Open(Write("g.ttf", Sfnt({Mac(1, "\xCB\xCE\xCC\xE5"), Win(1, u"SimSun")})).c_str()));
        EXPECT_EQ(font.GetFamilyName(), U("宋体"));
    }
    winprofile::Load(m_profile.path().string());
}

TEST_F(TrueTypeNames, Utf16TextEndsAtAZeroUnitAndAnOddByteIsTheHighHalf) {
    CTrueTypeFont font;
    ASSERT_TRUE(font.Open(Write("f.ttf", Sfnt({{3, 1, {0, 'A', 0, 0, 0, 'B'}},
                                               {0, 4, {0, 'A', 0, 'B', 0x43}},
                                               {3, 5, {0x41}},
                                               {3, 6, {0xD8, 0x3D, 0xDE, 0x00}},
                                               {3, 0, {}}}))
                              .c_str()));
    EXPECT_EQ(font.GetFamilyName(), u"A");
    EXPECT_EQ(font.GetName(4), u"AB\u4300");
    EXPECT_EQ(font.GetName(5), u"\u4100");
    EXPECT_EQ(font.GetName(6), u"\U0001F600");
    EXPECT_EQ(font.GetName(0), u"");
    EXPECT_EQ(font.GetFoundMask(), 0x73);  // an empty record still counts as found
}

TEST_F(TrueTypeNames, AlternateNameComesFromRecords34And35UnlessAllIdsAreKnownFirst) {
    std::vector<Rec> recs;
    for (uint16_t id = 0; id < 8; ++id) recs.push_back(Win(id, u"n" + std::u16string(1, u'0' + id)));
    recs = WithAltNames(recs, u"Alt34", u"Alt35");
    CTrueTypeFont font;
    ASSERT_TRUE(font.Open(Write("all.ttf", Sfnt(recs)).c_str()));
    EXPECT_EQ(font.GetFoundMask(), 0xFF);
    EXPECT_EQ(font.GetAltName(), u"");
    EXPECT_EQ(font.GetName(4), u"n4");

    // Without a trademark record the reader goes on; the later record wins.
    recs[7] = Win(8, u"not a trademark");
    recs.push_back(Win(4, u"Alt36"));  // index 36 is no alternate
    CTrueTypeFont partial;
    ASSERT_TRUE(partial.Open(Write("seven.ttf", Sfnt(recs)).c_str()));
    EXPECT_EQ(partial.GetFoundMask(), 0x7F);
    EXPECT_EQ(partial.GetAltName(), u"Alt35");
    EXPECT_EQ(partial.GetName(3), u"n3");
    EXPECT_EQ(partial.GetName(7), u"");
}

TEST_F(TrueTypeNames, StyleFlagsFollowTheFirstSubfamily) {
    struct Case {
        const char16_t* subfamily;
        bool regular, italic, bold;
    } cases[] = {{u"Regular Italic", true, true, false}, {u"SemiBold", false, false, true},
                 {u"Bold Italic", false, true, true},    {u"Oblique", false, false, false},
                 {u"Normal", true, false, false},        {u"STANDARD", true, false, false}};
    CTrueTypeFont font;
    for (const Case& c : cases) {
        ASSERT_TRUE(font.Open(Write("f.ttf", Sfnt({Win(2, c.subfamily), Win(2, u"Bold Italic")})).c_str()));
        EXPECT_EQ(font.IsRegular(), c.regular) << N(c.subfamily);
        EXPECT_EQ(font.IsItalic(), c.italic) << N(c.subfamily);
        EXPECT_EQ(font.IsBold(), c.bold) << N(c.subfamily);
    }
    // A new font starts from nothing: no subfamily, no flags.
    ASSERT_TRUE(font.Open(Write("g.ttf", Sfnt({Win(1, u"Plain")})).c_str()));
    EXPECT_FALSE(font.IsBold() || font.IsItalic() || font.IsRegular());
    EXPECT_EQ(font.GetName(2), u"");
}

TEST_F(TrueTypeNames, CollectionSkipsUnreadableMembersAndPrefersFamilyMatches) {
    CTrueTypeCollection ttc;
    EXPECT_FALSE(ttc.Open(Write("a.ttc", Ttc({{Win(1, u"A")}}, "TTCF")).c_str()));
    EXPECT_FALSE(ttc.Open(Write("b.ttc", Ttc({})).c_str()));
    EXPECT_FALSE(ttc.Open(Write("c.ttf", Sfnt({Win(1, u"A")})).c_str()));
    const auto first = WithAltNames({Win(1, u"First")}, u"Other", u"Target");
    ASSERT_TRUE(ttc.Open(
        Write("x.ttc", Ttc({first, {}, {Win(1, u"Target")}, {Win(1, u"Last")}})).c_str()));
    ASSERT_EQ(ttc.GetFontCount(), 3);
    EXPECT_EQ(ttc.FindFontIndex(u"Target"), 1);  // family of member 2, not member 0's alternate
    EXPECT_EQ(ttc.FindFontIndex(u"Last"), 2);
    EXPECT_EQ(ttc.FindFontIndex(u"Other"), -1);  // overwritten by record 35
    EXPECT_EQ(ttc.FindFontIndex(u"target"), -1);
    EXPECT_THROW(ttc.GetFamilyName(3), std::out_of_range);
    EXPECT_THROW(ttc.GetFamilyName(-1), std::out_of_range);
    ttc.Close();
    EXPECT_EQ(ttc.GetFontCount(), 0);

    const auto second = WithAltNames({Win(1, u"Second")}, u"", u"Target");
    ASSERT_TRUE(ttc.Open(Write("y.ttc", Ttc({{Win(1, u"First")}, second})).c_str()));
    EXPECT_EQ(ttc.FindFontIndex(u"Target"), 1);
}

TEST_F(TrueTypeNames, DamagedCountsAndOffsetsStopAtTheEndOfTheFile) {
    CTrueTypeFont font;
    // numTables and the record count far beyond what the file holds.
    ASSERT_TRUE(font.Open(Write("a.ttf", Sfnt({Win(1, u"Fam")}, "name", 0, 0xFFFF, 0xFFFF)).c_str()));
    EXPECT_EQ(font.GetFamilyName(), u"Fam");
    EXPECT_FALSE(font.Open(Write("b.ttf", Sfnt({Win(1, u"Fam")}, "post", 0, 0xFFFF)).c_str()));
    // A name table past the end reads as empty, which is not a failure.
    ASSERT_TRUE(font.Open(Write("c.ttf", Sfnt({Win(1, u"Fam")}, "name", 0x7FFFFFF0)).c_str()));
    EXPECT_EQ(font.GetFoundMask(), 0);

    // Every cut of a font fails until the name record's tag is in, then reads.
    const Bytes whole = Sfnt({Win(1, u"Fam"), Win(2, u"Bold")});
    for (size_t n = 0; n <= whole.size(); ++n)
        EXPECT_EQ(font.Open(Write("cut.ttf", Bytes(whole.begin(), whole.begin() + n)).c_str()), n >= 32) << n;

    // Strings stored out of record order: the span starts at the lowest offset.
    Bytes swapped = Sfnt({Win(1, u"Fam"), Win(2, u"Reg")});
    std::swap(swapped[61], swapped[73]);  // the low bytes of the two records' offsets, 0 and 6
    ASSERT_TRUE(font.Open(Write("swapped.ttf", swapped).c_str()));
    EXPECT_EQ(font.GetFamilyName(), u"Reg");
    EXPECT_EQ(font.GetName(2), u"Fam");

    CTrueTypeCollection ttc;
    ASSERT_TRUE(ttc.Open(Write("d.ttc", Ttc({{Win(1, u"Only")}}, "ttcf", 0xFFFFFFFELL)).c_str()));
    ASSERT_GE(ttc.GetFontCount(), 1);
    EXPECT_EQ(ttc.GetFamilyName(0), u"Only");
    EXPECT_TRUE(ttc.Open(Write("e.ttc", Ttc({}, "ttcf", 0xFFFFFFFFLL)).c_str()));  // declared, none present
    EXPECT_EQ(ttc.GetFontCount(), 0);
}

TEST(CodePages, MultiByteToWideCharFollowsWindows) {
    WCHAR buf[8] = {};
    EXPECT_EQ(MultiByteToWideChar(1252, 0, "ab", -1, nullptr, 0), 3);  // the NUL counts
    EXPECT_EQ(MultiByteToWideChar(1252, 0, "ab", -1, buf, 3), 3);
    EXPECT_EQ(std::u16string(buf, 3), std::u16string(u"ab\0", 3));
    EXPECT_EQ(MultiByteToWideChar(1252, 0, "abc", 3, buf, 2), 0);  // too small
    EXPECT_EQ(MultiByteToWideChar(1252, 0, "abc", 0, buf, 8), 0);
    EXPECT_EQ(MultiByteToWideChar(1252, 0, nullptr, 3, buf, 8), 0);

    auto conv = [](UINT cp, const std::string& s, DWORD flags = 0) {
        WCHAR out[32] = {};
        const int n = MultiByteToWideChar(cp, flags, s.data(), static_cast<int>(s.size()), out, 32);
        return n > 0 ? std::u16string(out, static_cast<size_t>(n)) : u"<fail>";
    };
    EXPECT_EQ(conv(936, "\xCB\xCE\xCC\xE5"), U("宋体"));
    EXPECT_EQ(conv(936, "A\x81"), u"A?");  // a lead byte cut off
    EXPECT_EQ(conv(932, "\x82\xA0"), U("あ"));
    EXPECT_EQ(conv(950, "\xA4\xA4"), U("中"));
    EXPECT_EQ(conv(CP_UTF8, "\xE4\xB8\xAD"), U("中"));
    EXPECT_EQ(conv(CP_UTF8, "a\xFF" "b\xE4\xB8"), u"a\uFFFDb\uFFFD");
    EXPECT_EQ(conv(CP_UTF8, "a\xFF", MB_ERR_INVALID_CHARS), u"<fail>");
    EXPECT_EQ(conv(12345, "\x80\xE9"), u"\u20AC\u00E9");  // unknown code pages read as 1252
}

}  // namespace
