// tamsel-studio fonts ...: the project font table.
#include <algorithm>
#include <cstring>
#include <iomanip>
#include <iostream>

#include "Studio.h"
#include "Tamsel.h"
#include "win/filesafety.h"
#include "win/wstr.h"

namespace studio {

const char* kFontsUsage =
    "  fonts list PROJECT     print the project's font table (Font.hft)\n"
    "  fonts save PROJECT     read Font.hft into the module's table and write it back\n"
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

// The records of a Font.hft file: a little-endian 32-bit count, then
// 160-byte tagHMIFONT records. Only whole records are taken, whatever the
// count claims.
struct TableFile {
    bool read = false;       // a regular file that could be read
    uint32_t declared = 0;   // the count in its header
    bool complete = false;   // it held every declared record and no more
    std::vector<tagHMIFONT> records;
};

TableFile ReadTableFile(const std::string& path) {
    TableFile file;
    std::string bytes;
    if (!winfiles::ReadRegularFile(path, &bytes)) return file;
    file.read = true;
    if (bytes.size() < 4) return file;
    for (size_t i = 0; i < 4; ++i) file.declared |= uint32_t{static_cast<unsigned char>(bytes[i])} << (8 * i);
    const size_t fits = (bytes.size() - 4) / sizeof(tagHMIFONT);
    const size_t count = std::min<size_t>(file.declared, fits);
    file.records.resize(count);
    if (count) std::memcpy(file.records.data(), bytes.data() + 4, count * sizeof(tagHMIFONT));
    // A name that fills its field is cut to 31 units, as the module reads it.
    for (tagHMIFONT& rec : file.records) {
        rec.szName[31] = 0;
        rec.lf.lfFaceName[LF_FACESIZE - 1] = 0;
    }
    file.complete = count == file.declared && bytes.size() == 4 + count * sizeof(tagHMIFONT);
    return file;
}

// Reads the open project's Font.hft, warning about records the file lacks.
TableFile ReadProjectTable(std::ostream& err) {
    const std::string path = FontTableFile();
    TableFile file = ReadTableFile(path);
    if (file.read && !file.complete)
        err << "warning: " << path << " declares " << file.declared << " record(s); " << file.records.size()
            << " whole record(s) were read\n";
    return file;
}

int List(std::ostream& out) {
    const TableFile file = ReadProjectTable(std::cerr);
    if (!file.read) {
        out << "no font table (" << FontTableFile() << " not found)\n";
        return kOk;
    }
    out << file.records.size() << " font(s) in " << FontTableFile() << "\n";
    PrintTable(out, file.records);
    return kOk;
}

// The table goes through the module: loaded into its font table and saved by it.
int Save(std::ostream& out) {
    const TableFile file = ReadProjectTable(std::cerr);
    Font_DenitLib();
    for (const tagHMIFONT& rec : file.records) {
        g_FontList.AddTail(new tagHMIFONT(rec));
        g_nMaxFontID = std::max(g_nMaxFontID, rec.nID);
    }
    const int ok = Font_SaveLib();
    Font_DenitLib();
    if (!ok) throw StudioError{"could not write " + FontTableFile()};
    out << "saved " << file.records.size() << " font(s) to " << FontTableFile() << "\n";
    return kOk;
}

}  // namespace

void PrintTable(std::ostream& out, const std::vector<tagHMIFONT>& records) {
    out << std::left << std::setw(6) << "id" << std::setw(24) << "name" << std::setw(24) << "face"
        << std::setw(7) << "height" << std::setw(7) << "weight" << std::setw(7) << "italic"
        << "charset\n";
    for (const tagHMIFONT& rec : records) {
        out << std::left << std::setw(6) << rec.nID << Pad(FieldText(rec.szName), 24)
            << Pad(FieldText(rec.lf.lfFaceName), 24) << std::setw(7) << rec.lf.lfHeight
            << std::setw(7) << rec.lf.lfWeight << std::setw(7) << int{rec.lf.lfItalic}
            << int{rec.lf.lfCharSet} << "\n";
    }
}

std::vector<tagHMIFONT> ModuleTable() {
    std::vector<tagHMIFONT> records;
    POSITION pos = g_FontList.GetHeadPosition();
    while (pos) records.push_back(*g_FontList.GetNext(pos));
    return records;
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
