// Subset TrueType fonts for the panel.
#include <unordered_map>

#include "FontMap.h"
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
    return face == u"宋体" || face == u"新宋体" || face == u"SimSun" || face == u"NSimSun";
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

_tagTtfUnit UnitOf(const LOGFONTW& lf, const std::u16string& pack, const std::u16string& text) {
    _tagTtfUnit unit;
    unit.bLeading = false;
    unit.bItalic = lf.lfItalic != 0;
    unit.nWeight = panelfonts::QtWeight(lf);
    unit.nHeight = lf.lfHeight;
    unit.strPackName = pack;
    unit.strText = text;
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
    const std::u16string clean = StripLineBreaks(text.str());
    TtfListState& list = List();
    CTtfFontData* collector = CSingletonTpl<CTtfFontData>::getInstance();
    ForEachLanguage(mf, clean, mode, [&](int, const std::u16string& piece, const LOGFONTW& lf) {
        const std::u16string face = lf.lfFaceName;
        auto match = list.byFace.find(face);
        if (match != list.byFace.end()) list.entries[match->second].text += piece;
        if (NeverCollected(face)) return;
        const std::u16string pack = FindPackName(lf.lfFaceName);
        if (match == list.byFace.end()) {
            list.byFace.emplace(face, list.entries.size());
            list.entries.push_back(TtfFontEntry{lf, piece, pack});
        }
        _tagTtfUnit unit = UnitOf(lf, pack, piece);
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
    for (const TtfFontEntry& e : list.entries) {
        if (packs.count(e.lf.lfFaceName)) continue;
        const _tagTtfUnit unit = UnitOf(e.lf, e.packName, e.text);
        generateqpf2(e.text.c_str(), e.lf.lfFaceName, unit.nHeight, unit.bItalic, unit.nWeight, e.packName.c_str(),
                     -1);
        collector->add(e.lf.lfFaceName, unit);
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
