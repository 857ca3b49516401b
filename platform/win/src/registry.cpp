#include "win/registry.h"

#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>

#include "win/filesafety.h"
#include "win/profile.h"
#include "win/wstr.h"

namespace {

const char16_t kFontsKey[] = u"HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows NT\\CurrentVersion\\Fonts";

std::u16string Lower(std::u16string s) {
    for (auto& c : s) c = towlower16(c);
    return s;
}

struct RegistryCache {
    uint64_t generation = ~uint64_t{0};
    // Lower-cased full key path -> values.
    std::map<std::u16string, std::vector<winregistry::Value>> keys;
    std::vector<std::string> problems;  // what registry.reg held that could not be read
};

RegistryCache& Cache() {
    static RegistryCache cache;
    return cache;
}

void Refresh() {
    RegistryCache& c = Cache();
    if (c.generation == winprofile::Generation()) return;
    c.generation = winprofile::Generation();
    c.keys.clear();
    c.problems.clear();
    if (!winprofile::IsLoaded()) return;
    const std::filesystem::path reg = std::filesystem::path(winprofile::Dir()) / "registry.reg";
    std::error_code ec;
    if (std::filesystem::symlink_status(reg, ec).type() != std::filesystem::file_type::not_found) {
        std::string bytes;
        std::vector<std::pair<std::u16string, std::vector<winregistry::Value>>> keys;
        std::string error;
        // Only regular files: a FIFO named registry.reg must not block.
        if (!winfiles::ReadRegularFile(reg.string(), &bytes, size_t{64} << 20)) {
            c.problems.push_back("cannot be read; the registry is empty");
            return;
        } else if (!winregistry::ParseRegFile(bytes, keys, &error, &c.problems)) {
            // Not a registry file at all: read as an empty registry, as a broken hive would.
            c.problems.push_back(error + "; the registry is empty");
            return;
        } else {
            for (auto& kv : keys) {
                auto& dst = c.keys[Lower(kv.first)];
                for (auto& v : kv.second) dst.push_back(std::move(v));
            }
        }
    }
    // A registry.reg without the Fonts key (FontSubstitutes alone, say) is
    // merged over what the installer wrote for the fonts folder.
    if (!c.keys.count(Lower(kFontsKey))) c.keys[Lower(kFontsKey)] = winregistry::InstallerFontValues();
}

struct OpenKey {
    std::u16string path;  // lower-cased
};

std::u16string RootName(HKEY root) {
    if (root == HKEY_LOCAL_MACHINE) return u"HKEY_LOCAL_MACHINE";
    if (root == HKEY_CURRENT_USER) return u"HKEY_CURRENT_USER";
    if (root == HKEY_CLASSES_ROOT) return u"HKEY_CLASSES_ROOT";
    return {};
}

const std::vector<winregistry::Value>* ValuesOf(HKEY key) {
    auto* k = reinterpret_cast<OpenKey*>(key);
    if (!k) return nullptr;
    auto it = Cache().keys.find(k->path);
    return it == Cache().keys.end() ? nullptr : &it->second;
}

// --- .reg text ---

std::u16string DecodeRegText(const std::string& text) {
    if (text.size() >= 2 && static_cast<unsigned char>(text[0]) == 0xFF && static_cast<unsigned char>(text[1]) == 0xFE) {
        std::u16string s;
        for (size_t i = 2; i + 1 < text.size(); i += 2)
            s += static_cast<char16_t>(static_cast<unsigned char>(text[i]) | (static_cast<unsigned char>(text[i + 1]) << 8));
        return s;
    }
    if (text.compare(0, 3, "\xEF\xBB\xBF") == 0) return Utf8ToUtf16(text.substr(3));
    return Utf8ToUtf16(text);
}

// Reads a quoted string starting at s[i] == '"'; advances i past the quote.
bool ReadQuoted(const std::u16string& s, size_t& i, std::u16string& out) {
    if (i >= s.size() || s[i] != u'"') return false;
    ++i;
    out.clear();
    while (i < s.size() && s[i] != u'"') {
        if (s[i] == u'\\' && i + 1 < s.size()) ++i;
        out += s[i++];
    }
    if (i >= s.size()) return false;
    ++i;
    return true;
}

bool ParseHexBytes(const std::u16string& s, std::vector<BYTE>& out) {
    out.clear();
    int nibbles = 0, value = 0;
    for (char16_t c : s) {
        int v;
        if (c >= u'0' && c <= u'9') v = c - u'0';
        else if (c >= u'a' && c <= u'f') v = c - u'a' + 10;
        else if (c >= u'A' && c <= u'F') v = c - u'A' + 10;
        else if (c == u',' || c == u' ' || c == u'\t') {
            if (nibbles) {
                out.push_back(static_cast<BYTE>(value));
                nibbles = value = 0;
            }
            continue;
        } else return false;
        value = value * 16 + v;
        if (++nibbles > 2) return false;
    }
    if (nibbles) out.push_back(static_cast<BYTE>(value));
    return true;
}

}  // namespace

