// Face look-ups on workstations with many fonts, each beside the same work on
// a small one:
//   Font_InitLib of a 10,000-font table with 250, 500 and 1,000 installed
//   faces, beside 14 faces;
//   the font properties dialog opening with 500, 1,000 and 2,000 faces,
//   beside the test fixture's fonts: in this process (the dialog alone), and
//   as a user opens it, a studio process that loads the profile and renders
//   the dialog (`tamsel-studio dialog properties --profile P --png F`), with
//   the face cache filled as it is after the first start, and without one
//   (every font file read with FreeType, as at the first start).
// The faces are copies of the fixture fonts, each a face of its own (see
// BenchFonts.h). Font_InitLib runs right after the profile is loaded, so no
// realised font is cached yet. Run with --benchmark_repetitions=5
// --benchmark_enable_random_interleaving=true for alternating runs.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>
#include <chrono>
#include <map>
#include <thread>

#include "BenchFonts.h"
#include "FontPropertiesDialog.h"
#include "Stanchion.h"
#include "FontTable.h"
#include "Velmora.h"
#include "mfc/mfcauto.h"
#include "win/fontdb.h"
#include "win/profile.h"
#include "win/registry.h"
#include "win/wstr.h"

namespace fs = std::filesystem;

namespace {
constexpr int kRecords = 10000;
// The fixture fonts that make 14 faces.
const char* const kSmallSet[] = {"simsun.ttc", "arial.ttf",       "arialbd.ttf",        "ariali.ttf", "arialblk.ttf",
                                 "calibri.ttf", "tahoma.ttf",     "bahnschrift.ttf",    "bahnschrift_sb.ttf",
                                 "macfirst.ttf", "latinonly.ttf", "mangal.ttf",         "sserife.fnt"};

fs::path g_scratch;
std::map<int64_t, fs::path> g_profiles;  // by faces asked for; 0: the small set
CHmiSet g_panel{1, 800, 480, 16};

// A profile of copies of the fixture fonts with at least `faces` faces.
fs::path ManyFaces(const std::vector<fs::path>& sources, size_t faces) {
    std::vector<size_t> counts;
    for (const fs::path& s : sources) counts.push_back(fontdb::ScanFontFile(s.string()).size());
    size_t files = 0, have = 0;
    while (have < faces) have += counts[files++ % sources.size()];
    const fs::path dir = g_scratch / ("faces-" + std::to_string(faces));
    benchfonts::LinkProfile(dir, benchfonts::WriteCopies(sources, files, dir / "files"));
    return dir;
}

// Font.hft with a 10,000-font table over the profile's faces, every font a
// different LOGFONTW whatever the number of faces (so both sides realise as
// many fonts); one font in a hundred names a face that is not installed.
void WriteTable(const fs::path& project, const fs::path& profile) {
    winprofile::Load(profile.string());
    std::vector<std::u16string> families;
    for (const fontdb::Face& f : fontdb::Faces())
        if (!f.raster && (families.empty() || families.back() != f.family)) families.push_back(f.family);
    std::vector<unsigned char> bytes(4 + kRecords * sizeof(tagHMIFONT));
    const uint32_t count = kRecords;
    std::memcpy(bytes.data(), &count, 4);
    for (int i = 0; i < kRecords; ++i) {
        tagHMIFONT r;
        std::memset(&r, 0, sizeof r);
        r.nID = i == 0 ? kDefaultFontID : 16 + i;
        CopyFixedName(r.szName, Utf8ToUtf16("F" + std::to_string(i)).c_str(), 32);
        const size_t n = families.size(), rest = static_cast<size_t>(i) / n;
        const std::u16string face = i % 100 == 99 ? u"Helvetica" : families[static_cast<size_t>(i) % n];
        CopyFixedName(r.lf.lfFaceName, face.c_str(), LF_FACESIZE);
        r.lf.lfHeight = static_cast<LONG>(8 + rest % 65);
        r.lf.lfWeight = static_cast<LONG>(100 * (1 + rest / 65 % 9));
        r.lf.lfItalic = rest / 585 % 2;
        r.lf.lfCharSet = DEFAULT_CHARSET;
        std::memcpy(bytes.data() + 4 + static_cast<size_t>(i) * sizeof r, &r, sizeof r);
    }
    fs::create_directories(project);
    std::FILE* f = std::fopen((project / "Font.hft").c_str(), "wb");
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
}

void BM_FontInitLib(benchmark::State& state) {
    const fs::path& profile = g_profiles.at(state.range(0));
    const fs::path project = g_scratch / ("project-" + std::to_string(state.range(0)));
    WriteTable(project, profile);
    CRootMgr::getSingleton()->setProjectDir(Utf8ToUtf16(project.string()));
    int records = 0;
    for (auto _ : state) {
        state.PauseTiming();
        winprofile::Load(profile.string());  // a fresh profile: nothing realised yet
        fontdb::Faces();
        winregistry::InstalledFontValues();
        state.ResumeTiming();
        int keep = 0;
        benchmark::DoNotOptimize(Font_InitLib(&keep, true, nullptr));
        records = g_FontList.GetCount();
    }
    state.counters["faces"] = static_cast<double>(fontdb::Faces().size());
    state.counters["fonts"] = records;
    Font_DenitLib();
}

void BM_PropertiesDialog(benchmark::State& state) {
    winprofile::Load(g_profiles.at(state.range(0)).string());
    int items = 0;
    for (auto _ : state) {
        CFontPropertiesDialog dlg;
        mfcauto::PushScript([&](mfcauto::ModalContext& ctx) {
            items = dlg.m_cbFace.GetCount();
            ctx.Click(IDCANCEL);
        });
        dlg.DoModal();
    }
    state.counters["faces"] = static_cast<double>(fontdb::Faces().size());
    state.counters["listed"] = items;
}
void StudioDialog(benchmark::State& state, const std::string& cache) {
    const fs::path& profile = g_profiles.at(state.range(0));
    const std::string cmd = "TAMSEL_FONT_CACHE='" + cache + "' '" + TAMSEL_STUDIO + "' dialog properties --profile '" +
                            profile.string() + "' --png '" + (g_scratch / "dialog.png").string() + "' > /dev/null";
    const double cpu = benchfonts::ChildCpuMs();
    for (auto _ : state)
        if (std::system(cmd.c_str()) != 0) state.SkipWithError("tamsel-studio failed");
    state.counters["cpu_ms"] = benchmark::Counter(benchfonts::ChildCpuMs() - cpu, benchmark::Counter::kAvgIterations);
}

void BM_StudioPropertiesDialog(benchmark::State& state) { StudioDialog(state, (g_scratch / "face-cache").string()); }
void BM_StudioPropertiesDialogNoCache(benchmark::State& state) { StudioDialog(state, "off"); }

// Fills the face cache as a first start does. A file that changed within
// two seconds of being read is read again next time, so the copies must age first.
void FillFaceCache() {
    std::this_thread::sleep_for(std::chrono::milliseconds(2100));
    for (const auto& p : g_profiles) {
        winprofile::Load(p.second.string());
        fontdb::Faces();
        if (fontdb::LastScan().files != 0 && !fontdb::LastScan().cacheWritten) std::abort();
    }
}
}  // namespace

