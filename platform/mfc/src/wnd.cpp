#include "mfc/afxwin.h"

CWnd::~CWnd() {
    if (m_pParent) m_pParent->m_children.erase(m_nID);
    for (auto& kv : m_children) kv.second->m_pParent = nullptr;
}

void CWnd::AttachChild(int id, CWnd* child) {
    if (!child) return;
    DetachChild(id);
    if (child->m_pParent) child->m_pParent->DetachChild(child->m_nID);
    child->m_nID = id;
    child->m_pParent = this;
    m_children[id] = child;
}

void CWnd::DetachChild(int id) {
    auto it = m_children.find(id);
    if (it == m_children.end()) return;
    it->second->m_pParent = nullptr;
    m_children.erase(it);
}

CWnd* CWnd::GetDlgItem(int id) const {
    auto it = m_children.find(id);
    return it == m_children.end() ? nullptr : it->second;
}
