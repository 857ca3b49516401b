#include <gtest/gtest.h>

#include <cstring>
#include <optional>
#include <vector>

#include "FontTableFixture.h"

using testsupport::U;

namespace {
std::u16string Pieces(std::initializer_list<std::u16string> pieces) {
    std::u16string s;
    for (const auto& p : pieces) s += p + u"\x02";
    return s;
}
}  // namespace

// Each language's piece is a legacy cell pair, else its first number, else
// the default font; slots beyond the project's languages are 0.
TEST_F(FontTableTest, MultiFontStringsReadLegacyPairsIdsAndBadInput) {
    const struct {
        int languages;
        std::optional<std::u16string> text;
        std::vector<int> slots;  // then zeros to the last slot
    } cases[] = {
        {2, Pieces({u"8 16", u"23"}), {1, 23}},
        // A legacy pair; not one (the first number); empty; 5; zero (the default
        // font); a pair among blanks; no number; a number cut to 16 bits.
        {8, Pieces({u"24 16", u"16 24", u"", u"5 9", u"0", u"  32\t32", u"abc", u"70000"}),
         {6, 16, 14, 5, 14, 9, 14, 70000 & 0xFFFF}},
        {3, u"17", {17, 14, 14}},  // no separators: the whole text is the first piece
        {3, std::nullopt, {14, 14, 14}},
        {0, Pieces({u"23"}), {}},
    };
    for (const auto& c : cases) {
        velmora::SetProjectLanguages(c.languages);
        tagMULTIFONT mf;
        std::fill(std::begin(mf.wFontID), std::end(mf.wFontID), 0xBEEF);
        Font_GetMultiFontFromString(c.text ? c.text->c_str() : nullptr, mf);
        for (size_t i = 0; i < std::size(mf.wFontID); ++i) {
            const int want = i < c.slots.size() ? c.slots[i] : 0;
            EXPECT_EQ(mf.wFontID[i], want) << "case " << &c - cases << ", slot " << i;
        }
    }
    // A 300-unit piece is read through the 260-unit buffer.
    velmora::SetProjectLanguages(3);
    tagMULTIFONT mf;
    const std::u16string digits = u"18" + std::u16string(298, u' ');
    Font_GetMultiFontFromString(Pieces({digits, std::u16string(300, u'9'), u"19"}).c_str(), mf);
    EXPECT_EQ(mf.wFontID[0], 18);
    EXPECT_EQ(mf.wFontID[2], 19);
}

TEST_F(FontTableTest, SelectionsDisplayAsFontNames) {
    Add(14, u"Default Font");
    Add(16, U("标题"));
    tagMULTIFONT mf{};
    velmora::SetProjectLanguages(3);
    mf.wFontID[0] = mf.wFontID[1] = mf.wFontID[2] = 14;
    CString out = u"stale";
    Font_GetStringFromFont(mf, out);
    EXPECT_EQ(out, u"Default Font\x02" u"Default Font\x02" u"Default Font\x02");
    mf.wFontID[1] = 16;
    mf.wFontID[2] = 99;  // unknown: empty name
    Font_GetStringFromFont(mf, out);
    EXPECT_EQ(out.str(), U("Default Font\x02标题\x02\x02"));
    velmora::SetProjectLanguages(0);
    Font_GetStringFromFont(mf, out);
    EXPECT_TRUE(out.IsEmpty());
}

TEST_F(FontTableTest, SpecFontFallsBackToSlotZeroAndTheDefault) {
    Add(14, u"Default");
    Add(16, u"A");
    Add(17, u"B");
    tagMULTIFONT mf{};
    mf.wFontID[0] = 16;
    mf.wFontID[1] = 17;
    velmora::SetProjectLanguages(2);
    EXPECT_EQ(Font_GetSpecFont(mf, 1), 17);
    EXPECT_EQ(Font_GetSpecFont(mf, 5), 16);   // beyond the project's languages: slot 0
    EXPECT_EQ(Font_GetSpecFont(mf, -2), 16);
    velmora::SetCurrentLanguage(1);
    EXPECT_EQ(Font_GetSpecFont(mf, -1), 17);  // the current language
    mf.wFontID[0] = 3;                         // legacy ids are not in the table
    EXPECT_EQ(Font_GetSpecFont(mf, 0), 14);
    EXPECT_EQ(Font_GetSpecFont(mf, 7), 14);
}

TEST_F(FontTableTest, SetSpecFontWritesAnyOfTheFortyEightSlots) {
    tagMULTIFONT mf{};
    velmora::SetProjectLanguages(2);
    Font_SetSpecFont(mf, 30, 47);  // beyond the project's languages
    EXPECT_EQ(mf.wFontID[47], 30);
    tagMULTIFONT before = mf;
    Font_SetSpecFont(mf, 31, 48);
    Font_SetSpecFont(mf, 31, -5);
    EXPECT_EQ(std::memcmp(&before, &mf, sizeof mf), 0);
    velmora::SetCurrentLanguage(1);
    Font_SetSpecFont(mf, 32, -1);
    EXPECT_EQ(mf.wFontID[1], 32);
}
