#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "TestSupport.h"
#include "mfc/afxcoll.h"
#include "mfc/afxstr.h"
#include "win/wstr.h"

using testsupport::N;
using testsupport::U;

TEST(Format16, ConversionsWidthsPrecisionsAndCString) {
    EXPECT_EQ(Format16(u"%d|%5d|%-5d|%05d|%+d", 42, 42, 42, 42, 42), u"42|   42|42   |00042|+42");
    EXPECT_EQ(Format16(u"%ld %ld", static_cast<LONG>(-7), static_cast<LONG>(2147483647)), u"-7 2147483647");
    EXPECT_EQ(Format16(u"%lld", static_cast<long long>(1) << 40), u"1099511627776");
    EXPECT_EQ(Format16(u"%u %x %X %o", 4294967295u, 255, 255, 8), u"4294967295 ff FF 10");
    EXPECT_EQ(Format16(u"%.2lf|%.2lfMB|%8.3f|%.0f", 3.14159, 10.005, 2.5, 2.5), u"3.14|10.01MB|   2.500|2");
    EXPECT_EQ(Format16(u"%.2lfMB", 0.0), u"0.00MB");
    EXPECT_EQ(Format16(u"[%s][%6s][%-6s][%.2s]", u"ab", u"ab", u"ab", u"abc"), u"[ab][    ab][ab    ][ab]");
    EXPECT_EQ(Format16(u"%c%c%3c", u'A', static_cast<WCHAR>(0x5B8B), u'z'), U("A宋  z"));
    EXPECT_EQ(Format16(u"%S", "UTF-8 \xE5\xAE\x8B"), U("UTF-8 宋"));
    EXPECT_EQ(Format16(u"100%% %*d|%-*d|", 4, 7, 3, 1), u"100%    7|1  |");
    EXPECT_EQ(Format16(u"%s", static_cast<const WCHAR*>(nullptr)), u"(null)");
    EXPECT_EQ(Format16(u"%hd", 70000), u"4464");  // h truncates to 16 bits
    EXPECT_EQ(Format16(u"trailing %"), u"trailing %");
    // A name beyond ASCII; the table and dialog suites read back the ASCII ones.
    EXPECT_EQ(Format16(u"%s_(%d)", U("宋体").c_str(), 3), U("宋体_(3)"));
    CString s;
    s.Format(u"Font%d", 12);
    s.AppendFormat(u"/%s", u"x");
    EXPECT_EQ(s, u"Font12/x");
}

// Cut to 31 units and zero filled: FontTableTest.FontsFromParamsGetUniqueNames,
// FontInitTest.FaceFieldsAreZeroFilledWhereverAFaceIsReplaced and
// FontCssTest.StylesOfEveryLanguageShareOneBuffer read the names back.
TEST(FixedNames, NoSourceIsAnEmptyName) {
    WCHAR small[4] = {1, 1, 1, 1};
    lstrcpynW(small, nullptr, 4);
    EXPECT_EQ(small[0], 0);
    WCHAR field[4] = {1, 1, 1, 1};
    CopyFixedName(field, nullptr, 4);
    for (WCHAR c : field) EXPECT_EQ(c, 0);
}