namespace winregistry {

std::vector<BYTE> StringData(const std::u16string& s) {
    std::vector<BYTE> d;
    d.reserve(s.size() * 2 + 2);
    for (char16_t c : s) {
        d.push_back(static_cast<BYTE>(c & 0xFF));
        d.push_back(static_cast<BYTE>(c >> 8));
    }
    d.push_back(0);
    d.push_back(0);
    return d;
}

namespace {
// Whether a logical line holds hex data, the only kind that may go on over
// a trailing backslash.
bool IsHexValueLine(const std::u16string& line) {
    size_t i = 0;
    if (line.empty()) return false;
    if (line[0] == u'@') {
        i = 1;
    } else {
        std::u16string name;
        if (!ReadQuoted(line, i, name)) return false;
    }
    return line.compare(i, 4, u"=hex") == 0;
}

// One value line; false with the reason when it cannot be read.
bool ParseValue(const std::u16string& line, Value& v, bool* deletion, std::string* why) {
    *deletion = false;
    size_t i = 0;
    if (line[0] == u'@') {
        i = 1;
    } else if (!ReadQuoted(line, i, v.name)) {
        *why = "bad value name";
        return false;
    }
    if (i >= line.size() || line[i] != u'=') {
        *why = "expected '='";
        return false;
    }
    ++i;
    const std::u16string rest = line.substr(i);
    if (!rest.empty() && rest[0] == u'"') {
        std::u16string s;
        size_t j = 0;
        if (!ReadQuoted(rest, j, s) || j != rest.size()) {
            *why = "unterminated string";
            return false;
        }
        v.type = REG_SZ;
        v.data = StringData(s);
        return true;
    }
    if (rest.compare(0, 6, u"dword:") == 0) {
        std::vector<BYTE> be;
        if (rest.size() != 14 || !ParseHexBytes(rest.substr(6, 2) + u"," + rest.substr(8, 2) + u"," +
                                                   rest.substr(10, 2) + u"," + rest.substr(12, 2), be) ||
            be.size() != 4) {
            *why = "bad dword";
            return false;
        }
        v.type = REG_DWORD;
        v.data = {be[3], be[2], be[1], be[0]};
        return true;
    }
    if (rest.compare(0, 4, u"hex:") == 0 || rest.compare(0, 4, u"hex(") == 0) {
        size_t colon = rest.find(u':');
        v.type = REG_BINARY;
        if (rest[3] == u'(') {
            const size_t close = rest.find(u')');
            if (close == std::u16string::npos || close > colon || close == 4) {
                *why = "bad hex type";
                return false;
            }
            const std::string n = Utf16ToUtf8(rest.substr(4, close - 4));
            unsigned long t = 0;
            for (char c : n) {
                const int d = (c >= '0' && c <= '9') ? c - '0' : (c >= 'a' && c <= 'f') ? c - 'a' + 10
                            : (c >= 'A' && c <= 'F') ? c - 'A' + 10 : -1;
                if (d < 0 || t > 0xFFFFFFFul) {
                    *why = "bad hex type";
                    return false;
                }
                t = t * 16 + static_cast<unsigned long>(d);
            }
            v.type = static_cast<DWORD>(t);
        }
        if (!ParseHexBytes(rest.substr(colon + 1), v.data)) {
            *why = "bad hex data";
            return false;
        }
        return true;
    }
    if (rest == u"-") {
        *deletion = true;
        return true;
    }
    *why = "unsupported value data";
    return false;
}
}  // namespace

bool ParseRegFile(const std::string& raw, std::vector<std::pair<std::u16string, std::vector<Value>>>& keys,
                  std::string* error, std::vector<std::string>* problems) {
    const std::u16string text = DecodeRegText(raw);
    // Logical lines with the number of the physical line they start on. Only
    // hex data goes on over a trailing backslash: elsewhere the backslash
    // belongs to the line, which must not swallow the next one.
    std::vector<std::pair<int, std::u16string>> lines;
    std::u16string cur;
    int curStart = 0, physical = 0;
    size_t lineStart = 0;
    for (size_t i = 0; i <= text.size(); ++i) {
        if (i != text.size() && text[i] != u'\n') continue;
        ++physical;
        std::u16string line = text.substr(lineStart, i - lineStart);
        lineStart = i + 1;
        while (!line.empty() && (line.back() == u'\r' || line.back() == u' ' || line.back() == u'\t')) line.pop_back();
        size_t b = 0;
        while (b < line.size() && (line[b] == u' ' || line[b] == u'\t')) ++b;
        line = line.substr(b);
        if (cur.empty()) curStart = physical;
        // A line that continues a value already has its "=hex" before it:
        // only a first line is looked at, so a long value is read in one pass.
        if (!line.empty() && line.back() == u'\\' && (!cur.empty() || IsHexValueLine(line))) {
            line.pop_back();
            cur += line;
            if (i != text.size()) continue;
        } else {
            cur += line;
        }
        lines.emplace_back(curStart, cur);
        cur.clear();
    }
    bool sawHeader = false;
    auto problem = [&](int lineNo, const std::string& why) {
        if (problems) problems->push_back("line " + std::to_string(lineNo) + ": " + why);
    };
    bool skippingKey = false;
    for (const auto& numbered : lines) {
        const int lineNo = numbered.first;
        const std::u16string& line = numbered.second;
        if (line.empty() || line[0] == u';') continue;
        if (!sawHeader) {
            if (line != u"REGEDIT4" && line != u"Windows Registry Editor Version 5.00") {
                if (error) *error = "line " + std::to_string(lineNo) + ": not a registry file";
                return false;
            }
            sawHeader = true;
            continue;
        }
        if (line[0] == u'[') {
            // A key that cannot be read takes its values with it.
            skippingKey = line.back() != u']';
            if (skippingKey) {
                problem(lineNo, "unterminated key; its values are skipped");
                continue;
            }
            keys.push_back({line.substr(1, line.size() - 2), {}});
            continue;
        }
        if (skippingKey) continue;
        if (keys.empty()) {
            problem(lineNo, "value outside a key; skipped");
            continue;
        }
        Value v;
        bool deletion = false;
        std::string why;
        if (!ParseValue(line, v, &deletion, &why)) {
            problem(lineNo, why + "; the value is skipped");
            continue;
        }
        if (!deletion) keys.back().second.push_back(std::move(v));
    }
    if (!sawHeader) {
        if (error) *error = "empty registry file";
        return false;
    }
    return true;
}

std::vector<std::string> RegistryProblems() {
    Refresh();
    return Cache().problems;
}

std::vector<Value> InstalledFontValues() {
    Refresh();
    auto it = Cache().keys.find(Lower(kFontsKey));
    return it == Cache().keys.end() ? std::vector<Value>{} : it->second;
}

}  // namespace winregistry

