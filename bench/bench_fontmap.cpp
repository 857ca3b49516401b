// The system font map over a fonts folder of 500 files, side by side with
// fontconfig's fc-scan reading the same files.
//
//   bench_fontmap [FONT_SOURCE_DIR...]   (default: the test fixture fonts and
//                                         /usr/share/fonts)
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "FontMap.h"
#include "win/profile.h"

namespace fs = std::filesystem;

namespace {
constexpr int kFiles = 500;
fs::path g_profile;

std::vector<fs::path> FindFonts(const std::vector<std::string>& roots) {
    std::vector<fs::path> out;
    std::error_code ec;
    for (const auto& root : roots)
        for (auto it = fs::recursive_directory_iterator(root, ec); !ec && it != fs::recursive_directory_iterator();
             it.increment(ec)) {
            const std::string ext = it->path().extension().string();
            if (ext == ".ttf" || ext == ".ttc" || ext == ".otf") out.push_back(it->path());
        }
    return out;
}

// A profile whose Fonts/ holds kFiles distinct file names cycling over the sources.
void MakeProfile(const std::vector<fs::path>& sources) {
    g_profile = fs::temp_directory_path() / ("tamsel-bench-fontmap-" + std::to_string(::getpid()));
    fs::create_directories(g_profile / "Fonts");
    for (int i = 0; i < kFiles; ++i) {
        const fs::path& src = sources[static_cast<size_t>(i) % sources.size()];
        const fs::path dst = g_profile / "Fonts" / (std::to_string(i) + "_" + src.filename().string());
        fs::copy_file(src, dst, fs::copy_options::overwrite_existing);
    }
}

void BM_MakeFontMap(benchmark::State& state) {
    for (auto _ : state) {
        winprofile::Load(g_profile.string());  // a new generation: rescans the folder
        MakeFontMap();
        benchmark::DoNotOptimize(PackNameMap.size());
    }
    state.counters["faces"] = static_cast<double>(PackNameMap.size());
    state.counters["files"] = kFiles;
}

void BM_FcScan(benchmark::State& state) {
    const std::string cmd = "fc-scan --format '%{family}\\n' '" + (g_profile / "Fonts").string() + "' > /dev/null";
    for (auto _ : state)
        if (std::system(cmd.c_str()) != 0) state.SkipWithError("fc-scan failed (package fontconfig)");
    state.counters["files"] = kFiles;
}
}  // namespace

BENCHMARK(BM_MakeFontMap)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_FcScan)->Unit(benchmark::kMillisecond)->UseRealTime();

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    std::vector<std::string> roots(argv + 1, argv + argc);
    if (roots.empty()) roots = {TAMSEL_TEST_FONTS, "/usr/share/fonts"};
    const auto sources = FindFonts(roots);
    if (sources.empty()) {
        std::fprintf(stderr, "no font files found\n");
        return 1;
    }
    MakeProfile(sources);
    benchmark::RunSpecifiedBenchmarks();
    std::error_code ec;
    fs::remove_all(g_profile, ec);
    return 0;
}
