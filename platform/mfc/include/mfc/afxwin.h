// CWnd: the window base class. A window has a caption text, a control id and
// child windows found by id; the dialog layer builds on it.
#pragma once

#include <map>

#include "mfc/afxcoll.h"
#include "mfc/afxstr.h"

class CWnd {
public:
    CWnd() = default;
    virtual ~CWnd();
    CWnd(const CWnd&) = delete;
    CWnd& operator=(const CWnd&) = delete;

    virtual void SetWindowText(const WCHAR* text) { m_strText = text; }
    virtual void GetWindowText(CString& out) const { out = m_strText; }
    virtual int GetWindowTextLength() const { return m_strText.GetLength(); }

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

protected:
    CString m_strText;

private:
    int m_nID = 0;
    CWnd* m_pParent = nullptr;
    std::map<int, CWnd*> m_children;
};
