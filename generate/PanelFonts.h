// What the panel-font builds collect between their calls, and the pieces the
// QPF2 and TrueType builds share.
#pragma once

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "FontTable.h"
#include "win/charset.h"
#include "win/filesafety.h"

struct QpfFontEntry {
    LOGFONTW lf;
    std::u16string chars;
    std::u16string packName;
    CharSet has;  // the characters of chars (a surrogate pair is one character)
};

struct TtfFontEntry {
    LOGFONTW lf;
    std::u16string text;
    std::u16string packName;
};

// serial number -> entry, every text merged
const std::map<int, QpfFontEntry>& QpfCollection();
const std::vector<TtfFontEntry>& TtfTextList();

// Forgets the QPF2 collection and the TrueType text list, as a fresh load
// of the library has them (a host starting a new compile in the same process).
void ResetPanelFontCollections();

// Deletes a folder with everything in it.
BOOL DeleteDirectoryTree(const WCHAR* dir);

// The characters of the default "Calibri" unit.
extern const WCHAR kDefaultCharSet[];

namespace panelfonts {

// Makes room in a text that grows to megabytes for `more` units: fewer,
// larger steps copy it less often, and the new room is asked of the kernel
// in large pages before it is written.
inline void GrowText(std::u16string& text, size_t more) {
    std::u16string bigger;
    bigger.reserve(std::max<size_t>({4 * text.capacity(), text.size() + more, 1024}));
    winfiles::AdviseLargePages(bigger.data(), bigger.capacity() * sizeof(char16_t));
    bigger = text;
    text.swap(bigger);
}
// The text without "\r\n" pairs and then without "\n"; a lone "\r" stays.
std::u16string StripLineBreaks(const std::u16string& text);
// The same, as the text itself when it has no line feed, else in `buffer`.
inline const std::u16string& WithoutLineBreaks(const std::u16string& text, std::u16string& buffer) {
    if (text.find(u'\n') == std::u16string::npos) return text;
    buffer = StripLineBreaks(text);
    return buffer;
}
// The text and logical font of one language, false when it is skipped.
// `cache` keeps the fonts already read during one text: languages mostly
// share a font, and the table look-up walks the whole list.
struct LogFontCache {
    int ids[8];
    bool found[8];
    LOGFONTW lfs[8];
    int count = 0;
};
// Where the languages' pieces of a text lie, found in one pass: the pieces
// GetLangString gives, without looking for each from the start again.
class LanguagePieces {
public:
    explicit LanguagePieces(const std::u16string& text);
    void Get(const std::u16string& text, int lang, std::u16string& piece) const;

private:
    size_t m_start[8], m_end[8];
    int m_count = 0;
    bool m_more = false;  // pieces beyond the eighth
};
bool LanguageText(const tagMULTIFONT& mf, const std::u16string& text, int mode, int lang, std::u16string& piece,
                  LOGFONTW& lf, LogFontCache& cache, const LanguagePieces& pieces);
// Calls fn(language, its text, its logical font) for each of the eight
// languages that has a text and a font.
template <class Fn>
void ForEachLanguage(const tagMULTIFONT& mf, const std::u16string& text, int mode, Fn&& fn) {
    LogFontCache cache;
    std::u16string piece;
    LOGFONTW lf;
    const LanguagePieces pieces(text);
    for (int lang = 0; lang < 8; ++lang)
        if (LanguageText(mf, text, mode, lang, piece, lf, cache, pieces))
            fn(lang, static_cast<const std::u16string&>(piece), lf);
}
// The pack name of a face without adding it to the map; empty when absent.
std::u16string FindPackName(const WCHAR* face);
// The same for the languages of one text, each face looked up once. Forget
// starts the next text; the strings keep their storage.
class PackNames {
public:
    const std::u16string& Of(const std::u16string& face);
    void Forget() { m_count = 0; }

private:
    std::pair<std::u16string, std::u16string> m_known[8];
    int m_count = 0;
};
// 75 for exactly FW_BOLD, else 50.
inline int QtWeight(const LOGFONTW& lf) { return lf.lfWeight == 700 ? 75 : 50; }
// Empties outDir, waits 30 ms and creates it again.
void ResetOutputDir(const std::u16string& outDir);
// The project's pack fonts: face -> font file, ascending by face.
std::map<std::u16string, std::u16string> PackFontFiles();

}  // namespace panelfonts
