// Per-language font choices of text objects and their string forms.
#include "FontTable.h"
#include "Velmora.h"
#include "win/wstr.h"

namespace {
// The (width, height) pairs that name the legacy fixed-cell fonts 0 to 9.
struct CellPair {
    int width;
    int height;
};
constexpr CellPair kCellPairs[kLegacyFontCount] = {{6, 12},  {8, 16},  {12, 12}, {16, 16}, {12, 24},
                                                   {16, 32}, {24, 16}, {24, 24}, {24, 32}, {32, 32}};

// swscanf(piece, L"%d %d", &a, &b): the literal blank matches any run of
// white space, including none.
void ScanPair(const WCHAR* s, int* a, int* b) {
    const size_t used = ScanDecimal(s, a);
    if (used) ScanDecimal(s + used, b);
}

int ResolveLanguage(int nLang) { return nLang == -1 ? GetCurLanguage() : nLang; }
}  // namespace

int Font_GetMultiFontFromString(const WCHAR* str, tagMULTIFONT& mf) {
    for (auto& slot : mf.wFontID) slot = 0;
    const int count = getLangCount();
    for (int i = 0; i < count && i < kMultiFontSlots; ++i) {
        WCHAR piece[MAX_PATH] = {};
        GetLangString(str ? str : u"", piece, i);
        int first = 0, second = 0;
        ScanPair(piece, &first, &second);
        int value = -1;
        for (int id = 0; id < kLegacyFontCount; ++id)
            if (kCellPairs[id].width == first && kCellPairs[id].height == second) value = id;
        if (value < 0) {
            ScanDecimal(piece, &first);
            value = first != 0 ? first : kDefaultFontID;
        }
        mf.wFontID[i] = static_cast<uint16_t>(value);
    }
    return 1;
}

void Font_GetStringFromFont(const tagMULTIFONT& mf, CString& out) {
    out.Empty();
    const int count = getLangCount();
    for (int i = 0; i < count && i < kMultiFontSlots; ++i) {
        out += Font_GetFontName(mf.wFontID[i]);
        out += kLangSeparator;
    }
}

int Font_GetSpecFont(const tagMULTIFONT& mf, int nLang) {
    nLang = ResolveLanguage(nLang);
    const int slot = (nLang >= 0 && nLang < getLangCount() && nLang < kMultiFontSlots) ? nLang : 0;
    const int id = mf.wFontID[slot];
    return Font_IsValid(id) ? id : kDefaultFontID;
}

int Font_SetSpecFont(tagMULTIFONT& mf, unsigned short nID, int nLang) {
    nLang = ResolveLanguage(nLang);
    if (nLang >= 0 && nLang < kMultiFontSlots) mf.wFontID[nLang] = nID;
    return 1;
}
