// CWnd, CDialog, data exchange and the standard controls, over Qt Widgets.
// A CWnd without a widget is still a plain text holder with children found by
// id, which is all the language service needs of it.
#pragma once

#include <map>
#include <memory>
#include <vector>

#include "mfc/afxcoll.h"
#include "mfc/afxgdi.h"
#include "mfc/afxmsg.h"
#include "mfc/afxstr.h"

class QWidget;
class CDataExchange;

class MFC_API CWnd {
public:
    CWnd() = default;
    virtual ~CWnd();
    CWnd(const CWnd&) = delete;
    CWnd& operator=(const CWnd&) = delete;

    virtual void SetWindowText(const WCHAR* text);
    virtual void GetWindowText(CString& out) const;
    virtual int GetWindowTextLength() const;

    // Registers `child` under `id`; the child is not owned.
    void AttachChild(int id, CWnd* child);
    void DetachChild(int id);
    CWnd* GetDlgItem(int id) const;
    int GetDlgCtrlID() const { return m_nID; }
    CWnd* GetParent() const { return m_pParent; }
    // Calls fn for every registered child, in id order.
    template <class Fn>
    void ForEachChild(Fn fn) const {
        for (const auto& kv : m_children) fn(kv.first, kv.second);
    }

    // --- window state (no-ops, or stored values, without a widget) ---
    HWND GetSafeHwnd() const { return m_hWnd; }
    static CWnd* FromHandle(HWND hwnd);
    QWidget* GetWidget() const { return m_pWidget; }
    DWORD GetStyle() const { return m_dwStyle; }
    DWORD GetExStyle() const { return m_dwExStyle; }
    BOOL EnableWindow(BOOL enable = TRUE);  // returns TRUE when it was disabled
    BOOL IsWindowEnabled() const;
    BOOL ShowWindow(int cmd);                // returns TRUE when it was visible
    BOOL IsWindowVisible() const;
    void Invalidate(BOOL erase = TRUE);
    void UpdateWindow();
    void SetRedraw(BOOL redraw = TRUE);
    void GetClientRect(LPRECT rect) const;
    void GetWindowRect(LPRECT rect) const;   // screen coordinates
    void MoveWindow(int x, int y, int cx, int cy, BOOL repaint = TRUE);
    void MoveWindow(LPCRECT rect, BOOL repaint = TRUE);
    BOOL SetWindowPos(const CWnd* after, int x, int y, int cx, int cy, UINT flags);
    void ScreenToClient(LPPOINT pt) const;
    void ScreenToClient(LPRECT rect) const;
    void ClientToScreen(LPPOINT pt) const;
    void ClientToScreen(LPRECT rect) const;
    void SetFont(CFont* font, BOOL redraw = TRUE);
    CFont* GetFont() const { return m_pFont; }
    CWnd* SetFocus();
    static CWnd* GetFocus();
    CDC* GetDC();
    int ReleaseDC(CDC* dc);

    LRESULT SendMessage(UINT msg, WPARAM wParam = 0, LPARAM lParam = 0);
    // Queued; delivered by the modal loop (or the Qt event loop) in order.
    BOOL PostMessage(UINT msg, WPARAM wParam = 0, LPARAM lParam = 0);

    int MessageBox(LPCTSTR text, LPCTSTR caption = nullptr, UINT type = MB_OK);
    void SetDlgItemText(int id, LPCTSTR text);
    int GetDlgItemText(int id, CString& out) const;
    void CheckDlgButton(int id, UINT check);
    UINT IsDlgButtonChecked(int id) const;

    BOOL UpdateData(BOOL saveAndValidate = TRUE);
    virtual void DoDataExchange(CDataExchange* /*dx*/) {}

    // Takes over the widget of the dialog's control `id` (MFC subclassing):
    // from then on its notifications reach this object's virtuals.
    BOOL SubclassDlgItem(UINT id, CWnd* parent);
    // Binds a widget created elsewhere (the dialog builder).
    void AttachWidget(QWidget* widget, DWORD style, DWORD exStyle = 0);
    QWidget* DetachWidget();

    virtual LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam);
    virtual BOOL OnChildNotify(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* result);

