// The face combo, the font change dialog and the font properties dialog,
// driven as a user would drive them.
#include <QImage>
#include <algorithm>
#include <filesystem>
#include <set>

#include "DialogTest.h"
#include "dialogs/FontChangeDlg.h"
#include "dialogs/FontPropertiesDialog.h"
#include "mfc/afxres.h"
#include "win/profile.h"

namespace {
std::vector<std::string> Items(CComboBox& c) {
    std::vector<std::string> out;
    CString s;
    for (int i = 0; i < c.GetCount(); ++i) {
        c.GetLBText(i, s);
        out.push_back(S(s));
    }
    return out;
}

std::string Selected(CComboBox& c) {
    CString s;
    if (c.GetCurSel() != CB_ERR) c.GetLBText(c.GetCurSel(), s);
    return S(s);
}

bool Has(const std::vector<std::string>& v, const std::string& s) {
    return std::find(v.begin(), v.end(), s) != v.end();
}

class DialogTest : public ScriptedTest {
protected:
    TestProfile profile{testsupport::AllFixtureFonts()};
};

// ---------------------------------------------------------------- drawing

struct Drawn {
    int glyph0 = 0, glyph1 = 0;  // pixels of the two marks' own colours
    int firstInk = -1;           // leftmost column with anything but white
    int firstInkAfterGlyph = -1; // the same, right of the glyph area
};

Drawn Analyse(const CMemoryDC& dc) {
    Drawn d;
    for (int x = 0; x < dc.Width(); ++x)
        for (int y = 0; y < dc.Height(); ++y) {
            const COLORREF c = dc.Pixel(x, y);
            if (c == RGB(0, 0, 128) || c == RGB(128, 128, 128)) ++d.glyph0;
            if (c == RGB(128, 0, 0)) ++d.glyph1;
            if (c != RGB(255, 255, 255)) {
                if (d.firstInk < 0) d.firstInk = x;
                if (x >= 15 && d.firstInkAfterGlyph < 0) d.firstInkAfterGlyph = x;
            }
        }
    return d;
}

void Draw(CFontCombo& combo, CMemoryDC& dc, int row, UINT state) {
    DRAWITEMSTRUCT dis{};
    dis.CtlType = ODT_COMBOBOX;
    dis.itemID = static_cast<UINT>(row);
    dis.itemState = state;
    dis.rcItem = RECT{0, 0, 120, 16};
    dis.hDC = dc.GetSafeHdc();
    combo.DrawItem(&dis);
}

Drawn DrawRow(CFontCombo& combo, int row, DWORD data) {
    if (row >= 0) combo.SetItemData(row, data);
    CMemoryDC dc(120, 16);
    Draw(combo, dc, row, 0);
    return Analyse(dc);
}
}  // namespace

TEST_F(DialogTest, ComboDrawsTheGlyphOfItsItemDataAndIndentsTheText) {
    CFontChangeDlg dlg(nullptr, nullptr);
    mfcauto::PushScript([&](ModalContext& ctx) {
        CFontCombo& combo = dlg.m_cbFont;
        ASSERT_GT(combo.GetCount(), 0);

        const Drawn trueType = DrawRow(combo, 0, 4);
        EXPECT_GT(trueType.glyph0, 0);
        EXPECT_EQ(trueType.glyph1, 0);
        EXPECT_EQ(trueType.firstInk, 3);  // the mark's left column
        EXPECT_GE(trueType.firstInkAfterGlyph, 18);
        EXPECT_LE(trueType.firstInkAfterGlyph, 21);

        const Drawn round = DrawRow(combo, 0, 0x10004);
        EXPECT_GT(round.glyph1, 0);
        EXPECT_EQ(round.glyph0, 0);

        // Neither bit: no mark, but the text starts where it would after one.
        const Drawn none = DrawRow(combo, 0, 0);
        EXPECT_EQ(none.glyph0 + none.glyph1, 0);
        EXPECT_GE(none.firstInk, 18);
        EXPECT_LE(none.firstInk, 21);

        combo.m_dwFlags = 0;
        const Drawn plain = DrawRow(combo, 0, 4);
        EXPECT_EQ(plain.glyph0 + plain.glyph1, 0);
        EXPECT_GE(plain.firstInk, 3);
        EXPECT_LE(plain.firstInk, 6);
        combo.m_dwFlags = kFontComboShowGlyph;

        // The empty index draws the focus rectangle only, and nothing without focus.
        CMemoryDC focus(120, 16);
        Draw(combo, focus, -1, ODS_FOCUS);
        int border = 0, inside = 0;
        for (int x = 0; x < 120; ++x)
            for (int y = 0; y < 16; ++y) {
                const bool edge = x == 0 || y == 0 || x == 119 || y == 15;
                if (focus.Pixel(x, y) != RGB(255, 255, 255)) ++(edge ? border : inside);
            }
        EXPECT_GT(border, 0);
        EXPECT_EQ(inside, 0);
        EXPECT_EQ(DrawRow(combo, -1, 0).firstInk, -1);

        // A selected row is filled with the highlight colour.
        CMemoryDC sel(120, 16);
        Draw(combo, sel, 0, ODS_SELECTED);
        EXPECT_EQ(sel.Pixel(1, 1), GetSysColor(COLOR_HIGHLIGHT));

        MEASUREITEMSTRUCT mis{};
        mis.itemHeight = 99;
        combo.MeasureItem(&mis);
        EXPECT_EQ(mis.itemHeight, 14u);
        ctx.Click(IDCANCEL);
    });
    dlg.DoModal();
}

