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

// Reads the installed-fonts registry key on its own and fills `map` with the
// family names that the key's .ttf and .ttc files carry (the English
// family name of every face of the file, collection members included) ->
// file name relative to the fonts folder. A value whose file is not in the
// fonts folder gives nothing; the first value of a family wins. Returns the
// number of entries, 0 when the key cannot be read.
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
// "_italic" when italic, ".qpf2". On entry the leading non-empty slots of
// `packFonts` offer pack font names; on return the first *count slots hold,
// in their order, those whose whole font file can travel to the panel (the
// faces CheckFontSuable accepts), and the slots after them are cleared.
// Returns the number of files written.
GLYPHWORKS_API int qpf2tofile(const WCHAR* outDir, WCHAR (*packFonts)[64], int* count);
// The same for a unit build, without pack fonts.
GLYPHWORKS_API int qpf2tofileEx(const WCHAR* outDir);
// The file a unit's glyphs go to ("" when the face cannot be rendered).
GLYPHWORKS_API std::u16string qpf2UnitFileName(const WCHAR* faceName, int height, bool italic, long weight,
                                               const WCHAR* packName);
// Fonts kept and not yet written (for tests and progress reports).
GLYPHWORKS_API int qpf2PendingCount();

// ---- TrueType subsetting for the compile ----
// key (the panel's name of the face) -> (font file in the fonts folder, characters to keep).
typedef std::map<std::u16string, std::pair<std::u16string, std::u16string>> TTFMapTable;
// Adds a row per face of the units kept by generateqpf2 since the last write:
// the key is the unit's pack name (its face name when it has none), the file
// the one GDI realises for it, the characters those of all its units, each
// once, in first-use order. Rows already in the table gain the new
// characters. The kept units are then forgotten. Returns the rows added.
GLYPHWORKS_API int getSimplifyTTFMapTable(TTFMapTable* table);
