// The list box under the mouse, the keyboard and the program: which
// notifications it sends, when, and with what selected at that moment.
#include <gtest/gtest.h>

#include <QApplication>
#include <QListWidget>
#include <QMouseEvent>

#include "ControlHarness.h"
#include "mfc/afxres.h"

using harness::Codes;
using harness::RecordingDialog;
using mfcauto::ModalContext;
using testsupport::U;

namespace {
constexpr UINT kTemplate = 9101;
enum { kList = 100, kQuiet = 101, kEdit = 102 };

class ListBoxTest : public harness::ControlTest {
protected:
    ListBoxTest()
        : ControlTest(kTemplate,
                      {
                          {kList, "LISTBOX", u"", WS_VISIBLE | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT | WS_BORDER | WS_VSCROLL | WS_TABSTOP,
                           0, 5, 5, 90, 60},
                          {kQuiet, "LISTBOX", u"", WS_VISIBLE | LBS_NOINTEGRALHEIGHT | WS_BORDER | WS_TABSTOP, 0, 100, 5, 90, 60},
                          {kEdit, "EDIT", u"", WS_VISIBLE | WS_BORDER | WS_TABSTOP, 0, 5, 70, 90, 12},
                          {IDOK, "BUTTON", u"OK", WS_VISIBLE | BS_DEFPUSHBUTTON | WS_TABSTOP, 0, 90, 140, 50, 14},
                          {IDCANCEL, "BUTTON", u"Cancel", WS_VISIBLE | BS_PUSHBUTTON | WS_TABSTOP, 0, 145, 140, 50, 14},
                      }) {
        dlg.init = [](RecordingDialog& d) {
            for (int id : {kList, kQuiet}) {
                auto* l = static_cast<CListBox*>(d.GetDlgItem(id));
                for (const char16_t* s : {u"Arial", u"Body", u"Bold", u"Caption", u"Default", u"Title"}) l->AddString(s);
            }
        };
    }

    CListBox& List(int id = kList) { return *static_cast<CListBox*>(dlg.GetDlgItem(id)); }
    // Selections the list box had when each LBN_SELCHANGE arrived.
    std::vector<int> SelChanges(int id = kList) const {
        std::vector<int> out;
        for (const harness::Note& n : dlg.Notes(id, "SELCHANGE")) out.push_back(n.sel);
        return out;
    }
};

// Sends one mouse event to the list's rows area.
void MouseAt(QListWidget* l, QEvent::Type type, const QPoint& at, Qt::MouseButtons held) {
    QMouseEvent ev(type, QPointF(at), QPointF(l->viewport()->mapToGlobal(at)), Qt::LeftButton, held, Qt::NoModifier);
    QApplication::sendEvent(l->viewport(), &ev);
}

QPoint RowCentre(QListWidget* l, int row) {
    return l->visualItemRect(l->item(row)).center();
}
}  // namespace

TEST_F(ListBoxTest, AClickNotifiesOnceWithTheRowAlreadySelected) {
    Run([&](ModalContext& ctx) {
        EXPECT_EQ(List().GetCurSel(), LB_ERR);
        ctx.SelectItem(kList, 2);
        EXPECT_EQ(dlg.Codes(kList), Codes{"SELCHANGE"});
        EXPECT_EQ(SelChanges(), std::vector<int>{2});
        // Clicking the selected row again is reported again, as the button-up always is.
        ctx.SelectItem(kList, 2);
        EXPECT_EQ(SelChanges(), (std::vector<int>{2, 2}));
        dlg.Clear();
        // A double-click: the first click selects and reports, the second reports the double-click.
        ctx.DoubleClickItem(kList, 4);
        EXPECT_EQ(dlg.Codes(kList), (Codes{"SELCHANGE", "DBLCLK"}));
        EXPECT_EQ(dlg.notes.back().sel, 4);
        EXPECT_EQ(ctx.FocusedControl(), kList);
    });
}

TEST_F(ListBoxTest, TheSelectionFollowsADragAndIsReportedOnRelease) {
    Run([&](ModalContext& ctx) {
        auto* l = dynamic_cast<QListWidget*>(ctx.Control(kList)->GetWidget());
        ASSERT_NE(l, nullptr);
        MouseAt(l, QEvent::MouseButtonPress, RowCentre(l, 0), Qt::LeftButton);
        EXPECT_EQ(List().GetCurSel(), 0);
        MouseAt(l, QEvent::MouseMove, RowCentre(l, 3), Qt::LeftButton);
        EXPECT_EQ(List().GetCurSel(), 3);
        EXPECT_TRUE(dlg.Codes(kList).empty());  // nothing until the button comes up
        MouseAt(l, QEvent::MouseButtonRelease, RowCentre(l, 3), Qt::NoButton);
        EXPECT_EQ(SelChanges(), std::vector<int>{3});

        // A press below the last row selects nothing and reports nothing.
        dlg.Clear();
        const QPoint below(5, l->viewport()->height() - 2);
        MouseAt(l, QEvent::MouseButtonPress, below, Qt::LeftButton);
        MouseAt(l, QEvent::MouseButtonRelease, below, Qt::NoButton);
        EXPECT_TRUE(dlg.Codes(kList).empty());
        EXPECT_EQ(List().GetCurSel(), 3);
    });
}

