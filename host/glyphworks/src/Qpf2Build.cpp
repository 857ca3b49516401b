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
#include "win/fontlink.h"
#include "win/gdi.h"
#include "win/profile.h"
#include "win/wstr.h"

namespace {
struct Pending {
    qpf2::RenderRequest request;
    std::u16string packName;
    std::u16string faceName;                 // as the first unit asked for it
    std::vector<std::u16string> facesAsked;  // every name a unit of the file used
    std::u16string realised;                 // the realised face's full name
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

// What the build's files can draw, kept until the host takes it. Units no
// face could be realised for wait, by what they asked for, until the next
// write or table.
struct Coverage {
    std::vector<CoverageRecord> records;
    std::vector<CoverageRecord> unresolved;
};

Coverage& Report() {
    static Coverage c;
    return c;
}

// A host that never takes the report keeps only its latest records.
constexpr size_t kMaxRecords = 100000;
void Keep(CoverageRecord&& r) {
    std::vector<CoverageRecord>& kept = Report().records;
    if (kept.size() >= kMaxRecords) kept.erase(kept.begin(), kept.begin() + static_cast<ptrdiff_t>(kept.size() / 2));
    kept.push_back(std::move(r));
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

// The distinct characters that are drawn, in first-use order.
std::u32string DrawnCharacters(const std::u32string& chars) {
    std::u32string out;
    std::vector<bool> seen(0x110000);
    for (char32_t c : chars)
        if (c < seen.size() && !seen[c] && qpf2::IsDrawn(c)) {
            seen[c] = true;
            out += c;
        }
    return out;
}

void AddName(std::vector<std::u16string>& names, const std::u16string& name) {
    if (std::find(names.begin(), names.end(), name) == names.end()) names.push_back(name);
}

void FlushUnresolved() {
    Coverage& c = Report();
    for (CoverageRecord& r : c.unresolved) {
        r.missing = DrawnCharacters(r.missing);
        r.requested = static_cast<int>(r.missing.size());
        Keep(std::move(r));
    }
    c.unresolved.clear();
}

// The face GDI realises for a logical font of this face, weight and slant;
// null for none or a raster face.
const fontdb::Face* Realise(const std::u16string& faceName, int height, bool bold, bool italic, int* em,
                            bool* simBold, bool* simItalic) {
    LOGFONTW lf{};
    lf.lfHeight = height;
    lf.lfWeight = bold ? FW_BOLD : FW_NORMAL;
    lf.lfItalic = italic ? 1 : 0;
    lf.lfCharSet = DEFAULT_CHARSET;
    CopyFixedName(lf.lfFaceName, faceName.c_str(), LF_FACESIZE);
    HFONT font = CreateFontIndirectW(&lf);
    if (!font) return nullptr;
    const fontdb::Face* face = GetRealizedFace(font, em, simBold, simItalic);
    DeleteObject(reinterpret_cast<HGDIOBJ>(font));
    return face && !face->raster ? face : nullptr;
}

// The face a subset of `faceName` is cut from: upright, normal weight.
const fontdb::Face* RegularFace(const std::u16string& faceName) {
    return Realise(faceName, -16, false, false, nullptr, nullptr, nullptr);
}

// The family the face's file carries first, as the collection reader finds members by.
std::u16string FirstFamily(const fontdb::Face& face) {
    return face.families.empty() ? face.family : face.families.front().text;
}

// The faces that supply what `realised` lacks, in the order they are asked:
// its SystemLink entry (under any of its names), that of the face asked for,
// then the default links, those of "Microsoft Sans Serif" and of the face
// GDI realises for it (itself included).
std::vector<const fontdb::Face*> LinkedFacesOf(const std::u16string& asked, const fontdb::Face& realised) {
    std::vector<const fontdb::Face*> out;
    auto add = [&](const fontdb::Face* f) {
        if (f && f != &realised && !f->raster && std::find(out.begin(), out.end(), f) == out.end()) out.push_back(f);
    };
    auto addLinksOf = [&](const std::u16string& name) {
        for (const fontdb::Face* f : fontlink::LinkedFaces(name)) add(f);
    };
    addLinksOf(realised.family);
    for (const fontdb::FaceName& n : realised.families)
        if (n.text != realised.family) addLinksOf(n.text);
    addLinksOf(asked);
    static const std::u16string kDefaultLink = u"Microsoft Sans Serif";
    addLinksOf(kDefaultLink);
    if (const fontdb::Face* fallback = RegularFace(kDefaultLink)) {
        add(fallback);
        addLinksOf(fallback->family);
    }
    return out;
}

// What GDI realises for a unit and the file its glyphs go to; false (with
// the reason) when the face cannot be rendered.
bool Resolve(const WCHAR* faceName, int height, bool italic, long weight, const WCHAR* packName, Pending* p,
             std::string* file, std::u16string* why = nullptr, const fontdb::Face** realised = nullptr) {
    const std::u16string asked = faceName ? faceName : u"";
    int em = 0;
    bool simBold = false, simItalic = false;
    const fontdb::Face* face = Realise(asked, height, weight == 75, italic, &em, &simBold, &simItalic);
    if (!face || em <= 0) {
        if (why) *why = u"no installed TrueType face can be realised for it";
        return false;
    }
    const std::u16string pack = packName ? packName : u"";
    const std::u16string name = pack.empty() ? asked : pack;
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
    p->faceName = asked;
    p->realised = face->fullName;
    if (realised) *realised = face;
    return true;
}

void SetLinks(Pending& p, const fontdb::Face& realised) {
    const bool bold = p.request.weight == 75;
    for (const fontdb::Face* f : LinkedFacesOf(p.faceName, realised)) {
        qpf2::LinkedFace link;
        link.path = f->path;
        link.faceIndex = f->faceIndex;
        link.simulateBold = bold && !f->bold;
        link.simulateItalic = p.request.italic && !f->italic;
        link.name = Utf16ToUtf8(f->fullName);
        p.request.links.push_back(std::move(link));
    }
}

CoverageRecord RecordOf(const std::string& file, const Pending& p) {
    CoverageRecord r;
    r.file = Utf8ToUtf16(file);
    r.facesAsked = p.facesAsked;
    r.faceRealised = p.realised;
    r.fontFile = Utf8ToUtf16(p.request.path.substr(p.request.path.find_last_of('/') + 1));
    r.faceIndex = p.request.faceIndex;
    r.simulatedBold = p.request.simulateBold;
    r.simulatedItalic = p.request.simulateItalic;
    r.pixelSize = p.request.pixelEm;
    r.weight = p.request.weight;
    r.italic = p.request.italic;
    r.requested = static_cast<int>(DrawnCharacters(p.request.chars).size());
    return r;
}

int WriteAll(const WCHAR* outDir) {
    PendingFonts& fonts = Fonts();
    FlushUnresolved();
    const std::string dir = NativePath(outDir ? outDir : u"");
    std::error_code ec;
    if (!fonts.order.empty()) {
        std::filesystem::create_directories(dir, ec);
        winfiles::RemoveStaleTemporaries(dir);
    }
    int written = 0;
    for (const std::string& file : fonts.order) {
        const Pending& p = fonts.byFile[file];
        CoverageRecord record = RecordOf(file, p);
        // Whole or not at all: a cut-short file would pass Qt's header check.
        // The glyphs go to the file as they are rendered, and the disk writes
        // while the rest is rendered.
        std::unique_ptr<winfiles::AtomicFile> out;
        const auto open = [&]() -> std::ostream* {
            out = std::make_unique<winfiles::AtomicFile>(dir + "/" + file, false);
            // A panel reads what Qt's reader accepts: the file is read back first.
            out->CheckBeforeCommit([](const uint8_t* data, size_t size) { return qpf2::Check(data, size); });
            return &out->Stream();
        };
        qpf2::Font found;
        std::string why;
        bool again = false;
        bool made = qpf2::RenderTo(p.request, open, &why, &again, [&out] { out->StartWriteback(); }, &found);
        if (!made) {
            if (out) out->Abandon();
            if (again) {
                made = qpf2::Render(p.request, found, &why);
                if (made) qpf2::Write(found, *open());
            }
        }
        record.missing = found.missing;
        record.tooLarge = found.tooLarge;
        for (const auto& l : found.linked) record.linked.emplace_back(Utf8ToUtf16(l.first), l.second);
        if (!made) {
            record.file.clear();
            record.note = Utf8ToUtf16(why) + u"; no file was written";
        } else if (out->Commit()) {
            ++written;
        } else {
            record.note = u"the file could not be written";
        }
        Keep(std::move(record));
    }
    fonts.Clear();
    return written;
}
}  // namespace

void generateqpf2(const WCHAR* chars, const WCHAR* faceName, int height, bool italic, long weight,
                  const WCHAR* packName, int /*reserved*/) {
    Pending unit;
    std::string file;
    std::u16string why;
    const fontdb::Face* realised = nullptr;
    if (!Resolve(faceName, height, italic, weight, packName, &unit, &file, &why, &realised)) {
        // Nothing can be made; what the unit asked for is reported lost.
        std::vector<CoverageRecord>& waiting = Report().unresolved;
        const std::u16string face = faceName ? faceName : u"";
        auto it = std::find_if(waiting.begin(), waiting.end(), [&](const CoverageRecord& r) {
            return r.facesAsked.front() == face && r.weight == (weight == 75 ? 75 : 50) && r.italic == italic;
        });
        if (it == waiting.end()) {
            it = waiting.insert(waiting.end(), CoverageRecord());
            it->facesAsked.push_back(face);
            it->weight = weight == 75 ? 75 : 50;
            it->italic = italic;
            it->note = why;
        }
        it->missing += Utf32(chars);
        return;
    }
    PendingFonts& fonts = Fonts();
    auto it = fonts.byFile.find(file);
    if (it == fonts.byFile.end()) {
        it = fonts.byFile.emplace(file, std::move(unit)).first;
        fonts.order.push_back(file);
        // Linked faces are found once per file, when its first unit comes.
        SetLinks(it->second, *realised);
    }
    AddName(it->second.facesAsked, faceName ? faceName : u"");
    AppendNewCharacters(chars, it->second.has, it->second.request.chars);
}

std::u16string qpf2UnitFileName(const WCHAR* faceName, int height, bool italic, long weight, const WCHAR* packName) {
    Pending unit;
    std::string file;
    if (!Resolve(faceName, height, italic, weight, packName, &unit, &file)) return {};
    return Utf8ToUtf16(file);
}

namespace {
// A face as a source names it: the file in the fonts folder, member and
// full name; the file is noted among the source's files.
void AddFace(UnitSource& s, const std::string& path, int faceIndex, const std::string& fullName) {
    const std::string file = path.substr(path.find_last_of('/') + 1);
    s.faces += Utf8ToUtf16(file + '#' + std::to_string(faceIndex) + '\x1f' + fullName);
    const std::u16string name = Utf8ToUtf16(file);
    if (std::find(s.fontFiles.begin(), s.fontFiles.end(), name) == s.fontFiles.end()) s.fontFiles.push_back(name);
}

std::string Flags(bool bold, bool italic) { return std::string{'\x1f', bold ? 'b' : '-', italic ? 'i' : '-'}; }
}  // namespace

UnitSource qpf2UnitSource(const WCHAR* faceName, int height, bool italic, long weight, const WCHAR* packName) {
    UnitSource s;
    Pending unit;
    std::string file;
    const fontdb::Face* realised = nullptr;
    if (!Resolve(faceName, height, italic, weight, packName, &unit, &file, nullptr, &realised)) return s;
    s.file = Utf8ToUtf16(file);
    s.realised = true;
    SetLinks(unit, *realised);
    const qpf2::RenderRequest& rq = unit.request;
    AddFace(s, rq.path, rq.faceIndex, Utf16ToUtf8(realised->fullName));
    s.faces += Utf8ToUtf16(Flags(rq.simulateBold, rq.simulateItalic) + '\x1f' + std::to_string(rq.pixelEm));
    for (const qpf2::LinkedFace& link : rq.links) {
        s.faces += u'\x1e';
        AddFace(s, link.path, link.faceIndex, link.name);
        s.faces += Utf8ToUtf16(Flags(link.simulateBold, link.simulateItalic));
    }
    return s;
}

UnitSource ttfUnitSource(const WCHAR* faceName, const WCHAR* packName) {
    UnitSource s;
    const std::u16string face = faceName ? faceName : u"";
    const fontdb::Face* regular = RegularFace(face);
    s.file = packName && *packName ? std::u16string(packName) : regular ? FirstFamily(*regular) : face;
    if (!regular) return s;
    s.realised = true;
    AddFace(s, regular->path, regular->faceIndex, Utf16ToUtf8(regular->fullName));
    return s;
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

std::u16string ttfMapKey(const WCHAR* faceName, const WCHAR* packName) {
    if (packName && *packName) return packName;
    const std::u16string face = faceName ? faceName : u"";
    const fontdb::Face* regular = RegularFace(face);
    return regular ? FirstFamily(*regular) : face;
}

namespace {
// The subset's name in the output folder, as the subsetting bridge makes it.
std::u16string SubsetFileName(const std::u16string& key, const std::u16string& fontFile) {
    const bool ttf = fontFile.find(u".ttf") != std::u16string::npos || fontFile.find(u".TTF") != std::u16string::npos;
    return winfiles::SafeFileName(key) + (ttf ? u".ttf" : u".ttc");
}

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

CoverageRecord SubsetRecord(const fontdb::Face& face, const std::u16string& fontFile) {
    CoverageRecord r;
    r.subset = true;
    r.faceRealised = face.fullName;
    r.fontFile = fontFile;
    r.faceIndex = face.faceIndex;
    return r;
}
}  // namespace

int getSimplifyTTFMapTable(TTFMapTable* table) {
    if (!table) return 0;
    PendingFonts& fonts = Fonts();
    FlushUnresolved();
    int rows = 0;
    // key -> (its record, the units' characters, the face its row is cut from)
    std::map<std::u16string, std::pair<CoverageRecord, std::u32string>> covered;
    std::map<std::u16string, const fontdb::Face*> cutFrom;
    std::vector<std::u16string> keys;
    std::map<std::u16string, RowCharacters> seen;
    for (const std::string& file : fonts.order) {
        const Pending& p = fonts.byFile[file];
        const fontdb::Face* regular = RegularFace(p.faceName);
        const std::u16string key = !p.packName.empty() ? p.packName : regular ? FirstFamily(*regular) : p.faceName;
        if (key.empty() || !regular) continue;
        const std::u16string fileName = Utf8ToUtf16(regular->fileName);
        auto it = table->find(key);
        if (it == table->end()) {
            it = table->emplace(key, std::make_pair(fileName, std::u16string())).first;
            ++rows;
        }
        auto row = seen.find(key);
        if (row == seen.end()) row = seen.emplace(key, RowCharacters(it->second.second)).first;
        for (char32_t c : p.request.chars) row->second.Add(c);
        auto cov = covered.find(key);
        if (cov == covered.end()) {
            // The row is cut from the file the table names for it (a row the
            // table held already may name another).
            const fontdb::Face* source = regular;
            if (it->second.first != fileName) {
                const auto& inFile = fontdb::FacesInFile(Utf16ToUtf8(it->second.first));
                source = inFile.empty() ? nullptr : inFile.front();
            }
            CoverageRecord r = source ? SubsetRecord(*source, it->second.first) : CoverageRecord();
            r.subset = true;
            r.key = key;
            r.file = SubsetFileName(key, it->second.first);
            cov = covered.emplace(key, std::make_pair(std::move(r), std::u32string())).first;
            cutFrom[key] = source;
            keys.push_back(key);
        }
        for (const std::u16string& asked : p.facesAsked) AddName(cov->second.first.facesAsked, asked);
        cov->second.second += p.request.chars;
    }
    fonts.Clear();
    for (const std::u16string& key : keys) {
        CoverageRecord& r = covered[key].first;
        const std::u32string chars = DrawnCharacters(covered[key].second);
        const fontdb::Face* source = cutFrom[key];
        r.requested = static_cast<int>(chars.size());
        r.missing = qpf2::Lacking(source ? source->path : std::string(), source ? source->faceIndex : 0, chars);
        if (!source) r.note = u"the font file is not in the fonts folder";
        Keep(std::move(r));
    }
    return rows;
}

std::vector<CoverageRecord> takeCoverageReport() {
    FlushUnresolved();
    std::vector<CoverageRecord> out;
    out.swap(Report().records);
    return out;
}

void noteSubsetEngine(const std::u16string& key, const std::string& engine) {
    std::vector<CoverageRecord>& kept = Report().records;
    // The table's rows are the newest records.
    for (auto r = kept.rbegin(); r != kept.rend() && r->subset; ++r)
        if (r->key == key) {
            r->engine = engine;
            return;
        }
}

CoverageRecord wholeFontCoverage(const WCHAR* faceName, const WCHAR* fontFile, const std::u16string& chars) {
    const std::u16string face = faceName ? faceName : u"";
    const fontdb::Face* regular = RegularFace(face);
    CoverageRecord r = regular ? SubsetRecord(*regular, Utf8ToUtf16(regular->fileName)) : CoverageRecord();
    r.subset = true;
    r.key = face;
    r.file = fontFile ? fontFile : u"";
    r.facesAsked.push_back(face);
    const std::u32string drawn = DrawnCharacters(Utf32(chars.c_str()));
    r.requested = static_cast<int>(drawn.size());
    r.missing = qpf2::Lacking(regular ? regular->path : std::string(), regular ? regular->faceIndex : 0, drawn);
    if (!regular) r.note = u"no installed TrueType face can be realised for it";
    return r;
}
