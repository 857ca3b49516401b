// Subset TrueType fonts for the panel.
#include <algorithm>
#include <unordered_map>

#include "FontTable.h"
#include "FontSubsetBridge.h"
#include "Forgeline.h"
#include "Glyphworks.h"
#include "PanelFonts.h"
#include "win/files.h"
#include "win/wstr.h"

extern const WCHAR kDefaultCharSet[] =
    u" QWERTYUIOPASDFGHJKLZXCVBNMqwertyuiopasdfghjklzxcvbnm!@#$%^&*()_+-={}[]:\"|;'\\<>?,./0123456789.";
static_assert(sizeof(kDefaultCharSet) / sizeof(WCHAR) == 95, "94 characters and the terminator");

namespace {
struct TtfListState {
    std::vector<TtfFontEntry> entries;
    std::unordered_map<std::u16string, size_t> byFace;
    void Clear() {
        entries.clear();
        byFace.clear();
    }
};

TtfListState& List() {
    static TtfListState l;
    return l;
}

bool NeverCollected(const std::u16string& face) {
    switch (face.size()) {
    case 2: return face == u"宋体";
    case 3: return face == u"新宋体";
    case 6: return face == u"SimSun";
    case 7: return face == u"NSimSun";
    default: return false;
    }
}

bool IsSimSunCollection(const std::u16string& file) {
    static const std::u16string name = u"simsun.ttc";
    if (file.size() != name.size()) return false;
    for (size_t i = 0; i < file.size(); ++i) {
        char16_t c = file[i];
        if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');
        if (c != name[i]) return false;
    }
    return true;
}

void FillUnit(_tagTtfUnit& unit, const LOGFONTW& lf, const std::u16string& pack, const std::u16string& text) {
    unit.bLeading = false;
    unit.bItalic = lf.lfItalic != 0;
    unit.nWeight = panelfonts::QtWeight(lf);
    unit.nHeight = lf.lfHeight;
    unit.strPackName = pack;
    unit.strText = text;
}

_tagTtfUnit UnitOf(const LOGFONTW& lf, const std::u16string& pack, std::u16string text) {
    _tagTtfUnit unit;
    FillUnit(unit, lf, pack, std::u16string());
    unit.strText = std::move(text);
    return unit;
}

// Cuts the fonts the font tool library names into outDir; megabytes written.
double SubsetMappedFonts(const std::u16string& outDir) {
    TTFMapTable table;
    getSimplifyTTFMapTable(&table);
    auto calibri = table.find(u"Calibri");
    if (calibri != table.end())
        calibri->second.second += kDefaultCharSet;
    else
        table[u"Calibri"] = {u"Calibri.ttf", kDefaultCharSet};
    CSingletonTpl<CTtfFontData>::getInstance()->setTtfMapTable(table);
    CFontSubsetBridge& bridge = CFontSubsetBridge::Instance();
    return bridge.IsReady() ? bridge.SubsetFontTable(table, outDir) : 0.0;
}
}  // namespace

const std::vector<TtfFontEntry>& TtfTextList() { return List().entries; }

void ClearTtfTextList() { List().Clear(); }

using namespace panelfonts;

void AddTextInfo(tagMULTIFONT& mf, CString text, int mode, int screen) {
    std::u16string stripped;
    const std::u16string& clean = WithoutLineBreaks(text.str(), stripped);
    TtfListState& list = List();
    CTtfFontData* collector = CSingletonTpl<CTtfFontData>::getInstance();
    // Languages mostly share faces: the strings are made once per text, and
    // kept from text to text for their storage.
    static std::u16string face;
    static PackNames packs;
    packs.Forget();
    static _tagTtfUnit unit;
    ForEachLanguage(mf, clean, mode, [&](int, const std::u16string& piece, const LOGFONTW& lf) {
        face.assign(lf.lfFaceName);
        auto match = list.byFace.find(face);
        if (match != list.byFace.end()) {
            // A face's text grows to megabytes: fewer, larger steps copy it less often.
            std::u16string& all = list.entries[match->second].text;
            if (all.size() + piece.size() > all.capacity()) GrowText(all, piece.size());
            all += piece;
        }
        if (NeverCollected(face)) return;
        const std::u16string& pack = packs.Of(face);
        if (match == list.byFace.end()) {
            list.byFace.emplace(face, list.entries.size());
            list.entries.push_back(TtfFontEntry{lf, piece, pack});
        }
        FillUnit(unit, lf, pack, piece);
        collector->setScreenText(screen, piece, face, unit);
    });
}

double Finish_MakeTTF(CPackFontFiles& result, std::u16string& outDir) {
    const std::map<std::u16string, std::u16string> packs = PackFontFiles();
    ResetOutputDir(outDir);
    TtfListState& list = List();
    CTtfFontData* collector = CSingletonTpl<CTtfFontData>::getInstance();
    if (list.entries.empty()) {
        // Open to choice: a plain 12-point upright face.
        LOGFONTW lf{};
        collector->add(u"Calibri", UnitOf(lf, u"Calibri", kDefaultCharSet));
    }
    for (TtfFontEntry& e : list.entries) {
        if (packs.count(e.lf.lfFaceName)) continue;
        // The list is emptied next: its text goes to the unit rather than a copy.
        _tagTtfUnit unit = UnitOf(e.lf, e.packName, std::move(e.text));
        generateqpf2(unit.strText.c_str(), e.lf.lfFaceName, unit.nHeight, unit.bItalic, unit.nWeight,
                     e.packName.c_str(), -1);
        collector->add(e.lf.lfFaceName, std::move(unit));
    }
    list.Clear();

    double total = SubsetMappedFonts(outDir);
    for (const auto& kv : packs) {
        if (IsSimSunCollection(kv.second)) continue;
        result.insert(kv);
        total += FontSizeMap[kv.first];
    }
    return total;
}

double MakeVector_TTF(std::u16string& outDir, CPackFontFiles& result) {
    const std::map<std::u16string, std::u16string> packs = PackFontFiles();
    CTtfFontData* collector = CSingletonTpl<CTtfFontData>::getInstance();
    const int built = collector->executeBuild(generateqpf2);
    collector->removeNoNeedTtf(outDir);
    TTFMapTable table;
    if (built) collector->getTtfMapTable(getSimplifyTTFMapTable, table);
    double total = 0.0;
    for (const auto& kv : packs) {
        if (IsSimSunCollection(kv.second)) continue;
        const std::u16string& pack = PackNameMap[kv.first];
        table.erase(pack.empty() ? kv.first : pack);
        total += FontSizeMap[kv.first];
        const std::u16string shipped = outDir + u"\\" + kv.second;
        if (GetFileAttributesW(shipped.c_str()) == INVALID_FILE_ATTRIBUTES) result.insert(kv);
    }
    CFontSubsetBridge& bridge = CFontSubsetBridge::Instance();
    if (bridge.IsReady() && !table.empty()) total += bridge.SubsetFontTable(table, outDir);
    return total;
}
