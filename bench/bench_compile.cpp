// Whole compiles of a generated project, run as the studio runs them
// (tamsel-studio compile, one process each), side by side with their
// yardsticks:
//  - QPF2: the first unit build (--incremental into an empty folder) and an
//    unchanged rerun of it, beside a full build of the same texts (targets:
//    at most 1.2x and 0.7x); with --against BUILD, the same three compiles of
//    another build of the studio (BUILD/bin/tamsel-studio: the code a change
//    starts from) in the same rounds;
//  - TrueType: a full compile, beside fontTools cutting the same fonts to
//    the same characters in one process with the options and calls of
//    myFont.py, importing fontTools.subset as the compile does, on the
//    interpreter library the studio embeds (target: at most 0.5x); and, for
//    information, the same in Debian's python3 program, which runs Python
//    faster than the shared library does;
//  - the peak memory of each compile (target for the TrueType compile: at
//    most 100 MB at 50,000 texts).
// The project: a table of 200 fonts over WenQuanYi Zen Hei (CJK) and
// DejaVu and Liberation faces; texts in 8 languages (English, Chinese,
// Japanese, Korean, German, Russian, French, Spanish) of 10 to 30 characters
// over 50 screens. Sizes: 50,000 texts (1x), 100,000 (2x), 200,000 (4x).
//
//   bench_compile [--rounds N] [--sizes 1,2,4] [--only TEXT] [--texts N] [--keep] [--against BUILD]
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "SideBySide.h"
#include "Tamsel.h"
#include "XorShift.h"
#include "win/wstr.h"

namespace fs = std::filesystem;