TEST(CStringOps, SlicingSearchingTrimming) {
    CString s(u"  Hello World  ");
    s.Trim();
    EXPECT_EQ(s, u"Hello World");
    EXPECT_EQ(s.Left(5), u"Hello");
    EXPECT_EQ(s.Left(-1), u"");
    EXPECT_EQ(s.Right(5), u"World");
    EXPECT_EQ(s.Right(99), s);
    EXPECT_EQ(s.Mid(6), u"World");
    EXPECT_EQ(s.Mid(6, 2), u"Wo");
    EXPECT_EQ(s.Mid(99), u"");
    EXPECT_EQ(s.Find(u'o'), 4);
    EXPECT_EQ(s.Find(u'o', 5), 7);
    EXPECT_EQ(s.Find(u"World"), 6);
    EXPECT_EQ(s.Find(u"x"), -1);
    EXPECT_EQ(s.ReverseFind(u'o'), 7);
    EXPECT_EQ(s.CompareNoCase(u"hello world"), 0);
    EXPECT_NE(s.Compare(u"hello world"), 0);
    CString r(u"a_b_c");
    EXPECT_EQ(r.Replace(u"_", u"--"), 2);
    EXPECT_EQ(r, u"a--b--c");
    CString blank(U("\u3000 \t"));
    EXPECT_TRUE(blank.Trim().IsEmpty());
    CString cyr(U("ПРИВЕТ Äb"));
    EXPECT_EQ(cyr.MakeLower(), U("привет äb"));
    CString filled;
    WCHAR* buf = filled.GetBuffer(10);
    buf[0] = u'a';
    buf[1] = u'b';
    buf[2] = 0;
    filled.ReleaseBuffer();
    EXPECT_EQ(filled.GetLength(), 2);
    EXPECT_EQ(filled, u"ab");
}

TEST(Utf, RoundTripsAndRepairsBadInput) {
    const std::u16string text = U("A宋体😀");
    EXPECT_EQ(text.size(), 5u);  // the emoji is a surrogate pair
    EXPECT_EQ(Utf8ToUtf16(Utf16ToUtf8(text)), text);
    EXPECT_EQ(Utf8ToUtf16("a\xFF" "b"), u"a\uFFFDb");
    EXPECT_EQ(Utf8ToUtf16("\xE5\xAE"), u"\uFFFD\uFFFD");  // truncated sequence
    EXPECT_EQ(Utf16ToUtf8(std::u16string(1, 0xD800)), "\xEF\xBF\xBD");
    // Overlong forms, encoded surrogates and code points past U+10FFFF are
    // one replacement each; a four-byte character is a pair.
    EXPECT_EQ(Utf8ToUtf16("\xC0\xAFx\xED\xA0\x80y\xF4\x90\x80\x80z\xF0\x9F\x98\x80"), u"\uFFFDx\uFFFDy\uFFFDz\U0001F600");
    // Into a string that held more before, and from a part of a longer text.
    std::u16string out(40, u'?');
    Utf8ToUtf16(std::string_view("long ASCII run then \xE5\xAE\x8B", 23), out);
    EXPECT_EQ(out, u"long ASCII run then \u5B8B");
    Utf8ToUtf16(std::string_view(), out);
    EXPECT_TRUE(out.empty());
}

TEST(Utf, AsciiRunsOfEveryLengthAroundOtherCharacters) {
    // Runs of plain ASCII are converted eight bytes at a time: every length
    // and position around multi-byte and broken sequences.
    std::mt19937 rng(7);
    const std::pair<std::string, std::u16string> others[] = {
        {"\xC3\xA9", u"\u00E9"},        {"\xE4\xB8\xAD", u"\u4E2D"},     {"\xF0\x9F\x98\x80", u"\U0001F600"},
        {"\xFF", u"\uFFFD"},            {"\xE5\xAE!", u"\uFFFD\uFFFD!"}, {"\x80", u"\uFFFD"},
    };
    for (int round = 0; round < 400; ++round) {
        std::string in;
        std::u16string want;
        for (int part = 0; part < 6; ++part) {
            const int run = static_cast<int>(rng() % 20);
            for (int k = 0; k < run; ++k) {
                const char c = static_cast<char>(0x20 + rng() % 0x5F);
                in += c;
                want += static_cast<char16_t>(c);
            }
            const auto& o = others[rng() % 6];
            in += o.first;
            want += o.second;
        }
        std::u16string out;
        Utf8ToUtf16(std::string_view(in), out);
        ASSERT_EQ(out, want) << in;
    }
}

