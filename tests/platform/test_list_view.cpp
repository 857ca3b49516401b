// The report-view list control under the mouse, the keyboard and the
// program: LVN_ITEMCHANGED for every state change, in the list view's order.
#include <gtest/gtest.h>

#include "ControlHarness.h"
#include "mfc/afxres.h"

using harness::Change;
using harness::RecordingDialog;
using mfcauto::ModalContext;
using testsupport::N;
using testsupport::U;

namespace {
constexpr UINT kTemplate = 9103;
enum { kList = 100, kEdit = 101 };
constexpr UINT kSel = LVIS_SELECTED, kFocus = LVIS_FOCUSED;
constexpr UINT kUnchecked = 1u << 12, kChecked = 2u << 12;

class ListViewTest : public harness::ControlTest {
protected:
    ListViewTest()
        : ControlTest(kTemplate,
                      {
                          {kEdit, "EDIT", u"", WS_VISIBLE | WS_BORDER | WS_TABSTOP, 0, 5, 5, 80, 12},
                          {kList, "SysListView32", u"", WS_VISIBLE | LVS_REPORT | LVS_SHOWSELALWAYS | WS_BORDER | WS_TABSTOP, 0, 5,
                           20, 190, 110},
                          {IDOK, "BUTTON", u"OK", WS_VISIBLE | BS_DEFPUSHBUTTON | WS_TABSTOP, 0, 90, 140, 50, 14},
                          {IDCANCEL, "BUTTON", u"Cancel", WS_VISIBLE | BS_PUSHBUTTON | WS_TABSTOP, 0, 145, 140, 50, 14},
                      }) {}

    CListCtrl& List() { return *static_cast<CListCtrl*>(dlg.GetDlgItem(kList)); }
    // Rows named after faces, optionally with check boxes (the first row checked).
    void Fill(DWORD exStyle, int rows = 8) {
        dlg.init = [exStyle, rows](RecordingDialog& d) {
            auto& l = *static_cast<CListCtrl*>(d.GetDlgItem(kList));
            l.SetExtendedStyle(exStyle);
            l.InsertColumn(0, u"Face", LVCFMT_LEFT, 150);
            l.InsertColumn(1, u"Size", LVCFMT_LEFT, 80);
            static const char* const kFaces[] = {"Arial", "Bahnschrift", "Calibri", "Courier", "SimSun", "Tahoma", "Times", "Verdana"};
            for (int i = 0; i < rows; ++i) {
                l.InsertItem(i, U(kFaces[i % 8]).c_str());
                l.SetItemText(i, 1, u"1.00");
            }
            if (exStyle & LVS_EX_CHECKBOXES) l.SetCheck(0, TRUE);
        };
    }
};
}  // namespace

TEST_F(ListViewTest, AClickReportsTheOldRowsLossesBeforeTheNewRowsGain) {
    Fill(LVS_EX_FULLROWSELECT);
    Run([&](ModalContext& ctx) {
        ctx.SelectRows(kList, {1});
        EXPECT_EQ(dlg.changes, (std::vector<Change>{{1, 0, kSel | kFocus}}));
        dlg.Clear();
        ctx.SelectRows(kList, {4});
        // The old row first loses its selection, then its focus; then the new row gains both.
        EXPECT_EQ(dlg.changes, (std::vector<Change>{{1, kSel | kFocus, kFocus}, {1, kFocus, 0}, {4, 0, kSel | kFocus}}));
        // A control-click adds a row: the old one keeps its selection and only loses the focus.
        dlg.Clear();
        ctx.SelectRows(kList, {4, 6});
        EXPECT_EQ(dlg.changes, (std::vector<Change>{{4, kSel | kFocus, kSel}, {6, 0, kSel | kFocus}}));
        EXPECT_EQ(List().GetSelectedCount(), 2u);
        // A click on one of them deselects the other first.
        dlg.Clear();
        ctx.SelectRows(kList, {1});
        EXPECT_EQ(dlg.changes, (std::vector<Change>{{4, kSel, 0}, {6, kSel | kFocus, kFocus}, {6, kFocus, 0}, {1, 0, kSel | kFocus}}));
        // Selected rows are found in row order, whatever order they were clicked in.
        ctx.SelectRows(kList, {6, 2});
        EXPECT_EQ(List().GetNextItem(-1, LVNI_SELECTED), 2);
        EXPECT_EQ(List().GetNextItem(2, LVNI_SELECTED), 6);
        POSITION pos = List().GetFirstSelectedItemPosition();
        std::vector<int> rows;
        while (pos) rows.push_back(List().GetNextSelectedItem(pos));
        EXPECT_EQ(rows, (std::vector<int>{2, 6}));
        List().SetItemState(-1, 0, kSel);
        EXPECT_EQ(List().GetSelectedCount(), 0u);
        EXPECT_EQ(List().GetFirstSelectedItemPosition(), nullptr);
        EXPECT_EQ(List().GetColumnCount(), 2);
        EXPECT_EQ(N(List().GetItemText(2, 1).GetString()), "1.00");
        RECT r{};
        ASSERT_TRUE(List().GetItemRect(1, &r, LVIR_BOUNDS));
        LVHITTESTINFO hit{};
        hit.pt = POINT{r.left + 160, (r.top + r.bottom) / 2};
        EXPECT_EQ(List().HitTest(&hit), 1);
        EXPECT_EQ(hit.iSubItem, 1);
    });
}

