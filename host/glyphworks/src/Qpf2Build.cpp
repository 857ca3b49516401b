// The compile's QPF2 fonts: requests kept by file name until written.
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <vector>

#include "Glyphworks.h"
#include "Qpf2.h"
#include "win/files.h"
#include "win/filesafety.h"
#include "win/fontdb.h"
#include "win/gdi.h"
#include "win/profile.h"
#include "win/wstr.h"

namespace {
struct Pending {
    qpf2::RenderRequest request;
    std::u16string packName;
    std::u16string faceName;  // as the unit asked for it
};

// By file name, in the order first asked for.
struct PendingFonts {
    std::vector<std::string> order;
    std::map<std::string, Pending> byFile;
    void Clear() {
        order.clear();
        byFile.clear();
    }
};

PendingFonts& Fonts() {
    static PendingFonts p;
    return p;
}

std::u32string Utf32(const WCHAR* s) {
    std::u32string out;
    for (const WCHAR* p = s; p && *p; ++p) {
        char32_t c = *p;
        if (c >= 0xD800 && c < 0xDC00 && p[1] >= 0xDC00 && p[1] < 0xE000) {
            c = 0x10000 + ((c - 0xD800) << 10) + (p[1] - 0xDC00);
            ++p;
        }
        out += c;
    }
    return out;
}

int WriteAll(const WCHAR* outDir) {
    PendingFonts& fonts = Fonts();
    const std::string dir = NativePath(outDir ? outDir : u"");
    std::error_code ec;
    if (!fonts.order.empty()) {
        std::filesystem::create_directories(dir, ec);
        winfiles::RemoveStaleTemporaries(dir);
    }
    int written = 0;
    for (const std::string& file : fonts.order) {
        const Pending& p = fonts.byFile[file];
        qpf2::Font font;
        if (!qpf2::Render(p.request, font, nullptr)) continue;
        // Whole or not at all: a cut-short file would pass Qt's header check.
        winfiles::AtomicFile out(dir + "/" + file, false);
        qpf2::Write(font, out.Stream());
        if (!out.Commit()) continue;
        ++written;
    }
    fonts.Clear();
    return written;
}
}  // namespace

namespace {
// What GDI realises for a unit and the file its glyphs go to; false when the
// face cannot be rendered (no face, a raster face, no size).
bool Resolve(const WCHAR* faceName, int height, bool italic, long weight, const WCHAR* packName, Pending* p,
             std::string* file) {
    LOGFONTW lf{};
    lf.lfHeight = height;
    lf.lfWeight = weight == 75 ? FW_BOLD : FW_NORMAL;
    lf.lfItalic = italic ? 1 : 0;
    lf.lfCharSet = DEFAULT_CHARSET;
    CopyFixedName(lf.lfFaceName, faceName ? faceName : u"", LF_FACESIZE);
    HFONT font = CreateFontIndirectW(&lf);
    if (!font) return false;
    int em = 0;
    bool simBold = false, simItalic = false;
    const fontdb::Face* face = GetRealizedFace(font, &em, &simBold, &simItalic);
    DeleteObject(reinterpret_cast<HGDIOBJ>(font));
    if (!face || face->raster || em <= 0) return false;

    const std::u16string pack = packName ? packName : u"";
    const std::u16string name = pack.empty() ? std::u16string(faceName ? faceName : u"") : pack;
    const int qtWeight = weight == 75 ? 75 : 50;
    // The name comes from fonts and project files: it may not leave the folder.
    *file = qpf2::FileNameFor(Utf16ToUtf8(winfiles::SafeFileName(name)), em, qtWeight, italic);
    p->request.path = face->path;
    p->request.faceIndex = face->faceIndex;
    p->request.pixelEm = em;
    p->request.simulateBold = simBold;
    p->request.simulateItalic = simItalic;
    p->request.fontName = Utf16ToUtf8(name);
    p->request.weight = qtWeight;
    p->request.italic = italic;
    p->packName = pack;
    p->faceName = faceName ? faceName : u"";
    return true;
}
}  // namespace

void generateqpf2(const WCHAR* chars, const WCHAR* faceName, int height, bool italic, long weight,
                  const WCHAR* packName, int /*reserved*/) {
    Pending unit;
    std::string file;
    if (!Resolve(faceName, height, italic, weight, packName, &unit, &file)) return;
    PendingFonts& fonts = Fonts();
    auto it = fonts.byFile.find(file);
    if (it == fonts.byFile.end()) {
        it = fonts.byFile.emplace(file, std::move(unit)).first;
        fonts.order.push_back(file);
    }
    it->second.request.chars += Utf32(chars);
}

std::u16string qpf2UnitFileName(const WCHAR* faceName, int height, bool italic, long weight, const WCHAR* packName) {
    Pending unit;
    std::string file;
    if (!Resolve(faceName, height, italic, weight, packName, &unit, &file)) return {};
    return Utf8ToUtf16(file);
}

int qpf2tofile(const WCHAR* outDir, WCHAR (*packFonts)[64], int* count) {
    const int written = WriteAll(outDir);
    // Keep, in order, the offered pack fonts whose whole file can travel.
    int n = 0;
    for (int i = 0; packFonts && i < 1000 && packFonts[i][0]; ++i) {
        if (!CheckFontSuable(packFonts[i])) continue;
        if (n != i) lstrcpynW(packFonts[n], packFonts[i], 64);
        ++n;
    }
    for (int i = n; packFonts && i < 1000 && packFonts[i][0]; ++i) packFonts[i][0] = 0;
    if (count) *count = n;
    return written;
}

int qpf2tofileEx(const WCHAR* outDir) {
    return WriteAll(outDir);
}

int qpf2PendingCount() {
    return static_cast<int>(Fonts().order.size());
}

int getSimplifyTTFMapTable(TTFMapTable* table) {
    if (!table) return 0;
    PendingFonts& fonts = Fonts();
    const std::string fontsDir = winprofile::FontsDir();
    int rows = 0;
    for (const std::string& file : fonts.order) {
        const Pending& p = fonts.byFile[file];
        const std::u16string key = p.packName.empty() ? p.faceName : p.packName;
        if (key.empty()) continue;
        // The fonts folder is flat: the file name is the path below it.
        const std::string path = p.request.path;
        const std::string fileName = path.substr(path.rfind('/') + 1);
        auto it = table->find(key);
        if (it == table->end()) {
            it = table->emplace(key, std::make_pair(Utf8ToUtf16(fileName), std::u16string())).first;
            ++rows;
        }
        std::u16string& chars = it->second.second;
        for (char32_t c : p.request.chars) {
            std::u16string unit;
            if (c >= 0x10000) {
                unit += static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
                unit += static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
            } else {
                unit += static_cast<char16_t>(c);
            }
            if (chars.find(unit) == std::u16string::npos) chars += unit;
        }
    }
    fonts.Clear();
    return rows;
}
