#include "TestSupport.h"

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <fstream>
#include <random>
#include <sstream>

#include "win/wstr.h"

namespace testsupport {

TempDir::TempDir() {
    std::random_device rd;
    auto base = std::filesystem::temp_directory_path();
    for (;;) {
        auto candidate = base / ("tamsel-test-" + std::to_string(rd()));
        if (std::filesystem::create_directory(candidate)) {
            m_path = candidate;
            break;
        }
    }
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::permissions(m_path, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ec);
    std::filesystem::remove_all(m_path, ec);
}

FileSizeLimit::FileSizeLimit(unsigned long bytes) {
    m_handler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit rl{};
    getrlimit(RLIMIT_FSIZE, &rl);
    m_soft = rl.rlim_cur;
    rl.rlim_cur = bytes;
    setrlimit(RLIMIT_FSIZE, &rl);
}

FileSizeLimit::~FileSizeLimit() {
    rlimit rl{};
    getrlimit(RLIMIT_FSIZE, &rl);
    rl.rlim_cur = m_soft;
    setrlimit(RLIMIT_FSIZE, &rl);
    std::signal(SIGXFSZ, m_handler);
}

int DeadProcessId() {
    const pid_t child = fork();
    if (child == 0) _exit(0);
    int status = 0;
    waitpid(child, &status, 0);
    return child;
}

std::vector<std::string> Tree(const std::filesystem::path& dir) {
    std::vector<std::string> out;
    std::error_code ec;
    for (auto it = std::filesystem::recursive_directory_iterator(dir, ec);
         !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
        const bool folder = it->is_directory(ec) && !it->is_symlink(ec);
        out.push_back(std::filesystem::relative(it->path(), dir).string() + (folder ? "/" : ""));
    }
    std::sort(out.begin(), out.end());
    return out;
}

std::u16string TempDir::wpath() const { return Utf8ToUtf16(m_path.string()); }

std::vector<unsigned char> ReadBytes(const std::filesystem::path& p) {
    std::ifstream f(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
}

void WriteBytes(const std::filesystem::path& p, const std::vector<unsigned char>& bytes) {
    std::ofstream f(p, std::ios::binary | std::ios::trunc);
    f.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

std::string ReadText(const std::filesystem::path& p) {
    std::ifstream f(p, std::ios::binary);
    std::stringstream ss;
    ss << f.rdbuf();
    return ss.str();
}

void WriteText(const std::filesystem::path& p, const std::string& text) {
    std::error_code ec;
    if (p.has_parent_path()) std::filesystem::create_directories(p.parent_path(), ec);
    std::ofstream f(p, std::ios::binary | std::ios::trunc);
    f << text;
}

uint32_t U32At(const std::vector<unsigned char>& b, size_t off) {
    return static_cast<uint32_t>(b.at(off)) | static_cast<uint32_t>(b.at(off + 1)) << 8 |
           static_cast<uint32_t>(b.at(off + 2)) << 16 | static_cast<uint32_t>(b.at(off + 3)) << 24;
}

int32_t I32At(const std::vector<unsigned char>& b, size_t off) {
    return static_cast<int32_t>(U32At(b, off));
}

std::u16string Utf16At(const std::vector<unsigned char>& b, size_t off, size_t maxUnits) {
    std::u16string s;
    for (size_t i = 0; i < maxUnits; ++i) {
        char16_t c = static_cast<char16_t>(b.at(off + 2 * i) | (b.at(off + 2 * i + 1) << 8));
        if (!c) break;
        s += c;
    }
    return s;
}

std::u16string U(const std::string& utf8) { return Utf8ToUtf16(utf8); }
std::string N(const std::u16string& s) { return Utf16ToUtf8(s); }

}  // namespace testsupport
