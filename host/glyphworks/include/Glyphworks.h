// Glyphworks: the studio's font tool library (font checks, the registry's
// font-file map; QPF2 rendering and writing).
#pragma once

#include <map>
#include <string>

#include "win/windows.h"

#define GLYPHWORKS_API __attribute__((visibility("default")))

// A face is usable on a panel when the face name (any of its family names in
// any language, or its full name) belongs to a TrueType or OpenType face of
// the fonts folder whose file FreeType opens and which has a Unicode
// character map. Raster faces and faces without Unicode mapping are not.
GLYPHWORKS_API int CheckFontSuable(const WCHAR* faceName);

// Reads the installed-fonts registry key on its own and fills `map` with one
// entry per TrueType/OpenType face name -> file name relative to the fonts
// folder. Names are the value names without " (TrueType)", a collection's
// " & "-joined names split into one entry each, and a trailing " Bold"
// written "-Bold" (so "Arial Bold" gives "Arial-Bold"). The first value of a
// name wins. Returns the number of entries, 0 when the key cannot be read.
GLYPHWORKS_API int getFontFileMapByRegedit(std::map<std::u16string, std::u16string>& map);
