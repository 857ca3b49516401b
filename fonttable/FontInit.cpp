// Opening a project's fonts: the table from Font.hft, the repair of faces
// that are not installed here, the default font and the built-in fonts.
#include <cstring>

#include "FontChangeDlg.h"
#include "FontTable.h"
#include "FontPropertiesDialog.h"
#include "PackConfig.h"
#include "Stanchion.h"
#include "Velmora.h"
#include "win/gdi.h"
#include "win/wstr.h"

namespace {
const WCHAR kSimSunChinese[] = u"宋体";

int CopyFirstFace(const LOGFONTW* lf, const TEXTMETRICW*, DWORD, LPARAM param) {
    *reinterpret_cast<CString*>(param) = lf->lfFaceName;
    return 0;
}

// Whether GDI knows the probe's face (in the probe's character set); `found`
// gets the face name as the system spells it.
bool IsInstalled(LOGFONTW probe, CString* found) {
    CString name;
    HDC dc = GetDC(nullptr);
    const int r = EnumFontFamiliesExW(dc, &probe, CopyFirstFace, reinterpret_cast<LPARAM>(&name), 0);
    ReleaseDC(nullptr, dc);
    if (found) *found = name;
    return r == 0;
}

bool ProbeSimSun(BYTE charset, CString* found) {
    LOGFONTW probe;
    std::memset(&probe, 0, sizeof probe);
    CopyFixedName(probe.lfFaceName, u"Simsun", LF_FACESIZE);
    probe.lfCharSet = charset;
    return IsInstalled(probe, found);
}

LOGFONTW IconTitleFont() {
    LOGFONTW lf;
    std::memset(&lf, 0, sizeof lf);
    SystemParametersInfoW(SPI_GETICONTITLELOGFONT, sizeof lf, &lf, 0);
    return lf;
}

// SimSun's face as the system spells it when SimSun is installed (probed in
// `charset`); otherwise the icon-title font, wholly or only its face.
void UseSimSunOrIconTitle(LOGFONTW& lf, BYTE charset, bool wholeFontOnFallback) {
    CString face;
    if (ProbeSimSun(charset, &face)) {
        CopyFixedName(lf.lfFaceName, face.GetString(), LF_FACESIZE);
    } else if (wholeFontOnFallback) {
        lf = IconTitleFont();
    } else {
        CopyFixedName(lf.lfFaceName, IconTitleFont().lfFaceName, LF_FACESIZE);
    }
}

LONG DefaultHeightForScreen(int w, int h, LONG current) {
    struct Size {
        int w, h;
        LONG height;
    };
    static const Size sizes[] = {
        {800, 480, 26},   {800, 600, 26},   {1024, 600, 26}, {1024, 768, 26}, {1280, 720, 26},
        {1280, 1024, 26}, {1366, 768, 26},  {1920, 1080, 36}, {2560, 1440, 50}, {3840, 2160, 80},
        {480, 272, 12},   {320, 240, 12},
    };
    for (const Size& s : sizes)
        if ((s.w == w && s.h == h) || (s.w == h && s.h == w)) return s.height;
    return current;
}

tagHMIFONT* NewRecord() {
    auto* rec = new tagHMIFONT;
    std::memset(rec, 0, sizeof *rec);
    return rec;
}
}  // namespace

int Font_InitLib(int* pSkipRepair, bool bNoDialog, void* /*pReserved*/) {
    g_nMaxFontID = 15;
    Font_DenitLib();
    MakeFontMap();
    LoadDefaultFont();
    LoadPackFontNames(&PackFontList);

    CMissingFaceMap missing;
    int result = 0;
    const CString path = FontTablePath();
    const HftFileContents file = path.IsEmpty() ? HftFileContents{} : ReadFontTableFile(path.GetString());
    if (file.opened) {
        // Only the whole records the file holds are read.
        for (size_t k = 0; k < file.records.size(); ++k) {
            auto* rec = new tagHMIFONT(file.records[k]);
            // The table file always opens with the project default font.
            if (k == 0) {
                CopyFixedName(rec->szName, LA_GetString(u"STR_40015").GetString(), 32);
                rec->nID = kDefaultFontID;
            }
            const CString face(rec->lf.lfFaceName);
            if (face == CString(kSimSunChinese) || face == CString(u"Simsun") || face == CString(u"System"))
                UseSimSunOrIconTitle(rec->lf, ANSI_CHARSET, false);
            const CString probeFace(rec->lf.lfFaceName);
            if (!IsInstalled(rec->lf, nullptr) && missing.find(probeFace) == missing.end())
                missing[probeFace] = kSimSunChinese;
            SyncFontMetrics(rec->lf);
            g_FontList.AddTail(rec);
            if (rec->nID > g_nMaxFontID) g_nMaxFontID = rec->nID;
        }
        if (!missing.empty() && !bNoDialog) {
            CFontChangeDlg dlg(nullptr, &missing);
            if (dlg.DoModal() == IDCANCEL && pSkipRepair) *pSkipRepair = 1;
        }
        result = 1;
    }

    if (pSkipRepair && *pSkipRepair != 1) {
        POSITION pos = g_FontList.GetHeadPosition();
        while (pos) {
            tagHMIFONT* rec = g_FontList.GetNext(pos);
            if (IsInstalled(rec->lf, nullptr)) continue;
            auto it = missing.find(CString(rec->lf.lfFaceName));
            if (it != missing.end()) CopyFixedName(rec->lf.lfFaceName, it->second.GetString(), LF_FACESIZE);
            SyncFontMetrics(rec->lf);
        }
    }

    const auto* panel = static_cast<const CHmiSet*>(stanchion::GetAppObject(u"HmiSet"));
    if (!panel) return 0;

    if (g_FontList.IsEmpty()) {
        tagHMIFONT* rec = NewRecord();
        rec->nID = kDefaultFontID;
        CopyFixedName(rec->szName, LA_GetString(u"STR_40015").GetString(), 32);
        UseSimSunOrIconTitle(rec->lf, DEFAULT_CHARSET, true);
        rec->lf.lfHeight = DefaultHeightForScreen(panel->nScreenWidth, panel->nScreenHeight, rec->lf.lfHeight);
        rec->lf.lfWeight = FW_NORMAL;
        rec->lf.lfCharSet = DEFAULT_CHARSET;
        g_FontList.AddTail(rec);
    }

    static const struct {
        int id, size;
    } builtins[] = {{13, 36}, {12, 20}, {11, 18}, {10, 12}};
    for (const auto& b : builtins) {
        tagHMIFONT* rec = findFontInList(b.id);
        const bool fresh = rec == nullptr;
        if (fresh) rec = NewRecord();
        UseSimSunOrIconTitle(rec->lf, DEFAULT_CHARSET, true);
        rec->nID = b.id;
        const CString name = Format(u"%c_Font%d", u'{', b.size);
        CopyFixedName(rec->szName, name.GetString(), 32);
        rec->lf.lfHeight = b.size;
        rec->lf.lfWeight = FW_NORMAL;
        rec->lf.lfCharSet = DEFAULT_CHARSET;
        if (fresh) g_FontList.AddTail(rec);
    }
    return result;
}

int NewFont(int* pId) {
    CFontPropertiesDialog dlg(nullptr);
    dlg.m_bAutoName = 1;
    if (dlg.DoModal() != IDOK) return 0;
    const tagHMIFONT* rec = AppendNewFont(*dlg.GetLogFont(), dlg.m_strName);
    if (!rec) return 0;
    if (pId) *pId = rec->nID;
    return 1;
}
