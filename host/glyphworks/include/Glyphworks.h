// Glyphworks: the studio's font tool library (font checks, the registry's
// font-file map; QPF2 rendering and writing).
#pragma once

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "win/windows.h"

#define GLYPHWORKS_API __attribute__((visibility("default")))

// A face is usable on a panel when the face name (any of its family names in
// any language, or its full name) belongs to a TrueType or OpenType face of
// the fonts folder whose file FreeType opens and which has a Unicode
// character map. Raster faces and faces without Unicode mapping are not.
GLYPHWORKS_API int CheckFontSuable(const WCHAR* faceName);
// Whether the subset file `subset` may be put in place: FreeType opens it
// and its character map holds every character of `chars` that the source
// face (member `faceIndex` of `source`) maps. "" when it does, else why not.
GLYPHWORKS_API std::string checkSubset(const std::string& subset, const std::string& source, int faceIndex,
                                       const std::u32string& chars);

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
// file (see qpf2tofile) share it: their characters are merged, a surrogate
// pair counting as one character. A character the realised face lacks comes
// from the faces the registry's FontLink\SystemLink key links to it (or to
// the face asked for), then from the default links: those of "Microsoft Sans
// Serif" and of the face GDI realises for it, as Windows links fonts on an
// Asian system. A font whose em is beyond the format's 255 pixels is not
// written. `reserved` is not used.
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
// What a unit's file is made from beyond its characters and the units that
// ask for it, as this profile realises it: for QPF2 the face GDI realises
// (its file in the fonts folder, member, full name, pixel size, simulated
// bold and italic) and the faces linked to it, in the order they are asked;
// for a subset the face it is cut from. Two units of equal sources give the
// same file from the same characters while the font files named stay as
// they are. FontSubstitutes, SystemLink and the icon-title font reach a file
// only through these.
struct UnitSource {
    std::u16string file;                    // QPF2: the file (qpf2UnitFileName); subset: the row's key
    bool realised = false;                  // false: no face can be realised for the unit
    std::u16string faces;                   // the faces above, as text
    std::vector<std::u16string> fontFiles;  // their files in the fonts folder, each once
};
GLYPHWORKS_API UnitSource qpf2UnitSource(const WCHAR* faceName, int height, bool italic, long weight,
                                         const WCHAR* packName);
GLYPHWORKS_API UnitSource ttfUnitSource(const WCHAR* faceName, const WCHAR* packName);
// Fonts kept and not yet written (for tests and progress reports).
GLYPHWORKS_API int qpf2PendingCount();

// ---- TrueType subsetting for the compile ----
// key (the panel's name of the face) -> (font file in the fonts folder, characters to keep).
typedef std::map<std::u16string, std::pair<std::u16string, std::u16string>> TTFMapTable;
// Adds a row per face of the units kept by generateqpf2 since the last write:
// the key is ttfMapKey of the unit, the file the one GDI realises for the
// face upright at normal weight (one subset serves every style of a face,
// and a panel can embolden or slant a regular outline but cannot undo a bold
// one), the characters those of all its units, each once, in first-use
// order. Rows already in the table gain the new characters. The kept units
// are then forgotten. Returns the rows added.
GLYPHWORKS_API int getSimplifyTTFMapTable(TTFMapTable* table);
// The key of a unit's row: its pack name; without one, the family that the
// file of the face GDI realises carries as its first family name, which is
// the name the subsetting bridge finds the member of a collection by (a face
// realised through FontSubstitutes is cut from that member, not member 0).
GLYPHWORKS_API std::u16string ttfMapKey(const WCHAR* faceName, const WCHAR* packName);

// ---- What the files of a build can draw ----
// One file of a build, as the font tool library made it: a QPF2 file, or a
// row of the TrueType map table (the subset cut from it).
struct CoverageRecord {
    std::u16string file;                     // in the output folder; "" when none could be made
    bool subset = false;                     // a subset TrueType file (or a whole font), else QPF2
    std::u16string key;                      // subsets: the row's key
    std::vector<std::u16string> facesAsked;  // as the units named them, each once
    std::u16string faceRealised;             // full name of the face GDI realised, "" when none
    std::u16string fontFile;                 // its file in the fonts folder
    int faceIndex = 0;                       // its member of a collection
    bool simulatedBold = false, simulatedItalic = false;
    int pixelSize = 0;                       // QPF2: the em in pixels
    int weight = 50;                         // QPF2: Qt's scale
    bool italic = false;
    int requested = 0;                       // distinct characters asked for
    std::u32string missing;                  // requested characters no face of the file draws
    std::u32string tooLarge;                 // drawn, but beyond the QPF2 format's byte fields
    // Per linked face (its full name), the characters it supplied.
    std::vector<std::pair<std::u16string, std::u32string>> linked;
    std::u16string note;                     // why no file was written, "" when one was
    std::string engine;                      // subsets: what cut the file ("harfbuzz", "fonttools"), "" when none did
};
// The records of the files written (QPF2) or tabled (subsets) since the last
// call, in that order, and of the units no face could be realised for; they
// are then forgotten (a host that never asks keeps only the latest
// 100,000). Control characters, which text layout never draws, are never
// counted missing.
GLYPHWORKS_API std::vector<CoverageRecord> takeCoverageReport();
// The subsetter names the engine that cut the row `key` of the table last
// made by getSimplifyTTFMapTable; the row's record, not yet taken, keeps it.
GLYPHWORKS_API void noteSubsetEngine(const std::u16string& key, const std::string& engine);
// What a font that travels whole can draw of `chars`: the face GDI realises
// for `faceName` upright at normal weight, as the file `fontFile` (not kept).
GLYPHWORKS_API CoverageRecord wholeFontCoverage(const WCHAR* faceName, const WCHAR* fontFile,
                                                const std::u16string& chars);
