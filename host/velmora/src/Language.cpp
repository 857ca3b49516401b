#include <cstring>
#include <fstream>
#include <map>
#include <sstream>

#include "DataDir.h"
#include "Velmora.h"
#include "win/filesafety.h"
#include "win/wstr.h"

namespace {

using Section = std::map<std::u16string, std::u16string>;

struct LanguageState {
    std::string dir = velmora::DataDir() + "/lang";
    std::string uiName;
    bool loaded = false;
    std::map<std::u16string, Section> sections;
    int projectLanguages = 1;
    int currentLanguage = 0;
};

LanguageState& State() {
    static LanguageState state;
    return state;
}

// Values may carry "\n", "\t" and "\\" so that one line can hold a
// multi-line message.
std::string Unescape(const std::string& s) {
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '\\' && i + 1 < s.size()) {
            char n = s[i + 1];
            if (n == 'n') { out += '\n'; ++i; continue; }
            if (n == 't') { out += '\t'; ++i; continue; }
            if (n == '\\') { out += '\\'; ++i; continue; }
        }
        out += s[i];
    }
    return out;
}

bool ParseLanguageFile(const std::string& path, std::map<std::u16string, Section>& out) {
    std::string bytes;
    if (!winfiles::ReadRegularFile(path, &bytes, size_t{16} << 20)) return false;
    std::istringstream f(bytes);
    std::string line;
    std::u16string section;
    bool first = true;
    while (std::getline(f, line)) {
        if (first && line.compare(0, 3, "\xEF\xBB\xBF") == 0) line.erase(0, 3);
        first = false;
        line = TrimLine(line);
        if (line.empty() || line[0] == ';' || line[0] == '#') continue;
        if (line.front() == '[' && line.back() == ']') {
            section = Utf8ToUtf16(TrimLine(line.substr(1, line.size() - 2)));
            out[section];
            continue;
        }
        const size_t eq = line.find('=');
        if (eq == std::string::npos) continue;
        out[section][Utf8ToUtf16(TrimLine(line.substr(0, eq)))] =
            Utf8ToUtf16(Unescape(line.substr(eq + 1)));
    }
    return true;
}

void EnsureLoaded() {
    LanguageState& s = State();
    if (!s.loaded) velmora::SetUILanguage("en_US");
}

const std::u16string* Lookup(const std::u16string& section, const std::u16string& key) {
    EnsureLoaded();
    const auto& secs = State().sections;
    auto si = secs.find(section);
    if (si == secs.end()) return nullptr;
    auto ki = si->second.find(key);
    return ki == si->second.end() ? nullptr : &ki->second;
}

// The next separator at or after `from`, or `len`. Four units are tested at
// a time: texts are long and separators few.
size_t NextSeparator(const WCHAR* text, size_t from, size_t len) {
    constexpr uint64_t kOnes = 0x0001000100010001u, kHigh = 0x8000800080008000u;
    constexpr uint64_t kSeparators = kOnes * kLangSeparator;
    size_t i = from;
    for (; i + 4 <= len; i += 4) {
        uint64_t w;
        std::memcpy(&w, text + i, 8);
        const uint64_t x = w ^ kSeparators;  // a separator's unit becomes zero
        if ((x - kOnes) & ~x & kHigh) break;
    }
    for (; i < len; ++i)
        if (text[i] == kLangSeparator) return i;
    return len;
}

// Pieces of a multi-language text: the units between separators. A final
// piece without its separator still counts.
void Piece(const WCHAR* text, size_t len, int lang, std::u16string& out) {
    out.clear();
    if (!text || lang < 0) return;
    size_t start = 0;
    for (int index = 0;; ++index) {
        const size_t end = NextSeparator(text, start, len);
        if (index == lang) {
            out.assign(text + start, end - start);
            return;
        }
        if (end == len) return;
        start = end + 1;
    }
}

std::u16string Piece(const WCHAR* text, size_t len, int lang) {
    std::u16string out;
    Piece(text, len, lang, out);
    return out;
}

}  // namespace

CString LA_GetString(const WCHAR* key) {
    const std::u16string* v = Lookup(u"Strings", key ? key : u"");
    return v ? CString(*v) : CString();
}

CString LA_GetLangPrefix() {
    const std::u16string* v = Lookup(u"Language", u"Prefix");
    return v ? CString(*v) : CString();
}

int LA_SetDlgStrings(CWnd* dialog, UINT dialogId, const WCHAR* section) {
    if (!dialog) return 0;
    EnsureLoaded();
    const auto& secs = State().sections;
    auto si = secs.find(section ? section : u"");
    if (si == secs.end()) return 0;
    const std::u16string id = Utf8ToUtf16(std::to_string(dialogId));
    int replaced = 0;
    auto it = si->second.find(id);
    if (it != si->second.end()) {
        dialog->SetWindowText(it->second.c_str());
        ++replaced;
    }
    const std::u16string prefix = id + u".";
    for (it = si->second.lower_bound(prefix); it != si->second.end(); ++it) {
        if (it->first.compare(0, prefix.size(), prefix) != 0) break;
        int ctrl = 0;
        const std::u16string rest = it->first.substr(prefix.size());
        if (ScanDecimal(rest.c_str(), &ctrl) != rest.size()) continue;
        if (CWnd* child = dialog->GetDlgItem(ctrl)) {
            child->SetWindowText(it->second.c_str());
            ++replaced;
        }
    }
    return replaced;
}

int getLangCount() { return State().projectLanguages; }
int GetCurLanguage() { return State().currentLanguage; }

void GetLangString(const std::u16string& text, std::u16string& out, int lang) {
    if (&text == &out) {
        out = Piece(text.c_str(), text.size(), lang);
        return;
    }
    Piece(text.c_str(), text.size(), lang, out);
}

void GetLangString(const CString& text, CString& out, int lang) {
    out = CString(Piece(text.GetString(), static_cast<size_t>(text.GetLength()), lang));
}

void GetLangString(const WCHAR* text, WCHAR* buf, int lang) {
    if (!buf) return;
    const std::u16string piece = Piece(text, wcslen16(text), lang);
    lstrcpynW(buf, piece.c_str(), MAX_PATH);
}

namespace velmora {

void SetLanguageDir(const std::string& dir) {
    State().dir = dir;
    State().loaded = false;
}

bool SetUILanguage(const std::string& name) {
    LanguageState& s = State();
    std::map<std::u16string, Section> sections;
    if (!ParseLanguageFile(s.dir + "/" + name + ".lng", sections)) {
        s.loaded = true;  // keep what we have; do not retry on every look-up
        return false;
    }
    s.sections.swap(sections);
    s.uiName = name;
    s.loaded = true;
    return true;
}

std::string GetUILanguage() {
    EnsureLoaded();
    return State().uiName;
}

void SetProjectLanguages(int count) {
    State().projectLanguages = count < 0 ? 0 : (count > kMaxProjectLanguages ? kMaxProjectLanguages : count);
}

void SetCurrentLanguage(int index) { State().currentLanguage = index; }

}  // namespace velmora
