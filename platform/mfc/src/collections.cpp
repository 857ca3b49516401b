#include <stdexcept>

#include "mfc/afxcoll.h"

void CStringArray::SetAtGrow(INT_PTR i, const CString& s) {
    if (i < 0) return;
    if (static_cast<size_t>(i) >= m_items.size()) m_items.resize(static_cast<size_t>(i) + 1);
    m_items[static_cast<size_t>(i)] = s;
}

void CStringArray::InsertAt(INT_PTR i, const CString& s, INT_PTR count) {
    if (i < 0 || count <= 0) return;
    if (static_cast<size_t>(i) > m_items.size()) m_items.resize(static_cast<size_t>(i));
    m_items.insert(m_items.begin() + i, static_cast<size_t>(count), s);
}

void CStringArray::RemoveAt(INT_PTR i, INT_PTR count) {
    if (i < 0 || count <= 0 || static_cast<size_t>(i) >= m_items.size()) return;
    const auto end = std::min(m_items.size(), static_cast<size_t>(i + count));
    m_items.erase(m_items.begin() + i, m_items.begin() + static_cast<std::ptrdiff_t>(end));
}

INT_PTR CStringArray::Append(const CStringArray& other) {
    const INT_PTR first = GetSize();
    m_items.insert(m_items.end(), other.m_items.begin(), other.m_items.end());
    return first;
}

void*& CPtrList::GetHead() {
    if (!m_head) throw std::out_of_range("CPtrList::GetHead on an empty list");
    return m_head->data;
}

void*& CPtrList::GetTail() {
    if (!m_tail) throw std::out_of_range("CPtrList::GetTail on an empty list");
    return m_tail->data;
}

POSITION CPtrList::AddHead(void* p) {
    Node* n = new Node;
    n->data = p;
    n->next = m_head;
    if (m_head) m_head->prev = n; else m_tail = n;
    m_head = n;
    ++m_count;
    ++m_changes;
    return n;
}

POSITION CPtrList::AddTail(void* p) {
    Node* n = new Node;
    n->data = p;
    n->prev = m_tail;
    if (m_tail) m_tail->next = n; else m_head = n;
    m_tail = n;
    ++m_count;
    ++m_changes;
    return n;
}

void* CPtrList::RemoveHead() {
    void* p = GetHead();
    RemoveAt(m_head);
    return p;
}

void* CPtrList::RemoveTail() {
    void* p = GetTail();
    RemoveAt(m_tail);
    return p;
}

void CPtrList::RemoveAt(POSITION pos) {
    Node* n = N(pos);
    if (!n) return;
    if (n->prev) n->prev->next = n->next; else m_head = n->next;
    if (n->next) n->next->prev = n->prev; else m_tail = n->prev;
    delete n;
    --m_count;
    ++m_changes;
}

void CPtrList::RemoveAll() {
    Node* n = m_head;
    while (n) {
        Node* next = n->next;
        delete n;
        n = next;
    }
    m_head = m_tail = nullptr;
    m_count = 0;
    ++m_changes;
}

POSITION CPtrList::GetHeadPosition() const { return m_head; }
POSITION CPtrList::GetTailPosition() const { return m_tail; }

void*& CPtrList::GetNext(POSITION& pos) {
    Node* n = N(pos);
    pos = n->next;
    return n->data;
}

void* CPtrList::GetNext(POSITION& pos) const {
    Node* n = N(pos);
    pos = n->next;
    return n->data;
}

void*& CPtrList::GetPrev(POSITION& pos) {
    Node* n = N(pos);
    pos = n->prev;
    return n->data;
}

void*& CPtrList::GetAt(POSITION pos) { return N(pos)->data; }
void CPtrList::SetAt(POSITION pos, void* p) {
    N(pos)->data = p;
    ++m_changes;
}

POSITION CPtrList::InsertBefore(POSITION pos, void* p) {
    Node* at = N(pos);
    if (!at) return AddHead(p);
    Node* n = new Node;
    n->data = p;
    n->next = at;
    n->prev = at->prev;
    if (at->prev) at->prev->next = n; else m_head = n;
    at->prev = n;
    ++m_count;
    ++m_changes;
    return n;
}

POSITION CPtrList::InsertAfter(POSITION pos, void* p) {
    Node* at = N(pos);
    if (!at) return AddTail(p);
    Node* n = new Node;
    n->data = p;
    n->prev = at;
    n->next = at->next;
    if (at->next) at->next->prev = n; else m_tail = n;
    at->next = n;
    ++m_count;
    ++m_changes;
    return n;
}

POSITION CPtrList::Find(void* p, POSITION startAfter) const {
    Node* n = startAfter ? N(startAfter)->next : m_head;
    for (; n; n = n->next)
        if (n->data == p) return n;
    return nullptr;
}

POSITION CPtrList::FindIndex(INT_PTR index) const {
    if (index < 0 || index >= m_count) return nullptr;
    Node* n = m_head;
    while (index-- > 0) n = n->next;
    return n;
}
