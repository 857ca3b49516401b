// Opening a project's fonts, with the font change dialog answered as a user
// would, and creating a font through the properties dialog.
#include <algorithm>
#include <cstring>
#include <map>

#include "DialogTest.h"

namespace {
struct Rec {
    int id;
    std::u16string name;
    std::u16string face;
    LONG height;
    BYTE charset = DEFAULT_CHARSET;
};

std::vector<unsigned char> TableBytes(const std::vector<Rec>& recs, uint32_t count) {
    std::vector<unsigned char> b(4 + recs.size() * sizeof(tagHMIFONT));
    std::memcpy(b.data(), &count, 4);
    for (size_t i = 0; i < recs.size(); ++i) {
        tagHMIFONT r;
        std::memset(&r, 0, sizeof r);
        r.nID = recs[i].id;
        // Raw copies: a 32-unit name fills its field with no terminator, as a damaged file may.
        const std::u16string& name = recs[i].name;
        const std::u16string& face = recs[i].face;
        std::memcpy(r.szName, name.data(), std::min<size_t>(name.size(), 32) * 2);
        std::memcpy(r.lf.lfFaceName, face.data(), std::min<size_t>(face.size(), LF_FACESIZE) * 2);
        r.lf.lfHeight = recs[i].height;
        r.lf.lfWeight = FW_NORMAL;
        r.lf.lfCharSet = recs[i].charset;
        std::memcpy(b.data() + 4 + i * sizeof r, &r, sizeof r);
    }
    return b;
}

std::vector<int> Ids() {
    std::vector<int> ids;
    POSITION pos = g_FontList.GetHeadPosition();
    while (pos) ids.push_back(g_FontList.GetNext(pos)->nID);
    return ids;
}

std::string FaceOf(int id) { return N(findFontInList(id)->lf.lfFaceName); }

class FontInitTest : public ScriptedTest {
protected:
    void SetUp() override {
        ScriptedTest::SetUp();
        SetScreen(800, 480);
    }
    void TearDown() override {
        stanchion::SetAppObject(u"HmiSet", nullptr);
        ScriptedTest::TearDown();
    }
    void SetScreen(int w, int h) {
        m_panel = CHmiSet{1, w, h, 16};
        stanchion::SetAppObject(u"HmiSet", &m_panel);
    }
    void WriteTable(const std::vector<Rec>& recs) {
        WriteTable(recs, static_cast<uint32_t>(recs.size()));
    }
    void WriteTable(const std::vector<Rec>& recs, uint32_t count) {
        testsupport::WriteBytes(m_dir / "Font.hft", TableBytes(recs, count));
    }
    CHmiSet m_panel{};
    TestProfile profile{{"simsun.ttc", "arial.ttf", "tahoma.ttf", "calibri.ttf"}};
};
}  // namespace

TEST_F(FontInitTest, WithoutATableTheDefaultAndBuiltInFontsAreMade) {
    int skip = 0;
    EXPECT_EQ(Font_InitLib(&skip, false, nullptr), 0);
    EXPECT_EQ(Ids(), (std::vector<int>{14, 13, 12, 11, 10}));
    EXPECT_EQ(g_nMaxFontID, 15);
    const tagHMIFONT* def = findFontInList(14);
    EXPECT_EQ(N(def->szName), Msg(u"STR_40015"));
    EXPECT_EQ(N(def->lf.lfFaceName), "SimSun");  // as the English system spells it
    const tagHMIFONT* b13 = findFontInList(13);
    EXPECT_EQ(N(b13->szName), "{_Font36");
    EXPECT_EQ(b13->lf.lfHeight, 36);
    EXPECT_EQ(N(findFontInList(10)->szName), "{_Font12");

    // An empty file is a table of no records: the same fonts, but it was read.
    WriteTable({});
    EXPECT_EQ(Font_InitLib(&skip, false, nullptr), 1);
    EXPECT_EQ(Ids(), (std::vector<int>{14, 13, 12, 11, 10}));
}

