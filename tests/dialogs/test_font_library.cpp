// The font library dialog, driven as a user would drive it.
#include <gtest/gtest.h>

#include "FontTableFixture.h"
#include "TestProfile.h"
#include "dialogs/TamselDialog.h"
#include "mfc/mfcauto.h"

using mfcauto::ModalContext;
using testsupport::N;
using testsupport::TestProfile;
using testsupport::U;

namespace {
// Stands for the studio's main window: records what the module sends it.
class MainWindow : public CWnd {
public:
    std::vector<std::tuple<UINT, WPARAM, LPARAM>> received;
    LRESULT WindowProc(UINT msg, WPARAM wp, LPARAM lp) override {
        received.emplace_back(msg, wp, lp);
        return 0;
    }
};

std::vector<std::string> Rows(CListBox& l) {
    std::vector<std::string> out;
    CString s;
    for (int i = 0; i < l.GetCount(); ++i) {
        l.GetText(i, s);
        out.push_back(N(s.GetString()));
    }
    return out;
}

class LibraryTest : public FontTableTest {
protected:
    void SetUp() override {
        FontTableTest::SetUp();
        mfcauto::ClearScripts();
        mfcauto::ClearErrors();
        AfxSetMainWnd(&main);
        velmora::SetFastCompile(true);
    }
    void TearDown() override {
        EXPECT_TRUE(mfcauto::Errors().empty()) << mfcauto::Errors().front();
        mfcauto::ClearErrors();
        AfxSetMainWnd(nullptr);
        velmora::SetFastCompile(false);
        FontTableTest::TearDown();
    }
    // Runs the dialog with `script`; the dialog is reached through its list box.
    void Run(std::function<void(ModalContext&, CListBox&)> script) {
        mfcauto::PushScript([script](ModalContext& ctx) {
            auto* list = dynamic_cast<CListBox*>(ctx.Control(3002));
            ASSERT_NE(list, nullptr);
            script(ctx, *list);
        });
        EXPECT_EQ(Font_EditLib(nullptr), 1);
    }
    size_t Notices() const {
        size_t n = 0;
        for (const auto& m : main.received) n += std::get<0>(m) == kFontsChangedMessage && std::get<1>(m) == 0 && std::get<2>(m) == 1;
        return n;
    }
    TestProfile profile{{"arial.ttf", "tahoma.ttf", "calibri.ttf"}};
    MainWindow main;
};
}  // namespace

TEST_F(LibraryTest, TheDefaultFontIsShownButNeverChanged) {
    Add(14, u"Default Font", u"Arial", 16);
    Add(13, u"{_Font36", u"Arial", 36);
    Add(17, u"Body", u"Tahoma", 20);
    Run([&](ModalContext& ctx, CListBox& list) {
        EXPECT_EQ(Rows(list), (std::vector<std::string>{"Default Font", "Body"}));  // built-ins never listed
        EXPECT_EQ(list.GetCurSel(), 0);
        EXPECT_EQ(N(ctx.Text(3006).GetString()), "Arial");
        EXPECT_EQ(N(ctx.Text(3007).GetString()), "16");
        EXPECT_FALSE(ctx.IsEnabled(3004));
        EXPECT_FALSE(ctx.IsEnabled(3005));
        ctx.DoubleClickItem(3002, 0);  // no properties dialog opens: no script is queued for one
        ctx.SelectItem(3002, 1);
        EXPECT_EQ(N(ctx.Text(3006).GetString()), "Tahoma");
        EXPECT_TRUE(ctx.IsEnabled(3004));
        ctx.Click(3009);
        ctx.Click(IDCANCEL);
    });
    EXPECT_EQ(velmora::LastHelpTopic(), std::make_pair(1, 4100));
    EXPECT_EQ(Notices(), 0u);  // nothing changed
}

TEST_F(LibraryTest, AddProposesAFreeDefaultNameAndNotifiesOnce) {
    Add(14, u"Default Font", u"Arial", 16);
    Add(15, u"Font0", u"Arial", 16);
    Add(16, u"{Font1", u"Arial", 16);
    Add(12, u"Font1", u"Arial", 16);
    g_nMaxFontID = 16;
    CString proposed;
    Run([&](ModalContext& ctx, CListBox& list) {
        mfcauto::PushScript([&](ModalContext& props) {
            // Automatic naming replaced the proposal at once: Arial is preferred and installed.
            EXPECT_EQ(N(props.Text(3020).GetString()).rfind("Arial_", 0), 0u);
            props.Type(3020, u"Caption");
            props.SelectItem(3015, U("24"));
            props.Click(IDOK);
        });
        ctx.Click(3003);
        EXPECT_EQ(Rows(list).back(), "Caption");
        EXPECT_EQ(list.GetCurSel(), list.GetCount() - 1);
        EXPECT_EQ(N(ctx.Text(3007).GetString()), "24");
        ctx.Click(IDCANCEL);
    });
    const tagHMIFONT* rec = findFontInList(17);
    ASSERT_NE(rec, nullptr);
    EXPECT_EQ(N(rec->szName), "Caption");
    EXPECT_EQ(Notices(), 1u);
    // Closing again without changes sends nothing.
    Run([](ModalContext& ctx, CListBox&) { ctx.Click(IDCANCEL); });
    EXPECT_EQ(Notices(), 1u);
}

