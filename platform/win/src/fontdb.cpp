// The profile's fonts folder read once per profile with FreeType: names,
// style, code pages and the metrics GDI reports. Only tables are read; no
// glyph is loaded. The indexes are built with the faces and live as long.
#include "win/fontdb.h"
#include "facecache.h"
#include "win/filesafety.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_SFNT_NAMES_H
#include FT_TRUETYPE_IDS_H
#include FT_TRUETYPE_TABLES_H
#include FT_WINFONTS_H

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iterator>
#include <thread>

#include <absl/container/flat_hash_map.h>
#include <absl/hash/hash.h>

#include "win/nls.h"
#include "win/profile.h"
#include "win/wstr.h"

namespace fontdb {
namespace {

// A face name as given, looked up in the index of folded names without
// making its key: hashed and compared unit by unit as NameKey folds it.
struct FoldedName {
    const char16_t* data;
    size_t size;
};

// towlower16, without a call for ASCII.
inline char16_t Fold(char16_t c) {
    if (c < 0x80) return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + 32) : c;
    return towlower16(c);
}

struct FoldedHash {
    using is_transparent = void;
    size_t operator()(FoldedName n) const {
        uint64_t h = 1469598103934665603u;
        for (size_t i = 0; i < n.size; ++i) h = (h ^ Fold(n.data[i])) * 1099511628211u;
        // FNV's low bits are weak; the table takes them for its control bytes.
        return absl::HashOf(h);
    }
    size_t operator()(const std::u16string& key) const { return (*this)(FoldedName{key.data(), key.size()}); }
};

struct FoldedEq {
    using is_transparent = void;
    // Keys are folded already; a name is folded as it is compared.
    bool operator()(const std::u16string& key, FoldedName n) const {
        if (key.size() != n.size) return false;
        for (size_t i = 0; i < n.size; ++i)
            if (key[i] != Fold(n.data[i])) return false;
        return true;
    }
    bool operator()(FoldedName n, const std::u16string& key) const { return (*this)(key, n); }
    bool operator()(const std::u16string& a, const std::u16string& b) const { return a == b; }
};

struct Cache {
    uint64_t generation = ~uint64_t{0};
    std::vector<Face> faces;
    // Every family name (all languages) and full name of a face, folded.
    absl::flat_hash_map<std::u16string, std::vector<const Face*>, FoldedHash, FoldedEq> byName;
    absl::flat_hash_map<std::string, std::vector<const Face*>> byFile;  // lower-cased file name
};

// The length NameKey keeps of a name: up to a NUL, at most 31 units.
size_t NameKeyLength(const std::u16string& name) { return std::min({name.find(u'\0'), name.size(), size_t{31}}); }

Cache& TheCache() {
    static Cache cache;
    return cache;
}

FT_Library Library() {
    static FT_Library lib = [] {
        FT_Library l = nullptr;
        if (FT_Init_FreeType(&l) != 0) l = nullptr;
        return l;
    }();
    return lib;
}

std::string LowerAscii(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

std::u16string DecodeName(const FT_SfntName& n) {
    std::u16string s;
    if (n.platform_id == TT_PLATFORM_MICROSOFT || n.platform_id == TT_PLATFORM_APPLE_UNICODE) {
        for (FT_UInt i = 0; i + 1 < n.string_len; i += 2)
            s += static_cast<char16_t>((n.string[i] << 8) | n.string[i + 1]);
    } else {
        // Macintosh Roman names: the ASCII range is all that fonts use in practice.
        for (FT_UInt i = 0; i < n.string_len; ++i) s += static_cast<char16_t>(n.string[i]);
    }
    return s;
}

// Code-page bits for a face without usable OS/2 ranges, from its cmap.
uint32_t CodePagesFromCmap(FT_Face f) {
    uint32_t bits = 0;
    if (FT_Get_Char_Index(f, 'A') && FT_Get_Char_Index(f, 0xE9)) bits |= 1u;        // Latin 1
    if (FT_Get_Char_Index(f, 0x0416)) bits |= 1u << 2;                             // Cyrillic
    if (FT_Get_Char_Index(f, 0x03A9)) bits |= 1u << 3;                             // Greek
    int hanzi = 0;
    for (FT_ULong c : {0x7684u, 0x4E00u, 0x662Fu, 0x4E0Du, 0x4E86u, 0x4EBAu, 0x4E2Du})
        if (FT_Get_Char_Index(f, c)) ++hanzi;
    if (hanzi >= 4) bits |= 1u << 18;  // GB2312
    if (!bits && FT_Get_Char_Index(f, 'A')) bits |= 1u;
    return bits;
}

uint32_t CodePageBitForCharset(int charset) {
    switch (charset) {
        case 0: return 1u << 0;
        case 238: return 1u << 1;
        case 204: return 1u << 2;
        case 161: return 1u << 3;
        case 162: return 1u << 4;
        case 177: return 1u << 5;
        case 178: return 1u << 6;
        case 186: return 1u << 7;
        case 163: return 1u << 8;
        case 222: return 1u << 16;
        case 128: return 1u << 17;
        case 134: return 1u << 18;
        case 129: return 1u << 19;
        case 136: return 1u << 20;
        case 130: return 1u << 21;
        case 2: return 1u << 31;
        default: return 1u;
    }
}

void ReadSfnt(FT_Face f, Face& out) {
    const FT_UInt count = FT_Get_Sfnt_Name_Count(f);
    std::u16string englishFamily, firstFamily, englishFull, englishStyle, typoFamily;
    for (FT_UInt i = 0; i < count; ++i) {
        FT_SfntName n;
        if (FT_Get_Sfnt_Name(f, i, &n) != 0) continue;
        if (n.name_id != 1 && n.name_id != 2 && n.name_id != 4 && n.name_id != 16) continue;
        const std::u16string text = DecodeName(n);
        if (text.empty()) continue;
        const bool english = (n.platform_id == TT_PLATFORM_MICROSOFT && n.language_id == 0x0409) ||
                             (n.platform_id == TT_PLATFORM_MACINTOSH && n.language_id == 0);
        if (n.name_id == 16) continue;  // GDI knows faces by their name-id-1 family only
        if (n.name_id == 1) {
            out.families.push_back({static_cast<WORD>(n.platform_id), static_cast<WORD>(n.language_id), text});
            if (n.name_id == 1) {
                if (firstFamily.empty()) firstFamily = text;
                if (english && (englishFamily.empty() || n.platform_id == TT_PLATFORM_MICROSOFT)) englishFamily = text;
            }
        } else if (n.name_id == 4 && english && (englishFull.empty() || n.platform_id == TT_PLATFORM_MICROSOFT)) {
            englishFull = text;
        } else if (n.name_id == 2 && english && (englishStyle.empty() || n.platform_id == TT_PLATFORM_MICROSOFT)) {
            englishStyle = text;
        }
    }
    out.family = !englishFamily.empty() ? englishFamily : !firstFamily.empty() ? firstFamily
                                                                             : Utf8ToUtf16(f->family_name ? f->family_name : "");
    out.fullName = englishFull.empty() ? out.family : englishFull;
    out.subfamily = englishStyle.empty() ? Utf8ToUtf16(f->style_name ? f->style_name : "Regular") : englishStyle;
    out.unitsPerEm = f->units_per_EM ? f->units_per_EM : 2048;
    out.ascender = f->ascender;
    out.descender = -f->descender;
    out.maxAdvance = f->max_advance_width;
    out.italic = (f->style_flags & FT_STYLE_FLAG_ITALIC) != 0;
    out.weight = (f->style_flags & FT_STYLE_FLAG_BOLD) ? FW_BOLD : FW_NORMAL;
    if (const auto* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(f, FT_SFNT_OS2));
        os2 && os2->version != 0xFFFF) {
        if (os2->usWeightClass) out.weight = os2->usWeightClass;
        out.codePageRange1 = os2->version >= 1 ? static_cast<uint32_t>(os2->ulCodePageRange1) : 0;
        out.avgCharWidth = os2->xAvgCharWidth;
        out.italic = out.italic || (os2->fsSelection & 1);
        if (os2->usWinAscent || os2->usWinDescent) {
            out.ascender = os2->usWinAscent;
            out.descender = os2->usWinDescent;
        }
    }
    if (!out.codePageRange1) out.codePageRange1 = CodePagesFromCmap(f);
    out.bold = out.weight >= 600;
    for (int i = 0; i < f->num_charmaps; ++i)
        if (f->charmaps[i]->encoding == FT_ENCODING_UNICODE) out.hasUnicodeCmap = true;
}

bool ReadRaster(FT_Face f, Face& out) {
    FT_WinFNT_HeaderRec h;
    if (FT_Get_WinFNT_Header(f, &h) != 0) return false;
    out.raster = true;
    out.family = Utf8ToUtf16(f->family_name ? f->family_name : "");
    out.families.push_back({1, 0, out.family});
    out.fullName = out.family;
    out.subfamily = Utf8ToUtf16(f->style_name ? f->style_name : "Regular");
    out.weight = h.weight ? h.weight : FW_NORMAL;
    out.bold = out.weight >= 600;
    out.italic = h.italic != 0;
    out.codePageRange1 = CodePageBitForCharset(h.charset);
    out.unitsPerEm = h.pixel_height;
    out.ascender = h.ascent;
    out.descender = h.pixel_height - h.ascent;
    out.internalLeadingHint = h.internal_leading;
    out.avgCharWidth = h.avg_width;
    out.maxAdvance = h.max_width;
    return true;
}

// FreeType reads the file through a block buffer filled with pread: mapping
// and unmapping each file costs more than the few tables a scan reads, and
// FreeType reads a stream field by field.
struct FileStream {
    static constexpr unsigned long kBlock = 16384;

