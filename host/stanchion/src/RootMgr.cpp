#include "Stanchion.h"

CRootMgr* CRootMgr::getSingleton() {
    static CRootMgr mgr;
    return &mgr;
}

void CRootMgr::setProjectDir(const CString& dir) {
    CString d = dir;
    while (d.GetLength() > 1 && (d[d.GetLength() - 1] == u'\\' || d[d.GetLength() - 1] == u'/'))
        d = d.Left(d.GetLength() - 1);
    m_strProjectDir = d;
}

namespace {
std::map<std::u16string, void*>& Objects() {
    static std::map<std::u16string, void*> objects;
    return objects;
}
}  // namespace

namespace stanchion {
void SetAppObject(const std::u16string& key, void* object) {
    if (object)
        Objects()[key] = object;
    else
        Objects().erase(key);
}

void* GetAppObject(const std::u16string& key) {
    auto it = Objects().find(key);
    return it == Objects().end() ? nullptr : it->second;
}
}  // namespace stanchion
