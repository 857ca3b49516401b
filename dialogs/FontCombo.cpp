#include "FontCombo.h"

#include "DialogResources.h"

CFontCombo::~CFontCombo() {
    m_ImageList.DeleteImageList();
}

void CFontCombo::Init(int selectionHeight, int itemHeight, int flags) {
    SendMessage(CB_SETITEMHEIGHT, static_cast<WPARAM>(-1), selectionHeight);
    m_nItemHeight = itemHeight;
    m_dwFlags = static_cast<DWORD>(flags);
    m_ImageList.DeleteImageList();
    m_ImageList.Create(IDB_FONTTYPE, 12, 2, RGB(255, 255, 255));
}

void CFontCombo::DrawItem(LPDRAWITEMSTRUCT dis) {
    if (!dis) return;
    CRect rc(dis->rcItem);
    CDC dc;
    dc.Attach(dis->hDC);
    if (dis->itemState & ODS_FOCUS) dc.DrawFocusRect(&rc);
    if (dis->itemID == static_cast<UINT>(-1)) {
        dc.Detach();
        return;
    }
    const int saved = dc.SaveDC();
    CBrush brush;
    if (dis->itemState & ODS_SELECTED) {
        brush.CreateSolidBrush(GetSysColor(COLOR_HIGHLIGHT));
        dc.SetTextColor(GetSysColor(COLOR_HIGHLIGHTTEXT));
    } else {
        brush.CreateSolidBrush(dc.GetBkColor());
    }
    dc.SetBkMode(TRANSPARENT);
    dc.FillRect(&rc, &brush);

    CString text;
    GetLBText(static_cast<int>(dis->itemID), text);
    const DWORD data = static_cast<DWORD>(GetItemData(static_cast<int>(dis->itemID)));
    rc.left += 3;
    if (m_dwFlags & kFontComboShowGlyph) {
        const int image = (data & kFontComboImage1Bit) ? 1 : (data & kFontComboTrueTypeBit) ? 0 : -1;
        if (image >= 0) m_ImageList.Draw(&dc, image, POINT{rc.left, rc.top + 1}, ILD_TRANSPARENT);
        // The text lines up whether or not a glyph was drawn.
        rc.left += 12 + 3;
    }
    const CSize size = dc.GetTextExtent(text);
    const int y = rc.top + (rc.Height() - size.cy) / 2;
    dc.TextOut(rc.left, y, text);
    dc.RestoreDC(saved);
    dc.Detach();
}

void CFontCombo::MeasureItem(LPMEASUREITEMSTRUCT mis) {
    if (mis) mis->itemHeight = static_cast<UINT>(m_nItemHeight);
}

int CFontCombo::CompareItem(LPCOMPAREITEMSTRUCT) {
    return 0;
}
