// QPF2 bitmap fonts for the panel.
#include <cstring>
#include <memory>
#include <string_view>
#include <unordered_map>

#include "FontMap.h"
#include "Forgeline.h"
#include "Glyphworks.h"
#include "PackConfig.h"
#include "PanelFonts.h"
#include "Velmora.h"
#include "win/filesafety.h"
#include "win/files.h"
#include "win/wstr.h"

namespace {
// A logical font compared and hashed over all of its bytes.
struct LogFontKey {
    LOGFONTW lf;
    bool operator==(const LogFontKey& o) const { return std::memcmp(&lf, &o.lf, sizeof lf) == 0; }
};
struct LogFontKeyHash {
    size_t operator()(const LogFontKey& k) const {
        return std::hash<std::string_view>{}(std::string_view(reinterpret_cast<const char*>(&k.lf), sizeof k.lf));
    }
};

struct QpfCollectionState {
    std::map<int, QpfFontEntry> entries;
    // The logical font's bytes -> serial number: the byte-identical look-up
    // without a walk over the entries.
    std::unordered_map<LogFontKey, int, LogFontKeyHash> byBytes;
    void Clear() {
        entries.clear();
        byBytes.clear();
    }
};

QpfCollectionState& Collection() {
    static QpfCollectionState c;
    return c;
}

}  // namespace

const std::map<int, QpfFontEntry>& QpfCollection() { return Collection().entries; }

void ClearTtfTextList();
void ResetPanelFontCollections() {
    Collection().Clear();
    ClearTtfTextList();
}

namespace panelfonts {

std::u16string StripLineBreaks(const std::u16string& text) {
    std::u16string pairsGone;
    pairsGone.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') {
            ++i;
            continue;
        }
        pairsGone += text[i];
    }
    std::u16string out;
    out.reserve(pairsGone.size());
    for (char16_t c : pairsGone)
        if (c != u'\n') out += c;
    return out;
}

bool LanguageText(const tagMULTIFONT& mf, const std::u16string& text, int mode, int lang, std::u16string& piece,
                  LOGFONTW& lf, LogFontCache& cache) {
    int useDefault = 0;
    if (mode == 1 || mode == 2) {
        piece = text;
        useDefault = mode == 2 ? 1 : 0;
    } else {
        piece.clear();
        GetLangString(text, piece, lang);
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
    const std::u16string clean = StripLineBreaks(text.str());
    QpfCollectionState& c = Collection();
    CQpfFontData* collector = CSingletonTpl<CQpfFontData>::getInstance();
    ForEachLanguage(mf, clean, mode, [&](int, const std::u16string& piece, const LOGFONTW& lf) {
        const LogFontKey key{lf};
        auto match = c.byBytes.find(key);
        int serial = static_cast<int>(c.entries.size()) + 1;
        if (match != c.byBytes.end()) {
            serial = match->second;
            QpfFontEntry& e = c.entries[serial];
            for (char16_t ch : piece)
                if (!e.has.test(ch)) {
                    e.has.set(ch);
                    e.chars += ch;
                }
        }
        const std::u16string pack = FindPackName(lf.lfFaceName);
        if (match == c.byBytes.end()) {
            QpfFontEntry& e = c.entries[serial];
            e.lf = lf;
            e.chars = piece;
            e.packName = pack;
            for (char16_t ch : piece) e.has.set(ch);
            c.byBytes.emplace(key, serial);
        }
        _tagQpfUnit unit;
        unit.bLeading = false;
        unit.bItalic = lf.lfItalic != 0;
        unit.nWeight = QtWeight(lf);
        unit.nHeight = lf.lfHeight;
        // A text in a font already collected carries that font's number, as
        // the full build's units do.
        unit.nIndex = serial;
        unit.strFaceName = lf.lfFaceName;
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
