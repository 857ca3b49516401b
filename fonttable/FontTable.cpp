// The project font table, its file Font.hft, and id look-ups.
#include <algorithm>
#include <cstring>

#include "FontTableIndex.h"
#include "Stanchion.h"
#include "FontTable.h"
#include "Velmora.h"
#include "win/files.h"
#include "win/wstr.h"

CHmiFontList g_FontList;
int g_nMaxFontID = kDefaultFontID;
int g_nLastSelFont = kDefaultFontID;

namespace {
constexpr size_t kRecordSize = sizeof(tagHMIFONT);

struct LegacyCell {
    LONG width;
    LONG height;
};
constexpr LegacyCell kLegacyCells[kLegacyFontCount] = {{6, 12},  {8, 16},  {12, 12}, {16, 16}, {12, 24},
                                                       {16, 32}, {24, 16}, {24, 24}, {24, 32}, {32, 32}};
}  // namespace

CString FontTablePath() {
    const CString dir = CRootMgr::getSingleton()->getProjectDir();
    if (dir.IsEmpty()) return CString();
    return dir + u"\\Font.hft";
}

void Font_DenitLib() {
    POSITION pos = g_FontList.GetHeadPosition();
    while (pos) delete g_FontList.GetNext(pos);
    g_FontList.RemoveAll();
}

int Font_SaveLib() {
    const CString path = FontTablePath();
    // Without a project there is nowhere to write; "\Font.hft" would be the root.
    if (path.IsEmpty()) return 0;
    const auto count = static_cast<uint32_t>(g_FontList.GetCount());
    std::vector<unsigned char> bytes(4 + kRecordSize * count);
    for (int i = 0; i < 4; ++i) bytes[static_cast<size_t>(i)] = static_cast<unsigned char>(count >> (8 * i));
    size_t off = 4;
    POSITION pos = g_FontList.GetHeadPosition();
    while (pos) {
        std::memcpy(&bytes[off], g_FontList.GetNext(pos), kRecordSize);
        off += kRecordSize;
    }
    // Write errors after the file is open are not reported; the temporary
    // file keeps the previous table whole in that case.
    bool writeFailed = false;
    return ReplaceFileContents(path, bytes.data(), bytes.size(), &writeFailed) ? 1 : 0;
}

void TerminateNames(tagHMIFONT& rec) {
    // Names from a file may fill their fields; everything reads them up to a terminator.
    rec.szName[31] = 0;
    rec.lf.lfFaceName[LF_FACESIZE - 1] = 0;
}

HftFileContents ReadFontTableFile(const WCHAR* path) {
    HftFileContents out;
    HANDLE h = CreateFileW(path, GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return out;
    out.opened = true;
    DWORD high = 0;
    const DWORD low = GetFileSize(h, &high);
    const uint64_t size = (static_cast<uint64_t>(high) << 32) | low;
    unsigned char header[4] = {};
    DWORD read = 0;
    if (low == INVALID_FILE_SIZE || !ReadFile(h, header, 4, &read, nullptr) || read != 4) {
        CloseHandle(h);
        return out;
    }
    out.headerRead = true;
    out.declared = static_cast<uint32_t>(header[0]) | static_cast<uint32_t>(header[1]) << 8 |
                   static_cast<uint32_t>(header[2]) << 16 | static_cast<uint32_t>(header[3]) << 24;
    // The count comes from the file: trust only what the file can hold.
    const uint64_t fits = (size - 4) / kRecordSize;
    const uint64_t want = out.declared < fits ? out.declared : fits;
    out.records.reserve(static_cast<size_t>(want));
    for (uint64_t k = 0; k < want; ++k) {
        tagHMIFONT rec;
        if (!ReadFile(h, &rec, kRecordSize, &read, nullptr) || read != kRecordSize) break;
        TerminateNames(rec);
        out.records.push_back(rec);
    }
    out.complete = out.records.size() == out.declared && size == 4 + kRecordSize * uint64_t{out.declared};
    CloseHandle(h);
    return out;
}

tagHMIFONT* findFontInList(int nID) {
    POSITION pos = FindFontPosition(nID);
    return pos ? g_FontList.GetAt(pos) : nullptr;
}

tagHMIFONT* findFontByName(const WCHAR* name) {
    const CString wanted(name ? name : u"");
    POSITION pos = g_FontList.GetHeadPosition();
    while (pos) {
        tagHMIFONT* rec = g_FontList.GetNext(pos);
        if (wanted == CString(rec->szName)) return rec;
    }
    return nullptr;
}

int Font_IsValid(int nID) { return findFontInList(nID) ? 1 : 0; }

int Font_IsVFont(int nID) { return Font_IsValid(nID); }

const WCHAR* Font_GetFontName(int nID) {
    const tagHMIFONT* rec = findFontInList(nID);
    return rec ? rec->szName : u"";
}

void Font_GetFontNames(CStringArray& names, CStringArray& ids) {
    POSITION pos = g_FontList.GetHeadPosition();
    while (pos) {
        const tagHMIFONT* rec = g_FontList.GetNext(pos);
        if (rec->szName[0] == u'{') continue;
        CString name;
        // szName comes from a file: never read past its 32 units.
        name = CString(rec->szName, static_cast<int>(std::find(rec->szName, rec->szName + 32, u'\0') - rec->szName));
        names.Add(name);
        ids.Add(Format(u"%d", rec->nID));
    }
    names.Add(LA_GetString(u"STR_40017"));
    ids.Add(Format(u"%d", -1));
}

int CreateLegacyFont(CFont& font, int nID, int bBold) {
    font.DeleteObject();
    if (nID < 0 || nID >= kLegacyFontCount) return 0;
    LOGFONTW lf;
    std::memset(&lf, 0, sizeof lf);
    lf.lfWidth = kLegacyCells[nID].width;
    lf.lfHeight = kLegacyCells[nID].height;
    lf.lfCharSet = GB2312_CHARSET;
    lf.lfClipPrecision = CLIP_LH_ANGLES;
    if (bBold) lf.lfWeight |= FW_BOLD;
    CopyFixedName(lf.lfFaceName, u"MS Sans Serif", LF_FACESIZE);
    font.CreateFontIndirect(&lf);
    return 1;
}

int CreateHmiFont(CFont& font, _HMIFONT* desc) {
    const tagHMIFONT* rec = desc ? findFontInList(desc->nID) : nullptr;
    if (!rec) {
        CreateLegacyFont(font, 0, desc ? desc->bBold : 0);
        return 1;
    }
    LOGFONTW lf = rec->lf;
    // OR, not assignment: a stored weight of 400 becomes 956.
    if (desc->bBold) lf.lfWeight |= FW_BOLD;
    font.CreateFontIndirect(&lf);
    return 1;
}

void SetLastSelFont(int nID) { g_nLastSelFont = nID; }
int GetLastSelFont() { return g_nLastSelFont; }

void SyncFontMetrics(LOGFONTW& lf) {
    HFONT font = CreateFontIndirectW(&lf);
    HDC dc = GetDC(nullptr);
    HGDIOBJ old = SelectObject(dc, reinterpret_cast<HGDIOBJ>(font));
    TEXTMETRICW tm;
    std::memset(&tm, 0, sizeof tm);
    GetTextMetricsW(dc, &tm);
    SelectObject(dc, old);
    ReleaseDC(nullptr, dc);
    DeleteObject(reinterpret_cast<HGDIOBJ>(font));
    lf.lfWeight = tm.tmWeight;
    lf.lfItalic = tm.tmItalic;
}
