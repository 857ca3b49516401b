#include "GenerateSession.h"

namespace {
std::unique_ptr<CGenerateSession> g_session;
}

CGenerateSession* CurrentGenerateSession() { return g_session.get(); }

void CGenerateSession::Remove(std::list<FontUseRecord>::iterator it) {
    const int id = it->nID;
    FontUseRecord* removed = &*it;
    records.erase(it);
    auto f = firstById.find(id);
    if (f == firstById.end() || f->second != removed) return;
    firstById.erase(f);
    for (FontUseRecord& r : records)  // a later record of the same id takes over
        if (r.nID == id) {
            firstById[id] = &r;
            break;
        }
}

int Font_BeginGenerate() {
    auto session = std::make_unique<CGenerateSession>();
    POSITION pos = g_FontList.GetHeadPosition();
    while (pos) {
        const tagHMIFONT* rec = g_FontList.GetNext(pos);
        session->records.emplace_back();
        session->records.back().nID = rec->nID;
        session->firstById.emplace(rec->nID, &session->records.back());
    }
    g_session = std::move(session);
    return 1;
}

int Font_AddString(int nID, const WCHAR* text) {
    if (!g_session || !text) return 0;
    auto it = g_session->firstById.find(nID);
    if (it == g_session->firstById.end()) return 0;
    for (const WCHAR* p = text; *p; ++p) it->second->Add(*p);
    return 0;
}

int Font_FreeMemory() {
    g_session.reset();
    return 1;
}