// ---------------------------------------------------------------- fill rules

namespace {
// What the face combos of both dialogs list and select as they open.
struct FaceLists {
    std::vector<std::string> change, props;
    std::string changeSel, propsSel;
    std::set<DWORD> changeData;
};

FaceLists OpenBoth() {
    FaceLists f;
    CFontChangeDlg change(nullptr, nullptr);
    mfcauto::PushScript([&](ModalContext& ctx) {
        f.change = Items(change.m_cbFont);
        f.changeSel = Selected(change.m_cbFont);
        for (int i = 0; i < change.m_cbFont.GetCount(); ++i)
            f.changeData.insert(static_cast<DWORD>(change.m_cbFont.GetItemData(i)));
        ctx.Click(IDCANCEL);
    });
    change.DoModal();
    CFontPropertiesDialog props;
    mfcauto::PushScript([&](ModalContext& ctx) {
        f.props = Items(props.m_cbFace);
        f.propsSel = Selected(props.m_cbFace);
        ctx.Click(IDCANCEL);
    });
    props.DoModal();
    return f;
}
}  // namespace

TEST_F(DialogTest, FillRulesOfBothDialogs) {
    const FaceLists f = OpenBoth();
    for (const auto* list : {&f.change, &f.props}) {
        EXPECT_TRUE(Has(*list, "Arial"));
        EXPECT_TRUE(Has(*list, "Bahnschrift"));
        EXPECT_TRUE(Has(*list, "SimSun"));
        EXPECT_FALSE(Has(*list, "MS Sans Serif"));  // raster
        EXPECT_FALSE(Has(*list, "System"));
        for (const std::string& s : *list) EXPECT_EQ(s.find('@'), std::string::npos) << s;
        // Sorted by the control, each face once.
        EXPECT_TRUE(std::is_sorted(list->begin(), list->end(), [](auto& a, auto& b) {
            return QString::compare(QString::fromStdString(a), QString::fromStdString(b),
                                    Qt::CaseInsensitive) < 0;
        }));
        EXPECT_EQ(std::set<std::string>(list->begin(), list->end()).size(), list->size());
    }
    EXPECT_TRUE(Has(f.change, "Bahnschrift SemiBold"));
    EXPECT_FALSE(Has(f.props, "Bahnschrift SemiBold"));
    EXPECT_EQ(f.changeData, std::set<DWORD>{TRUETYPE_FONTTYPE});
    EXPECT_EQ(f.changeSel, "Arial");  // STR_40005 of the English language file
    EXPECT_EQ(f.propsSel, "Arial");
}

