// The simple combo box under the mouse, the keyboard, typed text and the
// program: its notifications, their order, and what its edit and list show.
#include <gtest/gtest.h>

#include <QApplication>
#include <QListWidget>

#include "ControlHarness.h"
#include "mfc/afxres.h"

using harness::Codes;
using harness::RecordingDialog;
using mfcauto::ModalContext;
using testsupport::N;

namespace {
constexpr UINT kTemplate = 9102;
enum { kEdit = 100, kFaces = 101, kSizes = 102, kApply = 103 };

class ComboBoxTest : public harness::ControlTest {
protected:
    ComboBoxTest()
        : ControlTest(kTemplate,
                      {
                          {kEdit, "EDIT", u"", WS_VISIBLE | WS_BORDER | WS_TABSTOP, 0, 5, 5, 80, 12},
                          {kFaces, "COMBOBOX", u"", WS_VISIBLE | CBS_SIMPLE | CBS_SORT | CBS_HASSTRINGS | WS_VSCROLL | WS_TABSTOP, 0, 5,
                           20, 80, 60},
                          {kSizes, "COMBOBOX", u"", WS_VISIBLE | CBS_SIMPLE | WS_VSCROLL | WS_TABSTOP, 0, 90, 20, 40, 60},
                          {kApply, "BUTTON", u"Apply", WS_VISIBLE | BS_PUSHBUTTON | WS_TABSTOP, 0, 5, 140, 50, 14},
                          {IDOK, "BUTTON", u"OK", WS_VISIBLE | BS_PUSHBUTTON | WS_TABSTOP, 0, 90, 140, 50, 14},
                          {IDCANCEL, "BUTTON", u"Cancel", WS_VISIBLE | BS_PUSHBUTTON | WS_TABSTOP, 0, 145, 140, 50, 14},
                      }) {
        dlg.init = [](RecordingDialog& d) {
            auto* faces = static_cast<CComboBox*>(d.GetDlgItem(kFaces));
            for (const char16_t* s : {u"Tahoma", u"Arial Black", u"Arial", u"Times", u"Bold Face"}) faces->AddString(s);
            auto* sizes = static_cast<CComboBox*>(d.GetDlgItem(kSizes));
            for (const char16_t* s : {u"8", u"9", u"10", u"12", u"14"}) sizes->AddString(s);
        };
    }

    CComboBox& Combo(int id = kFaces) { return *static_cast<CComboBox*>(dlg.GetDlgItem(id)); }
};
}  // namespace

// Sorted: Arial, Arial Black, Bold Face, Tahoma, Times.

TEST_F(ComboBoxTest, AClickEndsTheChoiceThenReportsItAndThenFillsTheEdit) {
    Run([&](ModalContext& ctx) {
        Combo().SetCurSel(0);
        dlg.Clear();
        ctx.SelectItem(kFaces, 3);
        EXPECT_EQ(dlg.Codes(kFaces), (Codes{"SELENDOK", "SELCHANGE"}));
        // The owner hears of the change while the edit still shows the old choice.
        const harness::Note sel = dlg.Notes(kFaces, "SELCHANGE").at(0);
        EXPECT_EQ(sel.sel, 3);
        EXPECT_EQ(sel.text, "Arial");
        EXPECT_EQ(N(ctx.Text(kFaces).GetString()), "Tahoma");
        // The click put the focus in the edit: the list is never focused.
        EXPECT_EQ(ctx.FocusedControl(), kFaces);
        EXPECT_EQ(dynamic_cast<QListWidget*>(QApplication::focusWidget()), nullptr);
        dlg.Clear();
        ctx.DoubleClickItem(kFaces, 1);
        EXPECT_EQ(dlg.Codes(kFaces), (Codes{"SELENDOK", "SELCHANGE", "DBLCLK"}));
    });
}

TEST_F(ComboBoxTest, TypingSelectsOnlyAnItemItEquals) {
    Run([&](ModalContext& ctx) {
        ctx.SelectItem(kFaces, 3);
        dlg.Clear();
        ctx.Type(kFaces, u"Ar");
        // Every key reports the edit; a partial name clears the selection and selects nothing.
        EXPECT_EQ(dlg.Codes(kFaces), (Codes{"EDITUPDATE", "EDITCHANGE", "EDITUPDATE", "EDITCHANGE"}));
        EXPECT_EQ(Combo().GetCurSel(), CB_ERR);
        EXPECT_EQ(dlg.Notes(kFaces, "EDITCHANGE").back().sel, CB_ERR);
        // The whole name, in any case, selects its item, already when the owner hears of the edit.
        const std::pair<const char16_t*, int> typed[] = {
            {u"bold", CB_ERR}, {u"ARIAL", 0}, {u"Arial B", CB_ERR}, {u"Arial Black", 1},
            {u"", CB_ERR}};
        for (const auto& [text, sel] : typed) {
            ctx.Type(kFaces, text);
            EXPECT_EQ(Combo().GetCurSel(), sel) << N(text);
            EXPECT_EQ(dlg.Notes(kFaces, "EDITCHANGE").back().sel, sel) << N(text);
            EXPECT_EQ(N(ctx.Text(kFaces).GetString()), N(text));  // the typed text stays as typed
        }
        // Typing never reports a selection change.
        EXPECT_TRUE(dlg.Notes(kFaces, "SELCHANGE").empty());
    });
}

