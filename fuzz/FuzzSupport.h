// Helpers shared by the libFuzzer targets that read their input from files:
// a scratch folder per process, whole-file writes, a font of this machine and
// the checks that stop a run loudly.
#pragma once

#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <string>
#include <system_error>

namespace fuzzsupport {

namespace fs = std::filesystem;

// A check that must hold whatever the input: a failure is a finding.
#define FUZZ_CHECK(cond)                                                                       \
    do {                                                                                       \
        if (!(cond)) {                                                                         \
            std::fprintf(stderr, "%s:%d: fuzz check failed: %s\n", __FILE__, __LINE__, #cond); \
            std::abort();                                                                      \
        }                                                                                      \
    } while (0)

// A fresh folder for this process, removed when it exits. Under /dev/shm
// when there is one: the file layer syncs what it writes, and a disk would
// make every run wait for it. The first caller names it.
inline const fs::path& ScratchDir(const std::string& name) {
    // Never destroyed, so it is still there for the exit handler.
    static const fs::path* dir = [&] {
        std::error_code ec;
        fs::path base = fs::temp_directory_path(ec);
        if (fs::is_directory("/dev/shm", ec) && ::access("/dev/shm", W_OK) == 0) base = "/dev/shm";
        const std::string prefix = "tamsel-fuzz-" + name + "-";
        // A run that crashed left its folder: gone with its process.
        for (const auto& e : fs::directory_iterator(base, ec)) {
            const std::string n = e.path().filename().string();
            if (n.compare(0, prefix.size(), prefix) != 0) continue;
            const long pid = std::strtol(n.c_str() + prefix.size(), nullptr, 10);
            if (pid > 0 && ::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH) fs::remove_all(e.path(), ec);
        }
        auto* d = new fs::path(base / (prefix + std::to_string(::getpid())));
        fs::remove_all(*d, ec);
        fs::create_directories(*d);
        std::atexit([] {
            std::error_code e;
            fs::remove_all(ScratchDir(""), e);
        });
        return d;
    }();
    return *dir;
}

inline void WriteFile(const fs::path& path, const void* data, size_t size) {
    FILE* f = std::fopen(path.c_str(), "wb");
    FUZZ_CHECK(f != nullptr);
    if (size) FUZZ_CHECK(std::fwrite(data, 1, size, f) == size);
    FUZZ_CHECK(std::fclose(f) == 0);
}

inline void WriteText(const fs::path& path, const std::string& text) { WriteFile(path, text.data(), text.size()); }

// The names in a folder (not recursive).
inline std::set<std::string> Listing(const fs::path& dir) {
    std::set<std::string> names;
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(dir, ec)) names.insert(e.path().filename().string());
    return names;
}

// Empties a folder, links included (never followed).
inline void Clear(const fs::path& dir) {
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(dir, ec)) fs::remove_all(e.path(), ec);
}

// A TrueType font of this machine for targets that need one real face
// beside the input (fonts-dejavu-core is among the project's packages).
inline fs::path SystemFont() {
    static const fs::path font = [] {
        std::error_code ec;
        const fs::path dejavu = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
        if (fs::is_regular_file(dejavu, ec)) return dejavu;
        for (auto it = fs::recursive_directory_iterator("/usr/share/fonts", ec);
             !ec && it != fs::recursive_directory_iterator(); it.increment(ec))
            if (it->path().extension() == ".ttf" && it->is_regular_file(ec)) return it->path();
        return fs::path();
    }();
    return font;
}

}  // namespace fuzzsupport