LONG RegOpenKeyExW(HKEY root, const WCHAR* subKey, DWORD /*options*/, DWORD /*access*/, HKEY* result) {
    if (!result) return ERROR_INVALID_PARAMETER;
    *result = nullptr;
    Refresh();
    std::u16string path = RootName(root);
    if (path.empty()) {
        auto* parent = reinterpret_cast<OpenKey*>(root);
        if (!parent) return ERROR_INVALID_HANDLE;
        path = parent->path;
    }
    if (subKey && *subKey) path += u"\\" + std::u16string(subKey);
    path = Lower(path);
    if (!Cache().keys.count(path)) return ERROR_FILE_NOT_FOUND;
    *result = reinterpret_cast<HKEY>(new OpenKey{path});
    return ERROR_SUCCESS;
}

LONG RegEnumValueW(HKEY key, DWORD index, WCHAR* name, DWORD* nameChars, DWORD* /*reserved*/, DWORD* type,
                   BYTE* data, DWORD* dataBytes) {
    const auto* values = ValuesOf(key);
    if (!values) return ERROR_INVALID_HANDLE;
    if (index >= values->size()) return ERROR_NO_MORE_ITEMS;
    const winregistry::Value& v = (*values)[index];
    if (!name || !nameChars) return ERROR_INVALID_PARAMETER;
    if (v.name.size() + 1 > *nameChars) return ERROR_MORE_DATA;
    if (data && dataBytes && v.data.size() > *dataBytes) {
        *dataBytes = static_cast<DWORD>(v.data.size());
        return ERROR_MORE_DATA;
    }
    std::copy(v.name.begin(), v.name.end(), name);
    name[v.name.size()] = 0;
    *nameChars = static_cast<DWORD>(v.name.size());
    if (type) *type = v.type;
    if (data && dataBytes) std::copy(v.data.begin(), v.data.end(), data);
    if (dataBytes) *dataBytes = static_cast<DWORD>(v.data.size());
    return ERROR_SUCCESS;
}