TEST_F(DialogTest, AFaceThatPrefixesAListedFaceIsLeftOut) {
    // Arial Black enumerates first when its file sorts first.
    TestProfile ordered({"arial.ttf", "tahoma.ttf"});
    std::filesystem::create_symlink(testsupport::FixtureFontsDir() / "Fonts" / "arialblk.ttf",
                                    ordered.fonts() / "a0_arialblk.ttf");
    std::string error;
    ASSERT_TRUE(winprofile::Load(ordered.path().string(), &error)) << error;
    const FaceLists f = OpenBoth();
    EXPECT_EQ(f.change, (std::vector<std::string>{"Arial Black", "Tahoma"}));
    EXPECT_EQ(f.props, f.change);
    // The preferred Arial is not listed; the first face it begins is selected.
    EXPECT_EQ(f.changeSel, "Arial Black");
}

// ---------------------------------------------------------------- font change dialog

TEST_F(DialogTest, FontChangeRowsFacesAndSample) {
    CMissingFaceMap map{
        {u"Old Face B", u"宋体"}, {u"Old Face A", u"Tahoma"}, {u"Old Face C", u"Arial"}};
    CFontChangeDlg dlg(nullptr, &map);
    mfcauto::PushScript([&](ModalContext& ctx) {
        CListCtrl& l = dlg.m_ListCtrl;
        ASSERT_EQ(l.GetItemCount(), 3);  // in key order: rows 0 to 2 are A, B and C below
        RECT client{};
        l.GetClientRect(&client);
        EXPECT_EQ(l.GetColumnWidth(0), (client.right - client.left) / 2);

        ctx.SelectRows(3025, {0});
        EXPECT_EQ(Selected(dlg.m_cbFont), "Tahoma");
        EXPECT_EQ(Face(dlg.m_SampleFont), "Tahoma");
        EXPECT_EQ(Logfont(dlg.m_SampleFont).lfHeight, 42);

        // A replacement that is not listed clears the combo; the sample still asks for it.
        ctx.SelectRows(3025, {1});
        EXPECT_EQ(dlg.m_cbFont.GetCurSel(), CB_ERR);
        EXPECT_EQ(Face(dlg.m_SampleFont), "宋体");

        // With two rows selected only the first one takes the face.
        ctx.SelectRows(3025, {2, 1});
        ctx.SelectItem(3028, U("Calibri"));
        EXPECT_EQ(S(l.GetItemText(1, 1)), "Calibri");
        EXPECT_EQ(S(l.GetItemText(2, 1)), "Arial");

        // No row selected: the sample follows, no row changes.
        l.SetItemState(-1, 0, LVIS_SELECTED);
        ctx.SelectItem(3028, U("Bahnschrift"));
        EXPECT_EQ(S(l.GetItemText(0, 1)), "Tahoma");
        EXPECT_EQ(Face(dlg.m_SampleFont), "Bahnschrift");
        ctx.Click(IDOK);
    });
    EXPECT_EQ(dlg.DoModal(), IDOK);
    EXPECT_EQ(map[u"Old Face A"], CString(u"Tahoma"));
    EXPECT_EQ(map[u"Old Face B"], CString(u"Calibri"));
    EXPECT_EQ(map[u"Old Face C"], CString(u"Arial"));
    EXPECT_EQ(map.size(), 3u);
}

// The map is the caller's: a dialog ended by Cancel or Escape leaves it as proposed.
TEST_F(DialogTest, FontChangeCancelLeavesTheMap) {
    const CMissingFaceMap proposed{{u"Gone", u"宋体"}, {u"Lost", u"宋体"}};
    for (int how = 0; how < 2; ++how) {
        CMissingFaceMap map = proposed;
        CFontChangeDlg dlg(nullptr, &map);
        mfcauto::PushScript([&](ModalContext& ctx) {
            ctx.SelectRows(3025, {0});
            ctx.SelectItem(3028, U("Tahoma"));
            EXPECT_EQ(S(dlg.m_ListCtrl.GetItemText(0, 1)), "Tahoma");
            if (how == 0) ctx.Click(IDCANCEL);
            else ctx.PressEscape();
        });
        EXPECT_EQ(dlg.DoModal(), IDCANCEL);
        EXPECT_EQ(map, proposed);
    }
}

// ---------------------------------------------------------------- font properties dialog

