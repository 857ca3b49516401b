// Panel-font generation, each side by side with its yardstick:
//  - QPF2: rendering and writing 7,000 CJK glyphs at 24 px through
//    generateqpf2/qpf2tofileEx, against a bare FreeType load-and-render loop
//    over the same glyphs of the same face;
//  - subsetting: a table of 20 fonts cut through the embedded interpreter,
//    against one pyftsubset process per font on the same inputs.
//
//   bench_panel_fonts [CJK_FONT]   (default: WenQuanYi Zen Hei from fonts-wqy-zenhei)
#include <benchmark/benchmark.h>

#include <ft2build.h>
#include FT_FREETYPE_H

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "FontSubsetBridge.h"
#include "Glyphworks.h"
#include "win/profile.h"
#include "win/wstr.h"

namespace fs = std::filesystem;

namespace {
constexpr int kGlyphs = 7000;
constexpr int kPixels = 24;
constexpr int kSubsetFonts = 20;

std::string g_cjkFont = "/usr/share/fonts/truetype/wqy/wqy-zenhei.ttc";
fs::path g_work;
std::u16string g_chars;  // the first kGlyphs characters the face maps from U+4E00 on
std::u16string g_face;   // its family name, for GDI
TTFMapTable g_table;

bool Prepare() {
    g_work = fs::temp_directory_path() / ("tamsel-bench-panel-" + std::to_string(::getpid()));
    fs::create_directories(g_work / "profile" / "Fonts");
    fs::create_directories(g_work / "out");
    std::error_code ec;
    fs::create_symlink(g_cjkFont, g_work / "profile" / "Fonts" / fs::path(g_cjkFont).filename(), ec);
    if (ec) return false;

    FT_Library lib;
    FT_Face face;
    if (FT_Init_FreeType(&lib) || FT_New_Face(lib, g_cjkFont.c_str(), 0, &face)) return false;
    g_face = Utf8ToUtf16(face->family_name);
    for (char32_t c = 0x4E00; c < 0x9FFF && static_cast<int>(g_chars.size()) < kGlyphs; ++c)
        if (FT_Get_Char_Index(face, c)) g_chars += static_cast<char16_t>(c);
    FT_Done_Face(face);
    FT_Done_FreeType(lib);

    // Twenty subset sources: the CJK face plus Debian's DejaVu and Liberation files.
    std::vector<fs::path> sources;
    for (const char* root : {"/usr/share/fonts/truetype/dejavu", "/usr/share/fonts/truetype/liberation2",
                             "/usr/share/fonts/truetype/liberation"})
        for (auto it = fs::directory_iterator(root, ec); !ec && it != fs::directory_iterator(); it.increment(ec))
            if (it->path().extension() == ".ttf") sources.push_back(it->path());
    std::sort(sources.begin(), sources.end());
    const std::u16string latin = u"Line 3 Filling Station 0123456789 Overpressure Acknowledge";
    g_table[u"cjk"] = {Utf8ToUtf16(fs::path(g_cjkFont).filename().string()), g_chars.substr(0, 300) + latin};
    for (size_t i = 0; i < sources.size() && g_table.size() < kSubsetFonts; ++i) {
        fs::create_symlink(sources[i], g_work / "profile" / "Fonts" / sources[i].filename(), ec);
        g_table[Utf8ToUtf16("f" + std::to_string(i))] = {Utf8ToUtf16(sources[i].filename().string()), latin};
    }
    return winprofile::Load((g_work / "profile").string()) && static_cast<int>(g_chars.size()) == kGlyphs &&
           static_cast<int>(g_table.size()) == kSubsetFonts;
}

void BM_Qpf2RenderAndWrite(benchmark::State& state) {
    const std::u16string out = Utf8ToUtf16((g_work / "out").string());
    for (auto _ : state) {
        generateqpf2(g_chars.c_str(), g_face.c_str(), -kPixels, false, 50, u"", -1);
        benchmark::DoNotOptimize(qpf2tofileEx(out.c_str()));
    }
    state.counters["glyphs"] = kGlyphs;
}

void BM_BareFreeTypeRender(benchmark::State& state) {
    FT_Library lib;
    FT_Init_FreeType(&lib);
    for (auto _ : state) {
        FT_Face face;
        FT_New_Face(lib, g_cjkFont.c_str(), 0, &face);
        FT_Set_Pixel_Sizes(face, 0, kPixels);
        for (char16_t c : g_chars) {
            // The outlines, as the QPF2 renderer loads them.
            FT_Load_Char(face, c, FT_LOAD_DEFAULT | FT_LOAD_NO_BITMAP);
            FT_Render_Glyph(face->glyph, FT_RENDER_MODE_NORMAL);
            benchmark::DoNotOptimize(face->glyph->bitmap.buffer);
        }
        FT_Done_Face(face);
    }
    FT_Done_FreeType(lib);
    state.counters["glyphs"] = kGlyphs;
}

void BM_SubsetTableThroughBridge(benchmark::State& state) {
    CFontSubsetBridge& bridge = CFontSubsetBridge::Instance();
    if (!bridge.IsReady()) {
        state.SkipWithError("the subsetting bridge is not ready");
        return;
    }
    const std::u16string out = Utf8ToUtf16((g_work / "subset-bridge").string());
    for (auto _ : state) benchmark::DoNotOptimize(bridge.SubsetFontTable(g_table, out));
    state.counters["fonts"] = static_cast<double>(g_table.size());
}

void BM_PyftsubsetPerFont(benchmark::State& state) {
    const fs::path out = g_work / "subset-cli";
    fs::create_directories(out);
    const std::string fonts = winprofile::FontsDir();
    for (auto _ : state) {
        for (const auto& row : g_table) {
            const std::string text = Utf16ToUtf8(row.second.second);
            const std::string cmd = "pyftsubset '" + fonts + "/" + Utf16ToUtf8(row.second.first) + "' --text='" +
                                    text + "' --font-number=0 --name-IDs='*' --name-languages='*' --output-file='" +
                                    (out / (Utf16ToUtf8(row.first) + ".ttf")).string() + "' 2>/dev/null";
            if (std::system(cmd.c_str()) != 0) state.SkipWithError("pyftsubset failed");
        }
    }
    state.counters["fonts"] = static_cast<double>(g_table.size());
}

BENCHMARK(BM_Qpf2RenderAndWrite)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_BareFreeTypeRender)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_SubsetTableThroughBridge)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_PyftsubsetPerFont)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (argc > 1) g_cjkFont = argv[1];
    if (!Prepare()) {
        std::fprintf(stderr, "bench_panel_fonts: cannot prepare from %s (install fonts-wqy-zenhei)\n", g_cjkFont.c_str());
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    std::error_code ec;
    fs::remove_all(g_work, ec);
    return 0;
}