TEST_F(LibraryTest, TheDefaultNameSurvivesWithoutAPreferredFace) {
    // Arial, the preferred face, is not installed here: no face is selected.
    TestProfile noArial({"tahoma.ttf"});
    Add(14, u"Default Font", u"Tahoma", 16);
    Add(15, u"Font0", u"Tahoma", 16);
    Add(16, u"{_Font1", u"Tahoma", 16);
    Add(17, u"Font1", u"Tahoma", 16);
    Run([&](ModalContext& ctx, CListBox&) {
        mfcauto::PushScript([&](ModalContext& props) {
            EXPECT_EQ(N(props.Text(3020).GetString()), "Font2");
            props.Click(IDCANCEL);
        });
        ctx.Click(3003);
        ctx.Click(IDCANCEL);
    });
    EXPECT_EQ(g_FontList.GetCount(), 4);
}

TEST_F(LibraryTest, EditReplacesTheRowAndLeavesNoSelection) {
    Add(14, u"Default Font", u"Arial", 16);
    Add(17, u"Body", u"Tahoma", 20);
    Run([&](ModalContext& ctx, CListBox& list) {
        ctx.SelectItem(3002, 1);
        mfcauto::PushScript([&](ModalContext& props) {
            EXPECT_EQ(N(props.Text(3020).GetString()), "Body");
            props.Type(3020, u"Body text");
            props.SelectItem(3015, U("28"));
            props.Click(IDOK);
        });
        ctx.DoubleClickItem(3002, 1);
        EXPECT_EQ(Rows(list), (std::vector<std::string>{"Default Font", "Body text"}));
        EXPECT_EQ(list.GetCurSel(), LB_ERR);
        EXPECT_FALSE(ctx.IsEnabled(3004));
        EXPECT_FALSE(ctx.IsEnabled(3005));
        EXPECT_EQ(N(ctx.Text(3007).GetString()), "28");  // the labels show the edited font
        ctx.Click(IDCANCEL);
    });
    EXPECT_EQ(findFontInList(17)->lf.lfHeight, 28);
    EXPECT_EQ(N(findFontInList(17)->szName), "Body text");
    EXPECT_EQ(Notices(), 1u);
}

TEST_F(LibraryTest, DeleteAsksFirst) {
    Add(14, u"Default Font", u"Arial", 16);
    Add(17, u"Body", u"Tahoma", 20);
    Add(18, u"Note", u"Calibri", 12);
    Run([&](ModalContext& ctx, CListBox& list) {
        ctx.SelectItem(3002, 1);
        std::string question;
        mfcauto::PushScript([&](ModalContext& box) {
            question = N(box.Caption().GetString());
            EXPECT_EQ(box.MessageStyle() & MB_ICONMASK, static_cast<UINT>(MB_ICONQUESTION));
            box.Answer(IDNO);
        });
        ctx.Click(3004);
        EXPECT_EQ(question, N(LA_GetString(u"STR_40003").GetString()));
        EXPECT_EQ(list.GetCount(), 3);
        mfcauto::PushScript([](ModalContext& box) { box.Answer(IDYES); });
        ctx.Click(3004);
        EXPECT_EQ(Rows(list), (std::vector<std::string>{"Default Font", "Note"}));
        EXPECT_FALSE(ctx.IsEnabled(3004));
        ctx.Click(IDCANCEL);
    });
    EXPECT_EQ(findFontInList(17), nullptr);
    EXPECT_EQ(Notices(), 1u);
}

TEST_F(LibraryTest, AnEmptyTable) {
    Run([&](ModalContext& ctx, CListBox& list) {
        EXPECT_EQ(list.GetCount(), 0);
        EXPECT_FALSE(ctx.IsEnabled(3004));
        EXPECT_FALSE(ctx.IsEnabled(3005));
        mfcauto::PushScript([](ModalContext& props) { props.Click(IDOK); });
        ctx.Click(3003);
        EXPECT_EQ(list.GetCount(), 1);
        ctx.Click(IDCANCEL);
    });
    EXPECT_EQ(g_FontList.GetCount(), 1);
}

// ---------------------------------------------------------------- under the keyboard

