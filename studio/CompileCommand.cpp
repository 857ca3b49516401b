// tamsel-studio compile: the panel fonts of a project, driven as the studio's
// compiler drives the module.
#include <pwd.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <map>
#include <set>
#include <tuple>
#include <vector>

#include "Coverage.h"
#include "Forgeline.h"
#include "Glyphworks.h"
#include "PanelFiles.h"
#include "ShapingCheck.h"
#include "Studio.h"
#include "Tamsel.h"
#include "TextsFile.h"
#include "Velmora.h"
#include "win/filesafety.h"
#include "win/files.h"
#include "win/wstr.h"

namespace studio {

const char* kCompileUsage =
    "  compile PROJECT --texts FILE --out DIR --target qpf2|ttf [--incremental [--verify]]\n"
    "          [--force] [--report JSON] [--strict] [--no-shaping-check]\n"
    "                         the panel fonts for the texts of FILE: QPF2 bitmap fonts (into\n"
    "                         DIR/qpf2 with --incremental) or subset TrueType fonts; a full\n"
    "                         compile empties DIR first, --incremental renders only what changed\n"
    "                         (texts, fonts, or the installed faces and settings that realise\n"
    "                         them) and what is missing or no longer what the last compile wrote\n"
    "                         (a file whose size or times moved is read again; --verify reads\n"
    "                         every file the last compile wrote).\n"
    "                         DIR must be new, empty or made by an earlier compile, and neither the\n"
    "                         project folder nor a folder above it nor the home folder; --force\n"
    "                         allows these (never the root folder). A summary follows: per file,\n"
    "                         the characters asked for and those it cannot draw; --report\n"
    "                         writes the whole report (faces asked for and realised, missing\n"
    "                         characters, glyphs too large for QPF2, glyphs from linked faces)\n"
    "                         as JSON. Every text that needs shaping (Arabic, Hebrew, the Indic\n"
    "                         scripts, Thai, combining marks) is shaped on the panel's file and on\n"
    "                         the face it was made from, and the texts shaped otherwise are listed\n"
    "                         (--no-shaping-check skips it); --strict exits with 3 when any\n"
    "                         character is lost or any text is shaped otherwise\n";

// Marks a folder that compiles made, so a later compile may empty it again.
const char kOutputMarker[] = ".tamsel-output";

namespace {
namespace fs = std::filesystem;

struct FileState {
    fs::file_time_type time;
    uintmax_t size = 0;
};

std::map<std::string, FileState> Snapshot(const fs::path& dir) {
    std::map<std::string, FileState> files;
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(dir, ec)) {
        const std::string name = e.path().filename().string();
        // The compile library's record of the last build, and the studio's mark.
        if (!e.is_regular_file(ec) || name.rfind(".forgeline-", 0) == 0 || name == kOutputMarker ||
            name == kCoverageStore)
            continue;
        files[name] = FileState{e.last_write_time(ec), e.file_size(ec)};
    }
    return files;
}

// The resolved form of a path that may not exist yet: its deepest existing
// folder resolved through links, then the rest as given.
fs::path ResolveMaybeMissing(const fs::path& path) {
    fs::path existing = path, rest;
    std::error_code ec;
    while (!existing.empty() && !fs::exists(fs::symlink_status(existing, ec))) {
        // Not name / "": that would end the folder's path in a separator.
        rest = rest.empty() ? existing.filename() : existing.filename() / rest;
        existing = existing.parent_path();
    }
    const std::string resolved = winfiles::ResolvedPath(existing.string());
    fs::path out = resolved.empty() ? existing : fs::path(resolved);
    if (!rest.empty()) out /= rest;
    return out.lexically_normal();
}

bool IsSameOrAbove(const fs::path& folder, const fs::path& path) {
    const std::string f = folder.string(), p = path.string();
    if (p == f) return true;
    const std::string prefix = f == "/" ? f : f + "/";
    return p.compare(0, prefix.size(), prefix) == 0;
}

std::string HomeFolder() {
    const char* home = std::getenv("HOME");
    if (home && *home) return home;
    const passwd* pw = ::getpwuid(::getuid());
    return pw && pw->pw_dir ? pw->pw_dir : "";
}

// An empty folder, or one that holds only what a compile killed while it
// marked the folder left (the mark's temporary): a compile made it.
bool OnlyAnUnfinishedMark(const fs::path& dir) {
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(dir, ec))
        if (!winfiles::IsStaleTemporary(e.path().filename().string(), kOutputMarker)) return false;
    return !ec;
}

