// The compile's QPF2 fonts: requests kept by file name until written.
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <unordered_set>
#include <vector>

#include "Glyphworks.h"
#include "Qpf2.h"
#include "win/charset.h"
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
    // The characters of request.chars: units of one file often share most
    // of their characters, and each is rendered once anyway.
    CharSet has;
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

// Appends the characters of a UTF-16 text that `has` does not hold yet, in
// text order; a surrogate pair is one character, a lone surrogate is kept
// as it stands.
void AppendNewCharacters(const WCHAR* s, CharSet& has, std::u32string& out) {
    for (const WCHAR* p = s; p && *p; ++p) {
        char32_t c = *p;
        if (c >= 0xD800 && c < 0xDC00 && p[1] >= 0xDC00 && p[1] < 0xE000) {
            c = 0x10000 + ((c - 0xD800) << 10) + (p[1] - 0xDC00);
            ++p;
        }
        if (has.Insert(c)) out += c;
    }
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
        // Whole or not at all: a cut-short file would pass Qt's header check.
        // The glyphs go to the file as they are rendered, and the disk writes
        // while the rest is rendered.
        std::unique_ptr<winfiles::AtomicFile> out;
        const auto open = [&]() -> std::ostream* {
            out = std::make_unique<winfiles::AtomicFile>(dir + "/" + file, false);
            return &out->Stream();
        };
        bool again = false;
        if (!qpf2::RenderTo(p.request, open, nullptr, &again, [&out] { out->StartWriteback(); })) {
            if (out) out->Abandon();
            if (!again) continue;
            qpf2::Font font;
            if (!qpf2::Render(p.request, font, nullptr)) continue;
            qpf2::Write(font, *open());
        }
        if (!out->Commit()) continue;
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
    AppendNewCharacters(chars, it->second.has, it->second.request.chars);
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

namespace {
// What a row's characters hold, for the "not there yet" test of
// getSimplifyTTFMapTable: a character outside the Basic Multilingual Plane
// is looked for as its surrogate pair anywhere in the row, every other one
// as its code unit, so the row is the one a search of the row's string
// would give, in time linear in the characters.
class RowCharacters {
public:
    explicit RowCharacters(std::u16string& chars) : m_chars(chars) {
        for (size_t i = 0; i < chars.size(); ++i) Note(i);
    }
    // Appends the character unless the row holds it.
    void Add(char32_t c) {
        if (c >= 0x10000) {
            const char16_t hi = static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
            const char16_t lo = static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
            if (m_pairs.count(Pair(hi, lo))) return;
            m_chars += hi;
            Note(m_chars.size() - 1);
            m_chars += lo;
            Note(m_chars.size() - 1);
        } else if (!m_units.Contains(c)) {
            m_chars += static_cast<char16_t>(c);
            Note(m_chars.size() - 1);
        }
    }

private:
    static uint32_t Pair(char16_t hi, char16_t lo) { return static_cast<uint32_t>(hi) << 16 | lo; }
    // Takes in the unit at i and the pair it ends, if any.
    void Note(size_t i) {
        const char16_t u = m_chars[i];
        m_units.Insert(u);
        if (i > 0 && u >= 0xDC00 && u < 0xE000 && m_chars[i - 1] >= 0xD800 && m_chars[i - 1] < 0xDC00)
            m_pairs.insert(Pair(m_chars[i - 1], u));
    }

    std::u16string& m_chars;
    CharSet m_units;
    std::unordered_set<uint32_t> m_pairs;  // adjacent high and low surrogates
};
}  // namespace

int getSimplifyTTFMapTable(TTFMapTable* table) {
    if (!table) return 0;
    PendingFonts& fonts = Fonts();
    int rows = 0;
    std::map<std::u16string, RowCharacters> seen;
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
        auto row = seen.find(key);
        if (row == seen.end()) row = seen.emplace(key, RowCharacters(it->second.second)).first;
        for (char32_t c : p.request.chars) row->second.Add(c);
    }
    fonts.Clear();
    return rows;
}
