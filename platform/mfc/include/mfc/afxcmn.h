// Common controls: the report-view list control and image lists.
#pragma once

#include <vector>

#include "mfc/afxwin.h"
#include "win/commctrl.h"

class MFC_API CImageList {
public:
    // Cuts a bitmap resource into images `cx` wide; pixels of `mask` colour
    // become transparent.
    BOOL Create(UINT bitmapId, int cx, int grow, COLORREF mask);
    BOOL Create(int cx, int cy, UINT flags, int initial, int grow);
    int Add(CBitmap* bmp, COLORREF mask);
    BOOL Draw(CDC* dc, int image, POINT pt, UINT style);
    int GetImageCount() const { return static_cast<int>(m_images.size()); }
    BOOL DeleteImageList() { m_images.clear(); return TRUE; }
    SIZE GetImageSize() const { return SIZE{m_cx, m_cy}; }

private:
    int m_cx = 0;
    int m_cy = 0;
    std::vector<CBitmap> m_images;
};

class MFC_API CListCtrl : public CWnd {
public:
    int InsertColumn(int col, LPCTSTR heading, int format = LVCFMT_LEFT, int width = -1, int subItem = -1);
    BOOL DeleteColumn(int col);
    int GetColumnCount() const;
    int GetColumnWidth(int col) const;
    BOOL SetColumnWidth(int col, int width);
    int InsertItem(int item, LPCTSTR text);
    BOOL SetItemText(int item, int subItem, LPCTSTR text);
    CString GetItemText(int item, int subItem) const;
    int GetItemCount() const;
    BOOL DeleteItem(int item);
    BOOL DeleteAllItems();
    BOOL SetItemState(int item, UINT state, UINT mask);
    UINT GetItemState(int item, UINT mask) const;
    BOOL SetCheck(int item, BOOL check = TRUE);
    BOOL GetCheck(int item) const;
    int GetNextItem(int start, int flags) const;
    POSITION GetFirstSelectedItemPosition() const;
    int GetNextSelectedItem(POSITION& pos) const;
    UINT GetSelectedCount() const;
    DWORD SetExtendedStyle(DWORD exStyle);
    DWORD GetExtendedStyle() const { return m_dwLvExStyle; }
    int HitTest(LVHITTESTINFO* info) const;
    int HitTest(POINT pt, UINT* flags = nullptr) const;
    BOOL SetItemData(int item, DWORD_PTR data);
    DWORD_PTR GetItemData(int item) const;
    BOOL EnsureVisible(int item, BOOL partialOk);
    BOOL GetItemRect(int item, LPRECT rect, UINT code) const;
    int GetTopIndex() const;
    // Reorders rows with a comparison of item data words (LVM_SORTITEMS).
    BOOL SortItems(int (*compare)(LPARAM, LPARAM, LPARAM), DWORD_PTR data);

protected:
    void PreSubclassWindow() override;

private:
    friend struct ListCtrlAccess;
    DWORD m_dwLvExStyle = 0;
};
