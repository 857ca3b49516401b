#include "win/gdi.h"

#include <cstring>
#include <unordered_set>

namespace {
struct GdiFont {
    LOGFONTW lf;
};

std::unordered_set<const void*>& LiveFonts() {
    static std::unordered_set<const void*> live;
    return live;
}
}  // namespace

HFONT CreateFontIndirectW(const LOGFONTW* lf) {
    if (!lf) return nullptr;
    auto* f = new GdiFont;
    std::memcpy(&f->lf, lf, sizeof(LOGFONTW));
    LiveFonts().insert(f);
    return reinterpret_cast<HFONT>(f);
}

bool IsLiveFont(HGDIOBJ obj) { return obj && LiveFonts().count(obj) != 0; }

int LiveFontCount() { return static_cast<int>(LiveFonts().size()); }

int GetObjectW(HGDIOBJ obj, int size, void* out) {
    if (!IsLiveFont(obj)) return 0;
    const auto* f = reinterpret_cast<const GdiFont*>(obj);
    if (!out) return static_cast<int>(sizeof(LOGFONTW));
    const int n = size < static_cast<int>(sizeof(LOGFONTW)) ? size : static_cast<int>(sizeof(LOGFONTW));
    if (n <= 0) return 0;
    std::memcpy(out, &f->lf, static_cast<size_t>(n));
    return n;
}

BOOL DeleteObject(HGDIOBJ obj) {
    if (!IsLiveFont(obj)) return FALSE;
    LiveFonts().erase(obj);
    delete reinterpret_cast<GdiFont*>(obj);
    return TRUE;
}
