// Choosing a project font for an object, and an installed face for the pack.
#include <gtest/gtest.h>

#include <QPoint>
#include <QRect>

#include "FontTable.h"
#include "FontTableFixture.h"
#include "TestProfile.h"
#include "dialogs/FontSelectDialog.h"
#include "mfc/mfcauto.h"

using mfcauto::ModalContext;
using testsupport::N;
using testsupport::TestProfile;
using testsupport::U;

namespace {
class SelectTest : public FontTableTest {
protected:
    void SetUp() override {
        FontTableTest::SetUp();
        mfcauto::ClearScripts();
        mfcauto::ClearErrors();
        Add(14, u"Default Font", u"Arial", 16);
        Add(12, u"{_Font20", u"Arial", 20);
        Add(17, u"Body", u"Tahoma", 20);
        Add(18, u"Title", u"Calibri", 30);
        SetLastSelFont(0);
    }
    void TearDown() override {
        EXPECT_TRUE(mfcauto::Errors().empty()) << mfcauto::Errors().front();
        mfcauto::ClearErrors();
        FontTableTest::TearDown();
    }
    TestProfile profile{{"arial.ttf", "tahoma.ttf", "calibri.ttf"}};
};

CListBox& List(ModalContext& ctx) {
    return *dynamic_cast<CListBox*>(ctx.Control(3023));
}
}  // namespace

TEST_F(SelectTest, OpensOnTheCurrentFontAndReturnsTheChosenOne) {
    mfcauto::PushScript([](ModalContext& ctx) {
        EXPECT_EQ(List(ctx).GetCount(), 3);  // built-ins are not offered
        EXPECT_EQ(List(ctx).GetCurSel(), 2);
        EXPECT_EQ(N(ctx.Text(3006).GetString()), "Calibri");
        EXPECT_EQ(N(ctx.Text(3007).GetString()), "30");
        EXPECT_TRUE(ctx.IsEnabled(3005));
        ctx.DoubleClickItem(3023, 1);
    });
    EXPECT_EQ(Font_Select(nullptr, 18), 17);
    EXPECT_EQ(GetLastSelFont(), 17);
}

TEST_F(SelectTest, TheDefaultFontCanBeChosenButNotChanged) {
    mfcauto::PushScript([](ModalContext& ctx) {
        ctx.SelectItem(3023, 0);
        EXPECT_FALSE(ctx.IsEnabled(3004));
        EXPECT_FALSE(ctx.IsEnabled(3005));
        EXPECT_TRUE(ctx.IsEnabled(IDOK));
        ctx.Click(IDOK);
    });
    EXPECT_EQ(Font_Select(nullptr, 17), 14);
}

TEST_F(SelectTest, ClosingOrNoSelectionKeepsTheCurrentFont) {
    mfcauto::PushScript([](ModalContext& ctx) {
        EXPECT_EQ(List(ctx).GetCurSel(), LB_ERR);  // a built-in font is not listed
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
        EXPECT_EQ(List(ctx).GetCount(), 4);
        EXPECT_EQ(List(ctx).GetCurSel(), 3);
        ctx.SelectItem(3023, 1);
        mfcauto::PushScript([](ModalContext& props) {
            props.Type(3020, u"Body 2");
            props.Click(IDOK);
        });
        ctx.Click(3005);
        EXPECT_EQ(List(ctx).GetCurSel(), 1);  // unlike the library dialog
        CString row;
        List(ctx).GetText(1, row);
        EXPECT_EQ(N(row.GetString()), "Body 2");
        ctx.Click(IDOK);
    });
    EXPECT_EQ(Font_Select(nullptr, 14), 17);
    EXPECT_EQ(N(findFontInList(19)->szName), "Tahoma_36");
    EXPECT_EQ(N(findFontInList(17)->szName), "Body 2");
}

