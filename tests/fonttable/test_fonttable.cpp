#include <gtest/gtest.h>

#include <unistd.h>

#include <cstring>
#include <filesystem>

#include "FontTableFixture.h"
#include "win/filesafety.h"
#include "win/gdi.h"

using testsupport::I32At;
using testsupport::ReadBytes;
using testsupport::U;
using testsupport::U32At;
using testsupport::Utf16At;

TEST_F(FontTableTest, RecordsAreWrittenAtTheDocumentedOffsets) {
    ASSERT_EQ(Font_SaveLib(), 1);  // an empty table: its count alone
    EXPECT_EQ(ReadBytes(m_dir / "Font.hft"), (std::vector<unsigned char>{0, 0, 0, 0}));

    Add(14, U("默认字体"), U("宋体"), 16);
    tagHMIFONT* title = Add(16, u"Title", u"Arial Black", 24, FW_BOLD);
    title->lf.lfItalic = 1;
    title->lf.lfCharSet = GB2312_CHARSET;
    title->szName[10] = u'!';  // bytes after the terminator are part of the record
    ASSERT_EQ(Font_SaveLib(), 1);

    const auto b = ReadBytes(m_dir / "Font.hft");
    ASSERT_EQ(b.size(), 324u);
    EXPECT_EQ(U32At(b, 0), 2u);
    const size_t r1 = 164;
    EXPECT_EQ(I32At(b, 4), 14);
    EXPECT_EQ(I32At(b, r1), 16);
    EXPECT_EQ(Utf16At(b, r1 + 4, 32), u"Title");
    EXPECT_EQ(b[r1 + 4 + 20], u'!');
    EXPECT_EQ(I32At(b, r1 + 68), 24);        // lfHeight
    EXPECT_EQ(I32At(b, r1 + 68 + 16), 700);  // lfWeight
    EXPECT_EQ(b[r1 + 68 + 20], 1);           // lfItalic
    EXPECT_EQ(b[r1 + 68 + 23], 134);         // lfCharSet
    EXPECT_EQ(Utf16At(b, r1 + 68 + 28, 32), u"Arial Black");
}

// The contract reports only a table file that cannot be made; everything
// else that fails is kept by the file layer for the host. The old file stays.
TEST_F(FontTableTest, FailedSavesKeepTheOldFile) {
    Add(14, u"Default");
    ASSERT_EQ(Font_SaveLib(), 1);
    const auto before = ReadBytes(m_dir / "Font.hft");
    Add(16, u"Second");
    winfiles::TakeFailures();
    {
        testsupport::FileSizeLimit full(100);  // the new table needs 324 bytes
        EXPECT_EQ(Font_SaveLib(), 1);
    }
    EXPECT_EQ(ReadBytes(m_dir / "Font.hft"), before);
    EXPECT_EQ(winfiles::TakeFailures().size(), 1u);
    EXPECT_EQ(testsupport::Tree(m_dir.path()), (std::vector<std::string>{"Font.hft"}));

    // The temporary file cannot be created (its name is taken by a folder).
    const auto blocker = m_dir / ("Font.hft.~" + std::to_string(getpid()));
    std::filesystem::create_directory(blocker);
    EXPECT_EQ(Font_SaveLib(), 0);
    EXPECT_EQ(ReadBytes(m_dir / "Font.hft"), before);
    EXPECT_EQ(g_FontList.GetCount(), 2);  // the table is unchanged
    std::filesystem::remove(blocker);

    if (geteuid() != 0) {  // permissions do not stop root
        std::filesystem::permissions(m_dir.path(), std::filesystem::perms::owner_read |
                                                       std::filesystem::perms::owner_exec);
        EXPECT_EQ(Font_SaveLib(), 0);
        EXPECT_EQ(ReadBytes(m_dir / "Font.hft"), before);
        std::filesystem::permissions(m_dir.path(), std::filesystem::perms::owner_all);
    }

    // A folder named like the table: the new file cannot be put in place.
    std::filesystem::remove(m_dir / "Font.hft");
    std::filesystem::create_directory(m_dir / "Font.hft");
    winfiles::TakeFailures();
    EXPECT_EQ(Font_SaveLib(), 0);
    EXPECT_TRUE(std::filesystem::is_directory(m_dir / "Font.hft"));
    EXPECT_EQ(winfiles::TakeFailures().size(), 1u);

    CRootMgr::getSingleton()->setProjectDir(m_dir.wpath() + u"\\missing");
    EXPECT_EQ(Font_SaveLib(), 0);
    CRootMgr::getSingleton()->setProjectDir(u"");
    EXPECT_EQ(Font_SaveLib(), 0);  // no project: never the root folder
    EXPECT_FALSE(std::filesystem::exists(m_dir / "missing"));
}

