// Merging another project's font table, and the CSS strings of fonts.
#include <climits>
#include <cstring>

#include "FontTable.h"
#include "FontTableFixture.h"
#include "PackConfig.h"

using testsupport::N;
using testsupport::TempDir;
using testsupport::U;

namespace {
std::string NameOf(int id) {
    const tagHMIFONT* r = findFontInList(id);
    return r ? N(r->szName) : "<none>";
}

class FontCopyTest : public FontTableTest {
protected:
    // Writes a Font.hft of the given records into `dir`.
    static std::u16string WriteSource(const TempDir& dir, const std::vector<tagHMIFONT>& recs, uint32_t count) {
        std::vector<unsigned char> b(4 + recs.size() * sizeof(tagHMIFONT));
        std::memcpy(b.data(), &count, 4);
        if (!recs.empty()) std::memcpy(b.data() + 4, recs.data(), recs.size() * sizeof(tagHMIFONT));
        testsupport::WriteBytes(dir / "Font.hft", b);
        return U((dir / "Font.hft").string());
    }
    static tagHMIFONT Rec(int id, const std::u16string& name, const std::u16string& face, LONG height) {
        tagHMIFONT r;
        std::memset(&r, 0, sizeof r);
        r.nID = id;
        CopyFixedName(r.szName, name.c_str(), 32);
        CopyFixedName(r.lf.lfFaceName, face.c_str(), LF_FACESIZE);
        r.lf.lfHeight = height;
        r.lf.lfWeight = FW_NORMAL;
        r.lf.lfCharSet = DEFAULT_CHARSET;
        return r;
    }
};
}  // namespace

TEST_F(FontCopyTest, NewFontsGetNewIdsAndFreeNames) {
    Add(14, u"Default", u"Arial", 16);
    Add(20, u"Title", u"Arial", 30);
    Add(15, u"Title_1", u"Tahoma", 30);
    Add(16, u"A name of twenty chr", u"Tahoma", 12);
    g_nMaxFontID = 20;
    TempDir other;
    const std::u16string src = WriteSource(other,
                                           {Rec(14, u"Default", u"Arial", 16), Rec(30, u"Title", u"Arial", 40),
                                            Rec(31, u"A name of twenty chr", u"Arial", 24), Rec(32, u"Fresh", u"Calibri", 10)},
                                           4);
    std::map<int, int> ids;
    std::vector<int> added;
    ASSERT_EQ(Font_Copy(src, ids, added), 1);
    EXPECT_EQ(ids, (std::map<int, int>{{14, 14}, {30, 21}, {31, 22}, {32, 23}}));
    EXPECT_EQ(added, (std::vector<int>{21, 22, 23}));
    EXPECT_EQ(NameOf(21), "Title_2");
    EXPECT_EQ(NameOf(22), "Arial_24_1");
    EXPECT_EQ(NameOf(23), "Fresh");
    // Fonts made later never take an id the copy gave out.
    int next = 0;
    ASSERT_EQ(NewFontByInfo(u"Tahoma", 77, u"", &next), 1);
    EXPECT_EQ(next, 24);
    // The merged table was saved.
    const HftFileContents saved = ReadFontTableFile(FontTablePath());
    ASSERT_TRUE(saved.complete);
    EXPECT_EQ(saved.records.size(), 7u);
}

TEST_F(FontCopyTest, EmptyMissingAndDamagedSources) {
    Add(14, u"Default", u"Arial", 16);
    TempDir other;
    std::map<int, int> ids;
    std::vector<int> added;
    EXPECT_EQ(Font_Copy(WriteSource(other, {}, 0), ids, added), 1);
    EXPECT_TRUE(ids.empty());
    EXPECT_TRUE(ReadFontTableFile(FontTablePath()).opened);  // saved all the same

    EXPECT_EQ(Font_Copy(U((other / "none.hft").string()), ids, added), 0);
    testsupport::WriteBytes(other / "short.hft", {1, 0});  // not even a whole record count
    EXPECT_EQ(Font_Copy(U((other / "short.hft").string()), ids, added), 0);
    EXPECT_TRUE(ReadFontTableFile(U((other / "short.hft").string()).c_str()).opened);

    // 256 declared (more than the count's first byte holds), one and a half
    // there: the whole one is merged, then 0.
    const std::u16string src =
        WriteSource(other, {Rec(40, u"One", u"Calibri", 9), Rec(41, u"Two", u"Calibri", 11)}, 256);
    auto bytes = testsupport::ReadBytes(other / "Font.hft");
    bytes.resize(4 + 160 + 80);
    testsupport::WriteBytes(other / "Font.hft", bytes);
    EXPECT_EQ(Font_Copy(src, ids, added), 0);
    EXPECT_EQ(ids.size(), 1u);
    EXPECT_EQ(g_FontList.GetCount(), 2);
}

