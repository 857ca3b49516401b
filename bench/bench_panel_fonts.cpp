// Panel-font generation, each side by side with its yardstick, at 1x, 2x
// and 4x:
//  - QPF2: 20,000 CJK glyphs of WenQuanYi Zen Hei at 48 px (1x; 2x and 4x
//    add the same glyphs at 49, 50 and 51 px) rendered by the font tools'
//    renderer (bytes discarded), beside a bare FreeType loop loading and
//    rendering the same glyphs with the same flags (target: at most 1.1x);
//    and the whole road, generateqpf2/qpf2tofileEx rendering, writing and
//    waiting for the disk to hold the files (50 MB a size);
//  - subsetting a large CJK collection: 3,000 (6,000, 12,000) characters of
//    Noto Sans CJK SC, a member of NotoSansCJK-Regular.ttc, cut through the
//    bridge (HarfBuzz's subsetter, the file flushed to disk), beside one
//    hb-subset process per font with the same options (target: at most
//    1.0x), beside fontTools in-process (a Python process kept running, as
//    the bridge keeps its interpreter) with myFont.py's options and calls
//    (target: at most 0.1x), and beside one pyftsubset process per font;
//  - subsetting small fonts: tables of 10 (20, 40) rows over the DejaVu and
//    Liberation files with a Latin text, beside the same two yardsticks.
//
// The process prepares its heap as the studio does before a compile
// (winfiles::PrepareLargeHeap), since the bridge runs in the studio's
// process; --plain-heap leaves glibc's defaults.
//
//   bench_panel_fonts [--rounds N] [--sizes 1,2,4] [--only TEXT] [--plain-heap]
//   (needs fonts-wqy-zenhei, fonts-noto-cjk, fonts-dejavu-core, fonts-liberation2,
//   libharfbuzz-bin)
#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <ft2build.h>
#include FT_FREETYPE_H

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "FontSubsetBridge.h"
#include "Glyphworks.h"
#include "Qpf2.h"
#include "SideBySide.h"
#include "TrueTypeFont.h"
#include "win/filesafety.h"
#include "win/profile.h"
#include "win/wstr.h"

namespace fs = std::filesystem;

