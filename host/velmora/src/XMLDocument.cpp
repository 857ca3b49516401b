// CXMLDocument over pugixml, with the CMarkup cursor (parent, main, child).
#include "XMLDocument.h"

#include <pugixml.hpp>

#include <sstream>
#include <string>

#include "win/files.h"
#include "win/wstr.h"

struct CXMLDocument::Impl {
    pugi::xml_document doc;
    // parent: the element whose children form the current level (the document
    // itself at the top). main: the current element, or none. child: the
    // current child of main, or none.
    pugi::xml_node parent;
    pugi::xml_node main;
    pugi::xml_node child;

    void Reset() {
        parent = doc;
        main = pugi::xml_node();
        child = pugi::xml_node();
    }
};

namespace {
std::string N8(const WCHAR* s) { return Utf16ToUtf8(s ? s : u""); }

bool NameMatches(const pugi::xml_node& n, const WCHAR* name) {
    if (n.type() != pugi::node_element) return false;
    if (!name || !*name) return true;
    return N8(name) == n.name();
}

// The next element after `from` (or the first when `from` is empty) under
// `level` with the given name.
pugi::xml_node NextElement(const pugi::xml_node& level, const pugi::xml_node& from, const WCHAR* name) {
    pugi::xml_node n = from ? from.next_sibling() : level.first_child();
    for (; n; n = n.next_sibling())
        if (NameMatches(n, name)) return n;
    return pugi::xml_node();
}

pugi::xml_node PreviousElement(const pugi::xml_node& n) {
    for (pugi::xml_node p = n.previous_sibling(); p; p = p.previous_sibling())
        if (p.type() == pugi::node_element) return p;
    return pugi::xml_node();
}

CString Attr(const pugi::xml_node& n, const WCHAR* name) {
    if (!n) return CString();
    return CString(Utf8ToUtf16(n.attribute(N8(name).c_str()).value()));
}

BOOL SetAttr(pugi::xml_node n, const WCHAR* name, const std::string& value) {
    if (!n || !name || !*name) return FALSE;
    const std::string key = N8(name);
    pugi::xml_attribute a = n.attribute(key.c_str());
    if (!a) a = n.append_attribute(key.c_str());
    return a.set_value(value.c_str()) ? TRUE : FALSE;
}

pugi::xml_node AddElementAfter(pugi::xml_node level, const pugi::xml_node& after, const WCHAR* name,
                               const WCHAR* text) {
    if (!level || !name || !*name) return pugi::xml_node();
    pugi::xml_node n = after ? level.insert_child_after(pugi::node_element, after)
                             : level.append_child(pugi::node_element);
    if (!n) return n;
    n.set_name(N8(name).c_str());
    if (text && *text) n.text().set(N8(text).c_str());
    return n;
}
}  // namespace

CXMLDocument::CXMLDocument() : m(new Impl) { m->Reset(); }
CXMLDocument::~CXMLDocument() = default;

BOOL CXMLDocument::LoadXMLFile(const WCHAR* path) {
    m->doc.reset();
    m->Reset();
    const pugi::xml_parse_result r =
        m->doc.load_file(NativePath(path).c_str(), pugi::parse_default | pugi::parse_declaration);
    if (!r) {
        m->doc.reset();
        m->Reset();
        return FALSE;
    }
    return TRUE;
}

BOOL CXMLDocument::SetDoc(const WCHAR* text) {
    m->doc.reset();
    m->Reset();
    if (!text) return FALSE;
    const std::string utf8 = Utf16ToUtf8(text);
    const pugi::xml_parse_result r =
        m->doc.load_buffer(utf8.data(), utf8.size(), pugi::parse_default | pugi::parse_declaration,
                           pugi::encoding_utf8);
    if (!r) {
        m->doc.reset();
        m->Reset();
        return FALSE;
    }
    return TRUE;
}

CString CXMLDocument::GetDoc() const {
    std::ostringstream os;
    m->doc.save(os, "\t", pugi::format_default, pugi::encoding_utf8);
    return CString(Utf8ToUtf16(os.str()));
}