// Copying a project into itself adds nothing. Font_Copy itself can leave two
// fonts of one name; each source font maps to the first record of its own
// description, never to a namesake.
TEST_F(FontCopyTest, CopyingAProjectIntoItselfMapsToTheFirstOfEachDescription) {
    Add(14, u"Default", u"Arial", 16);
    Add(16, u"Same", u"Arial", 20);
    Add(17, u"Same", u"Tahoma", 20);
    Add(18, u"Arial again", u"Arial", 20);  // the description of 16
    ASSERT_EQ(Font_SaveLib(), 1);
    std::map<int, int> ids{{99, 5}};
    std::vector<int> added{7};
    EXPECT_EQ(Font_Copy(FontTablePath().str(), ids, added), 1);
    EXPECT_EQ(ids, (std::map<int, int>{{14, 14}, {16, 16}, {17, 17}, {18, 16}, {99, 5}}));
    EXPECT_EQ(added, std::vector<int>{7});
    EXPECT_EQ(g_FontList.GetCount(), 4);

    // No id left for a new font: the merge stops and says so.
    TempDir other;
    const std::u16string source = WriteSource(other, {Rec(30, u"New", u"Calibri", 40)}, 1);
    g_nMaxFontID = INT_MAX;
    Add(INT_MAX, u"Top", u"Arial", 50);
    ids.clear();
    EXPECT_EQ(Font_Copy(source, ids, added), 0);
    EXPECT_TRUE(ids.empty());
    EXPECT_EQ(g_FontList.GetCount(), 5);
}

// ---------------------------------------------------------------- CSS

namespace {
class FontCssTest : public FontTableTest {
protected:
    void SetUp() override {
        FontTableTest::SetUp();
        PackFontList.clear();
        PackNameMap.clear();
        g_bUseDefaultFont = 1;
        for (auto& f : g_strDefaultFont) f = u"SimSun";
    }
    void TearDown() override {
        PackFontList.clear();
        PackNameMap.clear();
        g_bUseDefaultFont = 0;
        FontTableTest::TearDown();
    }
    static std::u16string Css(int id, int lang, int useDefault, int mode) {
        WCHAR out[kFontCssBufferUnits] = {};
        EXPECT_EQ(Font_GetFontCss(id, out, lang, useDefault, mode), 1);
        return out;
    }
};
const std::u16string kSep(1, kLangSeparator);
}  // namespace

TEST_F(FontCssTest, PiecesInShorthandOrder) {
    Add(14, u"Default", u"Arial", 16);
    tagHMIFONT* bold = Add(20, u"Bold", u"Tahoma", 24, FW_BOLD);
    bold->lf.lfItalic = 1;
    Add(21, u"Heavy", u"Tahoma", 24, 800);
    EXPECT_EQ(Css(14, 0, 0, 0), u"16px SimSun" + kSep);  // the language's default face
    EXPECT_EQ(Css(20, 0, 0, 0), u"italic bold 24px Tahoma" + kSep);
    EXPECT_EQ(Css(20, 0, 1, 0), u"italic 24px SimSun" + kSep);  // default faces draw no bold
    EXPECT_EQ(Css(21, 0, 0, 0), u"24px Tahoma" + kSep);         // only exactly 700 is bold
    EXPECT_EQ(Css(999, 0, 0, 0), Css(14, 0, 0, 0));            // unknown ids draw as font 14
}

TEST_F(FontCssTest, FamiliesFromTheFontPack) {
    Add(14, u"Default", u"Arial", 16);
    Add(20, u"Song", u"宋体", 18);
    Add(21, u"Packed", u"Tahoma", 20, FW_BOLD);
    Add(22, u"Packed thin", u"Tahoma", 20);
    Add(23, u"Gone", u"Vanished", 20);
    g_strDefaultFont[0] = u"宋体";
    EXPECT_EQ(Css(20, 0, 1, 0), u"18px SimSun" + kSep);
    PackFontList = {u"Tahoma", u"Vanished"};
    PackNameMap[u"Tahoma"] = u"tahoma";
    EXPECT_EQ(Css(21, 0, 0, 0), u"bold 20px Tahoma" + kSep);  // bold pack faces keep their face name
    EXPECT_EQ(Css(22, 0, 0, 0), u"20px tahoma" + kSep);
    EXPECT_EQ(Css(21, 0, 0, 1), u"bold 20px tahoma" + kSep);  // other modes always prefer the pack name
    // Asking for a face that is not installed makes it a key with an empty pack name.
    EXPECT_EQ(N(Font_GetPackName(u"Vanished").GetString()), "");
    EXPECT_EQ(Css(23, 0, 0, 0), u"20px " + kSep);
}

TEST_F(FontCssTest, StylesOfEveryLanguageShareOneBuffer) {
    Add(14, u"Default", u"Arial", 16);
    Add(20, u"Big", u"Tahoma", 30);
    g_strDefaultFont[1] = u"Arial";
    tagMULTIFONT mf{};
    mf.wFontID[0] = 20;
    mf.wFontID[1] = 555;  // not in the table
    WCHAR out[kFontCssBufferUnits] = {};
    Font_GetFontStyle(mf, out, 0, 0);
    EXPECT_EQ(std::u16string(out), u"30px Tahoma" + kSep + u"16px Arial" + kSep);

    // A full buffer is cut, never overrun.
    std::vector<WCHAR> big(kFontCssBufferUnits + 16, u'#');
    std::fill(big.begin(), big.begin() + kFontCssBufferUnits - 8, u'x');
    big[kFontCssBufferUnits - 8] = 0;
    Font_GetFontCss(20, big.data(), 0, 0, 0);
    EXPECT_EQ(big[kFontCssBufferUnits - 1], 0);
    EXPECT_EQ(std::u16string(big.data()).size(), static_cast<size_t>(kFontCssBufferUnits - 1));
    EXPECT_EQ(std::u16string(big.data() + kFontCssBufferUnits - 8), u"30px Ta");
    for (size_t i = kFontCssBufferUnits; i < big.size(); ++i) EXPECT_EQ(big[i], u'#');
}