    // Only a regular file opens: FreeType would block on a FIFO named like a font.
    explicit FileStream(const std::filesystem::path& path) : fd(winfiles::OpenRegularFile(path.string())) {
        struct stat st {};
        if (fd >= 0 && ::fstat(fd, &st) == 0) {
            size = static_cast<unsigned long>(st.st_size);
            stamp = StampOf(st);
        }
    }
    ~FileStream() {
        if (fd >= 0) ::close(fd);
    }
    FileStream(const FileStream&) = delete;
    FileStream& operator=(const FileStream&) = delete;

    FT_Error Open(FT_Library lib, FT_Long index, FT_Face* face) {
        rec = FT_StreamRec{};
        rec.size = size;
        rec.descriptor.pointer = this;
        rec.read = Read;
        FT_Open_Args args{};
        args.flags = FT_OPEN_STREAM;
        args.stream = &rec;
        return fd < 0 ? FT_Err_Cannot_Open_Resource : FT_Open_Face(lib, &args, index, face);
    }

    static unsigned long Read(FT_Stream stream, unsigned long offset, unsigned char* out, unsigned long count) {
        auto* self = static_cast<FileStream*>(stream->descriptor.pointer);
        if (count == 0) return offset <= self->size ? 0 : 1;  // a seek: 0 when it lands in the file
        if (offset >= self->blockStart && offset + count <= self->blockStart + self->blockSize) {
            std::memcpy(out, self->block.data() + (offset - self->blockStart), count);
            return count;
        }
        if (count >= kBlock) {
            const ssize_t n = ::pread(self->fd, out, count, static_cast<off_t>(offset));
            return n < 0 ? 0 : static_cast<unsigned long>(n);
        }
        self->block.resize(kBlock);
        const ssize_t n = ::pread(self->fd, self->block.data(), kBlock, static_cast<off_t>(offset));
        self->blockStart = offset;
        self->blockSize = n < 0 ? 0 : static_cast<unsigned long>(n);
        const unsigned long got = std::min(count, self->blockSize);
        std::memcpy(out, self->block.data(), got);
        return got;
    }

