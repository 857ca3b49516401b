#include "TextsFile.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <string_view>

#include "Studio.h"
#include "win/filesafety.h"
#include "win/wstr.h"

namespace studio {

namespace {
[[noreturn]] void Bad(const std::string& name, int line, const std::string& why) {
    throw StudioError{name + ":" + std::to_string(line) + ": " + why};
}

std::string Unescape(std::string_view s, const std::string& name, int line) {
    std::string out;
    out.reserve(s.size());
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] != '\\') {
            out += s[i];
            continue;
        }
        if (++i == s.size()) Bad(name, line, "a backslash ends the line");
        switch (s[i]) {
        case 't': out += '\t'; break;
        case 'n': out += '\n'; break;
        case '\\': out += '\\'; break;
        default: Bad(name, line, std::string("unknown escape \\") + s[i]);
        }
    }
    return out;
}

bool ValidUtf8(std::string_view s) {
    const auto* p = reinterpret_cast<const unsigned char*>(s.data());
    const auto* const end = p + s.size();
    auto cont = [](unsigned char c) { return (c & 0xC0) == 0x80; };
    while (p < end) {
        // Eight ASCII bytes at a time.
        uint64_t w;
        if (end - p >= 8 && (std::memcpy(&w, p, 8), (w & 0x8080808080808080u) == 0)) {
            p += 8;
            continue;
        }
        // Three-byte sequences (most of a CJK text) tested as one word; a
        // broken one ends below.
        if (end - p >= 3 && ((p[0] | p[1] << 8 | p[2] << 16) & 0xC0C0F0u) == 0x8080E0u) {
            p += 3;
            continue;
        }
        const unsigned char c = *p;
        if (c < 0x80) {
            ++p;
        } else if ((c >> 5) == 6) {
            if (end - p < 2 || !cont(p[1])) return false;
            p += 2;
        } else if ((c >> 3) == 30) {
            if (end - p < 4 || !cont(p[1]) || !cont(p[2]) || !cont(p[3])) return false;
            p += 4;
        } else {
            return false;
        }
    }
    return true;
}
}  // namespace

size_t ScanTexts(const std::string& utf8, const std::string& name, const std::function<void(const std::string&)>& onScreen,
                 const std::function<void(const ScreenText&)>& onText, bool checked) {
    ScreenText t;
    size_t count = 0;
    std::vector<int> ids;
    int line = 0;
    for (size_t at = 0; at < utf8.size();) {
        const size_t end = std::min(utf8.find('\n', at), utf8.size());
        std::string_view raw(utf8.data() + at, end - at);
        at = end + 1;
        ++line;
        if (!raw.empty() && raw.back() == '\r') raw.remove_suffix(1);
        if (line == 1 && raw.substr(0, 3) == "\xEF\xBB\xBF") raw.remove_prefix(3);
        if (!checked && !ValidUtf8(raw)) Bad(name, line, "not UTF-8");
        if (raw.empty() || raw[0] == '#') continue;
        if (raw.substr(0, 7) == "screen ") {
            t.screen = std::string(raw.substr(7));
            if (t.screen.empty()) Bad(name, line, "a screen needs a name");
            onScreen(t.screen);
            continue;
        }
        if (t.screen.empty()) Bad(name, line, "a text before the first 'screen' line");
        const size_t tab = raw.find('\t');
        if (tab == std::string_view::npos) Bad(name, line, "expected font ids, a tab and the text");
        t.line = line;
        // Font ids, one per language, separated by commas; the last one
        // given also serves the languages after it.
        ids.clear();
        const std::string_view idList = raw.substr(0, tab);
        for (size_t from = 0; from < idList.size();) {
            const size_t comma = std::min(idList.find(',', from), idList.size());
            const std::string_view digits = idList.substr(from, comma - from);
            from = comma + 1;
            if (!digits.empty() && digits.size() <= 5 &&
                std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; })) {
                int id = 0;
                for (char c : digits) id = id * 10 + (c - '0');
                if (id <= 0xFFFF) {
                    ids.push_back(id);
                    continue;
                }
            }
            // Anything else as stoi reads it: blanks and a sign before the digits.
            const std::string piece(digits);
            size_t used = 0;
            int id = -1;
            try {
                id = std::stoi(piece, &used);
            } catch (...) {
                used = 0;
            }
            if (used != piece.size() || id < 0 || id > 0xFFFF) Bad(name, line, "bad font id '" + piece + "'");
            ids.push_back(id);
        }
        if (ids.empty()) Bad(name, line, "no font id");
        for (int i = 0; i < kMultiFontSlots; ++i)
            t.fonts.wFontID[i] = static_cast<uint16_t>(ids[std::min<size_t>(i, ids.size() - 1)]);
        // The pieces' strings are kept from text to text and refilled.
        size_t pieces = 0;
        for (size_t from = tab + 1;;) {
            const size_t next = std::min(raw.find('\t', from), raw.size());
            const std::string_view field = raw.substr(from, next - from);
            const bool escaped = field.find('\\') != std::string_view::npos;
            if (onText) {
                if (pieces == t.text.size()) t.text.emplace_back();
                Utf8ToUtf16(escaped ? std::string_view(Unescape(field, name, line)) : field, t.text[pieces++]);
            } else if (escaped) {
                Unescape(field, name, line);
            }
            if (next == raw.size()) break;
            from = next + 1;
        }
        t.text.resize(pieces);
        ++count;
        if (onText) onText(t);
    }
    return count;
}

TextsFile ParseTexts(const std::string& utf8, const std::string& name) {
    TextsFile out;
    ScanTexts(
        utf8, name, [&](const std::string& screen) { out.screens.push_back(screen); },
        [&](const ScreenText& t) { out.texts.push_back(t); });
    return out;
}

std::string ReadTextsBytes(const std::string& path) {
    std::error_code ec;
    if (std::filesystem::exists(path, ec) && !std::filesystem::is_regular_file(path, ec))
        throw StudioError{"texts file '" + path + "' is not a regular file"};
    std::string bytes;
    if (!winfiles::ReadRegularFile(path, &bytes)) throw StudioError{"cannot read texts file '" + path + "'"};
    return bytes;
}

TextsFile ReadTextsFile(const std::string& path) { return ParseTexts(ReadTextsBytes(path), path); }

}  // namespace studio
