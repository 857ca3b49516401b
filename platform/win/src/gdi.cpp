// GDI font objects, device contexts, realisation and family enumeration over
// the faces of the profile's fonts folder.
#include "win/gdi.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <unordered_map>
#include <unordered_set>

#include "win/fontlink.h"
#include "win/profile.h"
#include "win/wstr.h"

namespace {

struct GdiFont {
    LOGFONTW lf;
    bool stock = false;
};

struct GdiDc {
    HGDIOBJ font;
};

std::unordered_set<const void*>& LiveFonts() {
    static std::unordered_set<const void*> live;
    return live;
}

std::unordered_set<const void*>& LiveDcs() {
    static std::unordered_set<const void*> live;
    return live;
}

GdiFont* MakeStock(const char16_t* face, LONG height, LONG weight) {
    auto* f = new GdiFont;
    std::memset(&f->lf, 0, sizeof f->lf);
    f->lf.lfHeight = height;
    f->lf.lfWeight = weight;
    f->lf.lfCharSet = DEFAULT_CHARSET;
    CopyFixedName(f->lf.lfFaceName, face, LF_FACESIZE);
    f->stock = true;
    LiveFonts().insert(f);
    return f;
}

GdiFont* SystemFont() {
    static GdiFont* f = MakeStock(u"System", 16, FW_BOLD);
    return f;
}

GdiFont* GuiFont() {
    static GdiFont* f = MakeStock(u"MS Shell Dlg", -11, FW_NORMAL);
    return f;
}

const GdiFont* AsFont(HGDIOBJ obj) {
    return obj && LiveFonts().count(obj) ? reinterpret_cast<const GdiFont*>(obj) : nullptr;
}

std::u16string FaceField(const WCHAR* field) {
    return std::u16string(field, std::find(field, field + LF_FACESIZE, u'\0'));
}

bool SupportsCharset(const fontdb::Face& f, BYTE cs) {
    if (cs == DEFAULT_CHARSET) return true;
    for (BYTE c : fontdb::CharSets(f))
        if (c == cs) return true;
    return false;
}

// The faces of `name`; when none is installed, those of its FontSubstitutes
// entry, as Windows' font mapper reads that key.
const std::vector<const fontdb::Face*>& InstalledOrSubstitute(const std::u16string& name, BYTE charset) {
    const auto& faces = fontdb::FacesNamed(name);
    if (!faces.empty()) return faces;
    const std::u16string substitute = fontlink::SubstituteFor(name, charset);
    return substitute.empty() ? faces : fontdb::FacesNamed(substitute);
}

// Names GDI falls back to when the requested face is not installed.
const fontdb::Face* FallbackFace(const std::vector<fontdb::Face>& faces, BYTE charset, bool raster) {
    const bool chinese = winprofile::GetSettings().langId == 0x0804;
    for (const char16_t* name : {chinese ? u"SimSun" : u"Arial", u"Arial", u"DejaVu Sans"})
        for (const fontdb::Face* f : InstalledOrSubstitute(name, charset))
            if (f->raster == raster && SupportsCharset(*f, charset)) return f;
    for (const auto& f : faces)
        if (!f.raster && SupportsCharset(f, charset)) return &f;
    for (const auto& f : faces)
        if (!f.raster) return &f;
    return faces.empty() ? nullptr : &faces.front();
}

struct Realized {
    const fontdb::Face* face = nullptr;
    bool simBold = false;
    bool simItalic = false;
    int emPx = 0;
    int heightPx = 0;
    double scale = 1.0;  // pixels per font unit
};

bool WantsBold(const LOGFONTW& lf) { return lf.lfWeight > 550; }

// The face of `candidates` nearest to the requested style, charset and size.
const fontdb::Face* Nearest(const std::vector<const fontdb::Face*>& candidates, const LOGFONTW& lf) {
    const bool wantBold = WantsBold(lf), wantItalic = lf.lfItalic != 0;
    const int wantWeight = lf.lfWeight ? lf.lfWeight : FW_NORMAL;
    const fontdb::Face* best = nullptr;
    long bestScore = 0;
    for (const fontdb::Face* f : candidates) {
        // Weights come from project files like heights: any LONG, so the
        // distance is taken in 64 bits (400 - INT_MIN overflows an int).
        long score = ((f->italic != wantItalic) + (f->bold != wantBold)) * 100000L +
                     std::abs(static_cast<long>(f->weight) - wantWeight);
        if (!SupportsCharset(*f, lf.lfCharSet)) score += 10000000L;
        if (f->raster && lf.lfHeight) score += std::abs(std::abs(static_cast<long>(lf.lfHeight)) - f->unitsPerEm);
        if (!best || score < bestScore) {
            best = f;
            bestScore = score;
        }
    }
    return best;
}

Realized RealizeUncached(const LOGFONTW& lf) {
    Realized r;
    const auto& faces = fontdb::Faces();
    if (faces.empty()) return r;
    const std::u16string name = FaceField(lf.lfFaceName);
    const fontdb::Face* best = Nearest(InstalledOrSubstitute(name, lf.lfCharSet), lf);
    if (!best) {
        // A substitute family, then its member nearest to the request (not simply its first file).
        best = FallbackFace(faces, lf.lfCharSet, name == u"System" || name == u"MS Sans Serif");
        if (best && !best->raster) {
            if (const fontdb::Face* styled = Nearest(fontdb::FacesNamed(best->family), lf)) best = styled;
        }
    }
    if (!best) return r;
    r.face = best;
    r.simBold = WantsBold(lf) && !best->bold;
    r.simItalic = lf.lfItalic != 0 && !best->italic;
    const int cell = std::max(1, best->ascender + best->descender);
    const int dpi = winprofile::GetSettings().dpi;
    if (best->raster) {
        r.heightPx = best->ascender + best->descender;
        r.emPx = best->unitsPerEm;
        r.scale = 1.0;
        return r;
    }
    // lfHeight > 0 asks for the cell height, < 0 for the em height; 0 takes
    // GDI's default of a 12-point em.
    // Heights come from project files: any LONG is possible. Magnitudes are
    // taken in 64 bits (INT_MIN has no negation) and sizes are capped at
    // kMaxFontPixels, so a hostile table cannot ask for gigabyte glyphs.
    const int64_t asked = lf.lfHeight;
    if (asked > 0) {
        r.heightPx = static_cast<int>(std::min<int64_t>(asked, kMaxFontPixels));
        r.scale = static_cast<double>(r.heightPx) / cell;
        r.emPx = static_cast<int>(std::min<long>(std::lround(best->unitsPerEm * r.scale), kMaxFontPixels));
        r.emPx = std::max(r.emPx, 1);
    } else {
        r.emPx = asked < 0 ? static_cast<int>(std::min<int64_t>(-asked, kMaxFontPixels)) : (12 * dpi + 36) / 72;
        r.scale = static_cast<double>(r.emPx) / best->unitsPerEm;
        r.heightPx = static_cast<int>(std::lround(cell * r.scale));
    }
    return r;
}

// Realisation reads only these fields, so fonts that agree on them share a result.
struct RealizeKey {
    LONG height, weight;
    BYTE italic, charset;
    std::array<WCHAR, LF_FACESIZE> face{};