TEST_F(LibraryTest, ArrowKeysRefreshLabelsSampleAndButtons) {
    Add(14, u"Default Font", u"Arial", 16);
    Add(17, u"Body", u"Tahoma", 20);
    Add(18, u"Note", u"Calibri", 12);
    Run([&](ModalContext& ctx, CListBox& list) {
        EXPECT_EQ(ctx.FocusedControl(), 3002);  // the dialog opens with the focus on the list
        ctx.PressKey(3002, VK_DOWN);
        EXPECT_EQ(list.GetCurSel(), 1);
        EXPECT_EQ(N(ctx.Text(3006).GetString()), "Tahoma");
        EXPECT_EQ(N(ctx.Text(3007).GetString()), "20");
        EXPECT_TRUE(ctx.IsEnabled(3004));
        EXPECT_TRUE(ctx.IsEnabled(3005));
        ctx.PressKey(3002, VK_END);
        EXPECT_EQ(N(ctx.Text(3006).GetString()), "Calibri");
        CFont* sample = ctx.Control(3008)->GetFont();
        ASSERT_NE(sample, nullptr);
        LOGFONTW lf{};
        sample->GetLogFont(&lf);
        EXPECT_EQ(N(lf.lfFaceName), "Calibri");
        EXPECT_EQ(lf.lfHeight, 12);
        ctx.PressKey(3002, 'D');  // the first letter of "Default Font"
        EXPECT_EQ(list.GetCurSel(), 0);
        EXPECT_EQ(N(ctx.Text(3006).GetString()), "Arial");
        EXPECT_FALSE(ctx.IsEnabled(3004));
        EXPECT_FALSE(ctx.IsEnabled(3005));
        ctx.Click(IDCANCEL);
    });
}

TEST_F(LibraryTest, ArrowingOntoTheDefaultFontLeavesNothingToDelete) {
    Add(14, u"Default Font", u"Arial", 16);
    Add(17, u"Body", u"Tahoma", 20);
    Run([&](ModalContext& ctx, CListBox& list) {
        ctx.SelectItem(3002, 1);
        ctx.PressKey(3002, VK_UP);
        EXPECT_EQ(list.GetCurSel(), 0);
        // Were the question asked, this would answer it.
        mfcauto::PushScript([](ModalContext& box) { box.Answer(IDYES); });
        ctx.Click(3004);
        EXPECT_EQ(mfcauto::PendingScripts(), 1u);
        mfcauto::ClearScripts();
        // Enter presses the default button, Add, not Delete.
        mfcauto::PushScript([](ModalContext& props) { props.Click(IDCANCEL); });
        ctx.PressKey(3002, VK_RETURN);
        EXPECT_EQ(mfcauto::PendingScripts(), 0u);
        ctx.Click(IDCANCEL);
    });
    EXPECT_NE(findFontInList(14), nullptr);
    EXPECT_EQ(g_FontList.GetCount(), 2);
}

TEST_F(LibraryTest, TheDefaultFontIsRefusedWhateverTheButtonsSay) {
    Add(14, u"Default Font", u"Arial", 16);
    Add(17, u"Body", u"Tahoma", 20);
    std::string refusal;
    Run([&](ModalContext& ctx, CListBox& list) {
        ASSERT_EQ(list.GetCurSel(), 0);
        // Buttons a stray state left enabled on the default font.
        ctx.Control(3004)->EnableWindow(TRUE);
        ctx.Control(3005)->EnableWindow(TRUE);
        mfcauto::PushScript([](ModalContext& box) { box.Answer(IDYES); });
        mfcauto::PushScript([&](ModalContext& box) {
            refusal = N(box.MessageText().GetString());
            box.Answer(IDOK);
        });
        ctx.Click(3004);
        EXPECT_EQ(list.GetCount(), 2);
        ctx.Control(3005)->EnableWindow(TRUE);
        ctx.Click(3005);  // no properties dialog: no script is queued for one
        ctx.Click(IDCANCEL);
    });
    EXPECT_EQ(refusal, N(LA_GetString(u"STR_40004").GetString()));
    ASSERT_NE(findFontInList(14), nullptr);
    EXPECT_EQ(N(findFontInList(14)->szName), "Default Font");
    EXPECT_EQ(Notices(), 0u);
}

TEST_F(LibraryTest, AfterADeleteTheNextKeySelectsTheRowThatTookItsPlace) {
    Add(14, u"Default Font", u"Arial", 16);
    Add(17, u"Body", u"Tahoma", 20);
    Add(18, u"Note", u"Calibri", 12);
    Add(19, u"Title", u"Arial", 30);
    Run([&](ModalContext& ctx, CListBox& list) {
        ctx.SelectItem(3002, 1);
        mfcauto::PushScript([](ModalContext& box) { box.Answer(IDYES); });
        ctx.Click(3004);
        ASSERT_EQ(list.GetCurSel(), LB_ERR);
        EXPECT_FALSE(ctx.IsEnabled(3004));
        ctx.PressKey(3002, VK_DOWN);
        EXPECT_EQ(list.GetCurSel(), 1);
        EXPECT_EQ(N(ctx.Text(3006).GetString()), "Calibri");
        EXPECT_TRUE(ctx.IsEnabled(3004));
        ctx.Click(IDCANCEL);
    });
    EXPECT_EQ(findFontInList(17), nullptr);
}
