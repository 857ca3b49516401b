// The fonts of the machine profile's fonts folder, as GDI knows them:
// every face of every font file (collection members included), scanned once
// per profile with FreeType, with an index by case-folded name and by file
// so that look-ups cost the same with two thousand faces as with ten.
#pragma once

#include <sys/stat.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "win/windows.h"

namespace fontdb {

struct FaceName {
    WORD platformId;
    WORD languageId;
    std::u16string text;
};

// What a font file was when it was read: another size, time, status change
// or inode is another file.
struct FileStamp {
    uint64_t dev = 0, ino = 0, size = 0;
    int64_t mtime = 0, ctime = 0;  // nanoseconds
    bool operator==(const FileStamp& o) const {
        return dev == o.dev && ino == o.ino && size == o.size && mtime == o.mtime && ctime == o.ctime;
    }
};
// The stamp of a stat result.
WINAPI_EXPORT FileStamp StampOf(const struct stat& st);

struct Face {
    std::string fileName;        // bare file name in the fonts folder
    std::string path;            // absolute native path
    int faceIndex = 0;           // member index in a collection, else 0
    bool raster = false;         // .fon/.fnt bitmap face
    std::u16string family;       // English (or first) family name
    std::vector<FaceName> families;   // family names (name id 1) in every language
    std::u16string fullName;     // English full name (name id 4)
    std::u16string subfamily;    // English style name
    int weight = FW_NORMAL;      // OS/2 usWeightClass (raster: from the face)
    bool italic = false;
    bool bold = false;           // the face itself is bold (weight >= 600 or style flag)
    uint32_t codePageRange1 = 0; // OS/2 ulCodePageRange1 (derived from charmap when absent)
    // Metrics in font units (raster: pixels with unitsPerEm = pixel height).
    int unitsPerEm = 2048;
    int ascender = 0;            // OS/2 usWinAscent, else hhea ascender
    int descender = 0;           // OS/2 usWinDescent, positive
    int internalLeadingHint = 0;
    int avgCharWidth = 0;        // OS/2 xAvgCharWidth
    int maxAdvance = 0;
    bool hasUnicodeCmap = false;
    FileStamp stamp;             // the file as the profile read it
};

// Faces of the current profile, in file-name order then face index. Rescans
// when the profile generation changed.
WINAPI_EXPORT const std::vector<Face>& Faces();

// What a fonts folder's files held is kept between processes in a cache
// folder, as Windows' font cache keeps it: $TAMSEL_FONT_CACHE when set
// (anything but an absolute path: no cache), else $XDG_CACHE_HOME/tamsel/faces,
// else ~/.cache/tamsel/faces. A file is read again when its size, times or
// inode changed, or when it had changed within two seconds of being read.
// An empty folder here: no cache for this process.
WINAPI_EXPORT void SetFaceCacheFolder(const std::string& folder);
// Back to the folder the environment names, as if never set.
WINAPI_EXPORT void ResetFaceCacheFolder();
WINAPI_EXPORT std::string FaceCacheFolder();
// How the last reading of the fonts folder went.
struct ScanCounts {
    size_t files = 0;      // font files listed
    size_t read = 0;       // read with FreeType
    size_t fromCache = 0;  // taken from the cache
    bool cacheWritten = false;
};
WINAPI_EXPORT ScanCounts LastScan();

// The key a face name is indexed under: its first 31 units (up to a NUL),
// case-folded as GDI compares face names.
WINAPI_EXPORT std::u16string NameKey(const std::u16string& name);

// The faces MatchesName accepts for `name`, in Faces() order.
WINAPI_EXPORT const std::vector<const Face*>& FacesNamed(const std::u16string& name);

// The faces of one file of the fonts folder, its name compared without
// regard to case as Windows compares file names; in face-index order.
WINAPI_EXPORT const std::vector<const Face*>& FacesInFile(const std::string& fileName);

// Every face of one font file (collection members included), read as the
// files of the fonts folder are read. Empty for a file FreeType cannot open.
WINAPI_EXPORT std::vector<Face> ScanFontFile(const std::string& path);

// The family name GDI reports for a face under the profile's locale.
WINAPI_EXPORT std::u16string ReportedFamily(const Face& face);

// True when `name` (compared case-insensitively on its first 31 units) is any
// family name of the face in any language, or its full name.
WINAPI_EXPORT bool MatchesName(const Face& face, const std::u16string& name);

// GDI character sets a face supports, from its code-page ranges, in the order
// GDI enumerates them (at most 16; no allocation, as enumeration asks often).
struct CharSetList {
    BYTE sets[16] = {};
    size_t count = 0;
    const BYTE* begin() const { return sets; }
    const BYTE* end() const { return sets + count; }
    BYTE front() const { return sets[0]; }
    bool empty() const { return count == 0; }
    size_t size() const { return count; }
};
WINAPI_EXPORT CharSetList CharSets(const Face& face);

}  // namespace fontdb