    explicit RealizeKey(const LOGFONTW& lf)
        : height(lf.lfHeight), weight(lf.lfWeight), italic(lf.lfItalic), charset(lf.lfCharSet) {
        for (size_t i = 0; i < LF_FACESIZE && lf.lfFaceName[i]; ++i) face[i] = lf.lfFaceName[i];
    }
    bool operator==(const RealizeKey& o) const {
        return height == o.height && weight == o.weight && italic == o.italic && charset == o.charset && face == o.face;
    }
};

struct RealizeKeyHash {
    size_t operator()(const RealizeKey& k) const {
        size_t h = std::hash<LONG>()(k.height) * 31 + std::hash<LONG>()(k.weight);
        h = h * 31 + (static_cast<size_t>(k.italic) << 8 | k.charset);
        for (WCHAR c : k.face) {
            if (!c) break;
            h = h * 131 + c;
        }
        return h;
    }
};

// Realised fonts per LOGFONTW, for as long as the profile's faces stay.
Realized Realize(const LOGFONTW& lf) {
    static uint64_t generation = ~uint64_t{0};
    static std::unordered_map<RealizeKey, Realized, RealizeKeyHash> cache;
    if (generation != winprofile::Generation() || cache.size() > 100000) {
        cache.clear();
        generation = winprofile::Generation();
    }
    const RealizeKey key(lf);
    auto it = cache.find(key);
    if (it == cache.end()) it = cache.emplace(key, RealizeUncached(lf)).first;
    return it->second;
}

void FillMetrics(const LOGFONTW& lf, const Realized& r, TEXTMETRICW& tm) {
    std::memset(&tm, 0, sizeof tm);
    if (!r.face) return;
    const fontdb::Face& f = *r.face;
    tm.tmHeight = r.heightPx;
    tm.tmAscent = static_cast<LONG>(std::lround(f.ascender * r.scale));
    if (tm.tmAscent > tm.tmHeight) tm.tmAscent = tm.tmHeight;
    tm.tmDescent = tm.tmHeight - tm.tmAscent;
    tm.tmInternalLeading = f.raster ? f.internalLeadingHint : std::max(0, tm.tmHeight - r.emPx);
    const int avg = f.avgCharWidth ? f.avgCharWidth : f.unitsPerEm / 2;
    tm.tmAveCharWidth = std::max<LONG>(1, static_cast<LONG>(std::lround(avg * r.scale)));
    tm.tmMaxCharWidth = std::max<LONG>(tm.tmAveCharWidth, static_cast<LONG>(std::lround(f.maxAdvance * r.scale)));
    if (r.simBold) {
        tm.tmAveCharWidth += 1;
        tm.tmMaxCharWidth += 1;
    }
    tm.tmWeight = r.simBold ? FW_BOLD : f.weight;
    tm.tmItalic = (f.italic || r.simItalic) ? 255 : 0;
    tm.tmUnderlined = lf.lfUnderline ? 255 : 0;
    tm.tmStruckOut = lf.lfStrikeOut ? 255 : 0;
    tm.tmDigitizedAspectX = tm.tmDigitizedAspectY = winprofile::GetSettings().dpi;
    tm.tmFirstChar = 0x20;
    tm.tmLastChar = 0xFFFC;
    tm.tmDefaultChar = 0x1F;
    tm.tmBreakChar = 0x20;
    // TMPF_FIXED_PITCH set means variable pitch, as in GDI.
    tm.tmPitchAndFamily = f.raster ? TMPF_FIXED_PITCH : (TMPF_FIXED_PITCH | TMPF_VECTOR | TMPF_TRUETYPE);
    BYTE cs = lf.lfCharSet;
    if (cs == DEFAULT_CHARSET || !SupportsCharset(f, cs)) cs = fontdb::CharSets(f).front();
    tm.tmCharSet = cs;
}

const char16_t* ScriptName(BYTE cs) {
    switch (cs) {
        case 0: return u"Western";
        case 238: return u"Central European";
        case 204: return u"Cyrillic";
        case 161: return u"Greek";
        case 162: return u"Turkish";
        case 177: return u"Hebrew";
        case 178: return u"Arabic";
        case 186: return u"Baltic";
        case 163: return u"Vietnamese";
        case 222: return u"Thai";
        case 128: return u"Japanese";
        case 134: return u"CHINESE_GB2312";
        case 129: return u"Hangul";
        case 136: return u"CHINESE_BIG5";
        case 130: return u"Johab";
        case 2: return u"Symbol";
        default: return u"";
    }
}

bool IsCjkCharset(BYTE cs) { return cs == 128 || cs == 134 || cs == 129 || cs == 136 || cs == 130; }

// One callback's data, as GDI fills it for a face in one character set.
void FillEnumData(const fontdb::Face& f, BYTE cs, const std::u16string& reported, ENUMLOGFONTEXW& elf,
                  NEWTEXTMETRICEXW& ntm) {
    std::memset(&elf, 0, sizeof elf);
    std::memset(&ntm, 0, sizeof ntm);
    LOGFONTW req{};
    req.lfCharSet = cs;
    req.lfHeight = f.raster ? f.ascender + f.descender : 0;
    req.lfWeight = f.weight;
    req.lfItalic = f.italic;
    CopyFixedName(req.lfFaceName, f.family.c_str(), LF_FACESIZE);
    Realized r;
    r.face = &f;
    const int cell = std::max(1, f.ascender + f.descender);
    if (f.raster) {
        r.heightPx = cell;
        r.emPx = f.unitsPerEm;
    } else {
        r.emPx = (12 * winprofile::GetSettings().dpi + 36) / 72;
        r.scale = static_cast<double>(r.emPx) / f.unitsPerEm;
        r.heightPx = static_cast<int>(std::lround(cell * r.scale));
    }
    FillMetrics(req, r, ntm.ntmTm);
    ntm.ntmTm.tmCharSet = cs;
    ntm.ntmTm.ntmSizeEM = static_cast<UINT>(f.unitsPerEm);
    ntm.ntmTm.ntmCellHeight = static_cast<UINT>(cell);
    ntm.ntmTm.ntmAvgWidth = static_cast<UINT>(f.avgCharWidth);
    ntm.ntmTm.ntmFlags = (f.italic ? 0x1u : 0u) | (f.bold ? 0x20u : 0u) | (!f.italic && !f.bold ? 0x40u : 0u);
    ntm.ntmFontSig.fsCsb[0] = f.codePageRange1;
    LOGFONTW& lf = elf.elfLogFont;
    lf.lfHeight = ntm.ntmTm.tmHeight;
    lf.lfWidth = ntm.ntmTm.tmAveCharWidth;
    lf.lfWeight = f.weight;
    lf.lfItalic = f.italic ? 255 : 0;
    lf.lfCharSet = cs;
    lf.lfOutPrecision = f.raster ? 1 : 3;
    lf.lfClipPrecision = 2;
    lf.lfQuality = 1;
    lf.lfPitchAndFamily = f.raster ? 0x22 : 0x22;
    CopyFixedName(lf.lfFaceName, reported.c_str(), LF_FACESIZE);
    CopyFixedName(elf.elfFullName, (reported[0] == u'@' ? u"@" + f.fullName : f.fullName).c_str(), 64);
    CopyFixedName(elf.elfStyle, f.subfamily.c_str(), 32);
    CopyFixedName(elf.elfScript, ScriptName(cs), 32);
}

// What enumeration reports for a face in a character set, horizontal or
// vertical, made once per profile: a project open enumerates its fonts'
// faces record by record.
struct EnumData {
    ENUMLOGFONTEXW elf;
    NEWTEXTMETRICEXW ntm;
};
const EnumData& EnumDataOf(const fontdb::Face& f, BYTE cs, bool vertical) {
    static uint64_t generation = ~uint64_t{0};
    // Per face (by its place in Faces()), its few character sets and directions.
    static std::vector<std::vector<std::pair<unsigned, EnumData>>> cache;
    const auto& faces = fontdb::Faces();
    if (generation != winprofile::Generation() || cache.size() != faces.size()) {
        cache.assign(faces.size(), {});
        generation = winprofile::Generation();
    }
    auto& known = cache[static_cast<size_t>(&f - faces.data())];
    const unsigned key = unsigned{cs} << 1 | (vertical ? 1u : 0u);
    for (const auto& k : known)
        if (k.first == key) return k.second;
    EnumData d;
    FillEnumData(f, cs, (vertical ? u"@" : u"") + fontdb::ReportedFamily(f), d.elf, d.ntm);
    known.emplace_back(key, d);
    return known.back().second;
}

}  // namespace

