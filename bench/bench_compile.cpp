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
// With --shaping: what the shaping check costs. Full compiles to both
// targets with the check and without it (--no-shaping-check), of that
// project (target: at most 1.15x) and of one in English, Arabic, Hebrew and
// Devanagari over Noto Sans Arabic, Hebrew and Devanagari and DejaVu Sans,
// where every text but the English ones is checked (the check's share given,
// and its time beside hb-shape shaping the same lines once on their faces).
//
//   bench_compile [--rounds N] [--sizes 1,2,4] [--only TEXT] [--texts N] [--keep] [--against BUILD]
//                 [--shaping]
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

enum Script { kLatin, kCjk, kArabic, kHebrew, kDevanagari };
struct Face {
    const char* name;
    const char* file;  // under /usr/share/fonts
    Script script;
};
// A project's faces, and the script of each of its languages.
struct Suite {
    const char* title;
    std::vector<Face> faces;
    std::vector<Script> languages;
};
const Suite kCjkSuite = {"8 languages (Latin, Cyrillic and CJK)",
                         {{"WenQuanYi Zen Hei", "truetype/wqy/wqy-zenhei.ttc", kCjk},
                          {"DejaVu Sans", "truetype/dejavu/DejaVuSans.ttf", kLatin},
                          {"DejaVu Serif", "truetype/dejavu/DejaVuSerif.ttf", kLatin},
                          {"Liberation Sans", "truetype/liberation2/LiberationSans-Regular.ttf", kLatin},
                          {"Liberation Serif", "truetype/liberation2/LiberationSerif-Regular.ttf", kLatin},
                          {"Liberation Mono", "truetype/liberation2/LiberationMono-Regular.ttf", kLatin}},
                         {kLatin, kCjk, kCjk, kCjk, kLatin, kLatin, kLatin, kLatin}};
const Suite kComplexSuite = {"English, Arabic, Hebrew and Devanagari",
                             {{"Noto Sans Arabic", "truetype/noto/NotoSansArabic-Regular.ttf", kArabic},
                              {"Noto Sans Hebrew", "truetype/noto/NotoSansHebrew-Regular.ttf", kHebrew},
                              {"Noto Sans Devanagari", "truetype/noto/NotoSansDevanagari-Regular.ttf", kDevanagari},
                              {"DejaVu Sans", "truetype/dejavu/DejaVuSans.ttf", kLatin},
                              {"Noto Sans Arabic", "truetype/noto/NotoSansArabic-Regular.ttf", kArabic},
                              {"Liberation Sans", "truetype/liberation2/LiberationSans-Regular.ttf", kLatin}},
                             {kLatin, kArabic, kHebrew, kDevanagari}};
const Suite* g_suite = &kCjkSuite;
const std::vector<Face>& Faces() { return g_suite->faces; }
constexpr int kFonts = 200;
constexpr int kScreens = 50;

uint32_t g_seed;
uint32_t Next() { return XorShift32(g_seed); }

// Font k of the table (id 14 + k, the first record being the default font
// 14): face k % 6, em heights 12 to 41 pixels.
int FaceOf(int k) { return k % static_cast<int>(Faces().size()); }