TEST_F(FontInitTest, LoadedRecords) {
    WriteTable({{30, u"A", u"Arial", 20},
                {16, u"Body", u"System", 16},
                {12, u"Old", u"Arial", 99},
                {40, u"Big", u"Tahoma", 48}});
    int skip = 0;
    EXPECT_EQ(Font_InitLib(&skip, false, nullptr), 1);
    EXPECT_EQ(Ids(), (std::vector<int>{14, 16, 12, 40, 13, 11, 10}));
    EXPECT_EQ(N(findFontInList(14)->szName), Msg(u"STR_40015"));
    EXPECT_EQ(FaceOf(16), "SimSun");
    const tagHMIFONT* kept = findFontInList(12);
    EXPECT_EQ(kept->lf.lfHeight, 20);
    EXPECT_EQ(N(kept->szName), "{_Font20");
    EXPECT_EQ(g_nMaxFontID, 40);  // the next font made is 41
}

TEST_F(FontInitTest, DefaultSizeByScreen) {
    for (auto [w, h, want] : std::vector<std::tuple<int, int, LONG>>{{600, 1024, 26},
             {1080, 1920, 36}, {2560, 1440, 50}, {3840, 2160, 80}, {272, 480, 12},
             {1000, 1000, 0}, {800, 480, 26}}) {
        SetScreen(w, h);
        Font_InitLib(nullptr, true, nullptr);
        EXPECT_EQ(findFontInList(14)->lf.lfHeight, want) << w << "x" << h;
    }
}

TEST_F(FontInitTest, WithoutPanelSettingsNothingIsAdded) {
    WriteTable({{14, u"D", u"Arial", 20}});
    stanchion::SetAppObject(u"HmiSet", nullptr);
    EXPECT_EQ(Font_InitLib(nullptr, true, nullptr), 0);
    EXPECT_EQ(Ids(), (std::vector<int>{14}));
}

TEST_F(FontInitTest, MissingFacesRepairedThroughTheDialog) {
    WriteTable({{14, u"D", u"Arial", 20},
                {16, u"A", u"Helvetica", 20},
                {17, u"B", u"Helvetica", 30},
                {18, u"C", u"Frutiger", 30},
                {19, u"Wide", u"Arial", 30, 134}});  // Arial has no GB2312
    std::vector<std::string> rows;
    mfcauto::PushScript([&](ModalContext& ctx) {
        auto* list = static_cast<CListCtrl*>(ctx.Control(3025));
        for (int i = 0; i < list->GetItemCount(); ++i)
            rows.push_back(S(list->GetItemText(i, 0)) + "=" + S(list->GetItemText(i, 1)));
        ctx.SelectRows(3025, {2});  // Helvetica
        ctx.SelectItem(3028, U("Tahoma"));
        ctx.Click(IDOK);
    });
    int skip = 0;
    EXPECT_EQ(Font_InitLib(&skip, false, nullptr), 1);
    // Each missing face once, in key order, with SimSun's Chinese name proposed.
    EXPECT_EQ(rows, (std::vector<std::string>{"Arial=宋体", "Frutiger=宋体", "Helvetica=宋体"}));
    EXPECT_EQ(FaceOf(16), "Tahoma");
    EXPECT_EQ(FaceOf(17), "Tahoma");
    EXPECT_EQ(FaceOf(18), "宋体");
    EXPECT_EQ(FaceOf(19), "宋体");
    EXPECT_EQ(FaceOf(14), "Arial");  // installed in its charset
    EXPECT_EQ(skip, 0);

    // The file again: Cancel keeps the faces and says so; a null pointer
    // suppresses the repair, though the dialog is still shown.
    for (int* answer : {&skip, static_cast<int*>(nullptr)}) {
        mfcauto::PushScript([answer](ModalContext& ctx) { ctx.Click(answer ? IDCANCEL : IDOK); });
        Font_InitLib(answer, false, nullptr);
        EXPECT_EQ(FaceOf(16), "Helvetica");
    }
    EXPECT_EQ(skip, 1);
    EXPECT_EQ(mfcauto::PendingScripts(), 0u);
}