    int fd;
    FileStamp stamp;
    unsigned long size = 0;
    FT_StreamRec rec{};
    std::vector<unsigned char> block;
    unsigned long blockStart = 0, blockSize = 0;
};

// A font file of the fonts folder, named once.
struct FontFile {
    std::string name;  // file name in the folder
    std::string path;  // absolute
    size_t stem = 0;   // length of the name before its extension
};

void Place(Face& face, const FontFile& file) {
    face.fileName = file.name;
    face.path = file.path;
}

// Appends the faces of one file; the file's stamp as it was read (all zero
// when it could not be opened). What is read here is what the face cache
// keeps: a change to it needs a new cache version (facecache.cpp).
FileStamp ScanFile(const FontFile& file, std::vector<Face>& faces, FT_Library lib = Library()) {
    if (!lib) return {};
    FileStream stream(file.path);
    FT_Long count = 1;
    for (FT_Long index = 0; index < count; ++index) {
        FT_Face f = nullptr;
        if (stream.Open(lib, index, &f) != 0) break;
        if (index == 0) count = std::min<FT_Long>(f->num_faces, 256);
        Face face;
        Place(face, file);
        face.faceIndex = static_cast<int>(index);
        face.stamp = stream.stamp;
        bool ok = true;
        if (FT_IS_SFNT(f)) {
            ReadSfnt(f, face);
        } else {
            ok = ReadRaster(f, face);
        }
        FT_Done_Face(f);
        if (ok && !face.family.empty()) faces.push_back(std::move(face));
    }
    return stream.stamp;
}

// Runs work(first, step) over a list of `items`: on a thread per core (at
// most four, this thread among them) when the list holds `threshold` items or
// more, else here alone. A thread that cannot be started leaves its share to
// this one. `work` must not throw.
template <class Work>
void Spread(size_t items, size_t threshold, const Work& work) {
    const unsigned shares = items >= threshold ? std::max(1u, std::min(4u, std::thread::hardware_concurrency())) : 1u;
    struct Helpers {
        std::vector<std::thread> threads;
        ~Helpers() {
            for (std::thread& t : threads) t.join();
        }
    } helpers;
    try {
        for (unsigned w = 1; w < shares; ++w) helpers.threads.emplace_back([&work, w, shares] { work(w, shares); });
    } catch (const std::system_error&) {
    }
    work(0, shares);
    for (unsigned w = static_cast<unsigned>(helpers.threads.size()) + 1; w < shares; ++w) work(w, shares);
}

// The faces and stamps of the files listed in `which`, into their places. A
// long list is read by a thread per core, each other thread with a FreeType
// library of its own (one library cannot be used by two threads at once), as
// the system's font cache would be filled; what is found does not depend on it.
void ScanFiles(const std::vector<FontFile>& files, const std::vector<size_t>& which,
               std::vector<std::vector<Face>>& found, std::vector<FileStamp>& stamps) {
    std::atomic<bool> failed{false};
    Spread(which.size(), 64, [&](size_t first, size_t step) {
        FT_Library lib = first == 0 ? Library() : nullptr;
        if (first != 0 && FT_Init_FreeType(&lib) != 0) lib = nullptr;
        if (!lib) {
            failed = true;
            return;
        }
        try {
            for (size_t k = first; k < which.size(); k += step)
                stamps[which[k]] = ScanFile(files[which[k]], found[which[k]], lib);
        } catch (...) {
            failed = true;
        }
        if (first != 0) FT_Done_FreeType(lib);
    });
    if (failed)
        for (size_t i : which) {
            found[i].clear();
            stamps[i] = ScanFile(files[i], found[i]);
        }
}

std::string DefaultCacheFolder() {
    if (const char* v = std::getenv("TAMSEL_FONT_CACHE")) return v[0] == '/' ? v : "";
    // Never a folder relative to wherever the process runs.
    const std::string home = winprofile::UserCacheHome();
    return !home.empty() && home[0] == '/' ? home + "/tamsel/faces" : "";
}

struct CacheSetting {
    bool set = false;
    std::string folder;
};
CacheSetting& CacheFolderSetting() {
    static CacheSetting setting;
    return setting;
}

ScanCounts g_lastScan;

// The faces of the files, from the face cache where it still stands and read
// with FreeType where not; the cache is written again when that changed it.
void ReadFolder(const std::string& dir, const std::vector<FontFile>& files, std::vector<Face>& faces) {
    const std::string cacheFolder = FaceCacheFolder();
    const std::string key = cacheFolder.empty() ? std::string() : winfiles::ResolvedPath(dir);
    facecache::Entries cached;
    if (!key.empty()) cached = facecache::Load(cacheFolder, key);
    const int64_t readAt = facecache::Now();
    std::vector<std::vector<Face>> found(files.size());
    std::vector<FileStamp> stamps(files.size());
    std::vector<size_t> unread;
    // Stamps taken relative to the folder: a fonts folder of links (the
    // desktop's fonts) would otherwise have its own path walked twice per
    // file. A long list is stamped by a thread per core, as it is read.
    const int dirFd = cached.empty() ? -1 : ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
        Spread(files.size(), 256, [&](size_t first, size_t step) {
            for (size_t i = first; i < files.size(); i += step) {
                struct stat st {};
                if (cached.count(files[i].name) && ::fstatat(dirFd, files[i].name.c_str(), &st, 0) == 0 &&
                    S_ISREG(st.st_mode))
                    stamps[i] = StampOf(st);
            }
        });
        ::close(dirFd);
    }
    for (size_t i = 0; i < files.size(); ++i) {
        // A file not stamped has an empty stamp, which no entry stands for.
        auto it = cached.find(files[i].name);
        if (it != cached.end() && facecache::Trusted(it->second, stamps[i])) {
            found[i] = std::move(it->second.faces);
            for (Face& f : found[i]) {
                Place(f, files[i]);
                f.stamp = stamps[i];
            }
            cached.erase(it);
        } else {
            unread.push_back(i);
        }
    }
    ScanFiles(files, unread, found, stamps);
    // What is left of `cached` are files gone or changed; the cache changes
    // when they are dropped or a file read now can be vouched for.
    bool changed = !cached.empty();
    std::vector<char> keep(files.size(), 1);
    for (size_t i : unread) {
        keep[i] = facecache::Settled(stamps[i], readAt);
        changed = changed || keep[i];
    }
    g_lastScan = ScanCounts{files.size(), unread.size(), files.size() - unread.size(), false};
    if (changed && !key.empty()) {
        facecache::Entries kept;
        for (size_t i = 0; i < files.size(); ++i) {
            if (!keep[i]) continue;  // changed too recently to vouch for
            facecache::Entry& e = kept[files[i].name];
            e.stamp = stamps[i];
            e.readAt = readAt;
            e.faces = found[i];
            for (Face& f : e.faces) f.fileName.clear(), f.path.clear(), f.stamp = FileStamp();
        }
        g_lastScan.cacheWritten = facecache::Save(cacheFolder, key, kept);
    }
    size_t total = 0;
    for (const std::vector<Face>& f : found) total += f.size();
    faces.reserve(total);
    for (std::vector<Face>& f : found) std::move(f.begin(), f.end(), std::back_inserter(faces));
}