// Font_IsVFont answers for the table's fonts, never for the legacy ids 0-9.
TEST_F(FontTableTest, VectorFontsAreTheTablesOwn) {
    Add(14, u"Default");
    EXPECT_EQ(Font_IsVFont(14), 1);
    for (int legacy = 0; legacy < 10; ++legacy) EXPECT_EQ(Font_IsVFont(legacy), 0);
}

TEST_F(FontTableTest, NameListsSkipBracedNamesAndEndWithTheDefaultEntry) {
    for (int id = 10; id <= 13; ++id) Add(id, u"{Builtin" + U(std::to_string(id)) + u"}");
    Add(14, u"Default Font");
    CStringArray names, ids;
    names.Add(u"kept");  // entries are appended, not replaced
    ids.Add(u"0");
    Font_GetFontNames(names, ids);
    ASSERT_EQ(names.GetSize(), 3);
    ASSERT_EQ(ids.GetSize(), 3);
    EXPECT_EQ(names[1], u"Default Font");
    EXPECT_EQ(ids[1], u"14");
    EXPECT_EQ(names[2], LA_GetString(u"STR_40017"));
    EXPECT_EQ(ids[2], u"-1");
}

TEST_F(FontTableTest, HmiFontsOrTheBoldWeightIntoTheStoredOne) {
    Add(16, u"Normal", u"Tahoma", 20, FW_NORMAL);
    Add(17, u"Bold", u"Tahoma", 20, FW_BOLD);
    const int live = LiveFontCount();
    const auto made = [](int id, int bold) {
        CFont font;
        _HMIFONT desc{id, bold, 0};
        CreateHmiFont(font, &desc);  // always 1
        LOGFONTW lf{};
        EXPECT_EQ(font.GetLogFont(&lf), static_cast<int>(sizeof lf));
        return lf;
    };
    LOGFONTW lf = made(16, 1);
    EXPECT_EQ(lf.lfWeight, 956);
    EXPECT_EQ(lf.lfHeight, 20);
    EXPECT_EQ(std::u16string(lf.lfFaceName), u"Tahoma");
    EXPECT_EQ(made(17, 1).lfWeight, 700);
    // Unknown: the first legacy font (the only cell 6 wide; its cells are LegacyFontsFollow...'s).
    lf = made(99, 0);
    EXPECT_EQ(std::u16string(lf.lfFaceName), u"MS Sans Serif");
    EXPECT_EQ(lf.lfWidth, 6);
    EXPECT_EQ(lf.lfCharSet, 134);
    EXPECT_EQ(lf.lfClipPrecision, 16);
    EXPECT_EQ(LiveFontCount(), live);  // every font freed with its CFont
}

TEST_F(FontTableTest, LegacyFontsFollowTheCellTable) {
    const LONG cells[10][2] = {{6, 12}, {8, 16}, {12, 12}, {16, 16}, {12, 24},
                               {16, 32}, {24, 16}, {24, 24}, {24, 32}, {32, 32}};
    CFont font;
    for (int id = 0; id < 10; ++id) {
        ASSERT_EQ(CreateLegacyFont(font, id, id % 2), 1);
        LOGFONTW lf{};
        font.GetLogFont(&lf);
        EXPECT_EQ(lf.lfWidth, cells[id][0]) << id;
        EXPECT_EQ(lf.lfHeight, cells[id][1]) << id;
        EXPECT_EQ(lf.lfWeight, id % 2 ? 700 : 0) << id;
    }
    // Out of range: the held font is deleted and nothing replaces it.
    EXPECT_EQ(CreateLegacyFont(font, 10, 0), 0);
    EXPECT_EQ(font.GetSafeHandle(), nullptr);
    EXPECT_EQ(CreateLegacyFont(font, -1, 0), 0);
}

TEST_F(FontTableTest, LastSelectedFontAndExportedDataClasses) {
    EXPECT_EQ(GetLastSelFont(), 14);  // the default font until one is chosen

    // Copying is the compiler's; the constructor must put each value in its place.
    const CUnit unit(reinterpret_cast<_TYPENODE*>(0x10), u"desc", u"show", u"xml1");
    EXPECT_EQ(unit.GetValueType(), reinterpret_cast<_TYPENODE*>(0x10));
    EXPECT_EQ(unit.GetUnitDesc(), u"desc");
    EXPECT_EQ(unit.GetShowName(), u"show");
    EXPECT_EQ(unit.GetXMLid(), u"xml1");
    EXPECT_EQ(CUnit().GetValueType(), nullptr);
}

