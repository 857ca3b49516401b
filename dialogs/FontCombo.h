// The owner-drawn list of installed faces shared by the font dialogs.
#pragma once

#include "bcg/BCGCBProInc.h"
#include "fonttable/FontTable.h"

// Item data bits read when drawing.
constexpr DWORD kFontComboImage1Bit = 0x10000;
constexpr DWORD kFontComboTrueTypeBit = 4;
// m_dwFlags: draw the technology glyph before the name.
constexpr DWORD kFontComboShowGlyph = 4;

class CFontCombo : public CBCGPComboBox {
public:
    CFontCombo() = default;
    ~CFontCombo() override;

    void Init(int selectionHeight, int itemHeight, int flags);
    void DrawItem(LPDRAWITEMSTRUCT dis) override;
    void MeasureItem(LPMEASUREITEMSTRUCT mis) override;
    int CompareItem(LPCOMPAREITEMSTRUCT cis) override;

    CImageList m_ImageList;
    int m_nItemHeight = 0;
    DWORD m_dwFlags = 0;
};