HFONT CreateFontIndirectW(const LOGFONTW* lf) {
    if (!lf) return nullptr;
    auto* f = new GdiFont;
    std::memcpy(&f->lf, lf, sizeof(LOGFONTW));
    LiveFonts().insert(f);
    return reinterpret_cast<HFONT>(f);
}

bool IsLiveFont(HGDIOBJ obj) { return AsFont(obj) != nullptr; }

int LiveFontCount() {
    int n = 0;
    for (const void* p : LiveFonts())
        if (!static_cast<const GdiFont*>(p)->stock) ++n;
    return n;
}

int GetObjectW(HGDIOBJ obj, int size, void* out) {
    const GdiFont* f = AsFont(obj);
    if (!f) return 0;
    if (!out) return static_cast<int>(sizeof(LOGFONTW));
    const int n = size < static_cast<int>(sizeof(LOGFONTW)) ? size : static_cast<int>(sizeof(LOGFONTW));
    if (n <= 0) return 0;
    std::memcpy(out, &f->lf, static_cast<size_t>(n));
    return n;
}

BOOL DeleteObject(HGDIOBJ obj) {
    const GdiFont* f = AsFont(obj);
    if (!f || f->stock) return FALSE;
    LiveFonts().erase(obj);
    delete f;
    return TRUE;
}