TEST_F(ListBoxTest, KeysMoveTheSelectionAndNotify) {
    // Rows: Arial, Body, Bold, Caption, Default, Title.
    const struct {
        int from;
        std::vector<UINT> keys;
        std::vector<int> reported;
    } cases[] = {
        {1, {VK_DOWN, VK_DOWN, VK_UP, VK_END, VK_HOME, VK_RIGHT, VK_LEFT}, {2, 3, 2, 5, 0, 1, 0}},
        {0, {VK_UP}, {0}},                      // at the top, Up stays and still reports
        {0, {'B', 'B', 'B', 'T'}, {1, 2, 1, 5}},  // a letter wraps round to its first row
        {5, {'Z'}, {}},                         // no row begins with it
    };
    Run([&](ModalContext& ctx) {
        for (const auto& c : cases) {
            ctx.SelectItem(kList, c.from);
            dlg.Clear();
            for (UINT key : c.keys) ctx.PressKey(kList, key);
            EXPECT_EQ(SelChanges(), c.reported) << "from " << c.from;
            EXPECT_EQ(List().GetCurSel(), c.reported.empty() ? c.from : c.reported.back());
        }
        // A page moves to the last row in view (the rows that fit, less one) and stops at the ends.
        ctx.SelectItem(kList, 0);
        for (int i = 0; i < 20; ++i) List().AddString(U("Zone " + std::to_string(10 + i)).c_str());
        auto* l = dynamic_cast<QListWidget*>(ctx.Control(kList)->GetWidget());
        const int fit = l->viewport()->height() / l->visualItemRect(l->item(0)).height();
        ASSERT_GT(fit, 2);
        ASSERT_LT(fit, 20);
        dlg.Clear();
        ctx.PressKey(kList, VK_NEXT);
        ctx.PressKey(kList, VK_NEXT);
        EXPECT_EQ(SelChanges(), (std::vector<int>{fit - 1, 2 * (fit - 1)}));
        ctx.PressKey(kList, VK_END);
        ctx.PressKey(kList, VK_PRIOR);
        EXPECT_EQ(List().GetCurSel(), 25 - (fit - 1));
        ctx.PressKey(kList, VK_NEXT);
        ctx.PressKey(kList, VK_NEXT);
        EXPECT_EQ(List().GetCurSel(), 25);
        EXPECT_EQ(dlg.Codes(kList).size(), 6u);
        EXPECT_EQ(List().GetCaretIndex(), List().GetCurSel());
    });
}

TEST_F(ListBoxTest, DeletingTheSelectedRowKeepsTheCaretInPlace) {
    Run([&](ModalContext& ctx) {
        ctx.SelectItem(kList, 2);
        EXPECT_EQ(List().DeleteString(2), 5);
        EXPECT_EQ(List().GetCurSel(), LB_ERR);
        EXPECT_EQ(List().GetCaretIndex(), 2);
        // An insertion above neither moves the caret nor reselects.
        List().InsertString(0, u"Aardvark");
        EXPECT_EQ(List().GetCurSel(), LB_ERR);
        EXPECT_EQ(List().GetCaretIndex(), 2);
        // Deleting a row above the selection carries the selection with its row.
        ctx.SelectItem(kList, 4);
        List().DeleteString(1);
        EXPECT_EQ(List().GetCurSel(), 3);
        // Deleting the last rows pulls the caret back within the list.
        List().SetCaretIndex(4);
        List().DeleteString(4);
        EXPECT_EQ(List().GetCaretIndex(), 3);
        List().ResetContent();
        EXPECT_EQ(List().GetCaretIndex(), 0);
        ctx.PressKey(kList, VK_DOWN);  // an empty list reports nothing
        EXPECT_EQ(dlg.Notes(kList, "SELCHANGE").size(), 2u);
    });
}

TEST_F(ListBoxTest, TheProgramsOwnChangesSendNothing) {
    Run([&](ModalContext& ctx) {
        dlg.Clear();
        EXPECT_EQ(List().SetCurSel(4), 4);
        EXPECT_EQ(List().SelectString(-1, u"cap"), 3);
        EXPECT_EQ(List().SetCurSel(99), LB_ERR);  // no such row: nothing changes
        EXPECT_EQ(List().GetCurSel(), 3);
        EXPECT_EQ(List().SetCurSel(-1), LB_ERR);  // as Windows answers for -1
        EXPECT_EQ(List().GetCurSel(), LB_ERR);
        EXPECT_EQ(List().GetCaretIndex(), 3);
        List().SetCurSel(3);
        List().AddString(u"Zeta");
        List().DeleteString(0);
        List().SendMessage(LB_SETCURSEL, 1);
        EXPECT_EQ(List().SendMessage(LB_GETCURSEL), 1);
        EXPECT_TRUE(dlg.Codes(kList).empty());
        (void)ctx;
    });
}

TEST_F(ListBoxTest, WithoutNotifyStyleTheListStaysSilent) {
    Run([&](ModalContext& ctx) {
        ctx.SelectItem(kQuiet, 1);
        ctx.DoubleClickItem(kQuiet, 2);
        ctx.PressKey(kQuiet, VK_DOWN);
        ctx.PressKey(kQuiet, 'T');
        EXPECT_EQ(List(kQuiet).GetCurSel(), 5);  // the list still moves
        EXPECT_TRUE(dlg.Codes(kQuiet).empty());
    });
}
