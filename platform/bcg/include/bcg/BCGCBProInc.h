// The vendor control library's dialog and control classes that the module
// uses. They are the MFC classes with the vendor's additions: visual-manager
// styling, sortable list headers, check-box group frames, its message box.
#pragma once

#include "mfc/afxcmn.h"
#include "mfc/afxwin.h"

// What libbcg.so exports: the classes and operations declared here.
#define BCG_API __attribute__((visibility("default")))

class BCG_API CBCGPDialog : public CDialog {
public:
    explicit CBCGPDialog(UINT idTemplate = 0, CWnd* parent = nullptr) : CDialog(idTemplate, parent) {}
    ~CBCGPDialog() override;
    // Paints the dialog and its controls in the visual manager's colours.
    void EnableVisualManagerStyle(BOOL enable = TRUE, BOOL nonClientArea = FALSE);
    BOOL IsVisualManagerStyle() const { return m_bVisualManagerStyle; }

private:
    BOOL m_bVisualManagerStyle = FALSE;
};

class BCG_API CBCGPListCtrl : public CListCtrl {
public:
    // With sorting on, a click on a column header sorts the rows by that
    // column's text; a second click on the same column reverses the order.
    void EnableSorting(BOOL enable = TRUE) { m_bSortingEnabled = enable; }
    BOOL IsSortingEnabled() const { return m_bSortingEnabled; }
    int GetSortColumn() const { return m_nSortColumn; }
    BOOL IsSortAscending() const { return m_bAscending; }
    void Sort(int column, BOOL ascending = TRUE);

    BOOL OnChildNotify(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* result) override;

private:
    BOOL m_bSortingEnabled = TRUE;
    int m_nSortColumn = -1;
    BOOL m_bAscending = TRUE;
};

class BCG_API CBCGPListBox : public CListBox {
public:
    ~CBCGPListBox() override;
};

class BCG_API CBCGPComboBox : public CComboBox {
public:
    ~CBCGPComboBox() override;
};

class BCG_API CBCGPButton : public CButton {
public:
    ~CBCGPButton() override;
    BOOL m_bTransparent = FALSE;
};

// A group frame that can carry a check box (or radio button) in its title.
class BCG_API CBCGPGroup : public CButton {
public:
    ~CBCGPGroup() override;
    // A non-zero style puts a box in the title (BS_CHECKBOX and BS_RADIOBUTTON
    // keep their state until the program sets it; any other value toggles on
    // a click); clicking it sends BN_CLICKED to the dialog. The box starts
    // with `check`.
    void SetCheckRadioStyle(UINT style, int check = 0, BOOL notify = TRUE, BOOL radio = FALSE, BOOL redraw = TRUE);
    UINT GetCheckRadioStyle() const { return m_nCheckStyle; }
    void SetCheck(int check, BOOL redraw = TRUE);

private:
    UINT m_nCheckStyle = 0;
};

BCG_API int BCGPMessageBox(LPCTSTR text, UINT type = MB_OK);
BCG_API int BCGPMessageBox(HWND owner, LPCTSTR text, LPCTSTR caption, UINT type);