namespace {
const char kWqy[] = "/usr/share/fonts/truetype/wqy/wqy-zenhei.ttc";
const char kNoto[] = "/usr/share/fonts/opentype/noto/NotoSansCJK-Regular.ttc";
const char16_t kNotoFace[] = u"Noto Sans CJK SC";
constexpr int kGlyphs = 20000;
constexpr int kPixels = 48;
constexpr int kCjkChars = 3000;
constexpr int kSmallRows = 10;

fs::path g_work;
std::u16string g_wqyChars, g_wqyFace;  // the first 20,000 ideographs WenQuanYi Zen Hei maps
std::u16string g_notoChars;            // every ideograph Noto Sans CJK SC maps
std::vector<fs::path> g_smallSources;

std::u16string MappedIdeographs(const char* file, int index, size_t most, std::u16string* family) {
    std::u16string chars;
    FT_Library lib;
    FT_Face face;
    if (FT_Init_FreeType(&lib) || FT_New_Face(lib, file, index, &face)) return chars;
    if (family) *family = Utf8ToUtf16(face->family_name);
    for (char32_t c = 0x4E00; c <= 0x9FFF && chars.size() < most; ++c)
        if (FT_Get_Char_Index(face, c)) chars += static_cast<char16_t>(c);
    FT_Done_Face(face);
    FT_Done_FreeType(lib);
    return chars;
}

bool Prepare() {
    g_work = fs::temp_directory_path() / ("tamsel-bench-panel-" + std::to_string(::getpid()));
    const fs::path fonts = g_work / "profile" / "Fonts";
    fs::create_directories(fonts);
    std::error_code ec;
    for (const char* f : {kWqy, kNoto}) {
        fs::create_symlink(f, fonts / fs::path(f).filename(), ec);
        if (ec) return false;
    }
    for (const char* root : {"/usr/share/fonts/truetype/dejavu", "/usr/share/fonts/truetype/liberation2"})
        for (auto it = fs::directory_iterator(root, ec); !ec && it != fs::directory_iterator(); it.increment(ec))
            if (it->path().extension() == ".ttf") g_smallSources.push_back(it->path());
    std::sort(g_smallSources.begin(), g_smallSources.end());
    for (const fs::path& f : g_smallSources) fs::create_symlink(f, fonts / f.filename(), ec);
    g_wqyChars = MappedIdeographs(kWqy, 0, kGlyphs, &g_wqyFace);
    g_notoChars = MappedIdeographs(kNoto, 2, 100000, nullptr);
    return winprofile::Load((g_work / "profile").string()) && static_cast<int>(g_wqyChars.size()) == kGlyphs &&
           g_notoChars.size() >= 4 * kCjkChars && !g_smallSources.empty();
}

// ---- QPF2 rendering ----

double RenderThroughGlyphworks(int sizes) {
    const std::u16string out = Utf8ToUtf16((g_work / "qpf2").string());
    return sidebyside::Seconds([&] {
        for (int k = 0; k < sizes; ++k) generateqpf2(g_wqyChars.c_str(), g_wqyFace.c_str(), -(kPixels + k), false, 50, u"", -1);
        if (qpf2tofileEx(out.c_str()) != sizes) std::fprintf(stderr, "bench_panel_fonts: a QPF2 file is missing\n");
    });
}

// A stream that keeps nothing but lets the writer go back to its head.
class Discard : public std::streambuf {
protected:
    std::streamsize xsputn(const char*, std::streamsize n) override {
        m_pos += n;
        return n;
    }
    int_type overflow(int_type c) override {
        ++m_pos;
        return traits_type::not_eof(c);
    }
    pos_type seekoff(off_type off, std::ios_base::seekdir dir, std::ios_base::openmode) override {
        m_pos = dir == std::ios_base::beg ? off : dir == std::ios_base::cur ? m_pos + off : m_pos;
        return pos_type(m_pos);
    }
    pos_type seekpos(pos_type pos, std::ios_base::openmode) override { return pos_type(m_pos = off_type(pos)); }

private:
    off_type m_pos = 0;
};

// The font tools' rendering alone, as qpf2tofileEx renders each file, with
// the bytes going nowhere: what the renderer adds to FreeType.
double RenderOnly(int sizes) {
    std::vector<qpf2::RenderRequest> requests;
    for (int k = 0; k < sizes; ++k) {
        qpf2::RenderRequest rq;
        rq.path = kWqy;
        rq.pixelEm = kPixels + k;
        rq.chars = std::u32string(g_wqyChars.begin(), g_wqyChars.end());
        rq.fontName = "wenquanyi_zen_hei";
        requests.push_back(rq);
    }
    return sidebyside::Seconds([&] {
        for (const qpf2::RenderRequest& rq : requests) {
            Discard sink;
            std::ostream out(&sink);
            qpf2::RenderTo(rq, [&]() -> std::ostream* { return &out; }, nullptr, nullptr, nullptr);
        }
    });
}

double RenderBareFreeType(int sizes) {
    return sidebyside::Seconds([&] {
        FT_Library lib;
        FT_Init_FreeType(&lib);
        for (int k = 0; k < sizes; ++k) {
            FT_Face face;
            FT_New_Face(lib, kWqy, 0, &face);
            FT_Set_Pixel_Sizes(face, 0, static_cast<FT_UInt>(kPixels + k));
            for (char16_t c : g_wqyChars) {
                // The flags the QPF2 renderer uses.
                FT_Load_Glyph(face, FT_Get_Char_Index(face, c), FT_LOAD_DEFAULT | FT_LOAD_NO_BITMAP);
                FT_Render_Glyph(face->glyph, FT_RENDER_MODE_NORMAL);
            }
            FT_Done_Face(face);
        }
        FT_Done_FreeType(lib);
    });
}

// ---- Subsetting ----

struct Table {
    std::string name;
    TTFMapTable rows;
    fs::path cuts;  // the same cuts for fontTools: source, number, characters file, output
    std::vector<std::vector<std::string>> cli;  // one pyftsubset command line per row
    std::vector<std::vector<std::string>> hb;   // one hb-subset command line per row
};

Table MakeTable(const std::string& name, const TTFMapTable& rows) {
    Table t{name, rows, g_work / ("cuts-" + name + ".txt"), {}, {}};
    const fs::path dir = g_work / ("tools-" + name);
    fs::create_directories(dir);
    std::ofstream list(t.cuts, std::ios::binary);
    CTrueTypeCollection collection;
    int i = 0;
    for (const auto& row : rows) {
        const std::string src = winprofile::FontsDir() + "/" + Utf16ToUtf8(row.second.first);
        const int index = collection.Open(Utf8ToUtf16(src).c_str()) ? collection.FindFontIndex(row.first) : -1;
        const int number = index < 0 ? 0 : index;
        const fs::path chars = dir / ("chars-" + std::to_string(i));
        const fs::path out = dir / ("out-" + std::to_string(i++) + (src.find(".ttf") != std::string::npos ? ".ttf" : ".ttc"));
        std::ofstream(chars, std::ios::binary) << Utf16ToUtf8(row.second.second);
        list << src << "\t" << number << "\t" << chars.string() << "\t" << out.string() << "\n";
        // myFont.py's options, as pyftsubset spells them.
        t.cli.push_back({"pyftsubset", src, "--font-number=" + std::to_string(number), "--name-IDs=*",
                         "--name-languages=*", "--name-legacy", "--notdef-outline", "--no-recalc-timestamp",
                         "--layout-features=*", "--text-file=" + chars.string(), "--output-file=" + out.string()});
        // And as hb-subset spells them (it keeps head's dates as they are).
        t.hb.push_back({"hb-subset", "--face-index=" + std::to_string(number), "--name-IDs=*", "--name-languages=*",
                        "--name-legacy", "--notdef-outline", "--layout-features=*", "--text-file=" + chars.string(),
                        "--output-file=" + out.string() + ".hb", src});
    }
    return t;
}

double ThroughBridge(const Table& t) {
    const std::u16string out = Utf8ToUtf16((g_work / ("bridge-" + t.name)).string());
    double mb = 0;
    const double s = sidebyside::Seconds([&] { mb = CFontSubsetBridge::Instance().SubsetFontTable(t.rows, out); });
    if (mb <= 0) std::fprintf(stderr, "bench_panel_fonts: the bridge wrote nothing for %s\n", t.name.c_str());
    const std::string& engine = CFontSubsetBridge::Instance().LastEngine();
    if (engine != "harfbuzz") std::fprintf(stderr, "bench_panel_fonts: %s was cut by '%s'\n", t.name.c_str(), engine.c_str());
    return s;
}

// The bridge with myFont's flush to disk turned off, for what the flush costs.
double ThroughBridgeWithoutFlush(const Table& t) {
    const auto setFlush = [](bool on) {
        const PyGILState_STATE gil = PyGILState_Ensure();
        PyRun_SimpleString(on ? "import myFont; myFont._flush = True" : "import myFont; myFont._flush = False");
        PyGILState_Release(gil);
    };
    setFlush(false);
    const double s = ThroughBridge(t);
    setFlush(true);
    return s;
}

double FontToolsInProcess(sidebyside::ServedChild& python, const Table& t) {
    const std::string answer = python.Ask(t.cuts.string());
    if (answer.empty()) {
        std::fprintf(stderr, "bench_panel_fonts: fontTools did not answer\n");
        std::exit(1);
    }
    return std::atof(answer.c_str());
}

// The same cuts by fontTools in the bridge's own interpreter: what the
// bridge adds to fontTools, without the difference between the interpreter
// library the studio embeds and the python3 program.
double FontToolsInBridgeInterpreter(const Table& t) {
    const PyGILState_STATE gil = PyGILState_Ensure();
    static PyObject* cutFile = nullptr;
    if (!cutFile) {
        PyObject* path = PySys_GetObject("path");  // borrowed
        PyObject* dir = PyUnicode_DecodeFSDefault(TAMSEL_BENCH_DIR);
        if (path && dir) PyList_Insert(path, 0, dir);
        Py_XDECREF(dir);
        if (PyObject* module = PyImport_ImportModule("fonttools_cuts")) {
            cutFile = PyObject_GetAttrString(module, "cut_file");
            Py_DECREF(module);
        }
    }
    PyObject* r = cutFile ? PyObject_CallFunction(cutFile, "ss", TAMSEL_SCRIPT_DIR, t.cuts.string().c_str()) : nullptr;
    const double s = r ? PyFloat_AsDouble(r) : -1;
    Py_XDECREF(r);
    if (s < 0) PyErr_Print();
    PyGILState_Release(gil);
    if (s < 0) std::exit(1);
    return s;
}

double ProcessPerFont(const std::vector<std::vector<std::string>>& commands) {
    double total = 0;
    for (const auto& argv : commands) {
        const double s = sidebyside::RunChild(argv);
        if (s < 0) {
            // pyftsubset cannot write a format 4 cmap of many scattered characters.
            std::fprintf(stderr, "bench_panel_fonts: %s failed\n", argv[0].c_str());
            return -1;
        }
        total += s;
    }
    return total;
}
}  // namespace