void WriteFontTable(const fs::path& file) {
    std::vector<tagHMIFONT> recs(kFonts);
    for (int k = 0; k < kFonts; ++k) {
        tagHMIFONT& r = recs[static_cast<size_t>(k)];
        r = tagHMIFONT{};
        r.nID = k == 0 ? 14 : 15 + k;
        CopyFixedName(r.szName, Utf8ToUtf16("Font " + std::to_string(k)).c_str(), 32);
        r.lf.lfHeight = -(12 + k / static_cast<int>(Faces().size()) % 30);
        r.lf.lfWeight = 400;
        r.lf.lfCharSet = 1;
        CopyFixedName(r.lf.lfFaceName, Utf8ToUtf16(Faces()[static_cast<size_t>(FaceOf(k))].name).c_str(), LF_FACESIZE);
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
    if (g_suite == &kComplexSuite) {
        switch (g_suite->languages[static_cast<size_t>(lang)]) {
        case kArabic: range(0x0627, 0x063A); range(0x0641, 0x064A); a += u"  ،"; break;
        case kHebrew: range(0x05D0, 0x05EA); a += u"   "; break;
        // Consonants, vowel signs and the virama: conjuncts and reordered matras.
        case kDevanagari: range(0x0915, 0x0939); range(0x093E, 0x094D); a += u"\u094D\u094D   "; break;
        default: range(u'a', u'z'); range(u'A', u'Z'); range(u'0', u'9'); a += u"     .,:"; break;
        }
        return a;
    }
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
    const int languages = static_cast<int>(g_suite->languages.size());
    // The fonts of each script.
    std::map<Script, std::vector<int>> fonts;
    for (int k = 0; k < 48; ++k) fonts[Faces()[static_cast<size_t>(FaceOf(k))].script].push_back(k);
    std::u16string alphabets[8];
    for (int l = 0; l < languages; ++l) alphabets[l] = Alphabet(l);
    g_seed = 88172645u;
    p.texts = g_work / ("texts-" + std::to_string(count) + ".txt");
    std::ofstream out(p.texts, std::ios::binary);
    const size_t perScreen = (count + kScreens - 1) / kScreens;
    for (size_t i = 0; i < count; ++i) {
        if (i % perScreen == 0) out << "screen S" << i / perScreen << "\n";
        std::string ids, line;
        for (int l = 0; l < languages; ++l) {
            const std::vector<int>& pool = fonts[g_suite->languages[static_cast<size_t>(l)]];
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
    for (const Suite* suite : {&kCjkSuite, &kComplexSuite})
        for (const Face& f : suite->faces) {
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
               bool incremental, bool check = true, const fs::path& bin = g_bin) {
    std::vector<std::string> argv = {(bin / "tamsel-studio").string(), "--profile", (g_work / "profile").string(),
                                     "--languages", std::to_string(g_suite->languages.size()), "compile",
                                     p.dir.string(), "--texts", p.texts.string(), "--out", out.string(), "--target",
                                     target};
    if (incremental) argv.push_back("--incremental");
    if (!check) argv.push_back("--no-shaping-check");
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
        const Face& f = Faces()[static_cast<size_t>(fc.first)];
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
// The distinct pieces of one language of a texts file, a line each, for
// hb-shape, which shapes each line of its text file on its own.
fs::path LinesOf(const Project& p, int lang) {
    std::ifstream in(p.texts, std::ios::binary);
    std::set<std::string> lines;
    for (std::string line; std::getline(in, line);) {
        if (line.rfind("screen ", 0) == 0) continue;
        size_t at = 0;
        for (int field = 0; field <= lang + 1 && at != std::string::npos; ++field) {
            const size_t tab = line.find('\t', at);
            if (field == lang + 1) lines.insert(line.substr(at, tab == std::string::npos ? tab : tab - at));
            at = tab == std::string::npos ? tab : tab + 1;
        }
    }
    const fs::path file = g_work / ("lines-" + std::to_string(lang) + "-" + p.dir.filename().string());
    std::ofstream out(file, std::ios::binary);
    for (const std::string& l : lines) out << l << "\n";
    return file;
}

// hb-shape over the lines of each complex language, on its source face,
// with the check's features: what HarfBuzz's own tool takes to shape them once.
double HbShape(const Project& p) {
    double total = 0;
    for (int lang = 1; lang < static_cast<int>(g_suite->languages.size()); ++lang) {
        const Script script = g_suite->languages[static_cast<size_t>(lang)];
        const Face* face = nullptr;
        for (const Face& f : Faces())
            if (f.script == script) face = &f;
        const std::vector<std::string> argv = {"hb-shape", "--features=-liga,-clig,-dlig,-kern",
                                               "--text-file=" + LinesOf(p, lang).string(),
                                               (fs::path("/usr/share/fonts") / face->file).string()};
        const double s = sidebyside::RunChild(argv);
        if (s < 0) {
            std::fprintf(stderr, "bench_compile: hb-shape failed\n");
            std::exit(1);
        }
        total += s;
    }
    return total;
}

// Full compiles with the shaping check and without it, on both projects.
int ShapingCheckCost(const sidebyside::Options& opt, bool keep) {
    std::error_code ec;
    for (int size : opt.sizes) {
        const size_t count = static_cast<size_t>(g_baseTexts) * static_cast<size_t>(size);
        for (const Suite* suite : {&kCjkSuite, &kComplexSuite}) {
            g_suite = suite;
            const Project p = MakeProject(count);
            std::printf("\n%dx: %zu texts in %s over %d screens, a table of %d fonts\n", size, count, suite->title,
                        kScreens, kFonts);
            std::vector<sidebyside::Case> cases;
            for (const char* target : {"qpf2", "ttf"})
                for (bool check : {true, false}) {
                    const std::string name = std::string(target) == "qpf2" ? "QPF2 full build" : "TrueType full compile";
                    const std::string label = name + (check ? "" : ", no shaping check");
                    // A folder of its own: a full build first empties what the last one left.
                    const fs::path out = g_work / ("out-" + std::string(target) + (check ? "-checked" : "-unchecked"));
                    cases.push_back({label, [=, &p] { return Compile(label, p, out, target, false, check); }, {}});
                }
            const bool complex = suite == &kComplexSuite;
            if (complex) cases.push_back({"hb-shape, the lines once on their faces", [&p] { return HbShape(p); }, {}});
            sidebyside::Alternate(cases, opt);
            sidebyside::PrintCases(cases);
            for (const char* name : {"QPF2 full build", "TrueType full compile"}) {
                sidebyside::PrintRatio(cases, name, std::string(name) + ", no shaping check", complex ? 0 : 1.15);
                if (!complex) continue;
                double with = 0, without = 0;
                for (const sidebyside::Case& c : cases) {
                    if (c.name == name) with = sidebyside::Median(c.seconds);
                    if (c.name == std::string(name) + ", no shaping check") without = sidebyside::Median(c.seconds);
                }
                double hb = 0;
                for (const sidebyside::Case& c : cases)
                    if (c.name.rfind("hb-shape", 0) == 0) hb = sidebyside::Median(c.seconds);
                std::printf("  the check's share of the %s: %.0f%% (%.0f ms of %.0f ms); %.2fx hb-shape shaping the lines once\n",
                            name, with > 0 ? (with - without) / with * 100 : 0.0, (with - without) * 1e3, with * 1e3,
                            hb > 0 ? (with - without) / hb : 0.0);
            }
            if (!keep) {
                fs::remove_all(p.dir, ec);
                fs::remove(p.texts, ec);
            }
        }
    }
    if (!keep) fs::remove_all(g_work, ec);
    return 0;
}
}  // namespace

int main(int argc, char** argv) {
    sidebyside::Options opt = sidebyside::ParseOptions(argc, argv);
    bool keep = false, shaping = false;
    for (size_t i = 0; i < opt.rest.size(); ++i) {
        if (opt.rest[i] == "--texts" && i + 1 < opt.rest.size()) g_baseTexts = std::max(1, std::atoi(opt.rest[i + 1].c_str()));
        if (opt.rest[i] == "--keep") keep = true;
        if (opt.rest[i] == "--shaping") shaping = true;
        if (opt.rest[i] == "--against" && i + 1 < opt.rest.size()) g_against = fs::absolute(opt.rest[i + 1]) / "bin";
    }
    g_bin = fs::canonical("/proc/self/exe").parent_path();
    g_work = fs::temp_directory_path() / ("tamsel-bench-compile-" + std::to_string(::getpid()));
    MakeProfile();
    sidebyside::PrintMachine(opt);
    if (shaping) return ShapingCheckCost(opt, keep);
    for (int size : opt.sizes) {
        const size_t count = static_cast<size_t>(g_baseTexts) * static_cast<size_t>(size);
        const Project p = MakeProject(count);
        std::printf("\n%dx: %zu texts in %s over %d screens, a table of %d fonts\n", size, count, g_suite->title,
                    kScreens, kFonts);
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
            Compile("unit build, unchanged rerun" + other, p, otherRerun, "qpf2", true, true, g_against);
            cases.push_back({"QPF2 full build" + other,
                             [&] { return Compile("QPF2 full build" + other, p, full, "qpf2", false, true, g_against); },
                             {}});
            cases.push_back({"QPF2 first unit build" + other,
                             [&] {
                                 fs::remove_all(first, ec);
                                 return Compile("QPF2 first unit build" + other, p, first, "qpf2", true, true, g_against);
                             },
                             {}});
            cases.push_back({"QPF2 unchanged unit build" + other,
                             [&] {
                                 return Compile("QPF2 unchanged unit build" + other, p, otherRerun, "qpf2", true, true,
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