namespace {
// Runs the properties dialog for a new font; `script` acts on it.
INT_PTR RunNew(CFontPropertiesDialog& dlg, std::function<void(ModalContext&)> script) {
    dlg.m_strName = u"Font_1";
    dlg.m_bAutoName = 1;
    dlg.m_nEditIndex = -1;
    mfcauto::PushScript(std::move(script));
    return dlg.DoModal();
}

// Clicks OK and returns the text of the message shown, or "" when the dialog closed.
std::string OkMessage(ModalContext& ctx) {
    std::string shown;
    mfcauto::PushScript([&](ModalContext& box) {
        shown = S(box.MessageText());
        box.Answer(IDOK);
    });
    ctx.Click(IDOK);
    if (shown.empty()) mfcauto::ClearScripts();
    return shown;
}
}  // namespace

TEST_F(DialogTest, PropertiesAutomaticNameFollowsFaceAndSizeUntilTheNameIsLeft) {
    CFontPropertiesDialog dlg;
    RunNew(dlg, [&](ModalContext& ctx) {
        // The caller's name gives way to the preferred face and the size at once.
        const std::string opened = Text(ctx, 3020);
        EXPECT_EQ(opened.rfind("Arial_", 0), 0u) << opened;
        EXPECT_FALSE(ctx.IsVisible(3016));
        EXPECT_FALSE(ctx.IsEnabled(3017));

        ctx.SelectItem(3011, U("Tahoma"));
        ctx.SelectItem(3015, U("24"));
        EXPECT_EQ(Text(ctx, 3020), "Tahoma_24");
        ctx.SelectItem(3011, U("Calibri"));
        EXPECT_EQ(Text(ctx, 3020), "Calibri_24");  // the size is kept

        // Once the user has been in the name field, the name stays.
        ctx.Type(3020, u"Mine");
        ctx.SelectItem(3011, U("Arial"));
        ctx.SelectItem(3015, U("36"));
        EXPECT_EQ(Text(ctx, 3020), "Mine");
        ctx.Click(IDOK);
    });
    EXPECT_EQ(S(dlg.m_strName), "Mine");
    const LOGFONTW* lf = dlg.GetLogFont();
    EXPECT_EQ(N(lf->lfFaceName), "Arial");
    EXPECT_EQ(lf->lfHeight, 36);  // the size number is the height
    EXPECT_EQ(lf->lfWeight, FW_NORMAL);
}

// What OK says to a typed name (3020) or size (3015); without a refusal the
// dialog closes with the trimmed name or the size as the height.
TEST_F(DialogTest, PropertiesNameAndSizeChecks) {
    Add(14, u"Default Font");
    Add(16, u"Taken");
    Add(13, u"{_Font36");
    const struct {
        int field;
        const char16_t* typed;
        const char16_t* refusal;
        const char* result;
    } cases[] = {
        {3020, u"   ", u"STR_40010", ""},
        {3020, u"12345678901234567", u"STR_40011", ""},
        {3020, u"Taken", u"STR_40013", ""},
        {3020, u"{_Font36", u"STR_40013", ""},  // built-in names are taken too
        {3020, u"taken", nullptr, "taken"},     // names compare case-sensitively
        {3020, u"  1234567890123456 ", nullptr, "1234567890123456"},
        {3015, u"4", u"STR_40014", ""},
        {3015, u"513", u"STR_40014", ""},
        {3015, u"13 pt", u"STR_40014", ""},  // a number in range, then more
        {3015, u"", u"STR_40014", ""},
        {3015, u"5", nullptr, "5"},
        {3015, u"512", nullptr, "512"},
        {3015, u"13", nullptr, "13"},
    };
    for (const auto& c : cases) {
        CFontPropertiesDialog dlg;
        const INT_PTR end = RunNew(dlg, [&](ModalContext& ctx) {
            ctx.Type(c.field, c.typed);
            EXPECT_EQ(OkMessage(ctx), c.refusal ? Msg(c.refusal) : "") << N(c.typed);
            if (c.refusal) ctx.Click(IDCANCEL);
        });
        if (c.refusal) continue;
        EXPECT_EQ(end, IDOK) << N(c.typed);
        const std::string got = c.field == 3020 ? S(dlg.m_strName)
                                                : std::to_string(dlg.GetLogFont()->lfHeight);
        EXPECT_EQ(got, c.result) << N(c.typed);
    }
}

