// Fuzzes the GDI layer and the system font map over a hostile font file: a
// machine profile whose fonts folder holds the input twice, as a .ttf and as
// a .ttc, is loaded; then the installed-fonts key built from it, MakeFontMap,
// family enumeration, font realisation and metrics at ordinary and extreme
// heights and weights, and the panel check of every name; and the subsetting
// bridge cutting it (HarfBuzz, fontTools when HarfBuzz gives nothing that
// holds) into an output folder that must hold only whole subsets afterwards.
#include <climits>
#include <cstddef>
#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "FontSubsetBridge.h"
#include "FontTable.h"
#include "FuzzSupport.h"
#include "Glyphworks.h"
#include "win/filesafety.h"
#include "win/fontdb.h"
#include "win/gdi.h"
#include "win/profile.h"
#include "win/wstr.h"

namespace {

const fuzzsupport::fs::path& Profile() {
    static const fuzzsupport::fs::path dir = [] {
        const auto d = fuzzsupport::ScratchDir("gdi-fonts") / "profile";
        fuzzsupport::fs::create_directories(d / "Fonts");
        return d;
    }();
    return dir;
}

std::u16string Field(const WCHAR* field, size_t n) {
    size_t len = 0;
    while (len < n && field[len]) ++len;
    FUZZ_CHECK(len < n);  // every name field GDI fills is terminated inside it
    return std::u16string(field, len);
}

struct Enumerated {
    std::vector<std::u16string> faces;
    int calls = 0;
};

int CollectFace(const LOGFONTW* lf, const TEXTMETRICW* tm, DWORD type, LPARAM param) {
    auto* e = reinterpret_cast<Enumerated*>(param);
    const auto* elf = reinterpret_cast<const ENUMLOGFONTEXW*>(lf);
    const std::u16string face = Field(lf->lfFaceName, LF_FACESIZE);
    Field(elf->elfFullName, 64);
    Field(elf->elfStyle, 32);
    Field(elf->elfScript, 32);
    FUZZ_CHECK(type == TRUETYPE_FONTTYPE || type == RASTER_FONTTYPE);
    FUZZ_CHECK(tm->tmCharSet == lf->lfCharSet);
    FUZZ_CHECK(tm->tmAscent + tm->tmDescent == tm->tmHeight);
    if (e->faces.size() < 16) e->faces.push_back(face);
    return ++e->calls < 4096;
}

void CheckMetrics(HDC dc, const std::u16string& face, LONG height, LONG weight, BYTE italic, BYTE charset) {
    LOGFONTW lf{};
    lf.lfHeight = height;
    lf.lfWeight = weight;
    lf.lfItalic = italic;
    lf.lfCharSet = charset;
    CopyFixedName(lf.lfFaceName, face.c_str(), LF_FACESIZE);
    HFONT font = CreateFontIndirectW(&lf);
    FUZZ_CHECK(font != nullptr);
    HGDIOBJ old = SelectObject(dc, reinterpret_cast<HGDIOBJ>(font));
    int em = 0;
    bool simBold = false, simItalic = false;
    const fontdb::Face* realized = GetRealizedFace(font, &em, &simBold, &simItalic);
    // Outline faces are realised at a capped em; raster faces at their own size.
    if (realized && !realized->raster) FUZZ_CHECK(em >= 1 && em <= kMaxFontPixels);
    TEXTMETRICW tm{};
    FUZZ_CHECK(GetTextMetricsW(dc, &tm) == (realized != nullptr));
    if (realized) {
        FUZZ_CHECK(tm.tmAscent + tm.tmDescent == tm.tmHeight);
        FUZZ_CHECK(tm.tmAveCharWidth >= 1 && tm.tmMaxCharWidth >= tm.tmAveCharWidth);
        if (!realized->raster && height > 0) FUZZ_CHECK(tm.tmHeight >= 1 && tm.tmHeight <= kMaxFontPixels);
        FUZZ_CHECK(tm.tmHeight >= 0);
    }
    WCHAR name[LF_FACESIZE];
    const int n = GetTextFaceW(dc, LF_FACESIZE, name);
    FUZZ_CHECK(n >= 0 && n <= LF_FACESIZE);
    SelectObject(dc, old);
    FUZZ_CHECK(DeleteObject(reinterpret_cast<HGDIOBJ>(font)));
}

// Cuts both files to a few characters (a Devanagari one takes the
// extra-code-point road) under every key the font map gives them.
void CheckSubsets(const std::set<std::u16string>& keys) {
    CFontSubsetBridge& bridge = CFontSubsetBridge::Instance();
    if (!bridge.IsReady()) return;
    static const fuzzsupport::fs::path out = fuzzsupport::ScratchDir("gdi-fonts") / "out";
    std::error_code ec;
    fuzzsupport::fs::remove_all(out, ec);
    fuzzsupport::fs::create_directories(out);
    TTFMapTable table;
    table[u"Whole"] = {u"fuzz.ttf", u"Aa1 中\u0905"};
    table[u"Member"] = {u"fuzz.ttc", u"Tank"};
    for (const std::u16string& key : keys)
        if (table.size() < 4) table[key] = {u"fuzz.ttc", u"Level 3"};
    const double mb = bridge.SubsetFontTable(table, Utf8ToUtf16(out.string()));
    FUZZ_CHECK(mb >= 0);
    // Subsets named by their rows, each as large as the bridge counted it;
    // never a temporary file.
    std::set<std::string> names;
    for (const auto& row : table)
        names.insert(Utf16ToUtf8(winfiles::SafeFileName(row.first)) +
                     (row.second.first.find(u".ttf") != std::u16string::npos ? ".ttf" : ".ttc"));
    uintmax_t bytes = 0;
    for (const auto& e : fuzzsupport::fs::directory_iterator(out)) {
        FUZZ_CHECK(names.count(e.path().filename().string()));
        FUZZ_CHECK(e.is_regular_file() && e.file_size() > 0);
        bytes += e.file_size();
    }
    FUZZ_CHECK(mb == static_cast<int32_t>(static_cast<uint32_t>(bytes)) / 1048576.0);
    winfiles::TakeFailures();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const auto& dir = Profile();
    fuzzsupport::WriteFile(dir / "Fonts" / "fuzz.ttf", data, size);
    fuzzsupport::WriteFile(dir / "Fonts" / "fuzz.ttc", data, size);
    // A new generation: the faces, the registry and the maps are read again.
    FUZZ_CHECK(winprofile::Load(dir.string()));

    const std::vector<fontdb::Face>& faces = fontdb::Faces();
    std::set<std::u16string> names;
    for (const fontdb::Face& f : faces) {
        FUZZ_CHECK(!f.family.empty());
        FUZZ_CHECK(f.fileName == "fuzz.ttf" || f.fileName == "fuzz.ttc");
        FUZZ_CHECK(f.faceIndex >= 0 && f.faceIndex < 256);
        FUZZ_CHECK(!fontdb::CharSets(f).empty());
        if (names.size() < 8) {
            names.insert(f.family);
            names.insert(f.fullName);
            names.insert(fontdb::ReportedFamily(f));
        }
    }

    MakeFontMap();
    for (const auto& kv : FontFileMap) {
        FUZZ_CHECK(kv.second == u"fuzz.ttf" || kv.second == u"fuzz.ttc");
        FUZZ_CHECK(FontSizeMap.count(kv.first));
        (void)Font_GetPackName(CString(kv.first));
    }

    HDC dc = GetDC(nullptr);
    LOGFONTW all{};
    all.lfCharSet = DEFAULT_CHARSET;
    Enumerated families;
    EnumFontFamiliesExW(dc, &all, CollectFace, reinterpret_cast<LPARAM>(&families), 0);
    FUZZ_CHECK(faces.empty() == (families.calls == 0));
    for (const std::u16string& face : families.faces) names.insert(face);

    for (const std::u16string& name : names) {
        LOGFONTW one{};
        one.lfCharSet = DEFAULT_CHARSET;
        CopyFixedName(one.lfFaceName, name.c_str(), LF_FACESIZE);
        Enumerated members;
        EnumFontFamiliesExW(dc, &one, CollectFace, reinterpret_cast<LPARAM>(&members), 0);
        one.lfCharSet = GB2312_CHARSET;
        EnumFontFamiliesExW(dc, &one, CollectFace, reinterpret_cast<LPARAM>(&members), 0);

        CheckMetrics(dc, name, -12, FW_NORMAL, 0, DEFAULT_CHARSET);
        CheckMetrics(dc, name, 16, FW_BOLD, 1, GB2312_CHARSET);
        (void)CheckFontSuable(name.c_str());
    }
    // Extremes a project's font table can hold, on the first face and on the fallback.
    const std::u16string first = names.empty() ? u"Arial" : *names.begin();
    for (const std::u16string& face : {first, std::u16string(u"No Such Face")}) {
        CheckMetrics(dc, face, 0, 0, 0, DEFAULT_CHARSET);
        CheckMetrics(dc, face, INT_MIN, INT_MIN, 255, SYMBOL_CHARSET);
        CheckMetrics(dc, face, INT_MAX, INT_MAX, 1, ANSI_CHARSET);
        CheckMetrics(dc, face, -kMaxFontPixels - 1, 1000, 0, 255);
        CheckMetrics(dc, face, 1, -1, 0, DEFAULT_CHARSET);
    }
    FUZZ_CHECK(ReleaseDC(nullptr, dc) == 1);
    std::set<std::u16string> keys;
    for (const auto& kv : FontFileMap) keys.insert(kv.first);
    CheckSubsets(keys);
    FUZZ_CHECK(LiveFontCount() == 0);
    return 0;
}