namespace {
int g_baseTexts = 50000;
fs::path g_work, g_bin, g_against;

struct Face {
    const char* name;
    const char* file;  // under /usr/share/fonts
    bool cjk;
};
const Face kFaces[] = {
    {"WenQuanYi Zen Hei", "truetype/wqy/wqy-zenhei.ttc", true},
    {"DejaVu Sans", "truetype/dejavu/DejaVuSans.ttf", false},
    {"DejaVu Serif", "truetype/dejavu/DejaVuSerif.ttf", false},
    {"Liberation Sans", "truetype/liberation2/LiberationSans-Regular.ttf", false},
    {"Liberation Serif", "truetype/liberation2/LiberationSerif-Regular.ttf", false},
    {"Liberation Mono", "truetype/liberation2/LiberationMono-Regular.ttf", false},
};
constexpr int kFaceCount = sizeof kFaces / sizeof kFaces[0];
constexpr int kFonts = 200;
constexpr int kScreens = 50;

uint32_t g_seed;
uint32_t Next() { return XorShift32(g_seed); }

// Font k of the table (id 14 + k, the first record being the default font
// 14): face k % 6, em heights 12 to 41 pixels.
int FaceOf(int k) { return k % kFaceCount; }

void WriteFontTable(const fs::path& file) {
    std::vector<tagHMIFONT> recs(kFonts);
    for (int k = 0; k < kFonts; ++k) {
        tagHMIFONT& r = recs[static_cast<size_t>(k)];
        r = tagHMIFONT{};
        r.nID = k == 0 ? 14 : 15 + k;
        CopyFixedName(r.szName, Utf8ToUtf16("Font " + std::to_string(k)).c_str(), 32);
        r.lf.lfHeight = -(12 + k / kFaceCount % 30);
        r.lf.lfWeight = 400;
        r.lf.lfCharSet = 1;
        CopyFixedName(r.lf.lfFaceName, Utf8ToUtf16(kFaces[FaceOf(k)].name).c_str(), LF_FACESIZE);
    }
    std::ofstream out(file, std::ios::binary);
    const uint32_t n = kFonts;
    out.write(reinterpret_cast<const char*>(&n), 4);
    out.write(reinterpret_cast<const char*>(recs.data()), static_cast<std::streamsize>(recs.size() * sizeof(tagHMIFONT)));
}

int IdOf(int k) { return k == 0 ? 14 : 15 + k; }

// The characters each language draws from.
std::u16string Alphabet(int lang) {
    std::u16string a;
    auto range = [&a](char32_t from, char32_t to, int step = 1) {
        for (char32_t c = from; c <= to; c += static_cast<char32_t>(step)) a += static_cast<char16_t>(c);
    };
    switch (lang) {
    case 0: range(u'a', u'z'); range(u'A', u'Z'); range(u'0', u'9'); a += u"     .,:"; break;
    case 1: range(0x4E00, 0x4E00 + 3000 * 7, 7); break;                       // 3,000 ideographs
    case 2: range(0x3041, 0x3096); range(0x30A1, 0x30FA); range(0x4E00, 0x4E00 + 600 * 11, 11); break;
    case 3: range(0xAC00, 0xAC00 + 800 * 13, 13); a += u"  "; break;          // 800 Hangul syllables
    case 4: range(u'a', u'z'); a += u"äöüßÄÖÜ    "; break;
    case 5: range(0x0410, 0x044F); a += u"    "; break;
    case 6: range(u'a', u'z'); a += u"éèêàçùôî    "; break;
    default: range(u'a', u'z'); a += u"ñáéíóú¿¡    "; break;
    }
    return a;
}

struct Project {
    fs::path dir, texts;
    // face -> the characters its texts use
    std::map<int, std::set<char16_t>> faceChars;
};

// The texts file: 50 screens, each text with a font per language (CJK
// languages in the CJK fonts, the others in the Latin ones).
Project MakeProject(size_t count) {
    Project p;
    p.dir = g_work / ("project-" + std::to_string(count));
    fs::create_directories(p.dir);
    WriteFontTable(p.dir / "Font.hft");
    std::vector<int> cjkFonts, latinFonts;
    for (int k = 0; k < 48; ++k) (kFaces[FaceOf(k)].cjk ? cjkFonts : latinFonts).push_back(k);
    std::u16string alphabets[8];
    for (int l = 0; l < 8; ++l) alphabets[l] = Alphabet(l);
    g_seed = 88172645u;
    p.texts = g_work / ("texts-" + std::to_string(count) + ".txt");
    std::ofstream out(p.texts, std::ios::binary);
    const size_t perScreen = (count + kScreens - 1) / kScreens;
    for (size_t i = 0; i < count; ++i) {
        if (i % perScreen == 0) out << "screen S" << i / perScreen << "\n";
        std::string ids, line;
        for (int l = 0; l < 8; ++l) {
            const bool cjk = l >= 1 && l <= 3;
            const std::vector<int>& pool = cjk ? cjkFonts : latinFonts;
            const int k = pool[Next() % pool.size()];
            ids += (l ? "," : "") + std::to_string(IdOf(k));
            std::u16string piece;
            const int n = 10 + static_cast<int>(Next() % 21);
            for (int c = 0; c < n; ++c) piece += alphabets[l][Next() % alphabets[l].size()];
            p.faceChars[FaceOf(k)].insert(piece.begin(), piece.end());
            line += "\t" + Utf16ToUtf8(piece);
        }
        out << ids << line << "\n";
    }
    return p;
}

void MakeProfile() {
    const fs::path fonts = g_work / "profile" / "Fonts";
    fs::create_directories(fonts);
    for (const Face& f : kFaces) {
        const fs::path src = fs::path("/usr/share/fonts") / f.file;
        std::error_code ec;
        fs::create_symlink(src, fonts / src.filename(), ec);
    }
    std::ofstream(g_work / "profile" / "profile.ini") << "[Profile]\nIconTitleFont=WenQuanYi Zen Hei,-12,400,0\n";
}

struct Peak {
    std::vector<long> bytes;
};
std::map<std::string, Peak> g_peaks;

// One studio compile; its seconds, its peak memory noted under `name`.
double Compile(const std::string& name, const Project& p, const fs::path& out, const std::string& target,
               bool incremental, const fs::path& bin = g_bin) {
    std::vector<std::string> argv = {(bin / "tamsel-studio").string(), "--profile", (g_work / "profile").string(),
                                     "--languages", "8", "compile", p.dir.string(), "--texts", p.texts.string(),
                                     "--out", out.string(), "--target", target};
    if (incremental) argv.push_back("--incremental");
    long peak = 0;
    const double s = sidebyside::RunChild(argv, &peak);
    if (s < 0) {
        std::fprintf(stderr, "bench_compile: %s failed\n", name.c_str());
        std::exit(1);
    }
    g_peaks[name].bytes.push_back(peak);
    return s;
}

// The cuts of a TrueType compile: one per face, to the characters of its
// texts (what the compile hands the subsetting bridge for that face).
fs::path WriteCuts(const Project& p, const fs::path& outDir) {
    const fs::path cuts = g_work / ("cuts-" + p.dir.filename().string() + ".txt");
    std::ofstream list(cuts, std::ios::binary);
    fs::create_directories(outDir);
    for (const auto& fc : p.faceChars) {
        const Face& f = kFaces[fc.first];
        const fs::path chars = g_work / ("chars-" + std::to_string(fc.first) + "-" + p.dir.filename().string());
        std::ofstream(chars, std::ios::binary) << Utf16ToUtf8(std::u16string(fc.second.begin(), fc.second.end()));
        const fs::path src = fs::path("/usr/share/fonts") / f.file;
        list << src.string() << "\t0\t" << chars.string() << "\t"
             << (outDir / (std::string(f.name) + src.extension().string())).string() << "\n";
    }
    return cuts;
}

// fontTools' own seconds for the cuts, measured inside its process: with
// the import of fontTools.subset, which the compile pays too, and (in
// *cutsOnly) without it. On the interpreter library the studio embeds, or
// with `program` in Debian's python3 program.
double FontToolsCuts(const fs::path& cuts, double* cutsOnly, bool program) {
    const fs::path result = g_work / "fonttools-seconds.txt";
    const std::string runner = program ? "/usr/bin/python3" : (g_bin / "bench_embedded_python").string();
    const std::vector<std::string> argv = {runner, (fs::path(TAMSEL_BENCH_DIR) / "fonttools_cuts.py").string(),
                                           TAMSEL_SCRIPT_DIR, cuts.string()};
    if (sidebyside::RunChild(argv, nullptr, result.string()) < 0) {
        std::fprintf(stderr, "bench_compile: the fontTools cuts failed\n");
        std::exit(1);
    }
    double s = 0, alone = 0;
    std::ifstream(result) >> s >> alone;
    if (cutsOnly) *cutsOnly = alone;
    return s;
}

void PrintPeaks(const std::vector<std::string>& names, double limitMb) {
    for (const std::string& n : names) {
        auto it = g_peaks.find(n);
        if (it == g_peaks.end() || it->second.bytes.empty()) continue;
        const auto mm = std::minmax_element(it->second.bytes.begin(), it->second.bytes.end());
        std::printf("  peak memory, %-35s %7.1f MB   (%.1f-%.1f)", n.c_str(), *mm.second / 1048576.0,
                    *mm.first / 1048576.0, *mm.second / 1048576.0);
        if (limitMb > 0) std::printf("   target <= %.0f MB: %s", limitMb, *mm.second / 1048576.0 <= limitMb ? "met" : "NOT MET");
        std::printf("\n");
    }
}
}  // namespace

