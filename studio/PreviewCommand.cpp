// tamsel-studio preview: every screen's texts as the panel will draw them,
// from the files a compile made for it.
#include <QBuffer>
#include <QFile>
#include <QGuiApplication>

#include <filesystem>
#include <iostream>
#include <map>
#include <memory>
#include <sstream>
#include <tuple>

#include "Coverage.h"
#include "Glyphworks.h"
#include "PanelFiles.h"
#include "Preview.h"
#include "Shaping.h"
#include "Stanchion.h"
#include "Studio.h"
#include "Tamsel.h"
#include "TextsFile.h"
#include "Velmora.h"
#include "win/filesafety.h"
#include "win/profile.h"
#include "win/wstr.h"

namespace studio {

const char* kPreviewUsage =
    "  preview PROJECT --texts FILE --out DIR --png FILE [--target qpf2|ttf] [--screen NAME]\n"
    "          [--language N]\n"
    "                         compiles as compile --incremental does (nothing is rendered when DIR\n"
    "                         is current) and draws every screen's texts, one column per language,\n"
    "                         from the panel's files into one picture; characters the panel cannot\n"
    "                         draw are red boxes with their code, lines wider than the screen framed\n";

namespace {
namespace fs = std::filesystem;


// A file of the panel and what the compile said it cannot draw.
struct PanelFont {
    std::unique_ptr<preview::PanelFont> font;
    std::u32string lost;
    std::string note;  // why there is no font
};

// The panel's fonts, each opened once per size and style.
class PanelFonts {
public:
    PanelFonts(PanelFiles& files) : m_files(files) {}
    PanelFont* For(const LOGFONTW& lf) {
        const PanelFile& file = m_files.For(lf);
        const std::tuple<const PanelFile*, int, int, int> key{&file, lf.lfHeight, lf.lfWeight, lf.lfItalic};
        auto it = m_open.find(key);
        if (it != m_open.end()) return &it->second;
        PanelFont& f = m_open[key];
        if (file.record) f.lost = file.record->missing + file.record->tooLarge;
        f.note = file.note;
        if (file.name.empty()) return &f;
        const std::string read = ReadFirst(file.read);
        if (read.empty()) {
            f.note = "cannot read " + Utf16ToUtf8(file.name);
            return &f;
        }
        const QByteArray bytes(read.data(), static_cast<int>(read.size()));
        f.font = m_files.qpf() ? preview::OpenQpf2(bytes)
                               : preview::OpenOutline(bytes, lf.lfHeight, lf.lfWeight >= 600, lf.lfItalic != 0);
        if (!f.font) f.note = "Qt rejects " + Utf16ToUtf8(file.name);
        return &f;
    }

private:
    PanelFiles& m_files;
    std::map<std::tuple<const PanelFile*, int, int, int>, PanelFont> m_open;
};

// The lines of a text, one under the other.
preview::DrawnLine DrawText(PanelFont* file, const std::u16string& text) {
    std::vector<preview::DrawnLine> lines;
    size_t start = 0;
    for (;;) {
        const size_t end = text.find(u'\n', start);
        lines.push_back(preview::DrawLine(file->font.get(), shaping::FromUtf16(text.substr(start, end - start)), file->lost));
        if (end == std::u16string::npos) break;
        start = end + 1;
    }
    if (lines.size() == 1) return lines.front();
    preview::DrawnLine all;
    int w = 1, h = 0;
    for (const auto& l : lines) {
        w = std::max(w, l.image.width());
        h += l.image.height();
        all.width = std::max(all.width, l.width);
        all.marked += l.marked;
    }
    all.baseline = lines.front().baseline;
    all.image = QImage(w, h, QImage::Format_RGB32);
    all.image.fill(Qt::white);
    int y = 0;
    for (const auto& l : lines) {
        for (int row = 0; row < l.image.height(); ++row)
            std::copy_n(reinterpret_cast<const QRgb*>(l.image.constScanLine(row)), l.image.width(),
                        reinterpret_cast<QRgb*>(all.image.scanLine(y + row)));
        y += l.image.height();
    }
    return all;
}

// Qt's font engines need an application; it lives as long as the process.
void EnsureApp() {
    static int argc = 1;
    static char arg0[] = "tamsel-studio";
    static char* argv[] = {arg0, nullptr};
    if (!QGuiApplication::instance()) new QGuiApplication(argc, argv);
}
}  // namespace

int RunPreview(const Options& opt, std::ostream& out) {
    if (opt.positional.size() != 2) throw StudioError{"preview: expected one PROJECT directory", kUsage};
    if (opt.texts.empty() || opt.out.empty() || opt.png.empty())
        throw StudioError{"preview: --texts FILE, --out DIR and --png FILE are needed", kUsage};
    if (opt.language >= opt.languages)
        throw StudioError{"preview: --language must be below the project's " + std::to_string(opt.languages) +
                              " languages",
                          kUsage};
    Options compile = opt;
    if (compile.target.empty()) compile.target = "qpf2";
    compile.incremental = true;
    compile.strict = false;
    CompileOutcome made;
    const int rc = RunCompile(compile, out, &made);
    const std::string& folder = made.folder;
    if (rc != kOk && rc != kLost) return rc;
    EnsureApp();

    const TextsFile texts = ReadTextsFile(opt.texts);
    std::ostringstream quiet;
    OpenProjectFonts(opt, false, quiet);
    const auto* panel = static_cast<const CHmiSet*>(stanchion::GetAppObject(u"HmiSet"));
    preview::Sheet sheet;
    sheet.screenWidth = panel ? panel->nScreenWidth : 0;
    sheet.title = "Panel preview: " + fs::path(opt.positional[1]).filename().string() + ", " +
                  (compile.target == "qpf2" ? "QPF2 bitmap fonts" : "subset TrueType fonts") + " in " + opt.out;
    const int languages = getLangCount();
    std::vector<int> shown;
    for (int lang = 0; lang < languages; ++lang)
        if (opt.language < 0 || lang == opt.language) {
            shown.push_back(lang);
            sheet.languages.push_back("Language " + std::to_string(lang));
        }
    PanelFiles files(folder, compile.target == "qpf2", ReadCoverageStore(folder), made.packs);
    PanelFonts fonts(files);
    // The texts the compile found shaped otherwise: (texts-file line, language) -> why.
    std::map<std::pair<int, int>, std::string> shaped;
    for (const ShapingFinding& f : made.shaping) shaped.emplace(std::make_pair(f.line, f.language), f.why);
    size_t marked = 0, wide = 0, drawn = 0, misshaped = 0;
    for (const std::string& name : texts.screens) {
        if (!opt.screen.empty() && name != opt.screen) continue;
        preview::Screen screen{name, {}};
        for (const ScreenText& t : texts.texts) {
            if (t.screen != name) continue;
            preview::Row row{"line " + std::to_string(t.line), {}};
            for (int lang : shown) {
                preview::Cell cell;
                const std::u16string piece = static_cast<size_t>(lang) < t.text.size() ? t.text[lang] : u"";
                LOGFONTW lf{};
                if (piece.empty()) {
                } else if (!Font_GetLogFont(t.fonts.wFontID[lang], &lf, 0, lang)) {
                    cell.note = "font " + std::to_string(t.fonts.wFontID[lang]) + " not in the table";
                } else {
                    PanelFont* file = fonts.For(lf);
                    cell.line = DrawText(file, piece);
                    cell.drawn = true;
                    cell.note = file->note;
                    auto why = shaped.find({t.line, lang});
                    if (why != shaped.end()) {
                        cell.shaped = why->second;
                        ++misshaped;
                    }
                    ++drawn;
                    marked += cell.line.marked.size();
                    if (sheet.screenWidth > 0 && cell.line.width > sheet.screenWidth) ++wide;
                }
                row.cells.push_back(std::move(cell));
            }
            screen.rows.push_back(std::move(row));
        }
        sheet.screens.push_back(std::move(screen));
    }
    Font_DenitLib();
    if (!opt.screen.empty() && sheet.screens.empty())
        throw StudioError{"preview: no screen '" + opt.screen + "' in " + opt.texts};
    const QImage image = preview::DrawSheet(sheet);
    // Encoded in memory and put in place whole, as every file the studio writes.
    QByteArray png;
    QBuffer buffer(&png);
    winfiles::AtomicFile file(opt.png);
    if (!buffer.open(QIODevice::WriteOnly) || !image.save(&buffer, "PNG") ||
        !file.Write(png.constData(), static_cast<size_t>(png.size())) || !file.Commit())
        throw StudioError{"preview: cannot write " + opt.png};
    out << "preview: " << drawn << " text(s) drawn, " << marked << " character(s) the panel cannot draw, " << misshaped
        << " text(s) shaped otherwise, " << wide << " line(s) wider than the screen; wrote " << opt.png << "\n";
    return rc;
}

}  // namespace studio
