#include "ShapingCheck.h"

#include <absl/container/flat_hash_map.h>
#include <absl/hash/hash.h>

#include <algorithm>
#include <atomic>
#include <deque>
#include <string_view>
#include <thread>
#include <map>
#include <ostream>
#include <tuple>

#include "Shaping.h"
#include "Tamsel.h"
#include "win/wstr.h"

namespace studio {

namespace {
constexpr size_t kShown = 8;


std::string Where(const ShapingFinding& f) {
    return f.screen + " line " + std::to_string(f.line) + ", language " + std::to_string(f.language) + " (" +
           f.script + ")";
}
}  // namespace

// Calls `line` for each line of the piece that needs shaping (a panel lays
// out each line of a text on its own; carriage returns are not drawn).
template <class F>
void ForEachLineToShape(const std::u16string& piece, F&& line) {
    size_t start = 0;
    while (start <= piece.size()) {
        size_t end = piece.find(u'\n', start);
        if (end == std::u16string::npos) end = piece.size();
        if (shaping::NeedsShaping(piece.data() + start, end - start)) {
            std::u16string text = piece.substr(start, end - start);
            text.erase(std::remove(text.begin(), text.end(), u'\r'), text.end());
            if (!text.empty()) line(text);
        }
        start = end + 1;
    }
}

// A file of the panel and the face it was made from, opened once.
struct Faces {
    std::unique_ptr<shaping::Face> source, panel;
};

struct ShapingCheck::State {
    // (font id, language) -> the panel's file and its faces (null: nothing to compare).
    absl::flat_hash_map<std::pair<int, int>, std::pair<const PanelFile*, Faces*>> fonts;
    std::map<const PanelFile*, Faces> faces;

    std::pair<const PanelFile*, Faces*> For(PanelFiles& files, int fontId, int lang) {
        auto it = fonts.find({fontId, lang});
        if (it != fonts.end()) return it->second;
        std::pair<const PanelFile*, Faces*> found{nullptr, nullptr};
        LOGFONTW lf{};
        if (Font_GetLogFont(fontId, &lf, 0, lang)) {
            const PanelFile& file = files.For(lf);
            found.first = &file;
            found.second = Open(file, lf, files.qpf());
        }
        return fonts[{fontId, lang}] = found;
    }

