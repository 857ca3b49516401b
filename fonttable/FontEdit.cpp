// Creating, changing and deleting fonts of the project table.
#include <climits>
#include <cstring>

#include "FontTableIndex.h"
#include "GenerateSession.h"
#include "FontTable.h"
#include "Velmora.h"
#include "win/gdi.h"
#include "win/wstr.h"

tagHMIFONT* AppendNewFont(const LOGFONTW& lf, const WCHAR* name) {
    // Ids are never reused or wrapped: once the counter reached the largest
    // id, no font can be created.
    if (g_nMaxFontID == INT_MAX) return nullptr;
    auto* rec = new tagHMIFONT;
    std::memset(rec, 0, sizeof *rec);
    rec->nID = ++g_nMaxFontID;
    CopyFixedName(rec->szName, name ? name : u"", 32);
    rec->lf = lf;
    AppendFontRecord(rec);
    return rec;
}

int AddFontFromParam(const LOGFONTW& lf, const CString& name) {
    CString candidate = name;
    for (int k = 1; findFontByName(candidate); ++k) candidate = Format(u"%s_(%d)", name.GetString(), k);
    const tagHMIFONT* rec = AppendNewFont(lf, candidate);
    return rec ? rec->nID : 0;
}

int NewFontByInfo(const WCHAR* face, int size, const WCHAR* style, int* pId) {
    if (!face) face = u"";
    LOGFONTW lf;
    std::memset(&lf, 0, sizeof lf);
    CopyFixedName(lf.lfFaceName, face, LF_FACESIZE);
    lf.lfHeight = size;
    const CString styleName = style ? style : u"";
    lf.lfWeight = FW_NORMAL;
    if (styleName == LA_GetString(u"STR_40009")) {
        lf.lfWeight = FW_BOLD;
        lf.lfItalic = 1;
    } else if (styleName == LA_GetString(u"STR_40008")) {
        lf.lfWeight = 0;
        lf.lfItalic = 1;
    } else if (styleName == LA_GetString(u"STR_40007")) {
        lf.lfWeight = FW_BOLD;
    }
    lf.lfCharSet = DEFAULT_CHARSET;
    SyncFontMetrics(lf);

    const size_t faceLen = wcslen16(face);
    POSITION pos = g_FontList.GetHeadPosition();
    while (pos) {
        const tagHMIFONT* rec = g_FontList.GetNext(pos);
        if (rec->nID < kDefaultFontID) continue;
        if (rec->lf.lfHeight != lf.lfHeight || rec->lf.lfWeight != lf.lfWeight || rec->lf.lfItalic != lf.lfItalic)
            continue;
        // A prefix match: "Arial" reuses an "Arial Black" font of the same size.
        if (faceLen > LF_FACESIZE || std::memcmp(rec->lf.lfFaceName, face, faceLen * sizeof(WCHAR)) != 0) continue;
        if (pId) *pId = rec->nID;
        return 1;
    }
    HFONT font = CreateFontIndirectW(&lf);
    if (!font) return 0;
    DeleteObject(reinterpret_cast<HGDIOBJ>(font));
    if (g_nMaxFontID == INT_MAX) return 0;
    const CString name = Format(u"%c_%s%d_%d", u'{', face, size, g_nMaxFontID + 1);
    tagHMIFONT* rec = AppendNewFont(lf, name);
    if (!rec) return 0;
    if (pId) *pId = rec->nID;
    return 1;
}

int DelHmiFont(int nID) {
    POSITION pos = FindFontPosition(nID);
    if (!pos) return 0;
    tagHMIFONT* rec = g_FontList.GetAt(pos);
    RemoveFontRecord(pos);
    delete rec;
    return 1;
}

void DelUnUseFont() {
    CGenerateSession* session = CurrentGenerateSession();
    if (!session) return;
    for (auto it = session->records.begin(); it != session->records.end();) {
        auto next = std::next(it);
        if (it->IsEmpty()) {
            DelHmiFont(it->nID);
            session->Remove(it);
        }
        it = next;
    }
    Font_SaveLib();
}

int Font_GetLogFont(int nID, LOGFONTW* out, int useDefault, int nLang) {
    const tagHMIFONT* rec = findFontInList(nID);
    if (!rec || !out) return 0;
    *out = rec->lf;
    if (useDefault || nID == kDefaultFontID || nID == kLastBuiltinFontID)
        CopyFixedName(out->lfFaceName, GetDefaultFont(nLang), LF_FACESIZE);
    return 1;
}

int Font_SetLogFont(int nID, const LOGFONTW* lf) {
    tagHMIFONT* rec = findFontInList(nID);
    if (!rec || !lf) return 0;
    rec->lf = *lf;
    return 1;
}
