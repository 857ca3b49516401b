#include "Coverage.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QString>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <ostream>
#include <set>
#include <sstream>
#include <tuple>

#include "win/filesafety.h"
#include "win/wstr.h"

namespace studio {

const char kCoverageStore[] = ".tamsel-coverage";

namespace {
// How many lost characters a summary line names before "…".
constexpr size_t kShown = 8;

std::string CodePoint(char32_t c) {
    char buf[16];
    snprintf(buf, sizeof buf, "U+%04X", static_cast<unsigned>(c));
    return buf;
}

// A surrogate has no UTF-8 form: it is shown as U+FFFD, its code says what it was.
std::string Utf8(const std::u32string& s) {
    std::u16string units;
    for (char32_t c : s) {
        if ((c >= 0xD800 && c < 0xE000) || c > 0x10FFFF) c = 0xFFFD;
        if (c >= 0x10000) {
            units += static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
            units += static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
        } else {
            units += static_cast<char16_t>(c);
        }
    }
    return Utf16ToUtf8(units);
}

// "三号线 (U+4E09 U+53F7 U+7EBF)", the first few of them only.
std::string FirstOf(const std::u32string& chars) {
    const std::u32string shown = chars.substr(0, kShown);
    std::string codes;
    for (char32_t c : shown) codes += (codes.empty() ? "" : " ") + CodePoint(c);
    const char* more = chars.size() > kShown ? " …" : "";
    return Utf8(shown) + more + " (" + codes + more + ")";
}

QString Q(const std::u16string& s) { return QString::fromUtf16(s.data(), static_cast<int>(s.size())); }

// Characters as text and as their codes, so a reader need not decode them.
QJsonObject JsonChars(const std::u32string& chars) {
    QJsonArray codes;
    for (char32_t c : chars) codes.append(QString::fromStdString(CodePoint(c)));
    return QJsonObject{{"count", static_cast<int>(chars.size())},
                       {"text", QString::fromStdString(Utf8(chars))},
                       {"codes", codes}};
}

size_t LinkedCount(const CoverageRecord& r) {
    size_t n = 0;
    for (const auto& l : r.linked) n += l.second.size();
    return n;
}

// What no file of the build can draw, by code point.
std::u32string LostEverywhere(const std::vector<CoverageRecord>& records) {
    std::set<char32_t> seen;
    for (const CoverageRecord& r : records)
        for (const std::u32string* chars : {&r.missing, &r.tooLarge}) seen.insert(chars->begin(), chars->end());
    return std::u32string(seen.begin(), seen.end());
}

// Files by name (those no file could be made for by what they asked),
// characters by code point: the order both builds give.
void PutInOrder(std::vector<CoverageRecord>& records) {
    for (CoverageRecord& r : records) {
        std::sort(r.missing.begin(), r.missing.end());
        std::sort(r.tooLarge.begin(), r.tooLarge.end());
        for (auto& l : r.linked) std::sort(l.second.begin(), l.second.end());
    }
    const auto key = [](const CoverageRecord& r) {
        return std::tie(r.file, r.key, r.facesAsked, r.pixelSize, r.weight, r.italic, r.subset);
    };
    std::stable_sort(records.begin(), records.end(),
                     [&](const CoverageRecord& a, const CoverageRecord& b) { return key(a) < key(b); });
}
}  // namespace

namespace {
// ---- The stored records: a line per record, tab-separated fields ----
// Strings are percent-encoded UTF-8, lists comma-separated, characters as
// hexadecimal codes.
std::string Escape(const std::string& s) {
    std::string out;
    char buf[4];
    for (unsigned char c : s) {
        if (c <= 0x20 || c == 0x7F || c == '%' || c == ',' || c == '=') {
            snprintf(buf, sizeof buf, "%%%02X", c);
            out += buf;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}
std::string Escape(const std::u16string& s) { return Escape(Utf16ToUtf8(s)); }

std::u16string Unescape(const std::string& s) {
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '%' && i + 2 < s.size()) {
            out += static_cast<char>(std::strtol(s.substr(i + 1, 2).c_str(), nullptr, 16));
            i += 2;
        } else {
            out += s[i];
        }
    }
    return Utf8ToUtf16(out);
}

std::vector<std::string> Split(const std::string& s, char by) {
    std::vector<std::string> parts;
    std::istringstream in(s);
    for (std::string part; std::getline(in, part, by);) parts.push_back(part);
    if (!s.empty() && s.back() == by) parts.emplace_back();
    return parts;
}

std::string Codes(const std::u32string& chars) {
    std::string out;
    char buf[16];
    for (char32_t c : chars) {
        snprintf(buf, sizeof buf, "%s%X", out.empty() ? "" : ",", static_cast<unsigned>(c));
        out += buf;
    }
    return out;
}

std::u32string FromCodes(const std::string& s) {
    std::u32string out;
    for (const std::string& code : Split(s, ','))
        if (!code.empty()) out += static_cast<char32_t>(std::strtoul(code.c_str(), nullptr, 16) & 0x1FFFFF);
    return out;
}

int Number(const std::string& s) { return static_cast<int>(std::strtol(s.c_str(), nullptr, 10)); }

std::string StoredLine(const CoverageRecord& r) {
    std::string asked, linked;
    for (const std::u16string& f : r.facesAsked) asked += (asked.empty() ? "" : ",") + Escape(f);
    // "face=codes" items: the codes' own commas escaped, so that the items' commas part them.
    for (const auto& l : r.linked)
        linked += (linked.empty() ? "" : ",") + Escape(l.first) + "=" + Escape(Codes(l.second));
    const std::vector<std::string> fields = {
        Escape(r.file), r.subset ? "1" : "0", Escape(r.key), asked, Escape(r.faceRealised), Escape(r.fontFile),
        std::to_string(r.faceIndex), r.simulatedBold ? "1" : "0", r.simulatedItalic ? "1" : "0",
        std::to_string(r.pixelSize), std::to_string(r.weight), r.italic ? "1" : "0", std::to_string(r.requested),
        Codes(r.missing), Codes(r.tooLarge), linked, Escape(r.note), r.engine};
    std::string line;
    for (const std::string& f : fields) line += (line.empty() ? "" : "\t") + f;
    return line + "\n";
}

// The engine came last; a store written before it has one field less.
constexpr size_t kStoredFields = 18;

bool IsEngine(const std::string& s) { return s.empty() || s == "harfbuzz" || s == "fonttools"; }

bool ParseStoredLine(const std::string& line, CoverageRecord* r) {
    const std::vector<std::string> f = Split(line, '\t');
    if (f.size() != kStoredFields && f.size() != kStoredFields - 1) return false;
    if (f.size() == kStoredFields) {
        if (!IsEngine(f[17])) return false;
        r->engine = f[17];
    }
    r->file = Unescape(f[0]);
    r->subset = f[1] == "1";
    r->key = Unescape(f[2]);
    for (const std::string& face : Split(f[3], ','))
        if (!face.empty()) r->facesAsked.push_back(Unescape(face));
    r->faceRealised = Unescape(f[4]);
    r->fontFile = Unescape(f[5]);
    r->faceIndex = Number(f[6]);
    r->simulatedBold = f[7] == "1";
    r->simulatedItalic = f[8] == "1";
    r->pixelSize = Number(f[9]);
    r->weight = Number(f[10]);
    r->italic = f[11] == "1";
    r->requested = Number(f[12]);
    r->missing = FromCodes(f[13]);
    r->tooLarge = FromCodes(f[14]);
    for (const std::string& l : Split(f[15], ',')) {
        const size_t eq = l.find('=');
        if (eq != std::string::npos)
            r->linked.emplace_back(Unescape(l.substr(0, eq)), FromCodes(Utf16ToUtf8(Unescape(l.substr(eq + 1)))));
    }
    r->note = Unescape(f[16]);
    return true;
}
}  // namespace

std::vector<CoverageRecord> ReadCoverageStore(const std::string& folder) {
    std::vector<CoverageRecord> records;
    std::string bytes;
    if (!winfiles::ReadRegularFile(folder + "/" + kCoverageStore, &bytes, size_t{64} << 20)) return records;
    for (const std::string& line : Split(bytes, '\n')) {
        CoverageRecord r;
        if (ParseStoredLine(line, &r)) records.push_back(std::move(r));
    }
    return records;
}

std::vector<CoverageRecord> TakeCoverageStore(const std::string& folder) {
    std::vector<CoverageRecord> records = ReadCoverageStore(folder);
    std::error_code ec;
    if (std::filesystem::exists(std::filesystem::symlink_status(folder + "/" + kCoverageStore, ec)))
        winfiles::RemoveFromFolder(folder, kCoverageStore);
    return records;
}

std::vector<CoverageRecord> WithUnchangedFiles(const std::string& folder, std::vector<CoverageRecord> built,
                                               std::vector<CoverageRecord> stored,
                                               const std::set<std::string>& present) {
    const std::string store = folder + "/" + kCoverageStore;
    std::vector<CoverageRecord> all;
    std::set<std::u16string> remade;
    for (const CoverageRecord& r : built) remade.insert(r.file);
    for (CoverageRecord& r : stored)
        if (!r.file.empty() && !remade.count(r.file) && present.count(Utf16ToUtf8(r.file))) all.push_back(std::move(r));
    for (CoverageRecord& r : built) all.push_back(std::move(r));
    PutInOrder(all);
    std::string text;
    for (const CoverageRecord& r : all) text += StoredLine(r);
    winfiles::AtomicFile file(store);
    file.Write(text.data(), text.size());
    file.Commit();
    return all;
}

bool LosesCharacters(const CoverageRecord& r) {
    return !r.missing.empty() || !r.tooLarge.empty() || !r.note.empty();
}

void PrintCoverageSummary(const std::vector<CoverageRecord>& records, std::ostream& out) {
    size_t losing = 0;
    for (const CoverageRecord& r : records) losing += LosesCharacters(r) ? 1 : 0;
    out << "coverage: " << records.size() << " file(s), " << losing << " of them losing characters\n";
    for (const CoverageRecord& r : records) {
        out << "  " << (r.file.empty() ? "no file" : Utf16ToUtf8(r.file));
        if (r.file.empty() && !r.subset && r.pixelSize > 0) out << " at " << r.pixelSize << " px";
        if (!r.facesAsked.empty()) {
            out << " [" << Utf16ToUtf8(r.facesAsked.front());
            if (!r.faceRealised.empty()) out << " -> " << Utf16ToUtf8(r.faceRealised);
            out << "]";
        }
        out << ": " << r.requested << " character(s)";
        if (!LosesCharacters(r)) out << ", all drawn";
        if (const size_t linked = LinkedCount(r)) out << ", " << linked << " from linked faces";
        if (!r.missing.empty()) out << "; " << r.missing.size() << " missing: " << FirstOf(r.missing);
        if (!r.tooLarge.empty()) out << "; " << r.tooLarge.size() << " too large for QPF2: " << FirstOf(r.tooLarge);
        if (!r.note.empty()) out << "; " << Utf16ToUtf8(r.note);
        out << "\n";
    }
    const std::u32string lost = LostEverywhere(records);
    if (!lost.empty()) out << "coverage: " << lost.size() << " character(s) lost: " << FirstOf(lost) << "\n";
}

bool WriteCoverageReport(const std::vector<CoverageRecord>& records, const std::vector<ShapingFinding>& shaping,
                         const std::string& target, const std::string& path) {
    QJsonArray files;
    for (const CoverageRecord& r : records) {
        QJsonArray shaped;
        for (const ShapingFinding& s : shaping)
            if (!r.file.empty() && s.file == r.file)
                shaped.append(QJsonObject{{"screen", QString::fromStdString(s.screen)},
                                          {"line", s.line},
                                          {"language", s.language},
                                          {"script", QString::fromStdString(s.script)},
                                          {"why", QString::fromStdString(s.why)},
                                          {"text", QString::fromStdString(Utf16ToUtf8(s.text))}});
        QJsonArray asked, linked;
        for (const std::u16string& f : r.facesAsked) asked.append(Q(f));
        for (const auto& l : r.linked)
            linked.append(QJsonObject{{"face", Q(l.first)}, {"characters", JsonChars(l.second)}});
        QJsonObject f{{"file", Q(r.file)},
                      {"kind", r.subset ? "truetype" : "qpf2"},
                      {"facesAsked", asked},
                      {"faceRealised", Q(r.faceRealised)},
                      {"fontFile", Q(r.fontFile)},
                      {"faceIndex", r.faceIndex},
                      {"simulatedBold", r.simulatedBold},
                      {"simulatedItalic", r.simulatedItalic},
                      {"requested", r.requested},
                      {"missing", JsonChars(r.missing)},
                      {"tooLarge", JsonChars(r.tooLarge)},
                      {"linked", linked},
                      {"shaping", shaped},
                      {"note", Q(r.note)}};
        if (!r.key.empty()) f.insert("key", Q(r.key));
        if (!r.engine.empty()) f.insert("engine", QString::fromStdString(r.engine));
        if (!r.subset) {
            f.insert("pixelSize", r.pixelSize);
            f.insert("weight", r.weight);
            f.insert("italic", r.italic);
        }
        files.append(f);
    }
    const QJsonObject report{{"target", QString::fromStdString(target)},
                             {"lost", JsonChars(LostEverywhere(records))},
                             {"files", files}};
    const QByteArray j = QJsonDocument(report).toJson(QJsonDocument::Indented);
    winfiles::AtomicFile file(path);
    file.Write(j.constData(), static_cast<size_t>(j.size()));
    return file.Commit();
}

}  // namespace studio
