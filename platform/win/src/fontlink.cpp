#include "win/fontlink.h"

#include <algorithm>
#include <unordered_map>

#include "win/profile.h"
#include "win/registry.h"
#include "win/wstr.h"

namespace fontlink {
namespace {

const WCHAR kSubstitutesKey[] = u"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\FontSubstitutes";
const WCHAR kSystemLinkKey[] = u"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\FontLink\\SystemLink";

struct Keys {
    uint64_t generation = ~uint64_t{0};
    std::unordered_map<std::u16string, std::u16string> substitutes;  // NameKey[,charset] -> face
    std::unordered_map<std::u16string, std::vector<Link>> links;      // NameKey -> entries
};

std::vector<std::u16string> SplitAt(const std::u16string& s, char16_t sep) {
    std::vector<std::u16string> parts;
    size_t start = 0;
    for (size_t i = 0; i <= s.size(); ++i)
        if (i == s.size() || s[i] == sep) {
            parts.push_back(s.substr(start, i - start));
            start = i + 1;
        }
    return parts;
}

bool IsNumber(const std::u16string& s) {
    return !s.empty() && std::all_of(s.begin(), s.end(), [](char16_t c) { return c >= u'0' && c <= u'9'; });
}

// "Face" or "Face,charset": the face part and the charset part ("" when none).
std::pair<std::u16string, std::u16string> FaceAndCharset(const std::u16string& s) {
    const size_t comma = s.rfind(u',');
    if (comma != std::u16string::npos && IsNumber(s.substr(comma + 1))) return {s.substr(0, comma), s.substr(comma + 1)};
    return {s, u""};
}

std::u16string LookupKey(const std::u16string& face, const std::u16string& charset) {
    std::u16string key = fontdb::NameKey(face);
    if (!charset.empty()) key += u"," + charset;
    return key;
}

// Every string value of a key: name -> the UTF-16 units of its data.
template <typename Fn>
void ForEachValue(const WCHAR* subKey, Fn fn) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, subKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return;
    std::vector<BYTE> data(4096);
    for (DWORD index = 0;; ++index) {
        WCHAR name[16384];
        DWORD nameChars = 16384, dataBytes = static_cast<DWORD>(data.size()), type = 0;
        LONG rc = RegEnumValueW(key, index, name, &nameChars, nullptr, &type, data.data(), &dataBytes);
        if (rc == ERROR_MORE_DATA && dataBytes > data.size()) {
            data.resize(dataBytes);
            nameChars = 16384;
            rc = RegEnumValueW(key, index, name, &nameChars, nullptr, &type, data.data(), &dataBytes);
        }
        if (rc == ERROR_NO_MORE_ITEMS) break;
        if (rc != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ && type != REG_MULTI_SZ)) continue;
        std::u16string units;
        for (DWORD i = 0; i + 1 < dataBytes; i += 2) units += static_cast<char16_t>(data[i] | (data[i + 1] << 8));
        fn(std::u16string(name, nameChars), type, units);
    }
    RegCloseKey(key);
}

const Keys& Read() {
    static Keys keys;
    if (keys.generation == winprofile::Generation()) return keys;
    keys = Keys{};
    keys.generation = winprofile::Generation();
    ForEachValue(kSubstitutesKey, [](const std::u16string& name, DWORD type, const std::u16string& data) {
        if (type == REG_MULTI_SZ) return;
        const auto from = FaceAndCharset(name);
        const std::u16string to = FaceAndCharset(data.substr(0, data.find(u'\0'))).first;
        if (!from.first.empty() && !to.empty()) keys.substitutes.emplace(LookupKey(from.first, from.second), to);
    });
    ForEachValue(kSystemLinkKey, [](const std::u16string& name, DWORD /*type*/, const std::u16string& data) {
        std::vector<Link> entries;
        for (const std::u16string& entry : SplitAt(data, u'\0')) {
            if (entry.empty()) continue;
            const auto fields = SplitAt(entry, u',');
            Link link{fields[0], u""};
            // "FILE,Face,scale,scale": a numeric second field is a scale, not a face.
            if (fields.size() > 1 && !IsNumber(fields[1])) link.face = fields[1];
            if (!link.file.empty()) entries.push_back(link);
        }
        if (!name.empty()) keys.links.emplace(fontdb::NameKey(name), std::move(entries));
    });
    return keys;
}

}  // namespace

std::u16string SubstituteFor(const std::u16string& face, BYTE charset) {
    const Keys& keys = Read();
    if (keys.substitutes.empty() || fontdb::NameKey(face).empty()) return {};
    auto it = keys.substitutes.find(LookupKey(face, Utf8ToUtf16(std::to_string(charset))));
    if (it == keys.substitutes.end()) it = keys.substitutes.find(LookupKey(face, u""));
    return it == keys.substitutes.end() ? std::u16string() : it->second;
}

std::vector<Link> SystemLinkOf(const std::u16string& face) {
    const Keys& keys = Read();
    auto it = keys.links.find(fontdb::NameKey(face));
    return it == keys.links.end() ? std::vector<Link>{} : it->second;
}

std::vector<const fontdb::Face*> LinkedFaces(const std::u16string& face) {
    std::vector<const fontdb::Face*> out;
    for (const Link& link : SystemLinkOf(face)) {
        const auto& inFile = fontdb::FacesInFile(Utf16ToUtf8(link.file));
        const fontdb::Face* found = nullptr;
        if (link.face.empty()) {
            if (!inFile.empty()) found = inFile.front();
        } else {
            for (const fontdb::Face* f : inFile)
                if (fontdb::MatchesName(*f, link.face)) {
                    found = f;
                    break;
                }
        }
        if (found && std::find(out.begin(), out.end(), found) == out.end()) out.push_back(found);
    }
    return out;
}

}  // namespace fontlink
