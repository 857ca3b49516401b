// Id -> position of the first record with that id in table order.
//
// g_FontList is public: anyone may add, remove or replace records, or edit a
// record in place through a pointer. The index is therefore made again
// whenever the list's change count differs from the one it was made at, and
// it believes itself only as far as the records confirm it: a hit must name
// a record that still holds the id, and a miss is checked against the ids
// of every record (a scan over an array, not a walk of the list). Either
// finding the table edited makes the index again. The changes the module
// makes itself through AppendFontRecord and RemoveFontRecord keep it, after
// a scan of the ids every record held when indexed (an array, no hashing):
// an in-place edit is seen there, as at any other change of the list.
//
// Not seen until the list changes next: an in-place edit that gives an
// earlier record the id of a later one, making two records of one id, which
// no operation of the module does.
#include "FontTableIndex.h"

#include <algorithm>
#include <cstdint>
#include <unordered_map>
#include <vector>

namespace {
class FontIdIndex {
public:
    POSITION Find(int id) {
        if (!Current()) Build();
        POSITION pos = Indexed(id);
        if (pos ? IdAt(pos) == id : !Holds(id)) return pos;
        Build();
        return Indexed(id);
    }

    POSITION Append(tagHMIFONT* rec) {
        const bool current = Current() && !Edited();
        POSITION pos = g_FontList.AddTail(rec);
        if (!current) {
            m_built = false;  // made again at the next look-up
            return pos;
        }
        m_order.push_back(pos);
        m_ids.push_back(IdAt(pos));
        if (rec && !Indexed(rec->nID)) Set(rec->nID, pos);
        else if (rec) m_repeated = true;
        m_changes = g_FontList.GetChangeCount();
        return pos;
    }

    void Remove(POSITION pos) {
        const tagHMIFONT* rec = g_FontList.GetAt(pos);
        // Kept only when the record still holds the id it is indexed under.
        // With an id held twice the next record of that id would take over;
        // that rare table is simply made again.
        const bool keep = Current() && !m_repeated && rec && Indexed(rec->nID) == pos && !Edited();
        const int id = rec ? rec->nID : 0;
        g_FontList.RemoveAt(pos);
        auto at = std::find(m_order.begin(), m_order.end(), pos);
        if (!keep || at == m_order.end()) {
            m_built = false;
            return;
        }
        m_ids.erase(m_ids.begin() + (at - m_order.begin()));
        m_order.erase(at);
        Set(id, nullptr);
        m_changes = g_FontList.GetChangeCount();
    }

private:
    // Ids a text can name are 16-bit: those are kept in a plain array.
    static constexpr int kDense = 65536;

    bool Current() const { return m_built && g_FontList.GetChangeCount() == m_changes; }

    static int64_t IdAt(POSITION pos) {
        const tagHMIFONT* rec = g_FontList.GetAt(pos);
        return rec ? rec->nID : INT64_MIN;
    }

    POSITION Indexed(int id) const {
        if (id >= 0 && id < kDense)
            return static_cast<size_t>(id) < m_dense.size() ? m_dense[static_cast<size_t>(id)] : nullptr;
        auto it = m_sparse.find(id);
        return it == m_sparse.end() ? nullptr : it->second;
    }

    void Set(int id, POSITION pos) {
        if (id >= 0 && id < kDense) {
            const size_t i = static_cast<size_t>(id);
            if (i >= m_dense.size()) m_dense.resize(i + 1, nullptr);
            m_dense[i] = pos;
        } else if (pos) {
            m_sparse[id] = pos;
        } else {
            m_sparse.erase(id);
        }
    }

    // Whether a record holds another id than the one it was indexed under.
    bool Edited() const {
        for (size_t i = 0; i < m_order.size(); ++i)
            if (IdAt(m_order[i]) != m_ids[i]) return true;
        return false;
    }

    // Whether any record holds the id now.
    bool Holds(int id) const {
        for (POSITION pos : m_order)
            if (IdAt(pos) == id) return true;
        return false;
    }

    void Build() {
        m_dense.clear();
        m_sparse.clear();
        m_order.clear();
        m_ids.clear();
        m_order.reserve(static_cast<size_t>(g_FontList.GetCount()));
        m_ids.reserve(m_order.capacity());
        m_repeated = false;
        POSITION pos = g_FontList.GetHeadPosition();
        while (pos) {
            POSITION at = pos;
            const tagHMIFONT* rec = g_FontList.GetNext(pos);
            m_order.push_back(at);
            m_ids.push_back(rec ? rec->nID : INT64_MIN);
            if (!rec) continue;
            if (Indexed(rec->nID))
                m_repeated = true;  // the first record of an id wins
            else
                Set(rec->nID, at);
        }
        m_changes = g_FontList.GetChangeCount();
        m_built = true;
    }

    bool m_built = false;
    bool m_repeated = false;  // some id is held by more than one record
    uint64_t m_changes = 0;
    std::vector<POSITION> m_dense;
    std::unordered_map<int, POSITION> m_sparse;
    std::vector<POSITION> m_order;  // every record's position, in table order
    std::vector<int64_t> m_ids;     // the id each of them held when indexed
};

FontIdIndex& IdIndex() {
    static FontIdIndex index;
    return index;
}
}  // namespace

POSITION FindFontPosition(int nID) { return IdIndex().Find(nID); }

POSITION AppendFontRecord(tagHMIFONT* rec) { return IdIndex().Append(rec); }

void RemoveFontRecord(POSITION pos) {
    if (pos) IdIndex().Remove(pos);
}
