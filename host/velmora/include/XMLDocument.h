// CXMLDocument: the studio's XML document with a CMarkup-style cursor.
//
// The position is (parent, main, child). After LoadXMLFile, SetDoc or
// ResetPos there is none: the main level is the document's top level.
//  - FindElem(name) searches the siblings after main (from the first when
//    there is no main) on the current level; found: it becomes main and child
//    is cleared. Not found: false, nothing moves. A null or empty name matches
//    any element.
//  - FindChildElem(name): with no main, first does FindElem() (any name);
//    then searches main's children after the current child, never wrapping.
//    Not found: false, nothing moves.
//  - IntoElem: parent := main, main := child (or "before the first" when
//    there is no child), child := none. Fails without a main.
//  - OutOfElem: child := main, main := parent, parent := its parent.
//  - AddChildElem adds after the current child (or at the end when there is
//    none) and makes it the child; it needs a main.
//  - RemoveElem removes main, moves main to the previous sibling (or none)
//    and clears child.
//  - SetAttrib/GetAttrib act on main, SetChildAttrib/GetChildAttrib on the
//    child; an absent attribute reads as an empty string.
#pragma once

#include <memory>

#include "mfc/afxstr.h"
#include "win/windows.h"

// What libVelmora.so exports: the classes and operations its headers declare.
#define VELMORA_API __attribute__((visibility("default")))

class VELMORA_API CXMLDocument {
public:
    CXMLDocument();
    ~CXMLDocument();
    CXMLDocument(const CXMLDocument&) = delete;
    CXMLDocument& operator=(const CXMLDocument&) = delete;

    // Non-zero on success. Paths may use backslashes. A file that is not
    // well-formed XML fails and leaves an empty document.
    BOOL LoadXMLFile(const WCHAR* path);
    // Replaces the document with the given text; non-zero when it parses.
    BOOL SetDoc(const WCHAR* text);
    // The document as UTF-8 text, as SaveXmlFile writes it.
    CString GetDoc() const;
    // Writes UTF-8 through a temporary file that replaces the target, so a
    // failed save leaves the previous file whole. Non-zero on success.
    BOOL SaveXmlFile(const WCHAR* path) const;

    void ResetPos();
    BOOL FindElem(const WCHAR* name = nullptr);
    BOOL FindChildElem(const WCHAR* name = nullptr);
    BOOL IntoElem();
    BOOL OutOfElem();
    BOOL AddElem(const WCHAR* name, const WCHAR* text = nullptr);
    BOOL AddChildElem(const WCHAR* name, const WCHAR* text = nullptr);
    BOOL RemoveElem();
    BOOL RemoveChildElem();

    CString GetTagName() const;
    CString GetChildTagName() const;
    CString GetData() const;
    CString GetChildData() const;
    CString GetAttrib(const WCHAR* name) const;
    CString GetChildAttrib(const WCHAR* name) const;
    BOOL SetAttrib(const WCHAR* name, const WCHAR* value);
    BOOL SetAttrib(const WCHAR* name, int value);
    BOOL SetChildAttrib(const WCHAR* name, const WCHAR* value);
    BOOL SetChildAttrib(const WCHAR* name, int value);
    BOOL AddAttrib(const WCHAR* name, const WCHAR* value) { return SetAttrib(name, value); }
    BOOL AddAttrib(const WCHAR* name, int value) { return SetAttrib(name, value); }
    BOOL AddChildAttrib(const WCHAR* name, const WCHAR* value) { return SetChildAttrib(name, value); }
    BOOL AddChildAttrib(const WCHAR* name, int value) { return SetChildAttrib(name, value); }

private:
    struct Impl;
    std::unique_ptr<Impl> m;
};