HGDIOBJ GetStockObject(int which) {
    if (which == SYSTEM_FONT) return reinterpret_cast<HGDIOBJ>(SystemFont());
    if (which == DEFAULT_GUI_FONT) return reinterpret_cast<HGDIOBJ>(GuiFont());
    return nullptr;
}

HDC GetDC(HWND /*wnd*/) {
    auto* dc = new GdiDc{reinterpret_cast<HGDIOBJ>(SystemFont())};
    LiveDcs().insert(dc);
    return reinterpret_cast<HDC>(dc);
}

int ReleaseDC(HWND /*wnd*/, HDC dc) { return DeleteDC(dc) ? 1 : 0; }

HDC CreateCompatibleDC(HDC /*dc*/) { return GetDC(nullptr); }

BOOL DeleteDC(HDC dc) {
    if (!dc || !LiveDcs().count(dc)) return FALSE;
    LiveDcs().erase(dc);
    delete reinterpret_cast<GdiDc*>(dc);
    return TRUE;
}

HGDIOBJ SelectObject(HDC dc, HGDIOBJ obj) {
    if (!dc || !LiveDcs().count(dc) || !AsFont(obj)) return nullptr;
    auto* d = reinterpret_cast<GdiDc*>(dc);
    HGDIOBJ old = d->font;
    d->font = obj;
    return old;
}

