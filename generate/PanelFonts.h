// What the panel-font builds collect between their calls, and the pieces the
// QPF2 and TrueType builds share.
#pragma once

#include <bitset>
#include <map>
#include <string>
#include <vector>

#include "Tamsel.h"

struct QpfFontEntry {
    LOGFONTW lf;
    std::u16string chars;
    std::u16string packName;
    std::bitset<65536> has;  // the code units of chars, for the "not yet there" test
};

struct TtfFontEntry {
    LOGFONTW lf;
    std::u16string text;
    std::u16string packName;
};

// serial number -> entry
TAMSEL_API const std::map<int, QpfFontEntry>& QpfCollection();
TAMSEL_API const std::vector<TtfFontEntry>& TtfTextList();

// Forgets the QPF2 collection and the TrueType text list, as a fresh load
// of the library has them (a host starting a new compile in the same process).
TAMSEL_API void ResetPanelFontCollections();

// The characters of the default "Calibri" unit.
extern TAMSEL_API const WCHAR kDefaultCharSet[];

namespace panelfonts {

// The text without "\r\n" pairs and then without "\n"; a lone "\r" stays.
std::u16string StripLineBreaks(const std::u16string& text);
// The text and logical font of one language, false when it is skipped.
// `cache` keeps the fonts already read during one text: languages mostly
// share a font, and the table look-up walks the whole list.
struct LogFontCache {
    int ids[8];
    bool found[8];
    LOGFONTW lfs[8];
    int count = 0;
};
bool LanguageText(const tagMULTIFONT& mf, const std::u16string& text, int mode, int lang, std::u16string& piece,
                  LOGFONTW& lf, LogFontCache& cache);
// Calls fn(language, its text, its logical font) for each of the eight
// languages that has a text and a font.
template <class Fn>
void ForEachLanguage(const tagMULTIFONT& mf, const std::u16string& text, int mode, Fn&& fn) {
    LogFontCache cache;
    std::u16string piece;
    LOGFONTW lf;
    for (int lang = 0; lang < 8; ++lang)
        if (LanguageText(mf, text, mode, lang, piece, lf, cache)) fn(lang, static_cast<const std::u16string&>(piece), lf);
}
// The pack name of a face without adding it to the map; empty when absent.
std::u16string FindPackName(const WCHAR* face);
// 75 for exactly FW_BOLD, else 50.
inline int QtWeight(const LOGFONTW& lf) { return lf.lfWeight == 700 ? 75 : 50; }
// Empties outDir, waits 30 ms and creates it again.
void ResetOutputDir(const std::u16string& outDir);
// The project's pack fonts: face -> font file, ascending by face.
std::map<std::u16string, std::u16string> PackFontFiles();

}  // namespace panelfonts
