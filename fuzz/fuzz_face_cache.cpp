// Fuzzes the face cache file: the input, or byte edits of a good cache of
// the same folder (first input byte odd: the input itself), is put in place
// of the fonts folder's cache with a matching checksum, and the profile's
// faces are read. Whatever the file holds, every listed font file keeps its
// name, path and place, and no file is counted twice.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "win/fontdb.h"
#include "win/profile.h"

namespace {

struct Setup {
    fuzzsupport::fs::path profile, cacheFile;
    std::vector<fontdb::Face> uncached;
    std::vector<unsigned char> good;
};

// The checksum the cache file ends with (64-bit FNV-1a of the rest).
void Seal(std::vector<unsigned char>& bytes) {
    if (bytes.size() < 8) return;
    uint64_t h = 1469598103934665603u;
    for (size_t i = 0; i + 8 < bytes.size(); ++i) h = (h ^ bytes[i]) * 1099511628211u;
    std::memcpy(bytes.data() + bytes.size() - 8, &h, 8);
}

const Setup& TheSetup() {
    static const Setup setup = [] {
        Setup s;
        const auto root = fuzzsupport::ScratchDir("face-cache");
        s.profile = root / "profile";
        fuzzsupport::fs::create_directories(s.profile / "Fonts");
        // Installed fonts are old enough for the cache to vouch for them.
        const auto font = fuzzsupport::SystemFont();
        std::error_code ec;
        for (const auto& e : fuzzsupport::fs::directory_iterator(font.parent_path(), ec))
            if (e.path().extension() == ".ttf")
                fuzzsupport::fs::create_symlink(e.path(), s.profile / "Fonts" / e.path().filename());
        FUZZ_CHECK(winprofile::Load(s.profile.string()));
        fontdb::SetFaceCacheFolder("");
        s.uncached = fontdb::Faces();
        fontdb::SetFaceCacheFolder((root / "cache").string());
        FUZZ_CHECK(winprofile::Load(s.profile.string()));
        fontdb::Faces();
        FUZZ_CHECK(fontdb::LastScan().cacheWritten);
        for (const auto& e : fuzzsupport::fs::directory_iterator(root / "cache"))
            if (e.path().filename().string().rfind("faces-", 0) == 0) s.cacheFile = e.path();
        FUZZ_CHECK(!s.cacheFile.empty());
        const std::string bytes = [&] {
            FILE* f = std::fopen(s.cacheFile.c_str(), "rb");
            FUZZ_CHECK(f != nullptr);
            std::string b;
            char buf[65536];
            for (size_t n; (n = std::fread(buf, 1, sizeof buf, f)) > 0;) b.append(buf, n);
            std::fclose(f);
            return b;
        }();
        s.good.assign(bytes.begin(), bytes.end());
        return s;
    }();
    return setup;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const Setup& s = TheSetup();
    std::vector<unsigned char> bytes;
    if (size > 0 && (data[0] & 1)) {
        bytes.assign(data + 1, data + size);
    } else {
        // Edits of 5 bytes: offset (little-endian, wrapped into the file) and
        // the byte put there; a last short edit cuts the file at its offset.
        bytes = s.good;
        size_t i = size > 0 ? 1 : 0;
        for (; i + 5 <= size; i += 5) {
            uint32_t at = 0;
            std::memcpy(&at, data + i, 4);
            bytes[at % bytes.size()] = data[i + 4];
        }
        if (i + 4 <= size) {
            uint32_t at = 0;
            std::memcpy(&at, data + i, 4);
            bytes.resize(at % (bytes.size() + 1));
        }
    }
    Seal(bytes);
    fuzzsupport::WriteFile(s.cacheFile, bytes.data(), bytes.size());
    FUZZ_CHECK(winprofile::Load(s.profile.string()));
    const std::vector<fontdb::Face>& faces = fontdb::Faces();
    const fontdb::ScanCounts counts = fontdb::LastScan();
    FUZZ_CHECK(counts.read + counts.fromCache == counts.files);
    // Faces of one file stay together, files in the folder's order, each
    // face named by its own file.
    size_t u = 0;
    for (const fontdb::Face& f : faces) {
        while (u < s.uncached.size() && s.uncached[u].fileName != f.fileName) ++u;
        FUZZ_CHECK(u < s.uncached.size());
        FUZZ_CHECK(f.path == s.uncached[u].path);
        FUZZ_CHECK(f.stamp == s.uncached[u].stamp);
    }
    // A cache that decodes stands for what it says; one that does not, for nothing.
    if (counts.fromCache == 0) {
        FUZZ_CHECK(faces.size() == s.uncached.size());
        for (size_t i = 0; i < faces.size(); ++i)
            FUZZ_CHECK(faces[i].family == s.uncached[i].family && faces[i].weight == s.uncached[i].weight);
    }
    return 0;
}
