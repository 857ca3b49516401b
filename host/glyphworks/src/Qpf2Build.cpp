// The compile's QPF2 fonts: requests kept by file name until written.
#include <algorithm>
#include <fstream>
#include <map>
#include <vector>

#include "Glyphworks.h"
#include "Qpf2.h"
#include "win/files.h"
#include "win/fontdb.h"
#include "win/gdi.h"
#include "win/wstr.h"

namespace {
struct Pending {
    qpf2::RenderRequest request;
    std::u16string packName;
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

int WriteAll(const WCHAR* outDir, std::vector<std::u16string>* packNames) {
    PendingFonts& fonts = Fonts();
    const std::string dir = NativePath(outDir ? outDir : u"");
    int written = 0;
    for (const std::string& file : fonts.order) {
        const Pending& p = fonts.byFile[file];
        qpf2::Font font;
        if (!qpf2::Render(p.request, font, nullptr)) continue;
        const std::vector<uint8_t> bytes = qpf2::Serialize(font);
        std::ofstream out(dir + "/" + file, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        if (!out) continue;
        ++written;
        if (packNames && !p.packName.empty() &&
            std::find(packNames->begin(), packNames->end(), p.packName) == packNames->end())
            packNames->push_back(p.packName);
    }
    fonts.Clear();
    return written;
}
}  // namespace

void generateqpf2(const WCHAR* chars, const WCHAR* faceName, int height, bool italic, long weight,
                  const WCHAR* packName, int /*reserved*/) {
    LOGFONTW lf{};
    lf.lfHeight = height;
    lf.lfWeight = weight == 75 ? FW_BOLD : FW_NORMAL;
    lf.lfItalic = italic ? 1 : 0;
    lf.lfCharSet = DEFAULT_CHARSET;
    lstrcpynW(lf.lfFaceName, faceName ? faceName : u"", LF_FACESIZE);
    HFONT font = CreateFontIndirectW(&lf);
    if (!font) return;
    int em = 0;
    bool simBold = false, simItalic = false;
    const fontdb::Face* face = GetRealizedFace(font, &em, &simBold, &simItalic);
    DeleteObject(reinterpret_cast<HGDIOBJ>(font));
    if (!face || face->raster || em <= 0) return;

    const std::u16string pack = packName ? packName : u"";
    const std::u16string name = pack.empty() ? std::u16string(faceName ? faceName : u"") : pack;
    const int qtWeight = weight == 75 ? 75 : 50;
    const std::string file = qpf2::FileNameFor(Utf16ToUtf8(name), em, qtWeight, italic);
    PendingFonts& fonts = Fonts();
    auto it = fonts.byFile.find(file);
    if (it == fonts.byFile.end()) {
        Pending p;
        p.request.path = face->path;
        p.request.faceIndex = face->faceIndex;
        p.request.pixelEm = em;
        p.request.simulateBold = simBold;
        p.request.simulateItalic = simItalic;
        p.request.fontName = Utf16ToUtf8(name);
        p.request.weight = qtWeight;
        p.request.italic = italic;
        p.packName = pack;
        it = fonts.byFile.emplace(file, std::move(p)).first;
        fonts.order.push_back(file);
    }
    it->second.request.chars += Utf32(chars);
}

int qpf2tofile(const WCHAR* outDir, WCHAR (*packFonts)[64], int* count) {
    std::vector<std::u16string> names;
    const int written = WriteAll(outDir, &names);
    int n = 0;
    for (const std::u16string& name : names) {
        if (n >= 1000) break;
        if (packFonts) lstrcpynW(packFonts[n], name.c_str(), 64);
        ++n;
    }
    if (count) *count = n;
    return written;
}

int qpf2tofileEx(const WCHAR* outDir) {
    return WriteAll(outDir, nullptr);
}

int qpf2PendingCount() {
    return static_cast<int>(Fonts().order.size());
}