BENCHMARK(BM_FontInitLib)->Arg(0)->Arg(250)->Arg(500)->Arg(1000)->Unit(benchmark::kMillisecond)->UseRealTime()->Apply([](auto* b) { benchfonts::WithSpread(b); });
BENCHMARK(BM_PropertiesDialog)->Arg(-1)->Arg(500)->Arg(1000)->Arg(2000)->Unit(benchmark::kMillisecond)->UseRealTime()->Apply([](auto* b) { benchfonts::WithSpread(b); });
BENCHMARK(BM_StudioPropertiesDialog)->Arg(-1)->Arg(500)->Arg(1000)->Arg(2000)->Unit(benchmark::kMillisecond)->UseRealTime()->Apply([](auto* b) { benchfonts::WithSpread(b); });
BENCHMARK(BM_StudioPropertiesDialogNoCache)->Arg(-1)->Arg(2000)->Unit(benchmark::kMillisecond)->UseRealTime()->Apply([](auto* b) { benchfonts::WithSpread(b); });

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    benchmark::Initialize(&argc, argv);
    velmora::SetUILanguage("en_US");
    velmora::SetProjectLanguages(2);
    stanchion::SetAppObject(u"HmiSet", &g_panel);
    const fs::path fixture = TAMSEL_TEST_FONTS;
    g_scratch = benchfonts::Scratch("faces");
    std::vector<fs::path> small, all;
    for (const char* f : kSmallSet) small.push_back(fixture / f);
    for (const auto& e : fs::directory_iterator(fixture)) all.push_back(e.path());
    std::sort(all.begin(), all.end());
    g_profiles[0] = g_scratch / "small";
    benchfonts::LinkProfile(g_profiles[0], small);
    g_profiles[-1] = g_scratch / "fixture";
    benchfonts::LinkProfile(g_profiles[-1], all);
    for (int64_t n : {250, 500, 1000, 2000}) g_profiles[n] = ManyFaces(all, static_cast<size_t>(n));
    fontdb::SetFaceCacheFolder((g_scratch / "face-cache").string());
    FillFaceCache();
    benchmark::RunSpecifiedBenchmarks();
    benchfonts::RemoveScratch(g_scratch);
    return 0;
}
