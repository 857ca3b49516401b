// tamsel-studio compile: the panel fonts of a project, driven as the studio's
// compiler drives the module.
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <map>

#include "Forgeline.h"
#include "Studio.h"
#include "Tamsel.h"
#include "TextsFile.h"
#include "Velmora.h"
#include "win/files.h"
#include "win/wstr.h"

namespace studio {

const char* kCompileUsage =
    "  compile PROJECT --texts FILE --out DIR --target qpf2|ttf [--incremental]\n"
    "                         the panel fonts for the texts of FILE: QPF2 bitmap fonts (into\n"
    "                         DIR/qpf2 with --incremental) or subset TrueType fonts; a full\n"
    "                         compile empties DIR first, --incremental renders only what changed\n";

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
        // The compile library's own record of the last build.
        if (!e.is_regular_file(ec) || name.rfind(".forgeline-", 0) == 0) continue;
        files[name] = FileState{e.last_write_time(ec), e.file_size(ec)};
    }
    return files;
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

int RunCompile(const Options& opt, std::ostream& out) {
    if (opt.positional.size() != 2) throw StudioError{"compile: expected one PROJECT directory", kUsage};
    if (opt.texts.empty() || opt.out.empty()) throw StudioError{"compile: --texts FILE and --out DIR are needed", kUsage};
    if (opt.target != "qpf2" && opt.target != "ttf")
        throw StudioError{"compile: --target must be qpf2 or ttf, not '" + opt.target + "'", kUsage};
    const TextsFile texts = ReadTextsFile(opt.texts);
    OpenProjectFonts(opt, false, out);

    const bool qpf = opt.target == "qpf2";
    std::map<std::string, int> screenNumber;
    for (const std::string& name : texts.screens) screenNumber.emplace(name, static_cast<int>(screenNumber.size()));
    Progress progress(texts.texts.size());
    Font_BeginGenerate();
    for (size_t i = 0; i < texts.texts.size(); ++i) {
        const ScreenText& t = texts.texts[i];
        std::u16string joined;
        for (size_t lang = 0; lang < t.text.size(); ++lang) {
            if (lang) joined += kLangSeparator;
            joined += t.text[lang];
            if (static_cast<int>(lang) < getLangCount()) Font_AddString(t.fonts.wFontID[lang], t.text[lang].c_str());
        }
        tagMULTIFONT mf = t.fonts;
        const int screen = screenNumber[t.screen];
        if (qpf)
            MakeQPF(mf, CString(joined.c_str()), 0, screen);
        else
            AddTextInfo(mf, CString(joined.c_str()), 0, screen);
        progress.Step(i + 1);
    }
    Font_FreeMemory();

    std::error_code ec;
    std::u16string dir = Utf8ToUtf16(fs::absolute(opt.out).lexically_normal().string());
    while (dir.size() > 1 && dir.back() == u'/') dir.pop_back();
    if (opt.incremental) {
        // The compile library is told where the last build of this folder lies.
        if (qpf) {
            std::u16string qpfDir = dir;
            if (qpfDir.find(u"\\qpf2") == std::u16string::npos) qpfDir += u"\\qpf2";
            CSingletonTpl<CQpfFontData>::getInstance()->beginBuild(qpfDir);
        } else {
            fs::create_directories(NativePath(dir), ec);
            CSingletonTpl<CTtfFontData>::getInstance()->beginBuild(dir);
        }
    }
    const std::u16string lattice = qpf && dir.find(u"\\qpf2") == std::u16string::npos ? dir + u"\\qpf2" : dir;
    const fs::path outPath = NativePath(opt.incremental ? lattice : dir);
    const std::map<std::string, FileState> before = opt.incremental ? Snapshot(outPath) : decltype(before){};

    std::cerr << "building " << (qpf ? "QPF2" : "subset TrueType") << " fonts for " << texts.texts.size()
              << " text(s)...\n";
    const auto start = std::chrono::steady_clock::now();
    CPackFontFiles packs;
    double mb = 0.0;
    if (qpf)
        mb = opt.incremental ? MakeLattice_QPF(dir, packs) : Finish_MakeQPF(packs, dir, 0);
    else
        mb = opt.incremental ? MakeVector_TTF(dir, packs) : Finish_MakeTTF(packs, dir);
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
    out << written << " file(s) written, " << after.size() << " in " << outPath.string() << "\n";
    for (const auto& kv : packs) out << "pack font " << Narrow(kv.first.c_str()) << " -> " << Narrow(kv.second.c_str()) << "\n";
    char line[96];
    snprintf(line, sizeof line, "%.3f MB of panel font data (%.1f s)\n", mb, seconds);
    out << line;
    Font_DenitLib();
    return kOk;
}

}  // namespace studio