int main(int argc, char** argv) {
    const sidebyside::Options opt = sidebyside::ParseOptions(argc, argv);
    const bool plainHeap = std::find(opt.rest.begin(), opt.rest.end(), "--plain-heap") != opt.rest.end();
    if (!plainHeap) winfiles::PrepareLargeHeap();
    if (!Prepare()) {
        std::fprintf(stderr, "bench_panel_fonts: cannot prepare (install fonts-wqy-zenhei, fonts-noto-cjk, "
                             "fonts-dejavu-core, fonts-liberation2)\n");
        return 1;
    }
    if (!CFontSubsetBridge::Instance().IsReady()) {
        std::fprintf(stderr, "bench_panel_fonts: the subsetting bridge is not ready\n");
        return 1;
    }
    sidebyside::ServedChild python({"/usr/bin/python3", (fs::path(TAMSEL_BENCH_DIR) / "fonttools_cuts.py").string(),
                                    "--serve", TAMSEL_SCRIPT_DIR});
    sidebyside::PrintMachine(opt);
    std::printf("heap: %s\n", plainHeap ? "glibc's defaults" : "prepared as the studio prepares it for a compile");
    const std::u16string latin = u"Line 3 Filling Station 0123456789 Overpressure Acknowledge";
    for (int size : opt.sizes) {
        std::printf("\n%dx: %d glyphs at %d px; %d CJK characters; %d small fonts\n", size, kGlyphs * size, kPixels,
                    kCjkChars * size, kSmallRows * size);
        TTFMapTable cjk, small;
        // Ideographs spread over the block, as a project's texts use them.
        std::u16string chars;
        const size_t want = static_cast<size_t>(kCjkChars * size);
        for (size_t i = 0; i < want; ++i) chars += g_notoChars[i * g_notoChars.size() / want];
        cjk[kNotoFace] = {u"NotoSansCJK-Regular.ttc", chars + latin};
        for (int i = 0; i < kSmallRows * size; ++i) {
            const fs::path& src = g_smallSources[static_cast<size_t>(i) % g_smallSources.size()];
            small[Utf8ToUtf16("f" + std::to_string(i))] = {Utf8ToUtf16(src.filename().string()), latin};
        }
        const Table tables[] = {MakeTable("cjk", cjk), MakeTable("small", small)};
        std::vector<sidebyside::Case> cases = {
            {"QPF2 through generateqpf2", [&] { return RenderThroughGlyphworks(size); }, {}},
            {"QPF2 rendering alone", [&] { return RenderOnly(size); }, {}},
            {"QPF2 bare FreeType", [&] { return RenderBareFreeType(size); }, {}},
        };
        for (const Table& t : tables) {
            cases.push_back({"bridge, " + t.name, [&t] { return ThroughBridge(t); }, {}});
            cases.push_back({"bridge without the flush, " + t.name, [&t] { return ThroughBridgeWithoutFlush(t); }, {}});
            cases.push_back({"fontTools in-process, " + t.name, [&] { return FontToolsInProcess(python, t); }, {}});
            cases.push_back({"fontTools in the bridge's interpreter, " + t.name,
                             [&t] { return FontToolsInBridgeInterpreter(t); }, {}});
            cases.push_back({"hb-subset per font, " + t.name, [&t] { return ProcessPerFont(t.hb); }, {}});
            cases.push_back({"pyftsubset per font, " + t.name, [&t] { return ProcessPerFont(t.cli); }, {}});
        }
        sidebyside::Alternate(cases, opt);
        sidebyside::PrintCases(cases);
        sidebyside::PrintRatio(cases, "QPF2 rendering alone", "QPF2 bare FreeType", 1.1);
        sidebyside::PrintRatio(cases, "QPF2 through generateqpf2", "QPF2 bare FreeType");
        for (const Table& t : tables) {
            sidebyside::PrintRatio(cases, "bridge, " + t.name, "hb-subset per font, " + t.name, 1.0);
            sidebyside::PrintRatio(cases, "bridge without the flush, " + t.name, "hb-subset per font, " + t.name, 1.0);
            sidebyside::PrintRatio(cases, "bridge, " + t.name, "fontTools in-process, " + t.name, 0.1);
            sidebyside::PrintRatio(cases, "bridge, " + t.name, "fontTools in the bridge's interpreter, " + t.name, 0.1);
            sidebyside::PrintRatio(cases, "bridge, " + t.name, "pyftsubset per font, " + t.name);
        }
    }
    std::error_code ec;
    fs::remove_all(g_work, ec);
    return 0;
}
