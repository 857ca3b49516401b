// The font library dialog and the font select dialog, driven as a user would
// drive them, and the picker of an installed face for the pack.
#include <QPoint>
#include <algorithm>

#include "DialogTest.h"
#include "FontTable.h"
#include "dialogs/FontSelectDialog.h"
#include "dialogs/TamselDialog.h"

namespace {
std::vector<std::string> Rows(CListBox& l) {
    std::vector<std::string> out;
    CString s;
    for (int i = 0; i < l.GetCount(); ++i) {
        l.GetText(i, s);
        out.push_back(S(s));
    }
    return out;
}

CListBox& List(ModalContext& ctx, int id) { return *dynamic_cast<CListBox*>(ctx.Control(id)); }

// A table of the default font, a built-in font and two listed fonts.
class LibraryTest : public ScriptedTest {
protected:
    void SetUp() override {
        ScriptedTest::SetUp();
        AfxSetMainWnd(&main);
        velmora::SetFastCompile(true);
        Add(14, u"Default Font", u"Arial", 16);
        Add(12, u"{_Font20", u"Arial", 20);
        Add(17, u"Body", u"Tahoma", 20);
        Add(18, u"Title", u"Calibri", 30);
        SetLastSelFont(0);
    }
    void TearDown() override {
        AfxSetMainWnd(nullptr);
        velmora::SetFastCompile(false);
        ScriptedTest::TearDown();
    }
    // Runs the library dialog with `script`, given its list box.
    void Run(std::function<void(ModalContext&, CListBox&)> script) {
        mfcauto::PushScript([script](ModalContext& ctx) { script(ctx, List(ctx, 3002)); });
        Font_EditLib(nullptr);  // always 1
    }
    size_t Notices() const {
        const std::pair<WPARAM, LPARAM> changed{0, 1};
        return std::count(main.notices.begin(), main.notices.end(), changed);
    }
    TestProfile profile{{"arial.ttf", "tahoma.ttf", "calibri.ttf"}};
    MainWindow main;
};

class SelectTest : public LibraryTest {};
}  // namespace

// ---------------------------------------------------------------- the library dialog

TEST_F(LibraryTest, TheDefaultFontIsShownButNeverChanged) {
    Run([&](ModalContext& ctx, CListBox& list) {
        // Built-ins are never listed.
        EXPECT_EQ(Rows(list), (std::vector<std::string>{"Default Font", "Body", "Title"}));
        EXPECT_EQ(list.GetCurSel(), 0);
        EXPECT_EQ(ctx.FocusedControl(), 3002);  // the dialog opens with the focus on the list
        EXPECT_EQ(Text(ctx, 3006), "Arial");
        EXPECT_EQ(Text(ctx, 3007), "16");
        EXPECT_FALSE(ctx.IsEnabled(3004));
        EXPECT_FALSE(ctx.IsEnabled(3005));
        ctx.DoubleClickItem(3002, 0);  // no properties dialog opens: no script is queued for one
        ctx.SelectItem(3002, 1);
        EXPECT_EQ(Text(ctx, 3006), "Tahoma");
        EXPECT_TRUE(ctx.IsEnabled(3004));
        ctx.Click(3009);

        // The keys refresh the labels, the sample and the buttons as a click does.
        ctx.PressKey(3002, VK_END);
        EXPECT_EQ(Text(ctx, 3006), "Calibri");
        EXPECT_EQ(Text(ctx, 3007), "30");
        EXPECT_TRUE(ctx.IsEnabled(3005));
        CFont* sample = ctx.Control(3008)->GetFont();
        ASSERT_NE(sample, nullptr);
        EXPECT_EQ(Face(*sample), "Calibri");
        EXPECT_EQ(Logfont(*sample).lfHeight, 30);
        ctx.PressKey(3002, VK_UP);
        EXPECT_EQ(list.GetCurSel(), 1);
        ctx.PressKey(3002, 'D');  // the first letter of "Default Font"
        EXPECT_EQ(list.GetCurSel(), 0);
        ctx.Click(3004);  // disabled: no question, for which no script is queued
        // Enter presses the default button, Add, not Delete.
        mfcauto::PushScript([](ModalContext& props) { props.Click(IDCANCEL); });
        ctx.PressKey(3002, VK_RETURN);
        EXPECT_EQ(mfcauto::PendingScripts(), 0u);
        ctx.Click(IDCANCEL);
    });
    EXPECT_EQ(velmora::LastHelpTopic(), std::make_pair(1, 4100));
    EXPECT_EQ(Notices(), 0u);  // nothing changed, nothing added by the cancelled Add
}

TEST_F(LibraryTest, AddProposesAFreeDefaultNameAndNotifiesOnce) {
    g_nMaxFontID = 18;
    Run([&](ModalContext& ctx, CListBox& list) {
        mfcauto::PushScript([&](ModalContext& props) {
            props.Type(3020, u"Caption");
            props.SelectItem(3015, U("24"));
            props.Click(IDOK);
        });
        ctx.Click(3003);
        EXPECT_EQ(Rows(list).back(), "Caption");
        EXPECT_EQ(list.GetCurSel(), list.GetCount() - 1);
        EXPECT_EQ(Text(ctx, 3007), "24");
        ctx.Click(IDCANCEL);
    });
    EXPECT_EQ(Notices(), 1u);
}