void BuildIndexes(Cache& c) {
    for (const Face& f : c.faces) {
        std::vector<std::u16string> keys = {NameKey(f.family), NameKey(f.fullName)};
        for (const FaceName& n : f.families) keys.push_back(NameKey(n.text));
        std::sort(keys.begin(), keys.end());
        keys.erase(std::unique(keys.begin(), keys.end()), keys.end());
        for (const std::u16string& k : keys)
            if (!k.empty()) c.byName[k].push_back(&f);
        c.byFile[LowerAscii(f.fileName)].push_back(&f);
    }
}

}  // namespace

FileStamp StampOf(const struct stat& st) {
    FileStamp s;
    s.dev = st.st_dev;
    s.ino = st.st_ino;
    s.size = static_cast<uint64_t>(st.st_size);
    s.mtime = int64_t{st.st_mtim.tv_sec} * 1000000000 + st.st_mtim.tv_nsec;
    s.ctime = int64_t{st.st_ctim.tv_sec} * 1000000000 + st.st_ctim.tv_nsec;
    return s;
}

const std::vector<Face>& Faces() {
    Cache& c = TheCache();
    if (c.generation == winprofile::Generation()) return c.faces;
    c.generation = winprofile::Generation();
    c.faces.clear();
    c.byName.clear();
    c.byFile.clear();
    g_lastScan = ScanCounts();
    const std::string dir = winprofile::FontsDir();
    if (dir.empty()) return c.faces;
    std::vector<FontFile> files;
    std::error_code ec;
    for (const auto& e : std::filesystem::directory_iterator(dir, ec)) {
        FontFile file;
        file.name = e.path().filename().string();
        // As std::filesystem takes an extension: never the whole of a dot file's name.
        const size_t dot = file.name.rfind('.');
        if (dot == std::string::npos || dot == 0) continue;
        const std::string ext = LowerAscii(file.name.substr(dot));
        if (ext != ".ttf" && ext != ".ttc" && ext != ".otf" && ext != ".otc" && ext != ".fon" && ext != ".fnt") continue;
        file.stem = dot;
        file.path = e.path().string();
        files.push_back(std::move(file));
    }
    // By stem first, so "DejaVuSans.ttf" comes before "DejaVuSans-Bold.ttf",
    // the order in which an installer would add a family's files.
    std::sort(files.begin(), files.end(), [](const FontFile& a, const FontFile& b) {
        const int byStem = a.name.compare(0, a.stem, b.name, 0, b.stem);
        return byStem != 0 ? byStem < 0 : a.name < b.name;
    });
    ReadFolder(dir, files, c.faces);
    BuildIndexes(c);
    return c.faces;
}

