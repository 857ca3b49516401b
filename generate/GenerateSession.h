// The generation session: which characters each project font receives
// during a compile.
#pragma once

#include <list>
#include <memory>
#include <unordered_map>
#include <vector>

#include "FontTable.h"

struct FontUseRecord {
    int nID = 0;
    // Whether any character reached the font. The characters themselves serve
    // nothing else than telling used fonts from unused ones, so none is kept:
    // a text costs the same whatever the table's size.
    bool used = false;
    bool IsEmpty() const { return !used; }
};

class CGenerateSession {
public:
    // Records in table order.
    std::list<FontUseRecord> records;

    // The first record of an id; null when none.
    FontUseRecord* Find(int id) const {
        if (id >= 0 && static_cast<size_t>(id) < m_dense.size()) return m_dense[static_cast<size_t>(id)];
        auto it = m_sparse.find(id);
        return it == m_sparse.end() ? nullptr : it->second;
    }
    // Appends a record for the id; the first record of an id stays the one found.
    void Append(int id);
    void Remove(std::list<FontUseRecord>::iterator it);

private:
    void Set(int id, FontUseRecord* rec);
    // Ids a text can name are 16-bit: those are kept in a plain array.
    std::vector<FontUseRecord*> m_dense;
    std::unordered_map<int, FontUseRecord*> m_sparse;
};

// The open session, or null.
CGenerateSession* CurrentGenerateSession();
