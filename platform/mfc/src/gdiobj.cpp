#include "mfc/afxgdi.h"

// The destructors are defined here so that the classes' vtables and type
// information live in this library alone.
CGdiObject::~CGdiObject() {
    DeleteObject();
}

CFont::~CFont() = default;

BOOL CGdiObject::Attach(HGDIOBJ obj) {
    // MFC asserts on attaching over a live handle; here the old one is kept
    // and the attach refused, so no handle leaks.
    if (m_hObject || !obj) return FALSE;
    m_hObject = obj;
    return TRUE;
}

HGDIOBJ CGdiObject::Detach() {
    HGDIOBJ h = m_hObject;
    m_hObject = nullptr;
    return h;
}

BOOL CGdiObject::DeleteObject() {
    if (!m_hObject) return FALSE;
    BOOL ok = ::DeleteObject(m_hObject);
    m_hObject = nullptr;
    return ok;
}

BOOL CFont::CreateFontIndirect(const LOGFONTW* lf) {
    if (m_hObject || !lf) return FALSE;
    return Attach(reinterpret_cast<HGDIOBJ>(::CreateFontIndirectW(lf)));
}

int CFont::GetLogFont(LOGFONTW* lf) const {
    return ::GetObjectW(m_hObject, static_cast<int>(sizeof(LOGFONTW)), lf);
}