int GetDeviceCaps(HDC /*dc*/, int index) {
    const auto& s = winprofile::GetSettings();
    switch (index) {
        case LOGPIXELSX:
        case LOGPIXELSY: return s.dpi;
        case HORZRES: return s.screenWidth;
        case VERTRES: return s.screenHeight;
        default: return 0;
    }
}

BOOL GetTextMetricsW(HDC dc, TEXTMETRICW* tm) {
    if (!dc || !LiveDcs().count(dc) || !tm) return FALSE;
    const GdiFont* f = AsFont(reinterpret_cast<GdiDc*>(dc)->font);
    if (!f) return FALSE;
    const Realized r = Realize(f->lf);
    if (!r.face) return FALSE;
    FillMetrics(f->lf, r, *tm);
    return TRUE;
}

int GetTextFaceW(HDC dc, int count, WCHAR* face) {
    if (!dc || !LiveDcs().count(dc)) return 0;
    const GdiFont* f = AsFont(reinterpret_cast<GdiDc*>(dc)->font);
    if (!f) return 0;
    const Realized r = Realize(f->lf);
    const std::u16string name = r.face ? fontdb::ReportedFamily(*r.face) : FaceField(f->lf.lfFaceName);
    if (face && count > 0) lstrcpynW(face, name.c_str(), count);
    return static_cast<int>(std::min<size_t>(name.size() + 1, count > 0 ? static_cast<size_t>(count) : name.size() + 1));
}