    Faces* Open(const PanelFile& file, const LOGFONTW& lf, bool qpf) {
        auto known = faces.find(&file);
        if (known != faces.end()) return known->second.panel ? &known->second : nullptr;
        Faces& f = faces[&file];
        // No file, or a whole font (the face itself): nothing to compare.
        if (file.name.empty() || file.whole || file.sourcePath.empty()) return nullptr;
        f.source = shaping::Face::FromFile(file.sourcePath, file.sourceIndex, std::max(1, file.em));
        if (!f.source) return nullptr;
        if (!qpf && file.em <= 0) f.source->Resize(f.source->EmForCell(lf.lfHeight));
        const std::string bytes = ReadFirst(file.read);
        if (bytes.empty()) return nullptr;
        f.panel = qpf ? shaping::Face::FromQpf2(bytes, f.source.get())
                      : shaping::Face::FromBytes(bytes, f.source->pixelEm());
        return f.panel ? &f : nullptr;
    }
};

namespace {
// A distinct line on a file of the panel, and what the check finds.
struct Job {
    const Faces* faces;
    const PanelFile* file;
    std::u16string line;
    shaping::LineCheck result;
};
// Where a line stands in the texts.
struct Place {
    uint32_t job, screen;
    int line, language;
};

// The jobs on every core: each is HarfBuzz shaping a line twice, and they
// share nothing but the faces, which HarfBuzz reads from any thread.
void RunJobs(std::deque<Job>& jobs, bool qpf) {
    const size_t threads = std::min<size_t>({std::max(1u, std::thread::hardware_concurrency()), 8, jobs.size() / 64 + 1});
    std::atomic<size_t> next{0};
    const auto work = [&] {
        for (size_t i; (i = next.fetch_add(1)) < jobs.size();) {
            Job& j = jobs[i];
            j.result = shaping::CheckLine(shaping::FromUtf16(j.line), *j.faces->source, *j.faces->panel, qpf);
        }
    };
    std::vector<std::thread> pool;
    for (size_t t = 1; t < threads; ++t) pool.emplace_back(work);
    work();
    for (std::thread& t : pool) t.join();
}
}  // namespace

ShapingCheck::ShapingCheck() : m_state(std::make_unique<State>()) {}
ShapingCheck::~ShapingCheck() = default;

void ShapingCheck::Note(const ScreenText& text, int languages) {
    if (m_needed) return;
    for (int lang = 0; lang < languages && static_cast<size_t>(lang) < text.text.size() && !m_needed; ++lang) {
        const std::u16string& piece = text.text[static_cast<size_t>(lang)];
        m_needed = shaping::NeedsShaping(piece.data(), piece.size());
    }
}

std::vector<ShapingFinding> ShapingCheck::Run(PanelFiles& files, const std::string& textBytes,
                                              const std::string& textsName, int languages) {
    std::vector<ShapingFinding> findings;
    if (!m_needed) return findings;
    State& s = *m_state;
    // Texts repeat: each distinct line is checked once per file. The jobs
    // never move, so the index can look at their lines.
    std::deque<Job> jobs;
    absl::flat_hash_map<std::pair<const Faces*, std::u16string_view>, uint32_t> jobOf;
    std::vector<Place> places;
    std::vector<std::string> screens;
    ScanTexts(
        textBytes, textsName, [&screens](const std::string& name) { screens.push_back(name); },
        [&](const ScreenText& t) {
            for (int lang = 0; lang < languages && static_cast<size_t>(lang) < t.text.size(); ++lang)
                ForEachLineToShape(t.text[static_cast<size_t>(lang)], [&](const std::u16string& line) {
                    const auto font = s.For(files, t.fonts.wFontID[lang], lang);
                    if (!font.second) return;
                    const Faces* faces = font.second;
                    auto it = jobOf.find(std::make_pair(faces, std::u16string_view(line)));
                    if (it == jobOf.end()) {
                        jobs.push_back({faces, font.first, line, {}});
                        it = jobOf.emplace(std::make_pair(faces, std::u16string_view(jobs.back().line)),
                                           static_cast<uint32_t>(jobs.size() - 1))
                                 .first;
                    }
                    places.push_back({it->second, static_cast<uint32_t>(screens.size() - 1), t.line, lang});
                });
        },
        true);
    decltype(jobOf)().swap(jobOf);
    RunJobs(jobs, files.qpf());
    for (const Place& p : places) {
        const Job& j = jobs[p.job];
        if (!j.result.differs) continue;
        ShapingFinding f;
        f.file = j.file->name;
        f.screen = screens[p.screen];
        f.line = p.line;
        f.language = p.language;
        f.script = shaping::ScriptName(j.result.script);
        f.why = j.result.why;
        f.text = j.line;
        findings.push_back(std::move(f));
    }
    std::sort(findings.begin(), findings.end(), [](const ShapingFinding& a, const ShapingFinding& b) {
        return std::tie(a.file, a.line, a.language, a.text) < std::tie(b.file, b.line, b.language, b.text);
    });
    return findings;
}

void PrintShapingSummary(const std::vector<ShapingFinding>& findings, bool qpf, std::ostream& out) {
    if (findings.empty()) return;
    out << "shaping: " << findings.size() << " text(s) shaped differently on the panel: ";
    for (size_t i = 0; i < findings.size() && i < kShown; ++i) out << (i ? ", " : "") << Where(findings[i]);
    out << (findings.size() > kShown ? ", …\n" : "\n");
    for (size_t i = 0; i < findings.size();) {
        size_t j = i;
        while (j < findings.size() && findings[j].file == findings[i].file) ++j;
        out << "  " << Utf16ToUtf8(findings[i].file) << ": " << j - i << " text(s), " << findings[i].why << ": "
            << Where(findings[i]) << " \"" << Utf16ToUtf8(findings[i].text) << "\"" << (j - i > 1 ? " …" : "") << "\n";
        i = j;
    }
    out << (qpf ? "shaping: to show them as written, ship their faces whole through the font pack, or compile the "
                  "project to TrueType\n"
                : "shaping: to show them as written, ship their faces whole through the font pack\n");
}

}  // namespace studio
