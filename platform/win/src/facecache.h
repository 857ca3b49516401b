// What the font files of a fonts folder held, kept between processes so that
// a folder of two thousand files is not read with FreeType at every start,
// as Windows' font cache service and fontconfig's caches spare their users.
// A file's entry stands only while the file's stamp is the one it was read
// with, and only when the file had not changed within the file system's
// timestamp granularity of being read (a change in the same tick would leave
// the stamp as it was).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "win/fontdb.h"

namespace fontdb::facecache {

struct Entry {
    FileStamp stamp;
    int64_t readAt = 0;       // CLOCK_REALTIME, ns, taken before the file was opened
    std::vector<Face> faces;  // without file name, path or stamp: those come from the folder
};
using Entries = std::unordered_map<std::string, Entry>;  // by file name in the folder

// Coarser than any file system's timestamps (FAT keeps 2 s).
constexpr int64_t kRacyNs = 2'000'000'000;

int64_t Now();
// A file with this stamp, read at `readAt`, had not changed for longer than
// the timestamps can tell apart: an entry may vouch for it.
bool Settled(const FileStamp& stamp, int64_t readAt);
// The entry may stand for a file whose stat gives `now`.
bool Trusted(const Entry& e, const FileStamp& now);

std::string Encode(const std::string& fontsDir, const Entries& entries);
// False, with `out` empty, for anything but a whole cache of `fontsDir`
// written by this version with this FreeType.
bool Decode(std::string_view bytes, const std::string& fontsDir, Entries* out);

// The cache file of a fonts folder (a resolved path) inside `cacheFolder`.
std::string FileFor(const std::string& cacheFolder, const std::string& fontsDir);
Entries Load(const std::string& cacheFolder, const std::string& fontsDir);
// Writes the cache whole or not at all, and removes the caches of folders
// that are gone. A cache is worth only time: nothing that fails is kept for
// the host. False when the cache was not written.
bool Save(const std::string& cacheFolder, const std::string& fontsDir, const Entries& entries);

}  // namespace fontdb::facecache