const fontdb::Face* GetRealizedFace(HFONT font, int* pixelEm, bool* simBold, bool* simItalic) {
    const GdiFont* f = AsFont(reinterpret_cast<HGDIOBJ>(font));
    if (!f) return nullptr;
    const Realized r = Realize(f->lf);
    if (pixelEm) *pixelEm = r.emPx;
    if (simBold) *simBold = r.simBold;
    if (simItalic) *simItalic = r.simItalic;
    return r.face;
}

// With an empty face: one callback per family per character set, for the
// family's most regular face. With a face name: every face of that family,
// each once per character set. A specific character set reports only the
// faces supporting it. CJK faces are also reported as vertical "@" faces.
int EnumFontFamiliesExW(HDC /*dc*/, LOGFONTW* lf, FONTENUMPROCW proc, LPARAM param, DWORD /*flags*/) {
    if (!lf || !proc) return 0;
    const auto& faces = fontdb::Faces();
    std::u16string name = FaceField(lf->lfFaceName);
    bool vertical = false;
    if (!name.empty() && name[0] == u'@') {
        vertical = true;
        name = name.substr(1);
    }
    std::vector<const fontdb::Face*> families;
    const std::vector<const fontdb::Face*>* chosen = &families;
    if (name.empty()) {
        // The family's most regular face, families in the order first met.
        std::unordered_map<std::u16string, size_t> slot;
        for (const auto& f : faces) {
            auto it = slot.emplace(f.family, families.size()).first;
            if (it->second == families.size()) {
                families.push_back(&f);
            } else {
                const auto regularity = [](const fontdb::Face* x) {
                    return (x->bold ? 2 : 0) + (x->italic ? 1 : 0);
                };
                if (regularity(&f) < regularity(families[it->second])) families[it->second] = &f;
            }
        }
    } else {
        chosen = &fontdb::FacesNamed(name);
    }
    int result = 1;
    for (int pass = 0; pass < 2; ++pass) {
        // Horizontal faces first, then the vertical ones.
        if (pass == 0 && vertical) continue;
        if (pass == 1 && !name.empty() && !vertical) break;
        for (const fontdb::Face* f : *chosen) {
            for (BYTE cs : fontdb::CharSets(*f)) {
                if (lf->lfCharSet != DEFAULT_CHARSET && cs != lf->lfCharSet) continue;
                if (pass == 1 && (f->raster || !IsCjkCharset(cs))) continue;
                // The callback gets its own copy, as it may change what it is given.
                EnumData d = EnumDataOf(*f, cs, pass == 1);
                result = proc(reinterpret_cast<const LOGFONTW*>(&d.elf), reinterpret_cast<const TEXTMETRICW*>(&d.ntm),
                              f->raster ? RASTER_FONTTYPE : TRUETYPE_FONTTYPE, param);
                if (result == 0) return 0;
            }
        }
    }
    return result;
}

BOOL SystemParametersInfoW(UINT action, UINT param, void* out, UINT /*winIni*/) {
    if (action != SPI_GETICONTITLELOGFONT || !out || (param && param < sizeof(LOGFONTW))) return FALSE;
    std::memcpy(out, &winprofile::GetSettings().iconTitleFont, sizeof(LOGFONTW));
    return TRUE;
}