TEST_F(SelectTest, FacePickerListsTheInstalledFacesWithTheirSizes) {
    MakeFontMap();
    PackNameMap[u"Ghost"];  // a face known without a recorded size
    std::vector<std::string> rows;
    QRect geometry;
    mfcauto::PushScript([&](ModalContext& ctx) {
        auto* list = dynamic_cast<CListCtrl*>(ctx.Control(3056));
        for (int i = 0; i < list->GetItemCount(); ++i)
            rows.push_back(N(list->GetItemText(i, 0).GetString()) + "=" + N(list->GetItemText(i, 1).GetString()));
        RECT client{};
        list->GetClientRect(&client);
        EXPECT_EQ(list->GetColumnWidth(0), static_cast<int>((client.right - client.left) * 0.7));
        ctx.DoubleClickItem(3056, 2);
    });
    CSelectFontDlg dlg(nullptr, POINT{300, 200});
    EXPECT_EQ(dlg.DoModal(), IDOK);
    // One row per face of the map, in key order (the map may hold faces of its own making too).
    ASSERT_GE(rows.size(), 4u);
    EXPECT_EQ(rows[0].rfind("Arial=0.01MB", 0), 0u);
    EXPECT_EQ(rows[1].rfind("Calibri=0.01MB", 0), 0u);
    EXPECT_EQ(rows[2], "Ghost=0.00MB");
    EXPECT_EQ(rows[3].rfind("Tahoma=", 0), 0u);
    EXPECT_EQ(N(dlg.m_strSelFont.GetString()), "Ghost");

    // A double-click on empty space ends with OK and no face.
    mfcauto::PushScript([](ModalContext& ctx) { ctx.DoubleClickItem(3056, -1); });
    CSelectFontDlg empty(nullptr, POINT{0, 0});
    EXPECT_EQ(empty.DoModal(), IDOK);
    EXPECT_TRUE(empty.m_strSelFont.IsEmpty());
    PackNameMap.clear();
}

TEST_F(SelectTest, FacePickerStandsAtItsAnchor) {
    MakeFontMap();
    QPoint at;
    mfcauto::PushScript([&](ModalContext& ctx) {
        RECT r{};
        ctx.Dialog()->GetWindowRect(&r);
        at = QPoint(r.left, r.top);
        ctx.PressEscape();
    });
    CSelectFontDlg dlg(nullptr, POINT{120, 80});
    EXPECT_EQ(dlg.DoModal(), IDCANCEL);
    EXPECT_EQ(at, QPoint(120, 80));
    EXPECT_TRUE(dlg.m_strSelFont.IsEmpty());
}

TEST_F(SelectTest, ArrowKeysRefreshTheShownFontAndItsButtons) {
    mfcauto::PushScript([](ModalContext& ctx) {
        ASSERT_EQ(List(ctx).GetCurSel(), 2);
        ctx.PressKey(3023, VK_UP);
        EXPECT_EQ(N(ctx.Text(3006).GetString()), "Tahoma");
        EXPECT_EQ(N(ctx.Text(3007).GetString()), "20");
        ctx.PressKey(3023, VK_HOME);
        EXPECT_EQ(N(ctx.Text(3006).GetString()), "Arial");
        EXPECT_FALSE(ctx.IsEnabled(3004));
        EXPECT_FALSE(ctx.IsEnabled(3005));
        ctx.PressKey(3023, VK_RETURN);  // the default button: use this font
    });
    EXPECT_EQ(Font_Select(nullptr, 18), 14);
    EXPECT_EQ(GetLastSelFont(), 14);
}

TEST_F(SelectTest, TheDefaultFontIsRefusedWhateverTheButtonsSay) {
    std::string refusal;
    mfcauto::PushScript([&](ModalContext& ctx) {
        ctx.SelectItem(3023, 0);
        ctx.Control(3004)->EnableWindow(TRUE);
        ctx.Control(3005)->EnableWindow(TRUE);
        ctx.Click(3005);  // no properties dialog opens
        mfcauto::PushScript([](ModalContext& box) { box.Answer(IDYES); });
        mfcauto::PushScript([&](ModalContext& box) {
            refusal = N(box.MessageText().GetString());
            box.Answer(IDOK);
        });
        ctx.Click(3004);
        EXPECT_EQ(List(ctx).GetCount(), 3);
        ctx.Click(IDCANCEL);
    });
    Font_Select(nullptr, 14);
    EXPECT_EQ(refusal, N(LA_GetString(u"STR_40004").GetString()));
    EXPECT_NE(findFontInList(14), nullptr);
}
