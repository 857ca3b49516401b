// QPF2 bitmap fonts for the panel.
#include <absl/container/flat_hash_map.h>

#include <cstring>
#include <memory>

#include "FontTable.h"
#include "Forgeline.h"
#include "Glyphworks.h"
#include "PackConfig.h"
#include "PanelFonts.h"
#include "Velmora.h"
#include "win/filesafety.h"
#include "win/files.h"
#include "win/wstr.h"

namespace {
// A logical font as the key of the entries: its 92 bytes, compared and
// hashed whole (the face name's zero fill included).
struct LogfontKey {
    LOGFONTW lf;
    bool operator==(const LogfontKey& o) const { return std::memcmp(&lf, &o.lf, sizeof lf) == 0; }
    template <typename H>
    friend H AbslHashValue(H h, const LogfontKey& k) {
        static_assert(sizeof(LOGFONTW) == 92, "eleven words and a half");
        return H::combine_contiguous(std::move(h), reinterpret_cast<const unsigned char*>(&k.lf), sizeof k.lf);
    }
};

// Notes the characters of [begin, end) in `seen`; with `out`, appends those
// not there yet, in text order. A surrogate pair is one character; a lone
// surrogate counts as itself.
void NewCharacters(const char16_t* begin, const char16_t* end, CharSet& seen, std::u16string* out) {
    for (const char16_t* p = begin; p < end; ++p) {
        const char16_t c = *p;
        if (c >= 0xD800 && c < 0xDC00 && p + 1 < end && p[1] >= 0xDC00 && p[1] < 0xE000) {
            const char32_t pair = 0x10000 + ((static_cast<char32_t>(c) - 0xD800) << 10) + (p[1] - 0xDC00u);
            if (seen.Insert(pair) && out) out->append(p, 2);
            ++p;
        } else if (seen.Insert(c) && out) {
            *out += c;
        }
    }
}

struct QpfCollectionState {
    std::map<int, QpfFontEntry> entries;
    std::vector<QpfFontEntry*> bySerial;  // serial number - 1 -> entry
    absl::flat_hash_map<LogfontKey, int> byBytes;  // the logical font's bytes -> serial number
    // The texts for entries already there, not yet merged into them, in the
    // order they came. A text is only appended here; the merge then runs
    // over one entry at a time, so a table of thousands of fonts does not
    // turn every character into a cache miss.
    std::u16string unmerged;
    struct Run {
        int serial;
        uint32_t offset, length;
    };
    std::vector<Run> runs;

    void Clear() {
        entries.clear();
        bySerial.clear();
        byBytes.clear();
        unmerged.clear();
        runs.clear();
    }
    void Append(int serial, const std::u16string& text) {
        runs.push_back({serial, static_cast<uint32_t>(unmerged.size()), static_cast<uint32_t>(text.size())});
        unmerged += text;
        if (unmerged.size() >= kMergeAt) Merge();
    }
    // Each entry's runs in the order they came, entry after entry.
    void Merge() {
        std::vector<uint32_t> start(bySerial.size() + 1, 0);
        for (const Run& r : runs) ++start[static_cast<size_t>(r.serial)];
        for (size_t i = 1; i < start.size(); ++i) start[i] += start[i - 1];
        std::vector<uint32_t> order(runs.size());
        for (size_t k = runs.size(); k-- > 0;) order[--start[static_cast<size_t>(runs[k].serial)]] = static_cast<uint32_t>(k);
        for (uint32_t k : order) {
            const Run& r = runs[k];
            QpfFontEntry& e = *bySerial[static_cast<size_t>(r.serial) - 1];
            const char16_t* text = unmerged.data() + r.offset;
            NewCharacters(text, text + r.length, e.has, &e.chars);
        }
        unmerged.clear();
        runs.clear();
    }
    // Texts wait until this many units have come.
    static constexpr size_t kMergeAt = size_t{1} << 20;
};

QpfCollectionState& Collection() {
    static QpfCollectionState c;
    return c;
}

}  // namespace

const std::map<int, QpfFontEntry>& QpfCollection() {
    Collection().Merge();
    return Collection().entries;
}

void ClearTtfTextList();
void ResetPanelFontCollections() {
    Collection().Clear();
    ClearTtfTextList();
}

namespace panelfonts {

std::u16string StripLineBreaks(const std::u16string& text) {
    // Every line feed goes, and with it the carriage return right before it
    // (the "\r\n" pairs); any other carriage return stays.
    std::u16string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != u'\n') {
            out += text[i];
        } else if (i > 0 && text[i - 1] == u'\r') {
            out.pop_back();
        }
    }
    return out;
}

