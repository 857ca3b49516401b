#include "BenchFonts.h"

#include <sys/resource.h>
#include <unistd.h>

#include <fstream>
#include <iterator>

#include "win/fontdb.h"
#include "win/profile.h"

namespace fs = std::filesystem;

namespace benchfonts {
namespace {

uint32_t U32(const std::vector<unsigned char>& b, size_t at) {
    if (at + 4 > b.size()) return 0;
    return (uint32_t{b[at]} << 24) | (uint32_t{b[at + 1]} << 16) | (uint32_t{b[at + 2]} << 8) | b[at + 3];
}

uint16_t U16(const std::vector<unsigned char>& b, size_t at) {
    if (at + 2 > b.size()) return 0;
    return static_cast<uint16_t>((b[at] << 8) | b[at + 1]);
}

// Overwrites the start of the family (1, 16), full (4) and PostScript (6)
// names of the font whose offset table is at `font` with the tag.
void TagNames(std::vector<unsigned char>& b, size_t font, const std::string& tag) {
    const uint16_t tables = U16(b, font + 4);
    for (uint16_t t = 0; t < tables; ++t) {
        const size_t rec = font + 12 + t * 16u;
        if (rec + 16 > b.size()) return;
        if (std::string(b.begin() + rec, b.begin() + rec + 4) != "name") continue;
        const size_t name = U32(b, rec + 8);
        const uint16_t count = U16(b, name + 2), strings = U16(b, name + 4);
        for (uint16_t i = 0; i < count; ++i) {
            const size_t r = name + 6 + i * 12u;
            const uint16_t platform = U16(b, r), id = U16(b, r + 6), length = U16(b, r + 8);
            if (id != 1 && id != 4 && id != 6 && id != 16) continue;
            const size_t at = name + strings + U16(b, r + 10);
            const bool wide = platform == 0 || platform == 3;
            const size_t units = std::min<size_t>(tag.size(), wide ? length / 2 : length);
            // Short names take the tag's last characters, which differ from round to round.
            const std::string part = tag.substr(tag.size() - units);
            for (size_t u = 0; u < units; ++u) {
                if (wide && at + 2 * u + 1 < b.size()) {
                    b[at + 2 * u] = 0;
                    b[at + 2 * u + 1] = static_cast<unsigned char>(part[u]);
                } else if (!wide && at + u < b.size()) {
                    b[at + u] = static_cast<unsigned char>(part[u]);
                }
            }
        }
    }
}

std::string Tag(size_t round) {
    static const char digits[] = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ";
    std::string tag = "Q000";
    for (size_t i = 3; i > 0 && round; --i, round /= 36) tag[i] = digits[round % 36];
    return tag;
}

}  // namespace

std::vector<fs::path> FindFonts(const std::vector<std::string>& roots, uintmax_t maxBytes) {
    std::vector<fs::path> out;
    std::error_code ec;
    for (const auto& root : roots)
        for (auto it = fs::recursive_directory_iterator(root, ec); !ec && it != fs::recursive_directory_iterator();
             it.increment(ec)) {
            const std::string ext = it->path().extension().string();
            if ((ext == ".ttf" || ext == ".ttc" || ext == ".otf") && it->is_regular_file(ec) &&
                it->file_size(ec) <= maxBytes)
                out.push_back(it->path());
        }
    std::sort(out.begin(), out.end());
    return out;
}

std::vector<fs::path> WriteCopies(const std::vector<fs::path>& sources, size_t count, const fs::path& dir) {
    fs::create_directories(dir);
    std::vector<fs::path> written;
    for (size_t i = 0; i < count; ++i) {
        const size_t round = i / sources.size();
        const fs::path& src = sources[i % sources.size()];
        std::ifstream in(src, std::ios::binary);
        std::vector<unsigned char> b{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
        if (round > 0) {
            if (b.size() >= 12 && std::string(b.begin(), b.begin() + 4) == "ttcf") {
                for (uint32_t m = 0, n = U32(b, 8); m < n && m < 256; ++m) TagNames(b, U32(b, 12 + 4 * m), Tag(round));
            } else {
                TagNames(b, 0, Tag(round));
            }
        }
        const fs::path dst = dir / (std::to_string(i) + "_" + src.filename().string());
        std::ofstream out(dst, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
        written.push_back(dst);
    }
    return written;
}

void LinkProfile(const fs::path& dir, const std::vector<fs::path>& files) {
    fs::create_directories(dir / "Fonts");
    for (const fs::path& f : files) fs::create_symlink(f, dir / "Fonts" / f.filename());
}

size_t FaceCount(const fs::path& profile) {
    winprofile::Load(profile.string());
    return fontdb::Faces().size();
}

double ChildCpuMs() {
    struct rusage u {};
    getrusage(RUSAGE_CHILDREN, &u);
    return (u.ru_utime.tv_sec + u.ru_stime.tv_sec) * 1e3 + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e3;
}

fs::path Scratch(const std::string& name) {
    const fs::path dir = fs::temp_directory_path() / ("tamsel-bench-" + name + "-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    return dir;
}

void RemoveScratch(const fs::path& dir) {
    std::error_code ec;
    fs::remove_all(dir, ec);
}

}  // namespace benchfonts
