// The dialog layer driven as a user would drive it: templates, notifications,
// data exchange, combo and list view behaviour, message boxes.
#include <gtest/gtest.h>

#include <strings.h>

#include <QWidget>
#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "ControlHarness.h"
#include "mfc/afxcmn.h"
#include "mfc/afxres.h"
#include "mfc/afxwin.h"
#include "mfc/mfcauto.h"

using mfcauto::ModalContext;
using testsupport::N;
using testsupport::U;

namespace {
constexpr UINT kTemplate = 9001;
enum { kEdit = 100, kCombo = 101, kList = 102, kApply = 103, kSorted = 104, kPush, kAuto, kManual };

// The template with its name field exchanged and limited to 8 characters.
class LayerDialog : public CDialog {
public:
    LayerDialog() : CDialog(kTemplate) {}
    CString m_name;

protected:
    void DoDataExchange(CDataExchange* dx) override {
        DDX_Text(dx, kEdit, m_name);
        DDV_MaxChars(dx, m_name, 8);
    }
};

const std::vector<DialogControl> kControls = {
    {kEdit, "EDIT", u"", WS_VISIBLE | WS_BORDER | ES_AUTOHSCROLL | WS_TABSTOP, 0, 5, 5, 80, 12},
    {kPush, "BUTTON", u"Push", WS_VISIBLE | BS_PUSHBUTTON | WS_TABSTOP, 0, 90, 4, 40, 14},
    {kAuto, "BUTTON", u"Auto", WS_VISIBLE | BS_AUTOCHECKBOX | WS_TABSTOP, 0, 135, 5, 30, 10},
    {kManual, "BUTTON", u"Manual", WS_VISIBLE | BS_CHECKBOX, 0, 165, 5, 30, 10},
    {kCombo, "COMBOBOX", u"", WS_VISIBLE | CBS_SIMPLE | CBS_HASSTRINGS, 0, 5, 20, 80, 60},
    {kSorted, "COMBOBOX", u"", WS_VISIBLE | CBS_SIMPLE | CBS_SORT | CBS_HASSTRINGS, 0, 90, 20, 80,
     60},
    {kList, "SysListView32", u"", WS_VISIBLE | LVS_REPORT | LVS_SHOWSELALWAYS | WS_BORDER, 0, 5, 85,
     190, 50},
    {kApply, "BUTTON", u"Apply", WS_VISIBLE | BS_PUSHBUTTON, 0, 5, 140, 50, 14},
    {IDOK, "BUTTON", u"OK", WS_VISIBLE | BS_DEFPUSHBUTTON | WS_TABSTOP, 0, 90, 140, 50, 14},
    {IDCANCEL, "BUTTON", u"Cancel", WS_VISIBLE | BS_PUSHBUTTON | WS_TABSTOP, 0, 145, 140, 50, 14},
};

class DialogLayer : public harness::ControlTest {
protected:
    DialogLayer() : ControlTest(kTemplate, kControls) {}
};
}  // namespace

// The dialog's own size: DialogTest.PropertiesRenderInTheUserInterfaceLanguage.
TEST_F(DialogLayer, TemplateSizesFollowTheFontsBaseUnits) {
    const DialogBaseUnits u = GetTemplateBaseUnits(u"MS Shell Dlg", 9);
    ASSERT_GT(u.cx, 0);
    Run([&](ModalContext& ctx) {
        EXPECT_EQ(ctx.Control(kApply)->GetWidget()->size(),
                  QSize(MulDiv(50, u.cx, 4), MulDiv(14, u.cy, 8)));
        EXPECT_EQ(ctx.TemplateId(), kTemplate);
        EXPECT_EQ(N(ctx.Caption().GetString()), "Controls");
    });
}

TEST_F(DialogLayer, MaxCharsRefusesOkWithAMessageAndLimitsTheEdit) {
    LayerDialog dlg;
    dlg.m_name = u"abc";
    CString shown;
    mfcauto::PushScript([&](mfcauto::ModalContext& ctx) {
        EXPECT_EQ(N(ctx.Text(kEdit).GetString()), "abc");
        // The edit takes 8 characters; the ninth is refused as typed.
        ctx.Type(kEdit, u"123456789");
        EXPECT_EQ(N(ctx.Text(kEdit).GetString()), "12345678");
        // Text put in by the program is not limited; OK then refuses it.
        dlg.GetDlgItem(kEdit)->SetWindowText(u"too long a name");
        mfcauto::PushScript([&](mfcauto::ModalContext& box) {
            EXPECT_TRUE(box.IsMessageBox());
            shown = box.MessageText();
            box.Answer(IDOK);
        });
        ctx.Click(IDOK);
        EXPECT_FALSE(dlg.HasEnded());
        ctx.Click(IDCANCEL);
    });
    EXPECT_EQ(dlg.DoModal(), IDCANCEL);
    EXPECT_NE(N(shown.GetString()).find("8"), std::string::npos);
}

