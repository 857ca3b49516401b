// tamsel-studio fonts ...: the project font table.
#include <algorithm>
#include <iomanip>
#include <iostream>

#include "Studio.h"
#include "Tamsel.h"
#include "win/files.h"
#include "win/wstr.h"

namespace studio {

const char* kFontsUsage =
    "  fonts list PROJECT     print the project's font table (Font.hft)\n"
    "  fonts save PROJECT     read Font.hft into the module and write it back\n"
    "  fonts add PROJECT --face F --size N [--style S]\n"
    "                         find or create the font (style: the language file's style names)\n"
    "  fonts import PROJECT OTHER/Font.hft\n"
    "                         merge another project's fonts, printing the id translation\n"
    "  fonts css PROJECT ID [--lang N]\n"
    "                         the CSS font string of a font in language N (default 0)\n"
    "  fonts prune PROJECT --texts FILE\n"
    "                         remove the fonts no text of FILE uses (see docs/texts-format.md)\n";

namespace {

std::string FieldText(const WCHAR* field) {
    return Narrow(CString(field, static_cast<int>(std::find(field, field + 32, u'\0') - field)));
}

// Pads to a column width in terminal cells; CJK characters take two.
std::string Pad(const std::string& utf8, size_t width) {
    size_t cells = 0;
    for (char16_t c : Utf8ToUtf16(utf8)) cells += (c >= 0x1100 && (c <= 0x115F || (c >= 0x2E80 && c <= 0xA4CF) || (c >= 0xAC00 && c <= 0xD7A3) || (c >= 0xF900 && c <= 0xFAFF) || (c >= 0xFF00 && c <= 0xFF60))) ? 2 : 1;
    return cells >= width ? utf8 + " " : utf8 + std::string(width - cells, ' ');
}

// Loads Font.hft into the table, warning about records the file lacks.
void LoadTable(std::ostream& err) {
    const CString path = FontTablePath();
    HftFileContents file = ReadFontTableFile(path);
    Font_DenitLib();
    if (!file.opened) return;
    if (!file.complete)
        err << "warning: " << NativePath(path) << " declares " << file.declared << " record(s); "
            << file.records.size() << " whole record(s) were read\n";
    for (const tagHMIFONT& rec : file.records) {
        g_FontList.AddTail(new tagHMIFONT(rec));
        g_nMaxFontID = std::max(g_nMaxFontID, rec.nID);
    }
}

int List(std::ostream& out) {
    const CString path = FontTablePath();
    const HftFileContents probe = ReadFontTableFile(path);
    if (!probe.opened) {
        out << "no font table (" << NativePath(path) << " not found)\n";
        return kOk;
    }
    LoadTable(std::cerr);
    out << g_FontList.GetCount() << " font(s) in " << NativePath(path) << "\n";
    PrintTable(out);
    Font_DenitLib();
    return kOk;
}

int Save(std::ostream& out) {
    LoadTable(std::cerr);
    const INT_PTR count = g_FontList.GetCount();
    const int ok = Font_SaveLib();
    Font_DenitLib();
    if (!ok) throw StudioError{"could not write " + NativePath(FontTablePath())};
    out << "saved " << count << " font(s) to " << NativePath(FontTablePath()) << "\n";
    return kOk;
}

}  // namespace

void PrintTable(std::ostream& out) {
    out << std::left << std::setw(6) << "id" << std::setw(24) << "name" << std::setw(24) << "face"
        << std::setw(7) << "height" << std::setw(7) << "weight" << std::setw(7) << "italic"
        << "charset\n";
    POSITION pos = g_FontList.GetHeadPosition();
    while (pos) {
        const tagHMIFONT* rec = g_FontList.GetNext(pos);
        out << std::left << std::setw(6) << rec->nID << Pad(FieldText(rec->szName), 24)
            << Pad(FieldText(rec->lf.lfFaceName), 24) << std::setw(7) << rec->lf.lfHeight
            << std::setw(7) << rec->lf.lfWeight << std::setw(7) << int{rec->lf.lfItalic}
            << int{rec->lf.lfCharSet} << "\n";
    }
}

int RunFonts(const Options& opt, std::ostream& out) {
    const auto& p = opt.positional;
    if (p.size() < 2) throw StudioError{"fonts: missing subcommand\n" + std::string(kFontsUsage), kUsage};
    const std::string& sub = p[1];
    if (sub == "add" || sub == "import" || sub == "css" || sub == "prune") return RunProjectFonts(opt, out);
    if (sub != "list" && sub != "save")
        throw StudioError{"fonts: unknown subcommand '" + sub + "'\n" + kFontsUsage, kUsage};
    if (p.size() != 3) throw StudioError{"fonts " + sub + ": expected one PROJECT directory", kUsage};
    OpenProjectDir(p[2]);
    return sub == "list" ? List(out) : Save(out);
}

}  // namespace studio
