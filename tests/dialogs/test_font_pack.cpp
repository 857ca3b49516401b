// The font pack dialog: checked faces, language slots, warnings and saving.
#include <QHeaderView>
#include <QImage>
#include <QTreeWidget>
#include <algorithm>
#include <cstdlib>

#include "DialogTest.h"
#include "FontTable.h"
#include "PackConfig.h"
#include "dialogs/FontPackDlg.h"

namespace {
class PackDialogTest : public ScriptedTest {
protected:
    void SetUp() override {
        ScriptedTest::SetUp();
        MakeFontMap();
        FontSizeMap[u"Arial"] = 6.0;
        FontSizeMap[u"Tahoma"] = 4.0;
        FontSizeMap.erase(u"Calibri");  // a face without a recorded size
        PackFontList.clear();
        g_bUseDefaultFont = 1;
        for (auto& f : g_strDefaultFont) f = u"Arial";
        g_strDefaultFont[1] = u"Gone";
        g_strDefaultFont[2] = u"Gone";
        ASSERT_TRUE(velmora::SetPanelModel("TP-0435"));  // 10 MB of font data
        velmora::SetFastCompile(true);
        AfxSetMainWnd(&main);
    }
    void TearDown() override {
        AfxSetMainWnd(nullptr);
        velmora::SetFastCompile(false);
        PackFontList.clear();
        g_bUseDefaultFont = 0;
        ScriptedTest::TearDown();
    }
    static CListCtrl& List(ModalContext& ctx) {
        return *dynamic_cast<CListCtrl*>(ctx.Control(3023));
    }
    static int Row(CListCtrl& l, const std::string& face) {
        for (int i = 0; i < l.GetItemCount(); ++i)
            if (S(l.GetItemText(i, 0)) == face) return i;
        return -1;
    }
    // Opens the pack dialog with `script`.
    static void Open(mfcauto::Script script) {
        mfcauto::PushScript(std::move(script));
        OpenFontPackDlg();
    }
    static bool Packed(const std::u16string& face) {
        return std::find(PackFontList.begin(), PackFontList.end(), face) != PackFontList.end();
    }
    TestProfile profile{{"arial.ttf", "tahoma.ttf", "calibri.ttf"}};
    MainWindow main;
};
}  // namespace

TEST_F(PackDialogTest, DefaultFacesInForceArePackedAndStayChecked) {
    Open([&](ModalContext& ctx) {
        CListCtrl& l = List(ctx);
        EXPECT_EQ(ctx.CheckState(3046), BST_CHECKED);
        EXPECT_EQ(S(l.GetItemText(0, 0)), "Arial");  // checked rows first
        EXPECT_TRUE(l.GetCheck(0));
        EXPECT_FALSE(l.GetCheck(Row(l, "Tahoma")));
        EXPECT_TRUE(Packed(u"Arial"));
        EXPECT_TRUE(Packed(u"Gone"));  // slot faces join the pack, installed or not
        EXPECT_EQ(Text(ctx, 3058), "Gone");
        EXPECT_EQ(Text(ctx, 3040), "6.00MB");
        // A face without a size counts 0 and gains a 0 entry.
        EXPECT_EQ(S(l.GetItemText(Row(l, "Calibri"), 1)), "0.00");
        EXPECT_EQ(FontSizeMap.count(u"Calibri"), 1u);

        // Slot faces stay checked while the group is checked.
        ctx.ClickListCheckBox(3023, Row(l, "Arial"));
        EXPECT_TRUE(l.GetCheck(Row(l, "Arial")));  // re-checked at once
        ctx.ClickListCheckBox(3023, Row(l, "Tahoma"));
        EXPECT_TRUE(Packed(u"Tahoma"));
        EXPECT_EQ(Text(ctx, 3040), "10.00MB");
        ctx.Click(3046);  // the default faces are no longer in force
        EXPECT_EQ(ctx.CheckState(3046), BST_UNCHECKED);
        ctx.ClickListCheckBox(3023, Row(l, "Arial"));
        EXPECT_FALSE(l.GetCheck(Row(l, "Arial")));
        EXPECT_FALSE(Packed(u"Arial"));
        EXPECT_EQ(Text(ctx, 3040), "4.00MB");
        // A header click only refills: checked rows first again.
        ctx.ClickColumnHeader(3023, 0);
        EXPECT_EQ(S(l.GetItemText(0, 0)), "Tahoma");
        EXPECT_TRUE(l.GetCheck(0));
        ctx.Click(IDCANCEL);
    });
    EXPECT_TRUE(main.notices.empty());
}

TEST_F(PackDialogTest, MissingDefaultFacesAreNamedOnceAndCancelKeepsTheDialog) {
    std::string warning;
    Open([&](ModalContext& ctx) {
        mfcauto::PushScript([&](ModalContext& box) {
            warning = S(box.MessageText());
            EXPECT_EQ(S(box.Caption()), "Warning");
            box.Answer(IDCANCEL);
        });
        ctx.Click(IDOK);
        EXPECT_FALSE(ctx.Dialog()->HasEnded());
        ctx.Click(IDCANCEL);
    });
    EXPECT_EQ(warning, Msg(u"STR_40028") + "\nGone");
    EXPECT_FALSE(std::filesystem::exists(m_dir / "fpf.ini"));
    EXPECT_TRUE(main.notices.empty());
}

