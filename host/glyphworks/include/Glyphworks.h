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

// ---- QPF2 rendering for the compile ----
// Renders QPF2 data for `chars` in the font GDI realises for face, height
// (as lfHeight: negative for an em height), italic and Qt weight (75 bold,
// else normal), and keeps it until it is written. Units that give the same
// file (see qpf2tofile) share it: their characters are merged. `reserved`
// is not used.
GLYPHWORKS_API void generateqpf2(const WCHAR* chars, const WCHAR* faceName, int height, bool italic, long weight,
                                 const WCHAR* packName, int reserved);
// Writes the kept fonts into `outDir` and forgets them. Files are named as
// Qt's makeqpf names them: the pack name (the face name when there is none)
// in lower case with blanks as "_", then "_" pixel size, "_" weight and
// "_italic" when italic, ".qpf2". The distinct non-empty pack names of the
// written fonts go into `packFonts` in first-use order (at most 1000, each cut
// to 63 units), and *count says how many. Returns the number of files written.
GLYPHWORKS_API int qpf2tofile(const WCHAR* outDir, WCHAR (*packFonts)[64], int* count);
// The same for a unit build, without reporting pack fonts.
GLYPHWORKS_API int qpf2tofileEx(const WCHAR* outDir);
// Fonts kept and not yet written (for tests and progress reports).
GLYPHWORKS_API int qpf2PendingCount();
