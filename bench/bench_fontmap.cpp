// The system font map over fonts folders of 500, 1,000 and 2,000 files, side
// by side with fontconfig's fc-scan reading the same files: every file read
// (as fc-scan does, and as at the first start), and with the face cache
// filled (every later start).
//
//   bench_fontmap [FONT_SOURCE_DIR...]   (default: the test fixture fonts and
//                                         /usr/share/fonts; files up to 1 MB)
//
// The copies are faces of their own (see BenchFonts.h), as on a workstation
// with that many fonts installed. Run with --benchmark_repetitions=5
// --benchmark_enable_random_interleaving=true for alternating runs.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <chrono>
#include <map>
#include <thread>

#include "BenchFonts.h"
#include "FontTable.h"
#include "win/fontdb.h"
#include "win/profile.h"

namespace fs = std::filesystem;

namespace {
std::map<int64_t, fs::path> g_profiles;

fs::path g_faceCache;

void MakeFontMapFrom(benchmark::State& state, const std::string& faceCache) {
    fontdb::SetFaceCacheFolder(faceCache);
    const fs::path& profile = g_profiles.at(state.range(0));
    for (auto _ : state) {
        winprofile::Load(profile.string());  // a new generation: the folder is read again
        MakeFontMap();
        benchmark::DoNotOptimize(PackNameMap.size());
    }
    state.counters["files"] = static_cast<double>(state.range(0));
    state.counters["faces"] = static_cast<double>(PackNameMap.size());
    state.counters["from_cache"] = static_cast<double>(fontdb::LastScan().fromCache);
}

void BM_MakeFontMap(benchmark::State& state) { MakeFontMapFrom(state, ""); }
void BM_MakeFontMapFaceCache(benchmark::State& state) { MakeFontMapFrom(state, g_faceCache.string()); }

void BM_FcScan(benchmark::State& state) {
    const std::string cmd =
        "fc-scan --format '%{family}\\n' '" + (g_profiles.at(state.range(0)) / "Fonts").string() + "' > /dev/null";
    const double cpu = benchfonts::ChildCpuMs();
    for (auto _ : state)
        if (std::system(cmd.c_str()) != 0) state.SkipWithError("fc-scan failed (package fontconfig)");
    state.counters["files"] = static_cast<double>(state.range(0));
    state.counters["cpu_ms"] = benchmark::Counter(benchfonts::ChildCpuMs() - cpu, benchmark::Counter::kAvgIterations);
}
}  // namespace

BENCHMARK(BM_MakeFontMap)->Arg(500)->Arg(1000)->Arg(2000)->Unit(benchmark::kMillisecond)->UseRealTime()->Apply([](auto* b) { benchfonts::WithSpread(b); });
BENCHMARK(BM_MakeFontMapFaceCache)->Arg(500)->Arg(1000)->Arg(2000)->Unit(benchmark::kMillisecond)->UseRealTime()->Apply([](auto* b) { benchfonts::WithSpread(b); });
BENCHMARK(BM_FcScan)->Arg(500)->Arg(1000)->Arg(2000)->Unit(benchmark::kMillisecond)->UseRealTime()->Apply([](auto* b) { benchfonts::WithSpread(b); });

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    std::vector<std::string> roots(argv + 1, argv + argc);
    if (roots.empty()) roots = {TAMSEL_TEST_FONTS, "/usr/share/fonts"};
    const auto sources = benchfonts::FindFonts(roots, 1 << 20);
    if (sources.empty()) {
        std::fprintf(stderr, "no font files found\n");
        return 1;
    }
    const fs::path scratch = benchfonts::Scratch("fontmap");
    const auto files = benchfonts::WriteCopies(sources, 2000, scratch / "files");
    for (int64_t n : {500, 1000, 2000}) {
        g_profiles[n] = scratch / std::to_string(n);
        benchfonts::LinkProfile(g_profiles[n], {files.begin(), files.begin() + n});
    }
    // The cache vouches for files unchanged for two seconds when read.
    g_faceCache = scratch / "face-cache";
    fontdb::SetFaceCacheFolder(g_faceCache.string());
    std::this_thread::sleep_for(std::chrono::milliseconds(2100));
    for (const auto& p : g_profiles) {
        winprofile::Load(p.second.string());
        fontdb::Faces();
    }
    benchmark::RunSpecifiedBenchmarks();
    benchfonts::RemoveScratch(scratch);
    return 0;
}