BOOL CXMLDocument::SaveXmlFile(const WCHAR* path) const {
    std::ostringstream os;
    m->doc.save(os, "\t", pugi::format_default, pugi::encoding_utf8);
    const std::string text = os.str();
    bool writeFailed = false;
    if (!ReplaceFileContents(path, text.data(), text.size(), &writeFailed)) return FALSE;
    return writeFailed ? FALSE : TRUE;
}

void CXMLDocument::ResetPos() { m->Reset(); }

BOOL CXMLDocument::FindElem(const WCHAR* name) {
    pugi::xml_node n = NextElement(m->parent, m->main, name);
    if (!n) return FALSE;
    m->main = n;
    m->child = pugi::xml_node();
    return TRUE;
}

BOOL CXMLDocument::FindChildElem(const WCHAR* name) {
    // Without a main position, the first element of the level becomes main.
    if (!m->main && !FindElem(nullptr)) return FALSE;
    pugi::xml_node n = NextElement(m->main, m->child, name);
    if (!n) return FALSE;
    m->child = n;
    return TRUE;
}

BOOL CXMLDocument::IntoElem() {
    if (!m->main) return FALSE;
    m->parent = m->main;
    m->main = m->child;
    m->child = pugi::xml_node();
    return TRUE;
}

BOOL CXMLDocument::OutOfElem() {
    if (!m->parent || m->parent == m->doc) return FALSE;
    m->child = m->main;
    m->main = m->parent;
    m->parent = m->parent.parent();
    return TRUE;
}

BOOL CXMLDocument::AddElem(const WCHAR* name, const WCHAR* text) {
    pugi::xml_node n = AddElementAfter(m->parent, m->main, name, text);
    if (!n) return FALSE;
    m->main = n;
    m->child = pugi::xml_node();
    return TRUE;
}

BOOL CXMLDocument::AddChildElem(const WCHAR* name, const WCHAR* text) {
    if (!m->main) return FALSE;
    pugi::xml_node n = AddElementAfter(m->main, m->child, name, text);
    if (!n) return FALSE;
    m->child = n;
    return TRUE;
}

BOOL CXMLDocument::RemoveElem() {
    if (!m->main) return FALSE;
    pugi::xml_node prev = PreviousElement(m->main);
    m->parent.remove_child(m->main);
    m->main = prev;
    m->child = pugi::xml_node();
    return TRUE;
}

BOOL CXMLDocument::RemoveChildElem() {
    if (!m->main || !m->child) return FALSE;
    pugi::xml_node prev = PreviousElement(m->child);
    m->main.remove_child(m->child);
    m->child = prev;
    return TRUE;
}

CString CXMLDocument::GetTagName() const { return m->main ? CString(Utf8ToUtf16(m->main.name())) : CString(); }
CString CXMLDocument::GetChildTagName() const {
    return m->child ? CString(Utf8ToUtf16(m->child.name())) : CString();
}
CString CXMLDocument::GetData() const { return m->main ? CString(Utf8ToUtf16(m->main.text().get())) : CString(); }
CString CXMLDocument::GetChildData() const {
    return m->child ? CString(Utf8ToUtf16(m->child.text().get())) : CString();
}
CString CXMLDocument::GetAttrib(const WCHAR* name) const { return Attr(m->main, name); }
CString CXMLDocument::GetChildAttrib(const WCHAR* name) const { return Attr(m->child, name); }
BOOL CXMLDocument::SetAttrib(const WCHAR* name, const WCHAR* value) { return SetAttr(m->main, name, N8(value)); }
BOOL CXMLDocument::SetAttrib(const WCHAR* name, int value) { return SetAttr(m->main, name, std::to_string(value)); }
BOOL CXMLDocument::SetChildAttrib(const WCHAR* name, const WCHAR* value) {
    return SetAttr(m->child, name, N8(value));
}
BOOL CXMLDocument::SetChildAttrib(const WCHAR* name, int value) {
    return SetAttr(m->child, name, std::to_string(value));
}
