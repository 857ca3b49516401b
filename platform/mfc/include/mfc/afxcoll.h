// MFC collections: CStringArray, CPtrList, CTypedPtrList.
#pragma once

#include <cstdint>
#include <list>
#include <vector>

#include "mfc/afxstr.h"

// Opaque iteration position, as in MFC. Null means "past the end".
struct __POSITION {};
typedef __POSITION* POSITION;

class MFC_API CStringArray {
public:
    INT_PTR GetSize() const { return static_cast<INT_PTR>(m_items.size()); }
    INT_PTR GetCount() const { return GetSize(); }
    INT_PTR GetUpperBound() const { return GetSize() - 1; }
    bool IsEmpty() const { return m_items.empty(); }
    INT_PTR Add(const CString& s) {
        m_items.push_back(s);
        return GetSize() - 1;
    }
    const CString& GetAt(INT_PTR i) const { return m_items.at(static_cast<size_t>(i)); }
    CString& ElementAt(INT_PTR i) { return m_items.at(static_cast<size_t>(i)); }
    void SetAt(INT_PTR i, const CString& s) { m_items.at(static_cast<size_t>(i)) = s; }
    void SetAtGrow(INT_PTR i, const CString& s);
    void SetSize(INT_PTR n) { m_items.resize(static_cast<size_t>(n < 0 ? 0 : n)); }
    void InsertAt(INT_PTR i, const CString& s, INT_PTR count = 1);
    void RemoveAt(INT_PTR i, INT_PTR count = 1);
    void RemoveAll() { m_items.clear(); }
    INT_PTR Append(const CStringArray& other);
    void Copy(const CStringArray& other) { m_items = other.m_items; }
    const CString& operator[](INT_PTR i) const { return GetAt(i); }
    CString& operator[](INT_PTR i) { return ElementAt(i); }

private:
    std::vector<CString> m_items;
};

// A doubly linked list of void*, with MFC's POSITION iteration:
//   POSITION pos = list.GetHeadPosition();
//   while (pos) { void* p = list.GetNext(pos); ... }
// GetNext returns the element at pos and advances pos. RemoveAt invalidates
// only the removed position.
//
// Every member that adds, removes or replaces an element advances a change
// count, so an index kept beside a list can tell that the list changed under
// it. Writes through the references that GetHead, GetNext, GetAt and the
// like return are not counted: an index keeps positions, not elements.
class MFC_API CPtrList {
public:
    CPtrList() = default;
    CPtrList(const CPtrList&) = delete;
    CPtrList& operator=(const CPtrList&) = delete;
    ~CPtrList() { RemoveAll(); }

    INT_PTR GetCount() const { return m_count; }
    INT_PTR GetSize() const { return m_count; }
    bool IsEmpty() const { return m_count == 0; }
    uint64_t GetChangeCount() const { return m_changes; }

    void*& GetHead();
    void*& GetTail();
    POSITION AddHead(void* p);
    POSITION AddTail(void* p);
    void* RemoveHead();
    void* RemoveTail();
    void RemoveAt(POSITION pos);
    void RemoveAll();

    POSITION GetHeadPosition() const;
    POSITION GetTailPosition() const;
    void*& GetNext(POSITION& pos);
    void* GetNext(POSITION& pos) const;
    void*& GetPrev(POSITION& pos);
    void*& GetAt(POSITION pos);
    void SetAt(POSITION pos, void* p);
    POSITION InsertBefore(POSITION pos, void* p);
    POSITION InsertAfter(POSITION pos, void* p);
    POSITION Find(void* p, POSITION startAfter = nullptr) const;
    POSITION FindIndex(INT_PTR index) const;

private:
    struct Node : __POSITION {
        Node* prev = nullptr;
        Node* next = nullptr;
        void* data = nullptr;
    };
    static Node* N(POSITION pos) { return static_cast<Node*>(pos); }
    Node* m_head = nullptr;
    Node* m_tail = nullptr;
    INT_PTR m_count = 0;
    uint64_t m_changes = 0;
};

template <class BASE, class TYPE>
class CTypedPtrList : public BASE {
public:
    TYPE& GetHead() { return reinterpret_cast<TYPE&>(BASE::GetHead()); }
    TYPE& GetTail() { return reinterpret_cast<TYPE&>(BASE::GetTail()); }
    TYPE RemoveHead() { return static_cast<TYPE>(BASE::RemoveHead()); }
    TYPE RemoveTail() { return static_cast<TYPE>(BASE::RemoveTail()); }
    POSITION AddHead(TYPE p) { return BASE::AddHead(p); }
    POSITION AddTail(TYPE p) { return BASE::AddTail(p); }
    TYPE& GetNext(POSITION& pos) { return reinterpret_cast<TYPE&>(BASE::GetNext(pos)); }
    TYPE GetNext(POSITION& pos) const {
        return static_cast<TYPE>(static_cast<const BASE*>(this)->GetNext(pos));
    }
    TYPE& GetPrev(POSITION& pos) { return reinterpret_cast<TYPE&>(BASE::GetPrev(pos)); }
    TYPE& GetAt(POSITION pos) { return reinterpret_cast<TYPE&>(BASE::GetAt(pos)); }
    void SetAt(POSITION pos, TYPE p) { BASE::SetAt(pos, p); }
};