TEST_F(DialogTest, PropertiesEditKeepsItsOwnNameAndRefusesAnothers) {
    Add(14, u"Default Font");
    Add(16, u"{_Font12");  // not listed: the listed positions skip it
    Add(17, u"Body", u"Tahoma", 24, FW_BOLD);
    Add(18, u"Title", u"Arial", 36);
    CFontPropertiesDialog dlg;
    dlg.SetLogFont(&findFontInList(17)->lf);
    dlg.m_strName = u"Body";
    dlg.m_nEditIndex = 1;  // Default Font is row 0, Body row 1
    dlg.m_bAutoName = 0;
    mfcauto::PushScript([&](ModalContext& ctx) {
        EXPECT_EQ(Selected(dlg.m_cbFace), "Tahoma");
        EXPECT_EQ(Text(ctx, 3015), "24");  // the record's height
        EXPECT_EQ(Selected(dlg.m_cbStyle), Msg(u"STR_40007"));
        EXPECT_EQ(Text(ctx, 3020), "Body");
        ctx.Type(3020, u"Title");
        EXPECT_EQ(OkMessage(ctx), Msg(u"STR_40013"));
        ctx.Type(3020, u"Body");
        EXPECT_EQ(OkMessage(ctx), "");
    });
    EXPECT_EQ(dlg.DoModal(), IDOK);
    EXPECT_EQ(dlg.GetLogFont()->lfHeight, 24);
    EXPECT_EQ(dlg.GetLogFont()->lfWeight, FW_BOLD);
}

TEST_F(DialogTest, PropertiesTypedTextSelectsOnlyWholeNames) {
    CFontPropertiesDialog dlg;
    RunNew(dlg, [&](ModalContext& ctx) {
        // Arial has bold and italic faces, and simulated bold italic.
        ctx.Type(3011, u"arial");
        EXPECT_EQ(Selected(dlg.m_cbFace), "Arial");
        const std::string bold = Msg(u"STR_40007");
        const std::vector<std::string> styles{Msg(u"STR_40006"), bold, Msg(u"STR_40008"),
                                              Msg(u"STR_40009")};
        EXPECT_EQ(Items(dlg.m_cbStyle), styles);
        ctx.SelectItem(3013, 3);
        ctx.SelectItem(3015, U("48"));
        // A partial face selects nothing: the sample asks for what was typed, OK refuses it.
        ctx.Type(3011, u"Taho");
        EXPECT_EQ(dlg.m_cbFace.GetCurSel(), CB_ERR);
        EXPECT_EQ(Face(dlg.m_Font), "Taho");
        EXPECT_EQ(OkMessage(ctx), Msg(u"STR_40012"));
        // Typing the whole name refills sizes and styles; size and style carry over.
        ctx.Type(3011, u"TAHOMA");
        EXPECT_EQ(Selected(dlg.m_cbFace), "Tahoma");
        EXPECT_EQ(Text(ctx, 3015), "48");
        EXPECT_EQ(Selected(dlg.m_cbStyle), Msg(u"STR_40009"));
        EXPECT_EQ(Text(ctx, 3020), "Tahoma_48");
        // Typing an exact size selects it.
        ctx.Type(3015, u"72");
        EXPECT_EQ(Selected(dlg.m_cbSize), "72");
        const LOGFONTW lf = Logfont(dlg.m_Font);
        EXPECT_EQ(lf.lfHeight, 72);
        EXPECT_EQ(lf.lfWeight, FW_BOLD);
        EXPECT_EQ(lf.lfItalic, 1);
        // "Bo" is not "Bold": no style is chosen, and the sample takes no weight.
        ctx.Type(3013, U(bold.substr(0, 2)).c_str());
        EXPECT_EQ(dlg.m_cbStyle.GetCurSel(), CB_ERR);
        EXPECT_EQ(Logfont(dlg.m_Font).lfWeight, 0);
        ctx.Type(3013, U(bold).c_str());
        EXPECT_EQ(Selected(dlg.m_cbStyle), bold);
        EXPECT_EQ(Logfont(dlg.m_Font).lfWeight, FW_BOLD);
        // The sample text follows its edit, falling back to the default.
        ctx.Type(3045, u"Hello");
        EXPECT_EQ(Text(ctx, 3021), "Hello");
        ctx.Type(3045, u"");
        EXPECT_EQ(Text(ctx, 3021), "ABC123");
        ctx.PressEscape();
    });
}