// A full compile empties its folder: the folder it may be is checked here,
// and a refusal says why. Returns the folder, resolved through its links.
fs::path CheckOutputFolder(const Options& opt, const std::string& project) {
    fs::path out = fs::absolute(opt.out).lexically_normal();
    if (out.filename().empty()) out = out.parent_path();
    std::error_code ec;
    if (fs::exists(out, ec) && !fs::is_directory(out, ec))
        throw StudioError{"compile: --out '" + opt.out + "' is not a folder"};
    const fs::path resolved = ResolveMaybeMissing(out);
    auto refuse = [&](const std::string& why) {
        if (!opt.force)
            throw StudioError{"compile: refusing to use '" + opt.out + "' as the output folder: " + why +
                              "; a compile deletes what it holds (use --force to use it anyway)"};
    };
    if (resolved == fs::path("/"))
        throw StudioError{"compile: the root folder cannot be the output folder, not even with --force"};
    const std::string home = winfiles::ResolvedPath(HomeFolder());
    if (!home.empty() && resolved == fs::path(home)) refuse("it is the home folder");
    const std::string projectDir = winfiles::ResolvedPath(project);
    if (!projectDir.empty() && IsSameOrAbove(resolved, projectDir))
        refuse(resolved == fs::path(projectDir) ? "it is the project folder" : "it holds the project folder");
    if (fs::is_directory(resolved, ec) && !fs::is_regular_file(fs::symlink_status(resolved / kOutputMarker, ec)) &&
        !OnlyAnUnfinishedMark(resolved))
        refuse("it holds files that no compile wrote");
    return resolved;
}

bool MarkOutputFolder(const fs::path& dir) {
    std::error_code ec;
    fs::create_directories(dir, ec);
    if (fs::is_regular_file(fs::symlink_status(dir / kOutputMarker, ec))) return true;
    const std::string text = "Made by tamsel-studio compile: the next compile may empty this folder.\n";
    winfiles::AtomicFile marker((dir / kOutputMarker).string());
    marker.Write(text.data(), text.size());
    return marker.Commit();
}

// Progress on stderr for compiles long enough to need it.
class Progress {
public:
    explicit Progress(size_t total) : m_total(total), m_tty(isatty(2) != 0) {}
    void Step(size_t done) {
        if (m_total < 2000) return;
        const size_t pct = done * 100 / m_total;
        if (pct < m_next && done != m_total) return;
        m_next = pct + (m_tty ? 1 : 25);
        std::cerr << (m_tty ? "\r" : "") << "collecting texts: " << done << "/" << m_total << " (" << pct << "%)"
                  << (m_tty && done != m_total ? "" : "\n") << std::flush;
    }

private:
    size_t m_total, m_next = 0;
    bool m_tty;
};

}  // namespace

