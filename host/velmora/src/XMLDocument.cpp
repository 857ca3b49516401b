// CXMLDocument over pugixml, with the CMarkup cursor (parent, main, child).
#include "XMLDocument.h"

#include <pugixml.hpp>

#include <new>
#include <string>

#include "win/files.h"
#include "win/wstr.h"

namespace {

const unsigned kParseOptions = pugi::parse_default | pugi::parse_declaration;
const unsigned kFormat = pugi::format_indent;
const char kIndent[] = "\t";

std::string ToUtf8(const WCHAR* s) { return Utf16ToUtf8(s ? s : u""); }

CString ToCString(const char* s) { return CString(Utf8ToUtf16(s ? s : "")); }

bool IsNameStart(unsigned char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || c == ':' || c >= 0x80;
}

// Enough of the XML Name production to keep a saved file loadable; tag and
// attribute names come from code, never from users.
bool IsXmlName(const std::string& s) {
    if (s.empty() || !IsNameStart(static_cast<unsigned char>(s[0]))) return false;
    for (unsigned char c : s)
        if (!IsNameStart(c) && !(c >= '0' && c <= '9') && c != '-' && c != '.') return false;
    return true;
}

// Text content is written raw (attribute values are escaped), and a parsed
// file never holds a CR, so text from code is folded the same way to keep the
// saved line ends uniform.
std::string FoldLineEnds(const std::string& s) {
    std::string out;
    out.reserve(s.size());
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] != '\r') {
            out += s[i];
        } else {
            out += '\n';
            if (i + 1 < s.size() && s[i + 1] == '\n') ++i;
        }
    }
    return out;
}

bool IsElement(const pugi::xml_node& n) { return n.type() == pugi::node_element; }

bool NameMatches(const pugi::xml_node& n, const std::string& name) {
    return IsElement(n) && (name.empty() || name == n.name());
}

// The first matching element under `level` after `after`, or from the start
// when `after` is empty.
pugi::xml_node NextElement(const pugi::xml_node& level, const pugi::xml_node& after, const WCHAR* name) {
    if (!level) return pugi::xml_node();
    const std::string key = ToUtf8(name);
    for (pugi::xml_node n = after ? after.next_sibling() : level.first_child(); n; n = n.next_sibling())
        if (NameMatches(n, key)) return n;
    return pugi::xml_node();
}

pugi::xml_node PreviousElement(const pugi::xml_node& n) {
    for (pugi::xml_node p = n.previous_sibling(); p; p = p.previous_sibling())
        if (IsElement(p)) return p;
    return pugi::xml_node();
}

size_t CountElements(const pugi::xml_node& level) {
    size_t count = 0;
    for (pugi::xml_node n = level.first_child(); n; n = n.next_sibling())
        if (IsElement(n)) ++count;
    return count;
}

CString ReadAttr(const pugi::xml_node& n, const WCHAR* name) {
    if (!n || !name || !*name) return CString();
    return ToCString(n.attribute(ToUtf8(name).c_str()).value());
}

BOOL WriteAttr(pugi::xml_node n, const WCHAR* name, const std::string& value) {
    if (!n) return FALSE;
    const std::string key = ToUtf8(name);
    if (!IsXmlName(key)) return FALSE;
    pugi::xml_attribute a = n.attribute(key.c_str());
    if (!a) a = n.append_attribute(key.c_str());
    return a && a.set_value(value.c_str()) ? TRUE : FALSE;
}

// Inserts a new element under `level`, after `after` or at the end.
pugi::xml_node InsertElement(pugi::xml_node level, const pugi::xml_node& after, const WCHAR* name,
                             const WCHAR* text) {
    const std::string tag = ToUtf8(name);
    if (!level || !IsXmlName(tag)) return pugi::xml_node();
    pugi::xml_node n = after ? level.insert_child_after(pugi::node_element, after)
                             : level.append_child(pugi::node_element);
    if (!n) return n;
    if (!n.set_name(tag.c_str()) || (text && *text && !n.text().set(FoldLineEnds(ToUtf8(text)).c_str()))) {
        level.remove_child(n);
        return pugi::xml_node();
    }
    return n;
}

// The whole file, or false. Read here rather than by pugixml, which takes a
// directory's bogus size at face value and tries to allocate it.
bool ReadWholeFile(const WCHAR* path, std::string* out) {
    HANDLE h = CreateFileW(path, GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    DWORD high = 0;
    const DWORD size = GetFileSize(h, &high);
    bool ok = size != INVALID_FILE_SIZE && high == 0;
    if (ok) {
        out->resize(size);
        DWORD read = 0;
        ok = ReadFile(h, out->data(), size, &read, nullptr);
        out->resize(read);
    }
    CloseHandle(h);
    return ok;
}

struct StringWriter : pugi::xml_writer {
    std::string out;
    void write(const void* data, size_t size) override { out.append(static_cast<const char*>(data), size); }
};

std::string Serialize(const pugi::xml_document& doc) {
    StringWriter w;
    doc.save(w, kIndent, kFormat, pugi::encoding_utf8);
    return std::move(w.out);
}

}  // namespace

struct CXMLDocument::Impl {
    pugi::xml_document doc;
    // parent: the node whose children form the current level (the document
    // at the top). main: the current element on that level, or none.
    // child: the current child of main, or none.
    pugi::xml_node parent;
    pugi::xml_node main;
    pugi::xml_node child;

