#include "ShapingCheck.h"

#include <algorithm>
#include <ostream>

#include "Shaping.h"
#include "Tamsel.h"
#include "win/wstr.h"

namespace studio {

namespace {
constexpr size_t kShown = 8;

std::u32string ToUtf32(const std::u16string& s) {
    std::u32string out;
    for (size_t i = 0; i < s.size(); ++i) {
        char32_t c = s[i];
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < s.size() && s[i + 1] >= 0xDC00 && s[i + 1] < 0xE000) {
            c = 0x10000 + ((c - 0xD800) << 10) + (s[i + 1] - 0xDC00);
            ++i;
        }
        out += c;
    }
    return out;
}

std::string Where(const ShapingFinding& f) {
    return f.screen + " line " + std::to_string(f.line) + ", language " + std::to_string(f.language) + " (" +
           f.script + ")";
}
}  // namespace

// A file of the panel and the face it was made from, opened once.
struct ShapingCheck::Faces {
    struct Pair {
        std::unique_ptr<shaping::Face> source, panel;
        std::map<std::u16string, shaping::LineCheck> lines;
    };
    std::map<const PanelFile*, Pair> open;

    Pair* For(const PanelFile& file, const LOGFONTW& lf, bool qpf) {
        auto it = open.find(&file);
        if (it != open.end()) return it->second.source && it->second.panel ? &it->second : nullptr;
        Pair& p = open[&file];
        // No file, or a whole font (the face itself): nothing to compare.
        if (file.name.empty() || file.whole || file.sourcePath.empty()) return nullptr;
        p.source = shaping::Face::FromFile(file.sourcePath, file.sourceIndex, std::max(1, file.em));
        if (!p.source) return nullptr;
        if (!qpf && file.em <= 0) p.source->Resize(p.source->EmForCell(lf.lfHeight));
        const std::string bytes = ReadFirst(file.read);
        if (bytes.empty()) return nullptr;
        p.panel = qpf ? shaping::Face::FromQpf2(bytes, p.source.get())
                      : shaping::Face::FromBytes(bytes, p.source->pixelEm());
        return p.panel ? &p : nullptr;
    }
};

ShapingCheck::ShapingCheck() : m_faces(std::make_unique<Faces>()) {}
ShapingCheck::~ShapingCheck() = default;

void ShapingCheck::Add(const ScreenText& text, int languages) {
    for (int lang = 0; lang < languages && static_cast<size_t>(lang) < text.text.size(); ++lang) {
        const std::u16string& piece = text.text[static_cast<size_t>(lang)];
        // A panel lays out each line of a text on its own.
        size_t start = 0;
        while (start <= piece.size()) {
            size_t end = piece.find(u'\n', start);
            if (end == std::u16string::npos) end = piece.size();
            std::u16string line = piece.substr(start, end - start);
            line.erase(std::remove(line.begin(), line.end(), u'\r'), line.end());
            if (!line.empty() && shaping::NeedsShaping(ToUtf32(line)))
                m_lines[{text.fonts.wFontID[lang], lang, line}].emplace_back(text.screen, text.line);
            start = end + 1;
        }
    }
}

std::vector<ShapingFinding> ShapingCheck::Run(PanelFiles& files) {
    std::vector<ShapingFinding> findings;
    for (const auto& kv : m_lines) {
        const int fontId = std::get<0>(kv.first), lang = std::get<1>(kv.first);
        const std::u16string& line = std::get<2>(kv.first);
        LOGFONTW lf{};
        if (!Font_GetLogFont(fontId, &lf, 0, lang)) continue;
        const PanelFile& file = files.For(lf);
        Faces::Pair* faces = m_faces->For(file, lf, files.qpf());
        if (!faces) continue;
        auto checked = faces->lines.find(line);
        if (checked == faces->lines.end())
            checked = faces->lines
                          .emplace(line, shaping::CheckLine(ToUtf32(line), *faces->source, *faces->panel, files.qpf()))
                          .first;
        if (!checked->second.differs) continue;
        for (const auto& place : kv.second) {
            ShapingFinding f;
            f.file = file.name;
            f.screen = place.first;
            f.line = place.second;
            f.language = lang;
            f.script = shaping::ScriptName(checked->second.script);
            f.why = checked->second.why;
            f.text = line;
            findings.push_back(std::move(f));
        }
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