int RunCompile(const Options& opt, std::ostream& out, CompileOutcome* outcome) {
    winfiles::PrepareLargeHeap();
    if (opt.positional.size() != 2) throw StudioError{"compile: expected one PROJECT directory", kUsage};
    if (opt.texts.empty() || opt.out.empty()) throw StudioError{"compile: --texts FILE and --out DIR are needed", kUsage};
    if (opt.target != "qpf2" && opt.target != "ttf")
        throw StudioError{"compile: --target must be qpf2 or ttf, not '" + opt.target + "'", kUsage};
    if (opt.verify && !opt.incremental)
        throw StudioError{"compile: --verify checks what an earlier compile wrote: it needs --incremental", kUsage};
    // The texts are gone through twice and never kept whole: once to check
    // them all before anything is read into the module or written, once to
    // hand them to it.
    std::string textBytes = ReadTextsBytes(opt.texts);
    std::map<std::string, int> screenNumber;
    const size_t textCount = ScanTexts(
        textBytes, opt.texts,
        [&](const std::string& name) { screenNumber.emplace(name, static_cast<int>(screenNumber.size())); }, nullptr);
    const fs::path outFolder = CheckOutputFolder(opt, opt.positional[1]);
    OpenProjectFonts(opt, false, out);

    const bool qpf = opt.target == "qpf2";
    Progress progress(textCount);
    Font_BeginGenerate();
    ShapingCheck shapingCheck;
    size_t done = 0;
    std::u16string joined;
    ScanTexts(
        textBytes, opt.texts, [](const std::string&) {},
        [&](const ScreenText& t) {
            joined.clear();
            for (size_t lang = 0; lang < t.text.size(); ++lang) {
                if (lang) joined += kLangSeparator;
                joined += t.text[lang];
                if (static_cast<int>(lang) < getLangCount())
                    Font_AddString(t.fonts.wFontID[lang], t.text[lang].c_str());
            }
            if (opt.shapingCheck) shapingCheck.Note(t, getLangCount());
            tagMULTIFONT mf = t.fonts;
            const int screen = screenNumber[t.screen];
            if (qpf)
                MakeQPF(mf, CString(joined), 0, screen);
            else
                AddTextInfo(mf, CString(joined), 0, screen);
            progress.Step(++done);
        },
        true);
    Font_FreeMemory();
    // The texts are read once more for the shaping check, when a line needs it.
    if (!shapingCheck.needed()) std::string().swap(textBytes);

    std::error_code ec;
    // A folder that cannot take the mark cannot take the fonts either; stop
    // before anything is built, so a later compile finds it as it was.
    if (!MarkOutputFolder(outFolder))
        throw StudioError{"compile: cannot write into the output folder " + outFolder.string()};
    // A backslash in the folder's name is part of the name, never a separator.
    std::u16string dir = WindowsPath(outFolder.string());
    if (opt.incremental) {
        // The compile library is told where the last build of this folder lies.
        if (qpf) {
            std::u16string qpfDir = dir;
            if (qpfDir.find(u"\\qpf2") == std::u16string::npos) qpfDir += u"\\qpf2";
            CSingletonTpl<CQpfFontData>::getInstance()->beginBuild(qpfDir, opt.verify);
        } else {
            fs::create_directories(NativePath(dir), ec);
            CSingletonTpl<CTtfFontData>::getInstance()->beginBuild(dir, opt.verify);
        }
    }
    const std::u16string lattice = qpf && dir.find(u"\\qpf2") == std::u16string::npos ? dir + u"\\qpf2" : dir;
    const fs::path outPath = NativePath(opt.incremental ? lattice : dir);
    const std::map<std::string, FileState> before = opt.incremental ? Snapshot(outPath) : decltype(before){};
    // What the last compile found of each file; a file it has no record of
    // is made again, so that its report is made with it.
    std::vector<CoverageRecord> stored = opt.incremental ? TakeCoverageStore(outPath.string()) : decltype(stored){};
    if (opt.incremental) {
        std::set<std::u16string> known;
        for (const CoverageRecord& r : stored) known.insert(r.file);
        CQpfFontData* qpfs = CSingletonTpl<CQpfFontData>::getInstance();
        CTtfFontData* ttfs = CSingletonTpl<CTtfFontData>::getInstance();
        for (const std::u16string& f : qpf ? qpfs->recordedFiles() : ttfs->recordedFiles()) {
            if (known.count(f)) continue;
            if (qpf)
                qpfs->renderAgain(f);
            else
                ttfs->renderAgain(f);
        }
    }

    std::cerr << "building " << (qpf ? "QPF2" : "subset TrueType") << " fonts for " << textCount
              << " text(s)...\n";
    const auto start = std::chrono::steady_clock::now();
    takeCoverageReport();  // only this build's files
    CPackFontFiles packs;
    double mb = 0.0;
    if (qpf)
        mb = opt.incremental ? MakeLattice_QPF(dir, packs) : Finish_MakeQPF(packs, dir, 0);
    else
        mb = opt.incremental ? MakeVector_TTF(dir, packs) : Finish_MakeTTF(packs, dir);
    // The compile library records the subsets that were written.
    if (!qpf && opt.incremental) CSingletonTpl<CTtfFontData>::getInstance()->endBuild();
    // A full build made the folder anew.
    MarkOutputFolder(outFolder);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

    const std::map<std::string, FileState> after = Snapshot(outPath);
    int written = 0;
    for (const auto& kv : after) {
        auto was = before.find(kv.first);
        if (was != before.end() && was->second.time == kv.second.time && was->second.size == kv.second.size) continue;
        out << "wrote " << (outPath / kv.first).string() << " (" << kv.second.size << " bytes)\n";
        ++written;
    }
    for (const auto& kv : before)
        if (!after.count(kv.first)) out << "removed " << (outPath / kv.first).string() << "\n";
    if (opt.incremental)
        for (const std::u16string& f : qpf ? CSingletonTpl<CQpfFontData>::getInstance()->changedFiles()
                                           : CSingletonTpl<CTtfFontData>::getInstance()->changedFiles())
            out << "rebuilt (changed since the last build): " << (outPath / Utf16ToUtf8(f)).string() << "\n";
    out << written << " file(s) written, " << after.size() << " in " << outPath.string() << "\n";
    if (outcome) {
        outcome->folder = outPath.string();
        outcome->packs.insert(packs.begin(), packs.end());
    }
    for (const auto& kv : packs) out << "pack font " << Narrow(kv.first.c_str()) << " -> " << Narrow(kv.second.c_str()) << "\n";
    char line[96];
    snprintf(line, sizeof line, "%.3f MB of panel font data (%.1f s)\n", mb, seconds);
    out << line;

    // An incremental subset build offers the texts of pack fonts too, and
    // drops their rows (under their pack names): those fonts travel whole,
    // and are checked below.
    std::set<std::u16string> packRows;
    for (const auto& kv : packs) {
        auto pack = PackNameMap.find(kv.first);
        packRows.insert(pack == PackNameMap.end() || pack->second.empty() ? kv.first : pack->second);
    }
    const auto ofPackFonts = [&](const CoverageRecord& r) {
        if (r.subset) return packRows.count(r.key) > 0;
        return r.file.empty() && !r.facesAsked.empty() &&
               std::all_of(r.facesAsked.begin(), r.facesAsked.end(), [&](const auto& f) { return packs.count(f) > 0; });
    };
    std::vector<CoverageRecord> coverage;
    for (CoverageRecord& r : takeCoverageReport())
        if (!(opt.incremental && !qpf && ofPackFonts(r))) coverage.push_back(std::move(r));
    // The fonts of pack faces travel whole: what they lack is found from
    // the characters the compile library heard in them.
    if (!qpf)
        for (const auto& kv : packs) {
            const std::u16string chars = CSingletonTpl<CTtfFontData>::getInstance()->faceCharacters(kv.first);
            if (!chars.empty()) coverage.push_back(wholeFontCoverage(kv.first.c_str(), kv.second.c_str(), chars));
        }
    // An incremental compile remakes only some files: the others keep what
    // the last compile found.
    std::set<std::string> present;
    for (const auto& kv : after) present.insert(kv.first);
    coverage = WithUnchangedFiles(outPath.string(), std::move(coverage), std::move(stored), present);
    // Every text that needs shaping, on the files the panel now has.
    PanelFiles panelFiles(outPath, qpf, coverage, packs);
    const std::vector<ShapingFinding> shaped = shapingCheck.Run(panelFiles, textBytes, opt.texts, getLangCount());
    PrintCoverageSummary(coverage, out);
    PrintShapingSummary(shaped, qpf, out);
    if (!opt.report.empty() && WriteCoverageReport(coverage, shaped, opt.target, opt.report))
        out << "wrote the coverage report " << opt.report << "\n";
    Font_DenitLib();
    if (outcome) outcome->shaping = shaped;
    if (opt.strict) {
        bool lost = false;
        for (const CoverageRecord& r : coverage) lost = lost || LosesCharacters(r);
        if (lost || !shaped.empty()) {
            std::cerr << "tamsel-studio: compile: --strict: the panel cannot draw every character of the texts"
                      << (lost ? "" : " as it is written") << "\n";
            return kLost;
        }
    }
    return kOk;
}

}  // namespace studio
