#include <QWidget>
#include <algorithm>
#include <vector>

#include "bcg/BCGCBProInc.h"

// Out of line, so that these classes' vtables live in this library alone.
CBCGPDialog::~CBCGPDialog() = default;
CBCGPListBox::~CBCGPListBox() = default;
CBCGPComboBox::~CBCGPComboBox() = default;
CBCGPButton::~CBCGPButton() = default;
CBCGPGroup::~CBCGPGroup() = default;

void CBCGPDialog::EnableVisualManagerStyle(BOOL enable, BOOL) {
    m_bVisualManagerStyle = enable;
    QWidget* w = GetWidget();
    if (!w) return;
    // The manager's light theme: a white client area with a thin blue-grey frame on lists and fields.
    w->setStyleSheet(enable ? QStringLiteral("QDialog { background: #f5f6f7; }"
                                             "QGroupBox { border: 1px solid #c5cad3; margin-top: 7px; }"
                                             "QGroupBox::title { subcontrol-origin: margin; left: 7px; padding: 0 2px; }")
                            : QString());
}

void CBCGPListCtrl::Sort(int column, BOOL ascending) {
    if (column < 0 || column >= GetColumnCount()) return;
    m_nSortColumn = column;
    m_bAscending = ascending;
    // Sort through item data holding the row's text, then restore the data.
    const int n = GetItemCount();
    std::vector<DWORD_PTR> saved(static_cast<size_t>(n));
    std::vector<CString> texts(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) {
        saved[static_cast<size_t>(i)] = GetItemData(i);
        texts[static_cast<size_t>(i)] = GetItemText(i, column);
    }
    std::vector<std::pair<CString*, DWORD_PTR>> keys(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) {
        keys[static_cast<size_t>(i)] = {&texts[static_cast<size_t>(i)], saved[static_cast<size_t>(i)]};
        SetItemData(i, reinterpret_cast<DWORD_PTR>(&keys[static_cast<size_t>(i)]));
    }
    struct Ctx {
        BOOL ascending;
    } ctx{ascending};
    SortItems(
        [](LPARAM a, LPARAM b, LPARAM c) -> int {
            const auto* ka = reinterpret_cast<const std::pair<CString*, DWORD_PTR>*>(a);
            const auto* kb = reinterpret_cast<const std::pair<CString*, DWORD_PTR>*>(b);
            const int r = ka->first->CompareNoCase(*kb->first);
            return reinterpret_cast<const Ctx*>(c)->ascending ? r : -r;
        },
        reinterpret_cast<DWORD_PTR>(&ctx));
    for (int i = 0; i < n; ++i) {
        const auto* k = reinterpret_cast<const std::pair<CString*, DWORD_PTR>*>(GetItemData(i));
        SetItemData(i, k->second);
    }
}

BOOL CBCGPListCtrl::OnChildNotify(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* result) {
    if (msg == WM_NOTIFY && m_bSortingEnabled) {
        const auto* nm = reinterpret_cast<const NMLISTVIEW*>(lParam);
        if (nm && nm->hdr.code == LVN_COLUMNCLICK) {
            const BOOL ascending = nm->iSubItem == m_nSortColumn ? !m_bAscending : TRUE;
            Sort(nm->iSubItem, ascending);
        }
    }
    return CListCtrl::OnChildNotify(msg, wParam, lParam, result);
}

void CBCGPGroup::SetCheck(int check, BOOL) {
    CButton::SetCheck(check);
}

void CBCGPGroup::SetCheckRadioStyle(UINT style, int check, BOOL, BOOL, BOOL) {
    m_nCheckStyle = style;
    // The manual kinds keep their state until the program sets it.
    SetTitleCheckBox(style != 0, check, style == BS_CHECKBOX || style == BS_RADIOBUTTON);
}

int BCGPMessageBox(LPCTSTR text, UINT type) {
    return AfxRunMessageBox(nullptr, text, nullptr, type);
}

int BCGPMessageBox(HWND owner, LPCTSTR text, LPCTSTR caption, UINT type) {
    return AfxRunMessageBox(CWnd::FromHandle(owner), text, caption, type);
}