protected:
    virtual BOOL OnCommand(WPARAM wParam, LPARAM lParam);
    virtual BOOL OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* result);
    // Default: reflect to the child control, as MFC does.
    virtual void OnDrawItem(int idCtl, LPDRAWITEMSTRUCT dis);
    virtual void OnMeasureItem(int idCtl, LPMEASUREITEMSTRUCT mis);
    virtual int OnCompareItem(int idCtl, LPCOMPAREITEMSTRUCT cis);
    // Called after a widget was attached, for class-specific set-up.
    virtual void PreSubclassWindow() {}

    static const AFX_MSGMAP* GetThisMessageMap();
    virtual const AFX_MSGMAP* GetMessageMap() const;
    // Finds the entry for a command or notification (WM_COMMAND or WM_NOTIFY)
    // along the chain and calls it; false when none.
    bool DispatchMap(UINT msg, UINT code, UINT id, LPARAM lParam, LRESULT* result);

    CString m_strText;

public:
    HWND m_hWnd = nullptr;

protected:
    QWidget* m_pWidget = nullptr;
    DWORD m_dwStyle = 0;
    DWORD m_dwExStyle = 0;
    CFont* m_pFont = nullptr;

private:
    friend class CDialog;
    int m_nID = 0;
    CWnd* m_pParent = nullptr;
    std::map<int, CWnd*> m_children;
    std::unique_ptr<CDC> m_pDC;
};

// Data exchange between a dialog's members and its controls.
class MFC_API CDataExchange {
public:
    CDataExchange(CWnd* dlg, BOOL saveAndValidate) : m_pDlgWnd(dlg), m_bSaveAndValidate(saveAndValidate) {}
    CWnd* PrepareCtrl(int id);
    CWnd* PrepareEditCtrl(int id);
    // Ends the exchange with a failure (after the caller told the user why).
    [[noreturn]] void Fail();

    CWnd* m_pDlgWnd;
    BOOL m_bSaveAndValidate;
    int m_idLastControl = 0;
    bool m_bEditLastControl = false;
};

MFC_API void DDX_Control(CDataExchange* dx, int id, CWnd& control);
MFC_API void DDX_Text(CDataExchange* dx, int id, CString& value);
MFC_API void DDX_Text(CDataExchange* dx, int id, int& value);
MFC_API void DDX_CBString(CDataExchange* dx, int id, CString& value);
MFC_API void DDX_CBIndex(CDataExchange* dx, int id, int& index);
MFC_API void DDX_LBIndex(CDataExchange* dx, int id, int& index);
MFC_API void DDX_Check(CDataExchange* dx, int id, int& value);
MFC_API void DDV_MaxChars(CDataExchange* dx, const CString& value, int maxChars);
MFC_API void DDV_MinMaxInt(CDataExchange* dx, int value, int minVal, int maxVal);

class MFC_API CDialog : public CWnd {
public:
    explicit CDialog(UINT idTemplate = 0, CWnd* parent = nullptr);
    ~CDialog() override;

    virtual INT_PTR DoModal();
    void EndDialog(int result);
    virtual BOOL OnInitDialog();
    // True between DoModal's window creation and its end.
    bool IsModalRunning() const { return m_bModal; }
    bool HasEnded() const { return m_bEnded; }
    UINT GetTemplateId() const { return m_nIDTemplate; }
    int GetDefID() const;
    void SetDefID(int id);
    // Dialog keyboard handling: Escape cancels, Enter presses the default button.
    void HandleDialogKey(UINT vk);

protected:
    virtual void OnOK();
    virtual void OnCancel();
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

    UINT m_nIDTemplate;
    CWnd* m_pParentWnd;

    DECLARE_MESSAGE_MAP()

private:
    bool CreateFromTemplate();
    void DestroyDialogWindow();

    bool m_bModal = false;
    bool m_bEnded = false;
    int m_nResult = -1;
    int m_nDefId = 0;
    std::vector<std::unique_ptr<CWnd>> m_temporaries;
    std::unique_ptr<CFont> m_dialogFont;
    void* m_pLoop = nullptr;  // QEventLoop of an interactive modal run
};

class MFC_API CStatic : public CWnd {
public:
    ~CStatic() override;
};