TEST_F(FontInitTest, NewFontAddsWhatTheDialogGives) {
    Font_InitLib(nullptr, true, nullptr);
    g_nMaxFontID = 20;
    mfcauto::PushScript([](ModalContext& ctx) {
        ctx.SelectItem(3011, U("Tahoma"));
        ctx.SelectItem(3015, U("24"));
        ctx.Click(IDOK);
    });
    int id = 0;
    EXPECT_EQ(NewFont(&id), 1);
    EXPECT_EQ(id, 21);
    const tagHMIFONT* rec = findFontInList(21);
    ASSERT_NE(rec, nullptr);
    EXPECT_EQ(N(rec->szName), "Tahoma_24");
    EXPECT_EQ(N(rec->lf.lfFaceName), "Tahoma");
    EXPECT_EQ(rec->lf.lfHeight, 24);

    const size_t before = Ids().size();
    id = -7;
    mfcauto::PushScript([](ModalContext& ctx) { ctx.PressEscape(); });
    EXPECT_EQ(NewFont(&id), 0);
    EXPECT_EQ(id, -7);
    EXPECT_EQ(Ids().size(), before);
}

// A damaged file: names that fill their fields, a count beyond the file and
// a last record cut in half.
TEST_F(FontInitTest, ADamagedTableLoadsTheWholeRecordsWithTheirNamesCut) {
    WriteTable({{14, u"D", u"Arial", 20},
                {20, std::u16string(32, u'N'), std::u16string(32, u'F'), 20},
                {21, u"X", u"Tahoma", 20}},
               0xFFFFFFFFu);
    auto bytes = testsupport::ReadBytes(m_dir / "Font.hft");
    bytes.resize(bytes.size() - sizeof(tagHMIFONT) / 2);
    testsupport::WriteBytes(m_dir / "Font.hft", bytes);
    EXPECT_EQ(Font_InitLib(nullptr, true, nullptr), 1);
    EXPECT_EQ(Ids(), (std::vector<int>{14, 20, 13, 12, 11, 10}));
    EXPECT_EQ(FaceOf(14), "Arial");
    EXPECT_EQ(N(Font_GetFontName(20)), std::string(31, 'N'));
    EXPECT_EQ(FaceOf(20), std::string(31, 'F'));
}

// Whatever replaces a face, the rest of lfFaceName is zeros: the QPF2 build
// compares logical fonts byte for byte, and Font.hft stores the whole field.
TEST_F(FontInitTest, FaceFieldsAreZeroFilledWhereverAFaceIsReplaced) {
    WriteTable({{14, u"Default", u"Arial", 20},
                {12, u"Built in", u"Bahnschrift SemiBold", 20},
                {16, u"Sys", u"System", 20},
                {17, u"Gone", u"Nowhere Face XYZ", 20}});
    int skip = 0;
    EXPECT_EQ(Font_InitLib(&skip, true, nullptr), 1);
    ASSERT_EQ(Font_SaveLib(), 1);
    const auto bytes = testsupport::ReadBytes(m_dir / "Font.hft");
    const size_t faceAt = 4 + 2 * 32 + 28;  // nID, szName, the LOGFONTW fields before the face
    std::map<int, std::u16string> faces;
    for (uint32_t k = 0; k < testsupport::U32At(bytes, 0); ++k) {
        const size_t rec = 4 + k * sizeof(tagHMIFONT);
        const std::u16string face = testsupport::Utf16At(bytes, rec + faceAt, LF_FACESIZE);
        faces[testsupport::I32At(bytes, rec)] = face;
        for (size_t unit = face.size(); unit < LF_FACESIZE; ++unit)
            EXPECT_EQ(bytes[rec + faceAt + 2 * unit] | bytes[rec + faceAt + 2 * unit + 1], 0)
                << "font " << testsupport::I32At(bytes, rec) << " unit " << unit;
    }
    EXPECT_EQ(faces.at(12), u"SimSun");
    EXPECT_EQ(faces.at(16), u"SimSun");
    EXPECT_EQ(faces.at(17), U("宋体"));
}