LONG RegQueryValueExW(HKEY key, const WCHAR* valueName, DWORD* /*reserved*/, DWORD* type, BYTE* data,
                      DWORD* dataBytes) {
    const auto* values = ValuesOf(key);
    if (!values) return ERROR_INVALID_HANDLE;
    const std::u16string wanted = Lower(valueName ? valueName : u"");
    for (const auto& v : *values) {
        if (Lower(v.name) != wanted) continue;
        if (type) *type = v.type;
        if (data && dataBytes && v.data.size() > *dataBytes) {
            *dataBytes = static_cast<DWORD>(v.data.size());
            return ERROR_MORE_DATA;
        }
        if (data && dataBytes) std::copy(v.data.begin(), v.data.end(), data);
        if (dataBytes) *dataBytes = static_cast<DWORD>(v.data.size());
        return ERROR_SUCCESS;
    }
    return ERROR_FILE_NOT_FOUND;
}

LONG RegCloseKey(HKEY key) {
    auto* k = reinterpret_cast<OpenKey*>(key);
    if (!k || !RootName(key).empty()) return ERROR_INVALID_HANDLE;
    delete k;
    return ERROR_SUCCESS;
}

BOOL SHGetSpecialFolderPathW(HWND /*owner*/, WCHAR* path, int csidl, BOOL /*create*/) {
    if (!path || csidl != CSIDL_FONTS || !winprofile::IsLoaded()) return FALSE;
    const std::u16string dir = Utf8ToUtf16(winprofile::FontsDir());
    if (dir.size() >= MAX_PATH) return FALSE;
    lstrcpynW(path, dir.c_str(), MAX_PATH);
    return TRUE;
}