TEST_F(DialogTest, PropertiesRenderInTheUserInterfaceLanguage) {
    for (const std::string lang : {"en_US", "zh_CN"}) {
        ASSERT_TRUE(velmora::SetUILanguage(lang));
        CFontPropertiesDialog props;
        QImage image;
        std::string caption, sample;
        RunNew(props, [&](ModalContext& ctx) {
            image = ctx.Capture();
            caption = S(ctx.Caption());
            sample = Text(ctx, 3021);
            ctx.Type(3045, u"");
            EXPECT_EQ(Text(ctx, 3021), sample);
            ctx.Click(IDCANCEL);
        });
        if (lang == "zh_CN") {
            EXPECT_EQ(sample, "文本ABC123");
            EXPECT_NE(caption, "Font Properties");  // the Chinese caption
            continue;
        }
        EXPECT_EQ(caption, "Font Properties");
        const DialogBaseUnits u = GetTemplateBaseUnits(u"MS Shell Dlg", 9);
        EXPECT_EQ(image.width(), MulDiv(239, u.cx, 4));
        EXPECT_EQ(image.height(), MulDiv(237, u.cy, 8));
        // Something beyond the background was painted.
        std::set<QRgb> colours;
        for (int y = 0; y < image.height(); y += 3)
            for (int x = 0; x < image.width(); x += 3) colours.insert(image.pixel(x, y));
        EXPECT_GT(colours.size(), 5u);
    }
    velmora::SetUILanguage("en_US");
}

// ---------------------------------------------------------------- properties under the keyboard

TEST_F(DialogTest, PropertiesTabAndUpAndDownInTheFields) {
    CFontPropertiesDialog dlg;
    RunNew(dlg, [&](ModalContext& ctx) {
        EXPECT_EQ(ctx.FocusedControl(), 3011);  // the face field comes first
        // Up and Down choose as a click would.
        ctx.SelectItem(3015, U("24"));
        ASSERT_EQ(Text(ctx, 3020), "Arial_24");
        ctx.PressKey(3015, VK_DOWN);
        EXPECT_EQ(Text(ctx, 3015), "26");
        EXPECT_EQ(Text(ctx, 3020), "Arial_26");
        EXPECT_EQ(Logfont(dlg.m_Font).lfHeight, 26);
        ctx.PressKey(3015, VK_UP);
        ctx.PressKey(3015, VK_UP);
        EXPECT_EQ(Text(ctx, 3020), "Arial_22");
        // In the face field Down moves to the next face, which refills sizes and styles.
        const int arial = dlg.m_cbFace.GetCurSel();
        CString next;
        dlg.m_cbFace.GetLBText(arial + 1, next);
        ctx.PressKey(3011, VK_DOWN);
        EXPECT_EQ(dlg.m_cbFace.GetCurSel(), arial + 1);
        EXPECT_EQ(ctx.Text(3011), next);
        EXPECT_EQ(Text(ctx, 3020), S(next) + "_22");  // the size is kept
        EXPECT_EQ(dlg.m_cbSize.GetCount(), 23);
        // A typed beginning, then Down, takes the first face it begins.
        ctx.Type(3011, u"tah");
        ctx.PressKey(3011, VK_DOWN);
        EXPECT_EQ(Selected(dlg.m_cbFace), "Tahoma");
        EXPECT_EQ(Text(ctx, 3011), "Tahoma");
        // Tab from the face field (leaving the name field ends automatic naming).
        std::vector<int> visited;
        for (int i = 0; i < 7; ++i) {
            ctx.PressTab();
            visited.push_back(ctx.FocusedControl());
        }
        // Size, style, name, sample text, OK, Cancel; the hidden check boxes are skipped.
        EXPECT_EQ(visited, (std::vector<int>{3015, 3013, 3020, 3045, IDOK, IDCANCEL, 3011}));
        ctx.Click(IDCANCEL);
    });
}
