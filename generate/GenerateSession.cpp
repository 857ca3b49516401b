#include "GenerateSession.h"

namespace {
std::unique_ptr<CGenerateSession> g_session;
}

CGenerateSession* CurrentGenerateSession() { return g_session.get(); }

void CGenerateSession::Set(int id, FontUseRecord* rec) {
    if (id >= 0 && id < 65536) {
        if (static_cast<size_t>(id) >= m_dense.size()) m_dense.resize(static_cast<size_t>(id) + 1, nullptr);
        m_dense[static_cast<size_t>(id)] = rec;
    } else if (rec) {
        m_sparse[id] = rec;
    } else {
        m_sparse.erase(id);
    }
}

void CGenerateSession::Append(int id) {
    records.emplace_back();
    records.back().nID = id;
    if (!Find(id)) Set(id, &records.back());
}

void CGenerateSession::Remove(std::list<FontUseRecord>::iterator it) {
    const int id = it->nID;
    FontUseRecord* removed = &*it;
    records.erase(it);
    if (Find(id) != removed) return;
    Set(id, nullptr);
    for (FontUseRecord& r : records)  // a later record of the same id takes over
        if (r.nID == id) {
            Set(id, &r);
            break;
        }
}

int Font_BeginGenerate() {
    auto session = std::make_unique<CGenerateSession>();
    POSITION pos = g_FontList.GetHeadPosition();
    while (pos) {
        const tagHMIFONT* rec = g_FontList.GetNext(pos);
        session->Append(rec->nID);
    }
    g_session = std::move(session);
    return 1;
}

int Font_AddString(int nID, const WCHAR* text) {
    if (!g_session || !text) return 0;
    FontUseRecord* rec = g_session->Find(nID);
    if (rec && *text) rec->used = true;
    return 0;
}

int Font_FreeMemory() {
    g_session.reset();
    return 1;
}
