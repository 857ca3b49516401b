#include "facecache.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <ctime>
#include <filesystem>

#include "win/filesafety.h"

namespace fontdb::facecache {
namespace {

constexpr char kMagic[8] = {'T', 'A', 'M', 'S', 'F', 'C', 'C', '1'};
// Raise when what a scan finds in a file changes, so that no cache of the
// old reading stands.
constexpr uint32_t kVersion = 1;
constexpr size_t kHeaderRead = 8192;  // magic, versions and the folder's path
// An entry with an empty name and no face: name length, stamp, time, count.
constexpr size_t kLeastEntry = 4 + 5 * 8 + 8 + 4;

// The FreeType in use, not the one built against: a library update can
// change what a file reads as.
uint32_t FreeTypeVersion() {
    static const uint32_t version = [] {
        FT_Library lib = nullptr;
        if (FT_Init_FreeType(&lib) != 0) return uint32_t{0};
        FT_Int major = 0, minor = 0, patch = 0;
        FT_Library_Version(lib, &major, &minor, &patch);
        FT_Done_FreeType(lib);
        return static_cast<uint32_t>(major << 16 | minor << 8 | patch);
    }();
    return version;
}

uint64_t Fnv(std::string_view bytes) {
    uint64_t h = 1469598103934665603u;
    for (unsigned char c : bytes) h = (h ^ c) * 1099511628211u;
    return h;
}

class Writer {
public:
    template <typename T>
    void Put(T v) {
        char b[sizeof(T)];
        std::memcpy(b, &v, sizeof v);
        out.append(b, sizeof b);
    }
    void Str(std::string_view s) {
        Put(static_cast<uint32_t>(s.size()));
        out.append(s);
    }
    void Str16(const std::u16string& s) {
        Put(static_cast<uint32_t>(s.size()));
        out.append(reinterpret_cast<const char*>(s.data()), s.size() * 2);
    }
    std::string out;
};

class Reader {
public:
    explicit Reader(std::string_view b) : bytes(b) {}
    template <typename T>
    bool Get(T* v) {
        if (bytes.size() - pos < sizeof(T)) return false;
        std::memcpy(v, bytes.data() + pos, sizeof(T));
        pos += sizeof(T);
        return true;
    }
    bool Str(std::string* s) {
        uint32_t n = 0;
        if (!Get(&n) || bytes.size() - pos < n) return false;
        s->assign(bytes.data() + pos, n);
        pos += n;
        return true;
    }
    bool Str16(std::u16string* s) {
        uint32_t n = 0;
        if (!Get(&n) || (bytes.size() - pos) / 2 < n) return false;
        s->resize(n);
        std::memcpy(s->data(), bytes.data() + pos, size_t{n} * 2);
        pos += size_t{n} * 2;
        return true;
    }
    size_t Left() const { return bytes.size() - pos; }

private:
    std::string_view bytes;
    size_t pos = 0;
};

void PutFace(Writer& w, const Face& f) {
    w.Put(static_cast<int32_t>(f.faceIndex));
    w.Put(static_cast<uint8_t>(f.raster | f.italic << 1 | f.bold << 2 | f.hasUnicodeCmap << 3));
    w.Str16(f.family);
    w.Put(static_cast<uint32_t>(f.families.size()));
    for (const FaceName& n : f.families) {
        w.Put(n.platformId);
        w.Put(n.languageId);
        w.Str16(n.text);
    }
    w.Str16(f.fullName);
    w.Str16(f.subfamily);
    w.Put(f.codePageRange1);
    for (int v : {f.weight, f.unitsPerEm, f.ascender, f.descender, f.internalLeadingHint, f.avgCharWidth, f.maxAdvance})
        w.Put(static_cast<int32_t>(v));
}

bool GetFace(Reader& r, Face* f) {
    int32_t index = 0;
    uint8_t flags = 0;
    uint32_t names = 0;
    if (!r.Get(&index) || !r.Get(&flags) || !r.Str16(&f->family) || !r.Get(&names) || names > r.Left() / 8) return false;
    f->faceIndex = index;
    f->raster = flags & 1;
    f->italic = flags & 2;
    f->bold = flags & 4;
    f->hasUnicodeCmap = flags & 8;
    f->families.resize(names);
    for (FaceName& n : f->families)
        if (!r.Get(&n.platformId) || !r.Get(&n.languageId) || !r.Str16(&n.text)) return false;
    if (!r.Str16(&f->fullName) || !r.Str16(&f->subfamily) || !r.Get(&f->codePageRange1)) return false;
    for (int* v : {&f->weight, &f->unitsPerEm, &f->ascender, &f->descender, &f->internalLeadingHint, &f->avgCharWidth,
                   &f->maxAdvance}) {
        int32_t x = 0;
        if (!r.Get(&x)) return false;
        *v = x;
    }
    return true;
}

void PutHeader(Writer& w, const std::string& fontsDir) {
    w.out.append(kMagic, sizeof kMagic);
    w.Put(kVersion);
    w.Put(FreeTypeVersion());
    w.Str(fontsDir);
}

// The folder a cache file was written for; empty when it is not a cache of
// this version.
std::string HeaderFolder(std::string_view bytes) {
    if (bytes.size() < sizeof kMagic || std::memcmp(bytes.data(), kMagic, sizeof kMagic) != 0) return {};
    Reader r(bytes.substr(sizeof kMagic));
    uint32_t version = 0, ft = 0;
    std::string folder;
    if (!r.Get(&version) || version != kVersion || !r.Get(&ft) || ft != FreeTypeVersion() || !r.Str(&folder)) return {};
    return folder;
}

// Up to `limit` bytes of a regular file.
bool ReadHead(const std::string& path, size_t limit, std::string* bytes) {
    const int fd = winfiles::OpenRegularFile(path);
    if (fd < 0) return false;
    bytes->resize(limit);
    const ssize_t n = ::pread(fd, bytes->data(), limit, 0);
    ::close(fd);
    if (n < 0) return false;
    bytes->resize(static_cast<size_t>(n));
    return true;
}

// Removes the caches of fonts folders that no longer exist, and those of
// other versions: test and build folders come and go.
void Prune(const std::string& cacheFolder, const std::string& keep) {
    DIR* d = ::opendir(cacheFolder.c_str());
    if (!d) return;
    std::vector<std::string> gone;
    while (const dirent* e = ::readdir(d)) {
        const std::string name = e->d_name;
        if (name.rfind("faces-", 0) != 0 || name.find('~') != std::string::npos) continue;
        const std::string path = cacheFolder + "/" + name;
        if (path == keep) continue;
        std::string head;
        if (!ReadHead(path, kHeaderRead, &head)) continue;
        const std::string folder = HeaderFolder(head);
        struct stat st {};
        if (folder.empty() || (::stat(folder.c_str(), &st) != 0 && errno == ENOENT)) gone.push_back(name);
    }
    ::closedir(d);
    for (const std::string& name : gone) winfiles::RemoveFromFolder(cacheFolder, name);
}

}  // namespace

int64_t Now() {
    timespec ts{};
    ::clock_gettime(CLOCK_REALTIME, &ts);
    return int64_t{ts.tv_sec} * 1000000000 + ts.tv_nsec;
}

bool Settled(const FileStamp& stamp, int64_t readAt) {
    return stamp.ino != 0 && std::max(stamp.mtime, stamp.ctime) < readAt - kRacyNs;
}

bool Trusted(const Entry& e, const FileStamp& now) { return now == e.stamp && Settled(now, e.readAt); }

std::string Encode(const std::string& fontsDir, const Entries& entries) {
    Writer w;
    PutHeader(w, fontsDir);
    std::vector<const Entries::value_type*> sorted;
    for (const auto& e : entries) sorted.push_back(&e);
    std::sort(sorted.begin(), sorted.end(), [](auto* a, auto* b) { return a->first < b->first; });
    w.Put(static_cast<uint32_t>(sorted.size()));
    for (const auto* e : sorted) {
        const Entry& en = e->second;
        w.Str(e->first);
        for (uint64_t v : {en.stamp.dev, en.stamp.ino, en.stamp.size}) w.Put(v);
        for (int64_t v : {en.stamp.mtime, en.stamp.ctime, en.readAt}) w.Put(v);
        w.Put(static_cast<uint32_t>(en.faces.size()));
        for (const Face& f : en.faces) PutFace(w, f);
    }
    w.Put(Fnv(w.out));
    return w.out;
}

bool Decode(std::string_view bytes, const std::string& fontsDir, Entries* out) {
    out->clear();
    uint64_t sum = 0;
    if (bytes.size() < sizeof sum) return false;
    std::memcpy(&sum, bytes.data() + bytes.size() - sizeof sum, sizeof sum);
    bytes.remove_suffix(sizeof sum);
    if (Fnv(bytes) != sum || HeaderFolder(bytes) != fontsDir || fontsDir.empty()) return false;
    Reader r(bytes.substr(sizeof kMagic + 8 + 4 + fontsDir.size()));
    uint32_t count = 0;
    if (!r.Get(&count) || count > r.Left() / kLeastEntry) return false;
    out->reserve(count);
    for (uint32_t i = 0; i < count; ++i) {
        std::string name;
        Entry e;
        uint32_t faces = 0;
        if (!r.Str(&name) || !r.Get(&e.stamp.dev) || !r.Get(&e.stamp.ino) || !r.Get(&e.stamp.size) ||
            !r.Get(&e.stamp.mtime) || !r.Get(&e.stamp.ctime) || !r.Get(&e.readAt) || !r.Get(&faces) ||
            faces > 256 || faces > r.Left() / 16) {
            out->clear();
            return false;
        }
        e.faces.resize(faces);
        for (Face& f : e.faces)
            if (!GetFace(r, &f)) {
                out->clear();
                return false;
            }
        (*out)[name] = std::move(e);
    }
    if (r.Left() != 0) out->clear();
    return r.Left() == 0;
}

std::string FileFor(const std::string& cacheFolder, const std::string& fontsDir) {
    char hex[17];
    std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(Fnv(fontsDir)));
    return cacheFolder + "/faces-" + hex;
}

Entries Load(const std::string& cacheFolder, const std::string& fontsDir) {
    Entries entries;
    std::string bytes;
    if (winfiles::ReadRegularFile(FileFor(cacheFolder, fontsDir), &bytes, size_t{256} << 20))
        Decode(bytes, fontsDir, &entries);
    return entries;
}

bool Save(const std::string& cacheFolder, const std::string& fontsDir, const Entries& entries) {
    const uint64_t mark = winfiles::FailureMark();
    std::error_code ec;
    std::filesystem::create_directories(cacheFolder, ec);
    bool saved = false;
    if (!ec) {
        const std::string file = FileFor(cacheFolder, fontsDir);
        Prune(cacheFolder, file);
        const std::string bytes = Encode(fontsDir, entries);
        winfiles::AtomicFile out(file);
        saved = out.IsOpen() && out.Write(bytes.data(), bytes.size()) && out.Commit();
    }
    winfiles::ForgetFailuresSince(mark);
    return saved;
}

}  // namespace fontdb::facecache
