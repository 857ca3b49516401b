// Stanchion: the studio's project root and application object map.
#pragma once

#include <cstdint>
#include <map>
#include <string>

#include "mfc/afxstr.h"

#define STANCHION_API __attribute__((visibility("default")))

class STANCHION_API CRootMgr {
public:
    static CRootMgr* getSingleton();
    // The open project's directory, without a trailing separator.
    CString getProjectDir() const { return m_strProjectDir; }
    // Set by the host when it opens a project; trailing separators are dropped.
    void setProjectDir(const CString& dir);

private:
    CRootMgr() = default;
    CString m_strProjectDir;
};

// The panel settings object kept under "HmiSet".
struct CHmiSet {
    int32_t nModel;
    int32_t nScreenWidth;
    int32_t nScreenHeight;
    int32_t nColorDepth;
};
static_assert(sizeof(CHmiSet) == 16, "screen size is the second and third 32-bit field");

namespace stanchion {
// The application's map from keys to objects; objects are not owned.
STANCHION_API void SetAppObject(const std::u16string& key, void* object);
STANCHION_API void* GetAppObject(const std::u16string& key);
}  // namespace stanchion
