#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <cstdio>

#include "Glyphworks.h"
#include "win/fontdb.h"
#include "win/registry.h"
#include "win/wstr.h"

namespace {
bool EndsWith(const std::u16string& s, const std::u16string& tail) {
    return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

// The files whose faces the system font map can give a file (.otf files
// are installed, but the map's registry scan passes TrueType files only).
bool IsTrueTypeFile(std::u16string file) {
    for (auto& c : file) c = towlower16(c);
    return EndsWith(file, u".ttf") || EndsWith(file, u".ttc");
}
}  // namespace

std::string checkSubset(const std::string& subset, const std::string& source, int faceIndex,
                        const std::u32string& chars) {
    FT_Library lib = nullptr;
    if (FT_Init_FreeType(&lib)) return "FreeType cannot start";
    std::string why;
    FT_Face cut = nullptr, from = nullptr;
    if (FT_New_Face(lib, subset.c_str(), 0, &cut) || cut->num_glyphs < 1) {
        why = "FreeType cannot open it";
    } else if (!chars.empty() && FT_New_Face(lib, source.c_str(), faceIndex, &from) == 0) {
        size_t lacking = 0;
        char32_t first = 0;
        for (char32_t c : chars)
            if (FT_Get_Char_Index(from, c) && !FT_Get_Char_Index(cut, c) && lacking++ == 0) first = c;
        if (lacking) {
            char text[96];
            std::snprintf(text, sizeof text, "it lacks %zu character(s) its source maps (U+%04X first)", lacking,
                          static_cast<unsigned>(first));
            why = text;
        }
    }
    // A source FreeType cannot open maps nothing that could be lacking; a
    // subset without a Unicode character map maps nothing.
    if (from) FT_Done_Face(from);
    if (cut) FT_Done_Face(cut);
    FT_Done_FreeType(lib);
    return why;
}

int CheckFontSuable(const WCHAR* faceName) {
    if (!faceName || !*faceName) return 0;
    for (const fontdb::Face* f : fontdb::FacesNamed(faceName))
        if (!f->raster && f->hasUnicodeCmap) return 1;
    return 0;
}

int getFontFileMapByRegedit(std::map<std::u16string, std::u16string>& map) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"Software\\Microsoft\\Windows NT\\CurrentVersion\\Fonts", 0, KEY_READ,
                      &key) != ERROR_SUCCESS)
        return 0;
    int added = 0;
    for (DWORD index = 0;; ++index) {
        WCHAR name[16384];
        BYTE data[4096];
        DWORD nameChars = 16384, dataBytes = sizeof data, type = 0;
        const LONG rc = RegEnumValueW(key, index, name, &nameChars, nullptr, &type, data, &dataBytes);
        if (rc == ERROR_NO_MORE_ITEMS) break;
        if (rc != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ)) continue;
        std::u16string file(reinterpret_cast<const char16_t*>(data), dataBytes / 2);
        file = file.substr(0, std::find(file.begin(), file.end(), u'\0') - file.begin());
        if (!IsTrueTypeFile(file)) continue;
        const size_t slash = file.find_last_of(u"\\/");
        if (slash != std::u16string::npos) file = file.substr(slash + 1);
        // The families the file itself carries, not the value's style names:
        // every key is then a face GDI knows. A file that is not in the fonts
        // folder gives nothing.
        for (const fontdb::Face* f : fontdb::FacesInFile(Utf16ToUtf8(file)))
            if (map.emplace(f->family, file).second) ++added;
    }
    RegCloseKey(key);
    return added;
}