int main(int argc, char** argv) {
    sidebyside::Options opt = sidebyside::ParseOptions(argc, argv);
    bool keep = false;
    for (size_t i = 0; i < opt.rest.size(); ++i) {
        if (opt.rest[i] == "--texts" && i + 1 < opt.rest.size()) g_baseTexts = std::max(1, std::atoi(opt.rest[i + 1].c_str()));
        if (opt.rest[i] == "--keep") keep = true;
        if (opt.rest[i] == "--against" && i + 1 < opt.rest.size()) g_against = fs::absolute(opt.rest[i + 1]) / "bin";
    }
    g_bin = fs::canonical("/proc/self/exe").parent_path();
    g_work = fs::temp_directory_path() / ("tamsel-bench-compile-" + std::to_string(::getpid()));
    MakeProfile();
    sidebyside::PrintMachine(opt);
    for (int size : opt.sizes) {
        const size_t count = static_cast<size_t>(g_baseTexts) * static_cast<size_t>(size);
        const Project p = MakeProject(count);
        std::printf("\n%dx: %zu texts in 8 languages over %d screens, a table of %d fonts\n", size, count, kScreens,
                    kFonts);
        const fs::path full = g_work / "out-full", first = g_work / "out-first", rerun = g_work / "out-rerun",
                       ttf = g_work / "out-ttf", cut = g_work / "out-fonttools";
        // The folder the reruns build into, made once by a first build.
        std::error_code ec;
        fs::remove_all(rerun, ec);
        Compile("unit build, unchanged rerun", p, rerun, "qpf2", true);
        const fs::path cuts = WriteCuts(p, cut);
        // The cuts without the import, for information; the last slot is the round under way.
        std::vector<double> cutsOnly(1);
        std::vector<sidebyside::Case> cases = {
            {"QPF2 full build", [&] { return Compile("QPF2 full build", p, full, "qpf2", false); }, {}},
            {"QPF2 first unit build",
             [&] {
                 fs::remove_all(first, ec);
                 return Compile("QPF2 first unit build", p, first, "qpf2", true);
             },
             {}},
            {"QPF2 unchanged unit build", [&] { return Compile("QPF2 unchanged unit build", p, rerun, "qpf2", true); }, {}},
            {"TrueType full compile", [&] { return Compile("TrueType full compile", p, ttf, "ttf", false); }, {}},
            {"fontTools in-process, same cuts", [&] { return FontToolsCuts(cuts, &cutsOnly.back(), false); }, {}},
            {"fontTools in the python3 program", [&] { return FontToolsCuts(cuts, nullptr, true); }, {}},
        };
        // The code a change starts from, in the same rounds.
        const std::string other = " (" + g_against.parent_path().filename().string() + ")";
        const fs::path otherRerun = g_work / "out-rerun-other";
        if (!g_against.empty()) {
            fs::remove_all(otherRerun, ec);
            Compile("unit build, unchanged rerun" + other, p, otherRerun, "qpf2", true, g_against);
            cases.push_back({"QPF2 full build" + other,
                             [&] { return Compile("QPF2 full build" + other, p, full, "qpf2", false, g_against); },
                             {}});
            cases.push_back({"QPF2 first unit build" + other,
                             [&] {
                                 fs::remove_all(first, ec);
                                 return Compile("QPF2 first unit build" + other, p, first, "qpf2", true, g_against);
                             },
                             {}});
            cases.push_back({"QPF2 unchanged unit build" + other,
                             [&] {
                                 return Compile("QPF2 unchanged unit build" + other, p, otherRerun, "qpf2", true,
                                                g_against);
                             },
                             {}});
        }
        for (auto& c : cases)
            if (c.name == "fontTools in-process, same cuts") {
                auto run = c.run;
                c.run = [run, &cutsOnly] {
                    const double s = run();
                    cutsOnly.push_back(0);
                    return s;
                };
            }
        sidebyside::Alternate(cases, opt);
        sidebyside::PrintCases(cases);
        cutsOnly.pop_back();
        if (!cutsOnly.empty()) {
            cutsOnly.erase(cutsOnly.begin());  // the round not counted
            std::printf("  (of which the cuts alone, without importing fontTools: %.1f ms, %.1f-%.1f)\n",
                        sidebyside::Median(cutsOnly) * 1e3, *std::min_element(cutsOnly.begin(), cutsOnly.end()) * 1e3,
                        *std::max_element(cutsOnly.begin(), cutsOnly.end()) * 1e3);
        }
        sidebyside::PrintRatio(cases, "QPF2 first unit build", "QPF2 full build", 1.2);
        sidebyside::PrintRatio(cases, "QPF2 unchanged unit build", "QPF2 full build", 0.7);
        if (!g_against.empty()) {
            sidebyside::PrintRatio(cases, "QPF2 first unit build" + other, "QPF2 full build" + other, 1.2);
            sidebyside::PrintRatio(cases, "QPF2 unchanged unit build" + other, "QPF2 full build" + other, 0.7);
            sidebyside::PrintRatio(cases, "QPF2 first unit build", "QPF2 first unit build" + other);
            sidebyside::PrintRatio(cases, "QPF2 unchanged unit build", "QPF2 unchanged unit build" + other);
        }
        sidebyside::PrintRatio(cases, "TrueType full compile", "fontTools in-process, same cuts", 0.5);
        sidebyside::PrintRatio(cases, "TrueType full compile", "fontTools in the python3 program");
        PrintPeaks({"QPF2 full build", "QPF2 first unit build", "QPF2 unchanged unit build"}, 0);
        PrintPeaks({"TrueType full compile"}, size == 1 ? 100 : 0);
        g_peaks.clear();
        if (!keep) {
            fs::remove_all(p.dir, ec);
            fs::remove(p.texts, ec);
        }
    }
    std::error_code ec;
    if (!keep) fs::remove_all(g_work, ec);
    else std::printf("\nkept %s\n", g_work.string().c_str());
    return 0;
}