std::u16string NameKey(const std::u16string& name) {
    const size_t end = std::min<size_t>(name.find(u'\0'), 31);
    std::u16string key = name.substr(0, end);
    for (char16_t& ch : key) ch = Fold(ch);
    return key;
}

namespace {
// The index entry for `key`, the faces being read first when the profile changed.
template <typename Index, typename Key>
const std::vector<const Face*>& Lookup(Index Cache::*index, const Key& key) {
    static const std::vector<const Face*> none;
    Faces();
    const Index& map = TheCache().*index;
    auto it = map.find(key);
    return it == map.end() ? none : it->second;
}
}  // namespace

const std::vector<const Face*>& FacesNamed(const std::u16string& name) {
    static const std::vector<const Face*> none;
    Faces();
    const Cache& c = TheCache();
    const size_t n = NameKeyLength(name);
    if (n == 0) return none;
    auto it = c.byName.find(FoldedName{name.data(), n});
    return it == c.byName.end() ? none : it->second;
}

const std::vector<const Face*>& FacesInFile(const std::string& fileName) {
    return Lookup(&Cache::byFile, LowerAscii(fileName));
}

void SetFaceCacheFolder(const std::string& folder) {
    CacheFolderSetting() = CacheSetting{true, folder};
}

void ResetFaceCacheFolder() { CacheFolderSetting() = CacheSetting{}; }