TEST_F(ListViewTest, KeysMoveTheSelectionWithTheSameReports) {
    Fill(LVS_EX_FULLROWSELECT, 40);
    Run([&](ModalContext& ctx) {
        // Taking the focus focuses no row, so nothing is reported.
        ctx.PressKey(kEdit, VK_END);
        ctx.PressTab();
        EXPECT_EQ(ctx.FocusedControl(), kList);
        EXPECT_TRUE(dlg.changes.empty());
        ctx.PressKey(kList, VK_DOWN);  // no focused row yet: the first one
        EXPECT_EQ(dlg.changes, (std::vector<Change>{{0, 0, kSel | kFocus}}));
        dlg.Clear();
        ctx.PressKey(kList, VK_DOWN);
        EXPECT_EQ(dlg.changes, (std::vector<Change>{{0, kSel | kFocus, kFocus}, {0, kFocus, 0}, {1, 0, kSel | kFocus}}));
        dlg.Clear();
        ctx.PressKey(kList, VK_UP);
        ctx.PressKey(kList, VK_UP);  // at the top: nothing changes, nothing is reported
        ASSERT_EQ(dlg.changes.size(), 3u);
        EXPECT_EQ(dlg.changes.back(), (Change{0, 0, kSel | kFocus}));
        ctx.PressKey(kList, VK_END);
        EXPECT_EQ(List().GetNextItem(-1, LVNI_SELECTED), 39);
        ctx.PressKey(kList, VK_HOME);
        ctx.PressKey(kList, VK_NEXT);
        const int page = List().GetNextItem(-1, LVNI_SELECTED);
        EXPECT_GT(page, 1);
        EXPECT_LT(page, 39);
        ctx.PressKey(kList, VK_PRIOR);
        EXPECT_EQ(List().GetNextItem(-1, LVNI_FOCUSED), 0);
        // A typed letter goes to a row that begins with it.
        dlg.Clear();
        ctx.PressKey(kList, 'T');
        ASSERT_FALSE(dlg.changes.empty());
        EXPECT_EQ(N(List().GetItemText(dlg.changes.back().row, 0).GetString()), "Tahoma");
        EXPECT_EQ(dlg.changes.front(), (Change{0, kSel | kFocus, kFocus}));
        EXPECT_EQ(List().GetSelectedCount(), 1u);
    });
}

TEST_F(ListViewTest, CheckBoxRowsKeepTheOrderWhenTheHandlerChangesTheList) {
    Fill(LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT);
    // As the font pack dialog does: every report puts a check on the row it names.
    dlg.onChange = [](RecordingDialog& d, const Change& c) { static_cast<CListCtrl*>(d.GetDlgItem(kList))->SetCheck(c.row, TRUE); };
    Run([&](ModalContext& ctx) {
        dlg.Clear();
        ctx.SelectRows(kList, {1});
        ctx.SelectRows(kList, {2});
        ASSERT_GE(dlg.changes.size(), 4u);
        // Each click reports the new row last, the row whose text a sample should show.
        EXPECT_EQ(dlg.changes.back().row, 2);
        EXPECT_EQ(dlg.changes.back().newState & kSel, kSel);
        // The first click: row 1 gains its selection and focus, then the handler checks it.
        EXPECT_EQ(dlg.changes[0], (Change{1, kUnchecked, kUnchecked | kSel | kFocus}));
        EXPECT_EQ(dlg.changes[1], (Change{1, kUnchecked | kSel | kFocus, kChecked | kSel | kFocus}));
        EXPECT_TRUE(List().GetCheck(1));
        EXPECT_TRUE(List().GetCheck(2));
    });
}

TEST_F(ListViewTest, CheckBoxClicksAndTheProgramsChangesAreReported) {
    Fill(LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT);
    Run([&](ModalContext& ctx) {
        // Inserting rows reported nothing; checking the first one during initialisation did.
        EXPECT_EQ(dlg.changes, (std::vector<Change>{{0, kUnchecked, kChecked}}));
        dlg.Clear();
        ctx.ClickListCheckBox(kList, 3);
        EXPECT_EQ(dlg.changes, (std::vector<Change>{{3, kUnchecked, kChecked}}));
        dlg.Clear();
        ctx.ClickListCheckBox(kList, 0);
        EXPECT_EQ(dlg.changes, (std::vector<Change>{{0, kChecked, kUnchecked}}));
        EXPECT_FALSE(List().GetCheck(0));
        EXPECT_TRUE(List().GetCheck(3));
        // The list view reports the program's own changes too.
        dlg.Clear();
        List().SetItemState(2, kSel | kFocus, kSel | kFocus);
        List().SetCheck(5, TRUE);
        EXPECT_EQ(dlg.changes, (std::vector<Change>{{2, kUnchecked, kUnchecked | kSel | kFocus}, {5, kUnchecked, kChecked}}));
        dlg.Clear();
        List().SetItemState(-1, 0, kSel);
        EXPECT_EQ(dlg.changes, (std::vector<Change>{{2, kUnchecked | kSel | kFocus, kUnchecked | kFocus}}));
        // Rows inserted or deleted are no state change.
        dlg.Clear();
        List().InsertItem(1, u"New");
        List().DeleteItem(7);
        EXPECT_TRUE(dlg.changes.empty());
    });
}