LanguagePieces::LanguagePieces(const std::u16string& text) {
    for (size_t from = 0; m_count < 8;) {
        const size_t sep = text.find(kLangSeparator, from);
        m_start[m_count] = from;
        m_end[m_count++] = sep == std::u16string::npos ? text.size() : sep;
        if (sep == std::u16string::npos) break;
        from = sep + 1;
        m_more = m_count == 8;
    }
}

void LanguagePieces::Get(const std::u16string& text, int lang, std::u16string& piece) const {
    if (lang >= 0 && lang < m_count)
        piece.assign(text, m_start[lang], m_end[lang] - m_start[lang]);
    else if (lang >= 0 && m_more)
        GetLangString(text, piece, lang);
    else
        piece.clear();
}

bool LanguageText(const tagMULTIFONT& mf, const std::u16string& text, int mode, int lang, std::u16string& piece,
                  LOGFONTW& lf, LogFontCache& cache, const LanguagePieces& pieces) {
    int useDefault = 0;
    if (mode == 1 || mode == 2) {
        piece = text;
        useDefault = mode == 2 ? 1 : 0;
    } else {
        pieces.Get(text, lang, piece);
        if (piece.empty()) return false;
    }
    const int id = mf.wFontID[lang];
    // Only fonts whose face does not depend on the language are kept.
    const bool cacheable = !useDefault && id != kDefaultFontID && id != kLastBuiltinFontID;
    if (cacheable)
        for (int i = 0; i < cache.count; ++i)
            if (cache.ids[i] == id) {
                lf = cache.lfs[i];
                return cache.found[i];
            }
    std::memset(&lf, 0, sizeof lf);
    const bool found = Font_GetLogFont(id, &lf, useDefault, lang) != 0;
    if (cacheable && cache.count < 8) {
        cache.ids[cache.count] = id;
        cache.found[cache.count] = found;
        cache.lfs[cache.count] = lf;
        ++cache.count;
    }
    return found;
}

std::u16string FindPackName(const WCHAR* face) {
    auto it = PackNameMap.find(face);
    return it == PackNameMap.end() ? std::u16string() : it->second;
}

const std::u16string& PackNames::Of(const std::u16string& face) {
    for (int i = 0; i < m_count; ++i) {
        const std::u16string& known = m_known[i].first;
        if (known.size() == face.size() && std::memcmp(known.data(), face.data(), face.size() * sizeof(char16_t)) == 0)
            return m_known[i].second;
    }
    // Eight languages, so eight faces at most; one more takes the last place.
    auto& known = m_known[m_count < 8 ? m_count++ : 7];
    auto it = PackNameMap.find(face);
    known.first = face;
    known.second = it == PackNameMap.end() ? std::u16string() : it->second;
    return known.second;
}

void ResetOutputDir(const std::u16string& outDir) {
    DeleteDirectoryTree(outDir.c_str());
    Sleep(30);
    CreateDirectoryW(outDir.c_str(), nullptr);
}

std::map<std::u16string, std::u16string> PackFontFiles() {
    std::map<std::u16string, std::u16string> files;
    LoadPackFontFiles(&files);
    return files;
}

}  // namespace panelfonts

using namespace panelfonts;

namespace {
// Entries come from the folder's own listing, and each is checked to lie
// inside the folder being emptied; a link is removed as a link, and only a
// real folder is entered.
BOOL DeleteTree(const std::u16string& dir, const std::string& root) {
    const CString pattern = Format(u"%s%s", dir.c_str(), u"//*.*");
    WIN32_FIND_DATAW fd;
    HANDLE find = FindFirstFileW(pattern, &fd);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            const std::u16string name = fd.cFileName;
            if (name == u"." || name == u"..") continue;
            const std::u16string path = dir + u"\\" + name;
            const std::string native = NativePath(path);
            if (!winfiles::IsInside(root, native)) {
                winfiles::RecordFailure(native, "outside the folder being emptied; left alone");
                continue;
            }
            const bool folder = (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
                                !(fd.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT);
            if (folder)
                DeleteTree(path, root);
            else if (!DeleteFileW(path.c_str()))
                winfiles::RecordFailure(native, "cannot delete");
        } while (FindNextFileW(find, &fd));
        FindClose(find);
    }
    const BOOL removed = RemoveDirectoryW(dir.c_str());
    if (!removed && GetLastError() != 2) winfiles::RecordFailure(NativePath(dir), "cannot remove the folder");
    return removed;
}
}  // namespace