std::string FaceCacheFolder() {
    const CacheSetting& s = CacheFolderSetting();
    return s.set ? s.folder : DefaultCacheFolder();
}

ScanCounts LastScan() { return g_lastScan; }

std::vector<Face> ScanFontFile(const std::string& path) {
    std::vector<Face> faces;
    std::error_code ec;
    if (std::filesystem::is_regular_file(path, ec)) {
        FontFile file;
        file.name = std::filesystem::path(path).filename().string();
        file.path = std::filesystem::absolute(path, ec).string();
        ScanFile(file, faces);
    }
    return faces;
}

std::u16string ReportedFamily(const Face& face) {
    const WORD lang = winprofile::GetSettings().langId;
    for (const FaceName& n : face.families)
        if (n.platformId == 3 && n.languageId == lang) return n.text;
    return face.family;
}

bool MatchesName(const Face& face, const std::u16string& name) {
    const std::u16string wanted = NameKey(name);
    if (wanted.empty()) return false;
    if (NameKey(face.family) == wanted || NameKey(face.fullName) == wanted) return true;
    for (const FaceName& n : face.families)
        if (NameKey(n.text) == wanted) return true;
    return false;
}

CharSetList CharSets(const Face& face) {
    static const struct {
        int bit;
        BYTE charset;
    } kMap[] = {{0, 0},    {1, 238},  {2, 204},  {3, 161},  {4, 162},  {5, 177},  {6, 178},  {7, 186},
                {8, 163},  {16, 222}, {17, 128}, {18, 134}, {19, 129}, {20, 136}, {21, 130}, {31, 2}};
    CharSetList out;
    for (const auto& m : kMap)
        if (face.codePageRange1 & (1u << m.bit)) out.sets[out.count++] = m.charset;
    if (out.count == 0) out.sets[out.count++] = ANSI_CHARSET;
    return out;
}

}  // namespace fontdb