TEST_F(DialogLayer, MessageBoxesAreAnsweredOrReported) {
    mfcauto::PushScript([](mfcauto::ModalContext& box) {
        EXPECT_EQ(N(box.MessageText().GetString()), "Save?");
        EXPECT_EQ(box.MessageStyle() & MB_TYPEMASK, static_cast<UINT>(MB_YESNOCANCEL));
        box.Answer(IDNO);
    });
    EXPECT_EQ(AfxMessageBox(u"Save?", MB_YESNOCANCEL), IDNO);

    // Without a script the box is not left hanging: Cancel, and an error.
    EXPECT_EQ(AfxMessageBox(u"Unexpected", MB_OKCANCEL), IDCANCEL);
    ASSERT_EQ(mfcauto::Errors().size(), 1u);
    EXPECT_NE(mfcauto::Errors()[0].find("Unexpected"), std::string::npos);
    mfcauto::ClearErrors();
}

TEST_F(DialogLayer, ADialogLeftOpenByItsScriptIsCancelled) {
    LayerDialog dlg;
    mfcauto::PushScript([](mfcauto::ModalContext& ctx) { ctx.Type(kEdit, u"x"); });
    EXPECT_EQ(dlg.DoModal(), IDCANCEL);
    ASSERT_EQ(mfcauto::Errors().size(), 1u);
    EXPECT_NE(mfcauto::Errors()[0].find("left open"), std::string::npos);
    mfcauto::ClearErrors();
}

// ---------------------------------------------------------------- edits and buttons, by every input

TEST_F(DialogLayer, AnEditReportsEveryChangeTypedOrSet) {
    Run([&](ModalContext& ctx) {
        ctx.Type(kEdit, u"ab");
        EXPECT_EQ(dlg.Codes(kEdit), (harness::Codes{"UPDATE", "CHANGE", "UPDATE", "CHANGE"}));
        EXPECT_EQ(dlg.Notes(kEdit, "CHANGE").back().text, "ab");
        // Unlike a combo box's edit, a plain edit reports WM_SETTEXT too.
        dlg.Clear();
        dlg.SetDlgItemText(kEdit, u"set");
        EXPECT_EQ(dlg.Codes(kEdit), (harness::Codes{"UPDATE", "CHANGE"}));
        // Leaving it by Tab tells it so once.
        dlg.Clear();
        ctx.PressTab();
        EXPECT_EQ(dlg.Notes(kEdit, "KILLFOCUS").size(), 1u);
        EXPECT_EQ(ctx.FocusedControl(), kPush);
    });
}

TEST_F(DialogLayer, ButtonsAnswerClicksAndTheSpaceBar) {
    Run([&](ModalContext& ctx) {
        ctx.Click(kPush);
        ctx.PressKey(kPush, VK_SPACE);
        EXPECT_EQ(dlg.Codes(kPush), (harness::Codes{"CLICKED", "CLICKED"}));
        // An automatic check box turns itself; a plain one leaves it to the program.
        ctx.PressKey(kAuto, VK_SPACE);
        EXPECT_EQ(ctx.CheckState(kAuto), BST_CHECKED);
        ctx.Click(kManual);
        EXPECT_EQ(ctx.CheckState(kManual), BST_UNCHECKED);
        EXPECT_EQ(dlg.Codes(kAuto), harness::Codes{"CLICKED"});
        EXPECT_EQ(dlg.Codes(kManual), harness::Codes{"CLICKED"});
        // Without WS_TABSTOP the plain check box is passed over by Tab.
        ctx.PressKey(kAuto, VK_SPACE);
        ctx.PressTab();
        EXPECT_EQ(ctx.FocusedControl(), IDOK);
        // Enter on a focused push button presses that button, not the default one.
        dlg.Clear();
        ctx.PressKey(kPush, VK_RETURN);
        EXPECT_EQ(dlg.Codes(kPush), harness::Codes{"CLICKED"});
        EXPECT_FALSE(ctx.Dialog()->HasEnded());
    });
}