TEST(ScanDecimal, BehavesLikePercentD) {
    int v = 99;
    EXPECT_EQ(ScanDecimal(u"  -12x", &v), 5u);
    EXPECT_EQ(v, -12);
    v = 99;
    EXPECT_EQ(ScanDecimal(u"abc", &v), 0u);
    EXPECT_EQ(v, 99);  // untouched on no match
    EXPECT_EQ(ScanDecimal(u"+", &v), 0u);
    EXPECT_EQ(ScanDecimal(u"99999999999", &v), 11u);  // wraps, defined
}

namespace {
std::vector<int> Values(CTypedPtrList<CPtrList, int*>& list) {
    std::vector<int> out;
    POSITION pos = list.GetHeadPosition();
    while (pos) out.push_back(*list.GetNext(pos));
    return out;
}
}  // namespace

// Changes through a member are counted, reads are not. Additions, SetAt and RemoveAll
// are counted for FontTableTest.LookupsAgreeWithAWalkOverRandomChanges.
TEST(CPtrList, IterationRemovalInsertionAndTheChangeCount) {
    int v[5] = {0, 1, 2, 3, 4};
    CTypedPtrList<CPtrList, int*> list;
    uint64_t last = list.GetChangeCount();
    auto changed = [&] {
        const uint64_t now = list.GetChangeCount();
        const bool moved = now != last;
        last = now;
        return moved;
    };
    for (int& x : v) list.AddTail(&x);
    changed();
    EXPECT_EQ(list.GetCount(), 5);
    EXPECT_EQ(Values(list), (std::vector<int>{0, 1, 2, 3, 4}));
    EXPECT_FALSE(changed());

    // The MFC removal idiom: remember the position before GetNext advances it.
    POSITION pos = list.GetHeadPosition();
    while (pos) {
        POSITION cur = pos;
        int* p = list.GetNext(pos);
        if (*p % 2 == 1) {
            list.RemoveAt(cur);
            EXPECT_TRUE(changed()) << *p;
        }
    }
    EXPECT_EQ(Values(list), (std::vector<int>{0, 2, 4}));

    list.InsertAfter(list.GetHeadPosition(), &v[1]);
    list.InsertBefore(list.GetTailPosition(), &v[3]);
    list.AddHead(&v[4]);
    changed();
    EXPECT_EQ(Values(list), (std::vector<int>{4, 0, 1, 2, 3, 4}));
    EXPECT_EQ(*list.GetAt(list.FindIndex(2)), 1);
    EXPECT_EQ(list.FindIndex(6), nullptr);
    EXPECT_EQ(list.Find(&v[2]), list.FindIndex(3));
    EXPECT_FALSE(changed());
    EXPECT_EQ(*list.RemoveHead(), 4);
    EXPECT_TRUE(changed());
    EXPECT_EQ(*list.RemoveTail(), 4);
    EXPECT_TRUE(changed());
    EXPECT_EQ(list.GetCount(), 4);

    POSITION back = list.GetTailPosition();
    std::vector<int> reversed;
    while (back) reversed.push_back(*list.GetPrev(back));
    EXPECT_EQ(reversed, (std::vector<int>{3, 2, 1, 0}));
    EXPECT_EQ(*list.GetHead(), 0);
    EXPECT_EQ(*list.GetTail(), 3);
    EXPECT_FALSE(changed());

    list.RemoveAll();
    EXPECT_TRUE(list.IsEmpty());
    EXPECT_EQ(list.GetHeadPosition(), nullptr);
    EXPECT_THROW(list.GetHead(), std::out_of_range);
}

TEST(CStringArray, GrowsInsertsRemoves) {
    CStringArray a;
    a.Add(u"x");
    a.SetAtGrow(3, u"d");
    EXPECT_EQ(a.GetSize(), 4);
    EXPECT_TRUE(a[1].IsEmpty());
    a.InsertAt(1, u"b");
    EXPECT_EQ(a[1], u"b");
    a.RemoveAt(0, 2);
    EXPECT_EQ(a.GetSize(), 3);
    a.RemoveAt(10);  // out of range: ignored
    EXPECT_EQ(a.GetUpperBound(), 2);
    EXPECT_EQ(a[2], u"d");
}
