#include <gtest/gtest.h>

#include <cstring>

#include "FontTableFixture.h"

using testsupport::U;

namespace {
std::u16string Pieces(std::initializer_list<std::u16string> pieces) {
    std::u16string s;
    for (const auto& p : pieces) s += p + u"\x02";
    return s;
}
}  // namespace

TEST_F(FontTableTest, MultiFontStringsReadLegacyPairsAndIds) {
    tagMULTIFONT mf;
    std::fill(std::begin(mf.wFontID), std::end(mf.wFontID), 0xBEEF);
    velmora::SetProjectLanguages(2);
    EXPECT_EQ(Font_GetMultiFontFromString(Pieces({u"8 16", u"23"}).c_str(), mf), 1);
    EXPECT_EQ(mf.wFontID[0], 1);
    EXPECT_EQ(mf.wFontID[1], 23);
    for (int i = 2; i < kMultiFontSlots; ++i) EXPECT_EQ(mf.wFontID[i], 0) << i;

    velmora::SetProjectLanguages(8);
    Font_GetMultiFontFromString(
        Pieces({u"24 16", u"16 24", u"", u"5 9", u"0", u"  32\t32", u"abc", u"70000"}).c_str(), mf);
    EXPECT_EQ(mf.wFontID[0], 6);   // a legacy pair
    EXPECT_EQ(mf.wFontID[1], 16);  // not a legacy pair: the first number
    EXPECT_EQ(mf.wFontID[2], 14);  // empty piece
    EXPECT_EQ(mf.wFontID[3], 5);
    EXPECT_EQ(mf.wFontID[4], 14);  // zero is the default font
    EXPECT_EQ(mf.wFontID[5], 9);
    EXPECT_EQ(mf.wFontID[6], 14);  // no number
    EXPECT_EQ(mf.wFontID[7], static_cast<uint16_t>(70000));  // cut to 16 bits
}

TEST_F(FontTableTest, MultiFontStringsSurviveBadInput) {
    tagMULTIFONT mf;
    velmora::SetProjectLanguages(3);
    // Missing separators: the whole text is the first piece, the others are empty.
    Font_GetMultiFontFromString(u"17", mf);
    EXPECT_EQ(mf.wFontID[0], 17);
    EXPECT_EQ(mf.wFontID[1], 14);
    EXPECT_EQ(mf.wFontID[2], 14);
    // A 300-unit piece is read through the 260-unit buffer.
    const std::u16string digits = u"18" + std::u16string(298, u' ');
    Font_GetMultiFontFromString(Pieces({digits, std::u16string(300, u'9'), u"19"}).c_str(), mf);
    EXPECT_EQ(mf.wFontID[0], 18);
    EXPECT_EQ(mf.wFontID[2], 19);
    Font_GetMultiFontFromString(nullptr, mf);
    EXPECT_EQ(mf.wFontID[0], 14);
    // No project languages: every slot stays 0.
    velmora::SetProjectLanguages(0);
    std::fill(std::begin(mf.wFontID), std::end(mf.wFontID), 0xBEEF);
    Font_GetMultiFontFromString(u"23\x02", mf);
    for (uint16_t slot : mf.wFontID) EXPECT_EQ(slot, 0);
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
    EXPECT_EQ(Font_SetSpecFont(mf, 30, 47), 1);  // beyond the project's languages
    EXPECT_EQ(mf.wFontID[47], 30);
    tagMULTIFONT before = mf;
    EXPECT_EQ(Font_SetSpecFont(mf, 31, 48), 1);
    EXPECT_EQ(Font_SetSpecFont(mf, 31, -5), 1);
    EXPECT_EQ(std::memcmp(&before, &mf, sizeof mf), 0);
    velmora::SetCurrentLanguage(1);
    Font_SetSpecFont(mf, 32, -1);
    EXPECT_EQ(mf.wFontID[1], 32);
}