BOOL DeleteDirectoryTree(const WCHAR* dir) {
    if (!dir || !*dir) return FALSE;
    const std::string native = NativePath(dir);
    const DWORD attributes = GetFileAttributesW(dir);
    if (attributes == INVALID_FILE_ATTRIBUTES) return FALSE;
    // A link in the folder's place goes as a link; what it points to stays.
    if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) return DeleteFileW(dir);
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) return FALSE;
    if (winfiles::ResolvedPath(native) == "/") {
        winfiles::RecordFailure(native, "the root folder is never emptied");
        return FALSE;
    }
    return DeleteTree(dir, native);
}

void MakeQPF(tagMULTIFONT& mf, CString text, int mode, int screen) {
    std::u16string stripped;
    const std::u16string& clean = WithoutLineBreaks(text.str(), stripped);
    QpfCollectionState& c = Collection();
    CQpfFontData* collector = CSingletonTpl<CQpfFontData>::getInstance();
    // Kept from text to text for their storage: a compile calls this for
    // every text it shows.
    static PackNames packs;
    packs.Forget();
    static _tagQpfUnit unit;
    ForEachLanguage(mf, clean, mode, [&](int, const std::u16string& piece, const LOGFONTW& lf) {
        // The byte-identical look-up, without a walk over the entries.
        const auto found = c.byBytes.try_emplace(LogfontKey{lf}, static_cast<int>(c.entries.size()) + 1);
        const int serial = found.first->second;
        const bool match = !found.second;
        if (match) c.Append(serial, piece);
        unit.strFaceName.assign(lf.lfFaceName);
        const std::u16string& pack = packs.Of(unit.strFaceName);
        if (!match) {
            QpfFontEntry& e = c.entries[serial];
            e.lf = lf;
            // The first text stays whole, repeated characters too.
            e.chars = piece;
            e.packName = pack;
            NewCharacters(piece.data(), piece.data() + piece.size(), e.has, nullptr);
            c.bySerial.push_back(&e);
        }
        unit.bLeading = false;
        unit.bItalic = lf.lfItalic != 0;
        unit.nWeight = QtWeight(lf);
        unit.nHeight = lf.lfHeight;
        // A text in a font already collected carries that font's number, as
        // the full build's units do.
        unit.nIndex = serial;
        unit.strPackName = pack;
        unit.strText = piece;
        collector->setScreenText(screen, piece, unit);
    });
}

double Finish_MakeQPF(CPackFontFiles& result, std::u16string& outDir, int /*unused*/) {
    const std::map<std::u16string, std::u16string> packs = PackFontFiles();
    ResetOutputDir(outDir);
    QpfCollectionState& c = Collection();
    if (c.entries.empty()) return 0.0;
    c.Merge();

    CQpfFontData* collector = CSingletonTpl<CQpfFontData>::getInstance();
    for (const auto& kv : c.entries) {
        const QpfFontEntry& e = kv.second;
        const bool italic = e.lf.lfItalic != 0;
        const int weight = QtWeight(e.lf);
        generateqpf2(e.chars.c_str(), e.lf.lfFaceName, e.lf.lfHeight, italic, weight, e.packName.c_str(), -1);
        _tagQpfUnit unit;
        unit.bLeading = false;
        unit.bItalic = italic;
        unit.nWeight = weight;
        unit.nHeight = e.lf.lfHeight;
        unit.nIndex = kv.first;
        unit.strFaceName = e.lf.lfFaceName;
        unit.strPackName = e.packName;
        unit.strText = e.chars;
        collector->add(unit);
    }
    c.Clear();

    std::unique_ptr<WCHAR[][64]> slots(new WCHAR[1000][64]());
    int n = 0;
    for (const auto& kv : packs) {
        if (n >= 1000) break;
        lstrcpynW(slots[static_cast<size_t>(n++)], kv.first.c_str(), 33);
    }
    int count = 0;
    qpf2tofile(outDir.c_str(), slots.get(), &count);
    double total = 0.0;
    for (int i = 0; i < count && i < 1000; ++i) {
        const std::u16string name = slots[static_cast<size_t>(i)];
        auto it = packs.find(name);
        if (it == packs.end()) continue;
        result.insert({name, it->second});
        total += FontSizeMap[name];
    }
    return total;
}

double MakeLattice_QPF(std::u16string& outDir, CPackFontFiles& result) {
    if (outDir.find(u"\\qpf2") == std::u16string::npos) outDir += u"\\qpf2";
    const std::map<std::u16string, std::u16string> packs = PackFontFiles();
    CQpfFontData* collector = CSingletonTpl<CQpfFontData>::getInstance();
    if (collector->executeBuild(generateqpf2)) qpf2tofileEx(outDir.c_str());
    collector->removeNoNeedQpf(outDir);
    double total = 0.0;
    for (const auto& kv : packs) {
        result.insert(kv);
        total += FontSizeMap[kv.first];
    }
    return total;
}