    void Reset() {
        parent = doc;
        main = pugi::xml_node();
        child = pugi::xml_node();
    }

    void Clear() {
        doc.reset();
        Reset();
    }

    // pugixml accepts several top-level elements; a document has exactly one.
    BOOL Accept(const pugi::xml_parse_result& r) {
        if (!r || CountElements(doc) != 1) {
            Clear();
            return FALSE;
        }
        // Saving always writes UTF-8, so a kept declaration must say so or a
        // reader would decode the saved bytes in the old encoding.
        for (pugi::xml_node n = doc.first_child(); n; n = n.next_sibling()) {
            if (n.type() != pugi::node_declaration) continue;
            if (pugi::xml_attribute enc = n.attribute("encoding")) enc.set_value("UTF-8");
            break;
        }
        Reset();
        return TRUE;
    }
};

CXMLDocument::CXMLDocument() : m(new Impl) { m->Reset(); }
CXMLDocument::~CXMLDocument() = default;

BOOL CXMLDocument::LoadXMLFile(const WCHAR* path) {
    m->Clear();
    if (!path || !*path) return FALSE;
    try {
        std::string bytes;
        if (!ReadWholeFile(path, &bytes)) return FALSE;
        return m->Accept(m->doc.load_buffer(bytes.data(), bytes.size(), kParseOptions, pugi::encoding_auto));
    } catch (const std::bad_alloc&) {
        m->Clear();
        return FALSE;
    }
}

BOOL CXMLDocument::SetDoc(const WCHAR* text) {
    m->Clear();
    if (!text) return FALSE;
    try {
        const std::string utf8 = Utf16ToUtf8(text);
        return m->Accept(m->doc.load_buffer(utf8.data(), utf8.size(), kParseOptions, pugi::encoding_utf8));
    } catch (const std::bad_alloc&) {
        m->Clear();
        return FALSE;
    }
}

CString CXMLDocument::GetDoc() const { return ToCString(Serialize(m->doc).c_str()); }

BOOL CXMLDocument::SaveXmlFile(const WCHAR* path) const {
    if (!path || !*path) return FALSE;
    try {
        const std::string text = Serialize(m->doc);
        bool writeFailed = false;
        if (!ReplaceFileContents(path, text.data(), text.size(), &writeFailed)) return FALSE;
        return writeFailed ? FALSE : TRUE;
    } catch (const std::bad_alloc&) {
        return FALSE;
    }
}

void CXMLDocument::ResetPos() { m->Reset(); }

BOOL CXMLDocument::FindElem(const WCHAR* name) {
    const pugi::xml_node n = NextElement(m->parent, m->main, name);
    if (!n) return FALSE;
    m->main = n;
    m->child = pugi::xml_node();
    return TRUE;
}

BOOL CXMLDocument::FindChildElem(const WCHAR* name) {
    if (!m->main && !FindElem(nullptr)) return FALSE;
    const pugi::xml_node n = NextElement(m->main, m->child, name);
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
    // A second top-level element would make the saved file unloadable.
    if (m->parent == m->doc && CountElements(m->doc) != 0) return FALSE;
    const pugi::xml_node n = InsertElement(m->parent, m->main, name, text);
    if (!n) return FALSE;
    m->main = n;
    m->child = pugi::xml_node();
    return TRUE;
}

BOOL CXMLDocument::AddChildElem(const WCHAR* name, const WCHAR* text) {
    if (!m->main) return FALSE;
    const pugi::xml_node n = InsertElement(m->main, m->child, name, text);
    if (!n) return FALSE;
    m->child = n;
    return TRUE;
}

BOOL CXMLDocument::RemoveElem() {
    if (!m->main) return FALSE;
    // Step off the element (and its children) before it is freed.
    const pugi::xml_node gone = m->main;
    m->main = PreviousElement(gone);
    m->child = pugi::xml_node();
    return m->parent.remove_child(gone) ? TRUE : FALSE;
}

BOOL CXMLDocument::RemoveChildElem() {
    if (!m->main || !m->child) return FALSE;
    const pugi::xml_node gone = m->child;
    m->child = PreviousElement(gone);
    return m->main.remove_child(gone) ? TRUE : FALSE;
}

CString CXMLDocument::GetTagName() const { return m->main ? ToCString(m->main.name()) : CString(); }
CString CXMLDocument::GetChildTagName() const { return m->child ? ToCString(m->child.name()) : CString(); }
CString CXMLDocument::GetData() const { return m->main ? ToCString(m->main.text().get()) : CString(); }
CString CXMLDocument::GetChildData() const { return m->child ? ToCString(m->child.text().get()) : CString(); }

CString CXMLDocument::GetAttrib(const WCHAR* name) const { return ReadAttr(m->main, name); }
CString CXMLDocument::GetChildAttrib(const WCHAR* name) const { return ReadAttr(m->child, name); }

BOOL CXMLDocument::SetAttrib(const WCHAR* name, const WCHAR* value) {
    return WriteAttr(m->main, name, ToUtf8(value));
}
BOOL CXMLDocument::SetAttrib(const WCHAR* name, int value) {
    return WriteAttr(m->main, name, std::to_string(value));
}
BOOL CXMLDocument::SetChildAttrib(const WCHAR* name, const WCHAR* value) {
    return WriteAttr(m->child, name, ToUtf8(value));
}
BOOL CXMLDocument::SetChildAttrib(const WCHAR* name, int value) {
    return WriteAttr(m->child, name, std::to_string(value));
}