TEST_F(ComboBoxTest, UpAndDownInTheEditMoveTheListAndReportIt) {
    Run([&](ModalContext& ctx) {
        ctx.SelectItem(kFaces, 1);
        dlg.Clear();
        ctx.PressKey(kFaces, VK_DOWN);
        ctx.PressKey(kFaces, VK_DOWN);
        ctx.PressKey(kFaces, VK_UP);
        // No SELENDOK: the list is shown and stays so.
        EXPECT_EQ(dlg.Codes(kFaces), (Codes{"SELCHANGE", "SELCHANGE", "SELCHANGE"}));
        std::vector<int> sels;
        std::vector<std::string> texts;
        for (const harness::Note& n : dlg.Notes(kFaces, "SELCHANGE")) {
            sels.push_back(n.sel);
            texts.push_back(n.text);
        }
        EXPECT_EQ(sels, (std::vector<int>{2, 3, 2}));
        // Each report comes before the edit takes the item's text.
        EXPECT_EQ(texts, (std::vector<std::string>{"Arial Black", "Bold Face", "Tahoma"}));
        EXPECT_EQ(N(ctx.Text(kFaces).GetString()), "Bold Face");
        EXPECT_EQ(Combo().GetEditSel(), static_cast<DWORD>(MAKELONG(0, 9)));  // all of it selected
        ctx.PressKey(kFaces, VK_NEXT);
        EXPECT_EQ(Combo().GetCurSel(), 4);
        ctx.PressKey(kFaces, VK_PRIOR);
        EXPECT_EQ(Combo().GetCurSel(), 0);
        // Home and End stay in the edit.
        dlg.Clear();
        ctx.PressKey(kFaces, VK_END);
        ctx.PressKey(kFaces, VK_HOME);
        EXPECT_TRUE(dlg.Codes(kFaces).empty());
        EXPECT_EQ(Combo().GetCurSel(), 0);
    });
}

TEST_F(ComboBoxTest, TheProgramsOwnChangesSendNothing) {
    Run([&](ModalContext& ctx) {
        dlg.Clear();
        EXPECT_EQ(Combo().SetCurSel(2), 2);
        EXPECT_EQ(N(ctx.Text(kFaces).GetString()), "Bold Face");
        EXPECT_EQ(Combo().SelectString(-1, u"ta"), 3);
        EXPECT_EQ(N(ctx.Text(kFaces).GetString()), "Tahoma");
        Combo().SetWindowText(u"Typed");
        EXPECT_EQ(Combo().GetCurSel(), 3);  // WM_SETTEXT leaves the list alone
        EXPECT_EQ(Combo().SetCurSel(42), CB_ERR);
        EXPECT_EQ(Combo().GetCurSel(), CB_ERR);
        EXPECT_EQ(N(ctx.Text(kFaces).GetString()), "");
        Combo().SendMessage(CB_SETCURSEL, 4);
        EXPECT_EQ(Combo().SendMessage(CB_GETCURSEL), 4);
        Combo().AddString(u"Verdana");
        Combo().DeleteString(0);
        EXPECT_EQ(Combo().GetCurSel(), 3);  // the selection stays with its item
        Combo().ResetContent();
        EXPECT_EQ(Combo().GetCount(), 0);
        EXPECT_TRUE(dlg.Codes(kFaces).empty());
        ctx.PressKey(kFaces, VK_DOWN);  // an empty list has nothing to report
        EXPECT_TRUE(dlg.Codes(kFaces).empty());
    });
}

TEST_F(ComboBoxTest, EachComboIsOneTabStopAndItsListNeverHoldsTheFocus) {
    Run([&](ModalContext& ctx) {
        ctx.PressKey(kEdit, VK_END);
        std::vector<int> visited;
        for (int i = 0; i < 6; ++i) {
            ctx.PressTab();
            visited.push_back(ctx.FocusedControl());
        }
        EXPECT_EQ(visited, (std::vector<int>{kFaces, kSizes, kApply, IDOK, IDCANCEL, kEdit}));
        ctx.PressTab(true);
        EXPECT_EQ(ctx.FocusedControl(), IDCANCEL);
        // Going through a combo box tells it once that it has the focus and once that it lost it.
        dlg.Clear();
        ctx.PressKey(kSizes, VK_DOWN);
        ctx.SelectItem(kSizes, 3);
        ctx.PressKey(kSizes, VK_UP);
        ctx.PressTab();
        std::vector<std::string> focus;
        for (const harness::Note& n : dlg.notes)
            if (n.id == kSizes && (n.code == "SETFOCUS" || n.code == "KILLFOCUS")) focus.push_back(n.code);
        EXPECT_EQ(focus, (std::vector<std::string>{"SETFOCUS", "KILLFOCUS"}));
        EXPECT_EQ(ctx.FocusedControl(), kApply);
    });
}