namespace {
// Windows' search of a list: the first row after `startAfter` (wrapping
// round) whose text equals, or begins with, `text` without regard to case.
int ReferenceFind(const std::vector<std::string>& rows, int startAfter, const std::string& text, bool exact) {
    const int n = static_cast<int>(rows.size());
    if (n == 0 || text.empty()) return CB_ERR;
    const int start = startAfter < 0 || startAfter >= n ? 0 : startAfter + 1;
    for (int k = 0; k < n; ++k) {
        const int row = (start + k) % n;
        const std::string& r = rows[static_cast<size_t>(row)];
        if (exact ? strcasecmp(r.c_str(), text.c_str()) == 0
                  : r.size() >= text.size() && strncasecmp(r.c_str(), text.c_str(), text.size()) == 0)
            return row;
    }
    return CB_ERR;
}

std::vector<std::string> Rows(CComboBox& c) {
    std::vector<std::string> rows;
    CString s;
    for (int i = 0; i < c.GetCount(); ++i) {
        c.GetLBText(i, s);
        rows.push_back(N(s.GetString()));
    }
    return rows;
}

// Every search of every prefix of every row, from every start, against the reference.
void ExpectSearchesAsWindows(CComboBox& c, const std::string& when) {
    const std::vector<std::string> rows = Rows(c);
    std::set<std::string> queries = {"", "q", "Zz", "arial blackest"};
    for (const std::string& r : rows)
        for (size_t len = 1; len <= r.size(); len += 2) {
            std::string q = r.substr(0, len);
            if (len % 4 == 1) std::transform(q.begin(), q.end(), q.begin(), ::toupper);
            queries.insert(q);
        }
    const int n = static_cast<int>(rows.size());
    for (const std::string& q : queries)
        for (int start : {-1, 0, n / 3, n / 2, n - 1, n}) {
            ASSERT_EQ(c.FindString(start, U(q).c_str()), ReferenceFind(rows, start, q, false)) << when << " '" << q << "' " << start;
            ASSERT_EQ(c.FindStringExact(start, U(q).c_str()), ReferenceFind(rows, start, q, true)) << when << " '" << q << "' " << start;
        }
}
}  // namespace

TEST_F(DialogLayer, SearchesOfALongSortedComboAgreeWithAWalkOfItsRows) {
    Run([&](ModalContext&) {
        CComboBox& c = *static_cast<CComboBox*>(dlg.GetDlgItem(kSorted));
        // Families with shared prefixes, in case variants, some twice.
        const char* stems[] = {"Arial", "arial black", "ARIAL Narrow", "Bahnschrift", "bahnschrift SemiBold", "Calibri",
                               "Cambria", "Cambria Math", "DejaVu Sans", "dejavu sans mono", "Tahoma", "Times"};
        for (int round = 0; round < 8; ++round)
            for (const char* stem : stems) c.AddString(U(round % 3 ? std::string(stem) + " " + std::to_string(round) : stem).c_str());
        // AddString put every row where the first greater one was.
        std::vector<std::string> rows = Rows(c);
        EXPECT_TRUE(std::is_sorted(rows.begin(), rows.end(), [](const std::string& a, const std::string& b) {
            return strcasecmp(a.c_str(), b.c_str()) < 0;
        }));
        ExpectSearchesAsWindows(c, "sorted");
        c.DeleteString(5);
        c.DeleteString(0);
        ExpectSearchesAsWindows(c, "after deletes");
        // InsertString does not sort, even in a sorted list: searches still walk as Windows does.
        c.InsertString(3, u"zzz out of order");
        c.InsertString(0, u"Tahoma first");
        ExpectSearchesAsWindows(c, "out of order");
        // AddString in a list out of order: before the first row that sorts after it.
        rows = Rows(c);
        const auto after = std::find_if(rows.begin(), rows.end(), [](const std::string& r) {
            return strcasecmp(r.c_str(), "Calibri Light") > 0;
        });
        EXPECT_EQ(c.AddString(u"Calibri Light"), static_cast<int>(after - rows.begin()));
        c.ResetContent();
        c.AddString(u"Only");
        ExpectSearchesAsWindows(c, "after a reset");
    });
}