class MFC_API CButton : public CWnd {
public:
    ~CButton() override;
    int GetCheck() const;
    void SetCheck(int check);
    UINT GetButtonStyle() const { return m_dwStyle & 0xFFFF; }
    // A group box with a check box in its title, as the vendor's groups have:
    // shown with `check` when `show`; a click toggles it (unless `manual`: the
    // state is then the program's to set) and sends BN_CLICKED.
    void SetTitleCheckBox(BOOL show, int check, BOOL manual);
};

class MFC_API CEdit : public CWnd {
public:
    ~CEdit() override;
    void LimitText(int maxChars = 0);
    void SetLimitText(UINT maxChars) { LimitText(static_cast<int>(maxChars)); }
    UINT GetLimitText() const;
    void SetSel(int start, int end, BOOL noScroll = FALSE);
    void SetReadOnly(BOOL readOnly = TRUE);
};

class MFC_API CListBox : public CWnd {
public:
    int AddString(LPCTSTR text);
    int InsertString(int index, LPCTSTR text);
    int DeleteString(UINT index);
    void ResetContent();
    int GetCount() const;
    int GetCurSel() const;
    int SetCurSel(int index);
    // The focus item, which keyboard moves start from; it may differ from the selection.
    int GetCaretIndex() const;
    int SetCaretIndex(int index, BOOL scroll = TRUE);
    int GetText(int index, CString& out) const;
    int GetTextLen(int index) const;
    int SetItemData(int index, DWORD_PTR data);
    DWORD_PTR GetItemData(int index) const;
    int FindString(int startAfter, LPCTSTR text) const;
    int FindStringExact(int startAfter, LPCTSTR text) const;
    int SelectString(int startAfter, LPCTSTR text);
    int GetTopIndex() const;
    int SetTopIndex(int index);
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
};

class MFC_API CComboBox : public CWnd {
public:
    int AddString(LPCTSTR text);
    int InsertString(int index, LPCTSTR text);
    int DeleteString(UINT index);
    void ResetContent();
    int GetCount() const;
    int GetCurSel() const;
    int SetCurSel(int index);
    int GetLBText(int index, CString& out) const;
    void GetLBText(int index, LPWSTR out) const;
    int GetLBTextLen(int index) const;
    int SetItemData(int index, DWORD_PTR data);
    DWORD_PTR GetItemData(int index) const;
    int FindString(int startAfter, LPCTSTR text) const;
    int FindStringExact(int startAfter, LPCTSTR text) const;
    int SelectString(int startAfter, LPCTSTR text);
    int SetItemHeight(int index, UINT height);
    int GetItemHeight(int index) const;
    BOOL LimitText(int maxChars);
    void ShowDropDown(BOOL show = TRUE);
    BOOL GetDroppedState() const;
    DWORD GetEditSel() const;
    BOOL SetEditSel(int start, int end);

    virtual void DrawItem(LPDRAWITEMSTRUCT /*dis*/) {}
    virtual void MeasureItem(LPMEASUREITEMSTRUCT /*mis*/) {}
    virtual int CompareItem(LPCOMPAREITEMSTRUCT /*cis*/) { return 0; }

    BOOL OnChildNotify(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* result) override;
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
};

// System colours as a default Windows 10 desktop reports them.
MFC_API COLORREF GetSysColor(int index);
// Screen position of the last input event (or automated action), packed as
// Windows does: x in the low word, y in the high word.
MFC_API DWORD GetMessagePos();
MFC_API void SetMessagePos(int x, int y);

MFC_API int AfxMessageBox(LPCTSTR text, UINT type = MB_OK, UINT helpId = 0);
// The caption of AfxMessageBox boxes (MFC uses the application name).
MFC_API void AfxSetAppName(LPCTSTR name);
// The modal message box behind AfxMessageBox, CWnd::MessageBox and the
// vendor's BCGPMessageBox.
MFC_API int AfxRunMessageBox(CWnd* parent, LPCTSTR text, LPCTSTR caption, UINT type);
// The application's main window: the host sets it, and messages the module
// sends to it reach the host's CWnd::WindowProc.
MFC_API CWnd* AfxGetMainWnd();
MFC_API void AfxSetMainWnd(CWnd* wnd);
// Creates the QApplication when the host has none.
MFC_API void AfxEnsureApp();