TEST_F(LibraryTest, TheDefaultNameSurvivesWithoutAPreferredFace) {
    // Arial, the preferred face, is not installed here: no face is selected.
    TestProfile noArial({"tahoma.ttf"});
    Add(15, u"Font0", u"Tahoma", 16);
    Add(16, u"{_Font1", u"Tahoma", 16);
    Add(19, u"Font1", u"Tahoma", 16);
    Run([&](ModalContext& ctx, CListBox&) {
        mfcauto::PushScript([&](ModalContext& props) {
            EXPECT_EQ(Text(props, 3020), "Font2");
            props.Click(IDCANCEL);
        });
        ctx.Click(3003);
        ctx.Click(IDCANCEL);
    });
    EXPECT_EQ(g_FontList.GetCount(), 7);
}

TEST_F(LibraryTest, EditReplacesTheRowAndLeavesNoSelection) {
    Run([&](ModalContext& ctx, CListBox& list) {
        ctx.SelectItem(3002, 1);
        mfcauto::PushScript([&](ModalContext& props) {
            EXPECT_EQ(Text(props, 3020), "Body");
            props.Type(3020, u"Body text");
            props.SelectItem(3015, U("28"));
            props.Click(IDOK);
        });
        ctx.DoubleClickItem(3002, 1);
        EXPECT_EQ(Rows(list), (std::vector<std::string>{"Default Font", "Body text", "Title"}));
        EXPECT_EQ(list.GetCurSel(), LB_ERR);
        EXPECT_FALSE(ctx.IsEnabled(3004));
        EXPECT_FALSE(ctx.IsEnabled(3005));
        EXPECT_EQ(Text(ctx, 3007), "28");  // the labels show the edited font
        ctx.Click(IDCANCEL);
    });
    EXPECT_EQ(N(findFontInList(17)->szName), "Body text");
    EXPECT_EQ(Notices(), 1u);
}

TEST_F(LibraryTest, DeleteAsksFirst) {
    Add(19, u"Note", u"Arial", 12);
    Run([&](ModalContext& ctx, CListBox& list) {
        ctx.SelectItem(3002, 1);
        std::string question;
        mfcauto::PushScript([&](ModalContext& box) {
            question = S(box.Caption());
            EXPECT_EQ(box.MessageStyle() & MB_ICONMASK, static_cast<UINT>(MB_ICONQUESTION));
            box.Answer(IDNO);
        });
        ctx.Click(3004);
        EXPECT_EQ(question, Msg(u"STR_40003"));
        EXPECT_EQ(list.GetCount(), 4);
        mfcauto::PushScript([](ModalContext& box) { box.Answer(IDYES); });
        ctx.Click(3004);
        EXPECT_EQ(Rows(list), (std::vector<std::string>{"Default Font", "Title", "Note"}));
        EXPECT_EQ(list.GetCurSel(), LB_ERR);
        EXPECT_FALSE(ctx.IsEnabled(3004));
        // The next key selects the row that took the deleted one's place.
        ctx.PressKey(3002, VK_DOWN);
        EXPECT_EQ(list.GetCurSel(), 1);
        EXPECT_EQ(Text(ctx, 3006), "Calibri");
        EXPECT_TRUE(ctx.IsEnabled(3004));
        ctx.Click(IDCANCEL);
    });
    EXPECT_EQ(findFontInList(17), nullptr);
    EXPECT_EQ(Notices(), 1u);
}

// ---------------------------------------------------------------- the select dialog

TEST_F(SelectTest, ClosingOrNoSelectionKeepsTheCurrentFont) {
    mfcauto::PushScript([](ModalContext& ctx) {
        EXPECT_EQ(List(ctx, 3023).GetCurSel(), LB_ERR);  // a built-in font is not listed
        EXPECT_FALSE(ctx.IsEnabled(IDOK));
        ctx.PressEnter();  // the default button is disabled: nothing happens
        ctx.Click(IDCANCEL);
    });
    EXPECT_EQ(Font_Select(nullptr, 12), 12);
    mfcauto::PushScript([](ModalContext& ctx) {
        ctx.SelectItem(3023, 1);
        ctx.Click(IDCANCEL);
    });
    EXPECT_EQ(Font_Select(nullptr, 18), 18);
    EXPECT_EQ(GetLastSelFont(), 0);
}

TEST_F(SelectTest, NewAndEditKeepTheRowChosen) {
    g_nMaxFontID = 18;
    mfcauto::PushScript([](ModalContext& ctx) {
        mfcauto::PushScript([](ModalContext& props) {
            props.SelectItem(3011, U("Tahoma"));
            props.SelectItem(3015, U("36"));
            props.Click(IDOK);
        });
        ctx.Click(3003);
        EXPECT_EQ(List(ctx, 3023).GetCount(), 4);
        EXPECT_EQ(List(ctx, 3023).GetCurSel(), 3);
        ctx.SelectItem(3023, 1);
        mfcauto::PushScript([](ModalContext& props) {
            props.Type(3020, u"Body 2");
            props.Click(IDOK);
        });
        ctx.Click(3005);
        EXPECT_EQ(List(ctx, 3023).GetCurSel(), 1);  // unlike the library dialog
        ctx.DoubleClickItem(3023, 1);
    });
    EXPECT_EQ(Font_Select(nullptr, 14), 17);
    EXPECT_EQ(N(findFontInList(19)->szName), "Tahoma_36");
    EXPECT_EQ(N(findFontInList(17)->szName), "Body 2");
}