TEST_F(PackDialogTest, TheSizeLimitOfThePanelModel) {
    for (double tahoma : {4.0, 4.01}) {
        FontSizeMap[u"Tahoma"] = tahoma;
        g_strDefaultFont[1] = g_strDefaultFont[2] = u"Arial";
        std::filesystem::remove(m_dir / "fpf.ini");  // each round starts from no pack
        PackFontList.clear();
        std::vector<std::string> boxes;
        main.notices.clear();
        Open([&](ModalContext& ctx) {
            ctx.ClickListCheckBox(3023, Row(List(ctx), "Tahoma"));
            if (tahoma > 4.0) {
                mfcauto::PushScript([&](ModalContext& box) {
                    boxes.push_back(S(box.MessageText()));
                    box.Answer(IDOK);
                });
            }
            ctx.Click(IDOK);
        });
        if (tahoma > 4.0) {
            ASSERT_EQ(boxes.size(), 1u);
            EXPECT_NE(boxes[0].find("(10 MB)"), std::string::npos) << boxes[0];
        } else {
            EXPECT_TRUE(boxes.empty());  // 10.00 MB against 10 MB
        }
        // Saved, and the studio told once.
        EXPECT_EQ(main.notices, (std::vector<std::pair<WPARAM, LPARAM>>{{1, 14}}));
        CPackFontList saved;
        LoadPackFontNames(&saved);
        EXPECT_EQ(saved, (CPackFontList{u"Arial", u"Tahoma"}));
        EXPECT_EQ(g_bUseDefaultFont, 1);
    }
}

TEST_F(PackDialogTest, TheSampleAndTheFacesOfTheSlots) {
    Open([&](ModalContext& ctx) {
        // The sample shows the row last clicked or arrowed to.
        auto* dlg = static_cast<CFontPackDlg*>(ctx.Dialog());
        CListCtrl& l = List(ctx);
        auto sampleFace = [&] { return Face(dlg->m_sampleFont); };
        ctx.SelectRows(3023, {1});
        EXPECT_EQ(sampleFace(), S(l.GetItemText(1, 0)));
        ctx.SelectRows(3023, {2});
        EXPECT_EQ(sampleFace(), S(l.GetItemText(2, 0)));
        ctx.PressKey(3023, VK_UP);
        EXPECT_EQ(sampleFace(), S(l.GetItemText(1, 0)));
        ctx.PressKey(3023, VK_HOME);
        EXPECT_EQ(sampleFace(), "Arial");

        // Choosing the face of one slot; a cancelled choice changes nothing.
        mfcauto::PushScript([](ModalContext& picker) {
            auto* faces = dynamic_cast<CListCtrl*>(picker.Control(3056));
            picker.DoubleClickItem(3056, Row(*faces, "Tahoma"));
        });
        ctx.Click(3069);  // slot 2
        EXPECT_EQ(Text(ctx, 3058), "Tahoma");
        EXPECT_TRUE(l.GetCheck(Row(l, "Tahoma")));
        EXPECT_TRUE(Packed(u"Tahoma"));
        mfcauto::PushScript([](ModalContext& picker) { picker.PressEscape(); });
        ctx.Click(3076);  // cancelled: nothing changes
        EXPECT_EQ(Text(ctx, 3057), "Arial");
        ctx.Click(IDCANCEL);
    });
    EXPECT_EQ(S(g_strDefaultFont[1]), "Gone");  // Cancel saves nothing
}

TEST_F(PackDialogTest, TheRenderedHeadingsUseTheListsFont) {
    QImage shot;
    QRect header, row;
    Open([&](ModalContext& ctx) {
        shot = ctx.Capture();
        auto* t = dynamic_cast<QTreeWidget*>(ctx.Control(3023)->GetWidget());
        ASSERT_NE(t, nullptr);
        header = QRect(t->header()->mapTo(t->window(), QPoint(0, 0)), t->header()->size());
        const QRect r = t->visualItemRect(t->topLevelItem(0));
        row = QRect(t->viewport()->mapTo(t->window(), r.topLeft()), r.size());
        ctx.Click(IDCANCEL);
    });
    ASSERT_FALSE(shot.isNull());
    // Cap height of the text in a band, right of the row's check box.
    auto inkHeight = [&](const QRect& band) {
        int top = -1, bottom = -1;
        for (int y = band.top() + 1; y < band.bottom() - 1; ++y)
            for (int x = band.left() + 24; x < band.left() + 120; ++x)
                if (qGray(shot.pixel(x, y)) < 110) {
                    if (top < 0) top = y;
                    bottom = y;
                }
        return top < 0 ? 0 : bottom - top + 1;
    };
    const int rowInk = inkHeight(row);
    ASSERT_GT(rowInk, 4);
    EXPECT_LE(std::abs(inkHeight(header) - rowInk), 1)
        << "heading " << inkHeight(header) << " px, row " << rowInk << " px";
}