TEST_F(SelectTest, OpensOnTheCurrentFontAndFollowsTheKeys) {
    mfcauto::PushScript([](ModalContext& ctx) {
        ASSERT_EQ(List(ctx, 3023).GetCurSel(), 2);
        EXPECT_EQ(Text(ctx, 3006), "Calibri");
        EXPECT_EQ(Text(ctx, 3007), "30");
        EXPECT_TRUE(ctx.IsEnabled(3005));
        ctx.PressKey(3023, VK_UP);
        EXPECT_EQ(Text(ctx, 3006), "Tahoma");
        EXPECT_EQ(Text(ctx, 3007), "20");
        ctx.PressKey(3023, VK_HOME);
        EXPECT_EQ(Text(ctx, 3006), "Arial");
        // The default font can be chosen but not changed.
        EXPECT_FALSE(ctx.IsEnabled(3004));
        EXPECT_FALSE(ctx.IsEnabled(3005));
        EXPECT_TRUE(ctx.IsEnabled(IDOK));
        ctx.PressKey(3023, VK_RETURN);  // the default button: use this font
    });
    EXPECT_EQ(Font_Select(nullptr, 18), 14);
    EXPECT_EQ(GetLastSelFont(), 14);
}

// Both dialogs keep the default font when a stray state left its buttons enabled.
TEST_F(SelectTest, TheDefaultFontIsRefusedWhateverTheButtonsSay) {
    for (const int listId : {3002, 3023}) {
        std::string refusal;
        mfcauto::PushScript([&](ModalContext& ctx) {
            ctx.SelectItem(listId, 0);
            ctx.Control(3004)->EnableWindow(TRUE);
            ctx.Control(3005)->EnableWindow(TRUE);
            ctx.Click(3005);  // no properties dialog opens
            mfcauto::PushScript([](ModalContext& box) { box.Answer(IDYES); });
            mfcauto::PushScript([&](ModalContext& box) {
                refusal = S(box.MessageText());
                box.Answer(IDOK);
            });
            ctx.Click(3004);
            EXPECT_EQ(List(ctx, listId).GetCount(), 3);
            ctx.Click(IDCANCEL);
        });
        listId == 3002 ? Font_EditLib(nullptr) : Font_Select(nullptr, 14);
        EXPECT_EQ(refusal, Msg(u"STR_40004")) << listId;
        EXPECT_NE(findFontInList(14), nullptr);
    }
    EXPECT_EQ(Notices(), 0u);
}

// ---------------------------------------------------------------- the face picker

TEST_F(SelectTest, FacePickerListsTheInstalledFacesAtItsAnchor) {
    MakeFontMap();
    PackNameMap[u"Ghost"];  // a face known without a recorded size
    std::vector<std::string> rows;
    RECT at{};
    mfcauto::PushScript([&](ModalContext& ctx) {
        ctx.Dialog()->GetWindowRect(&at);
        auto* list = dynamic_cast<CListCtrl*>(ctx.Control(3056));
        for (int i = 0; i < list->GetItemCount(); ++i)
            rows.push_back(S(list->GetItemText(i, 0)) + "=" + S(list->GetItemText(i, 1)));
        RECT client{};
        list->GetClientRect(&client);
        EXPECT_EQ(list->GetColumnWidth(0), static_cast<int>((client.right - client.left) * 0.7));
        ctx.DoubleClickItem(3056, 2);
    });
    CSelectFontDlg dlg(nullptr, POINT{300, 200});
    EXPECT_EQ(dlg.DoModal(), IDOK);
    EXPECT_EQ(QPoint(at.left, at.top), QPoint(300, 200));
    // One row per face of the map, in key order (the map may hold faces of its own making too).
    ASSERT_GE(rows.size(), 4u);
    EXPECT_EQ(rows[0].rfind("Arial=0.01MB", 0), 0u);
    EXPECT_EQ(rows[1].rfind("Calibri=0.01MB", 0), 0u);
    EXPECT_EQ(rows[2], "Ghost=0.00MB");
    EXPECT_EQ(rows[3].rfind("Tahoma=", 0), 0u);
    EXPECT_EQ(S(dlg.m_strSelFont), "Ghost");

    // A double-click on empty space ends with OK and no face.
    mfcauto::PushScript([](ModalContext& ctx) { ctx.DoubleClickItem(3056, -1); });
    CSelectFontDlg empty(nullptr, POINT{0, 0});
    EXPECT_EQ(empty.DoModal(), IDOK);
    EXPECT_TRUE(empty.m_strSelFont.IsEmpty());
    PackNameMap.clear();
}
