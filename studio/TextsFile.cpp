#include "TextsFile.h"

#include <filesystem>
#include <fstream>
#include <sstream>

#include "Studio.h"
#include "win/filesafety.h"
#include "win/wstr.h"

namespace studio {

namespace {
[[noreturn]] void Bad(const std::string& name, int line, const std::string& why) {
    throw StudioError{name + ":" + std::to_string(line) + ": " + why};
}

std::vector<std::string> SplitTabs(const std::string& s) {
    std::vector<std::string> out(1);
    for (char c : s) {
        if (c == '\t') out.emplace_back();
        else out.back() += c;
    }
    return out;
}

std::string Unescape(const std::string& s, const std::string& name, int line) {
    std::string out;
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

bool ValidUtf8(const std::string& s) {
    for (size_t i = 0; i < s.size();) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        const int n = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
        if (n == 0 || i + n > s.size()) return false;
        for (int k = 1; k < n; ++k)
            if ((static_cast<unsigned char>(s[i + k]) >> 6) != 2) return false;
        i += n;
    }
    return true;
}
}  // namespace

TextsFile ParseTexts(const std::string& utf8, const std::string& name) {
    TextsFile out;
    std::istringstream in(utf8);
    std::string raw;
    int line = 0;
    std::string screen;
    while (std::getline(in, raw)) {
        ++line;
        if (!raw.empty() && raw.back() == '\r') raw.pop_back();
        if (line == 1 && raw.rfind("\xEF\xBB\xBF", 0) == 0) raw.erase(0, 3);
        if (!ValidUtf8(raw)) Bad(name, line, "not UTF-8");
        if (raw.empty() || raw[0] == '#') continue;
        if (raw.rfind("screen ", 0) == 0) {
            screen = raw.substr(7);
            if (screen.empty()) Bad(name, line, "a screen needs a name");
            out.screens.push_back(screen);
            continue;
        }
        if (screen.empty()) Bad(name, line, "a text before the first 'screen' line");
        const std::vector<std::string> fields = SplitTabs(raw);
        if (fields.size() < 2) Bad(name, line, "expected font ids, a tab and the text");
        ScreenText t;
        t.screen = screen;
        t.line = line;
        // Font ids, one per language, separated by commas; the last one
        // given also serves the languages after it.
        std::vector<int> ids;
        std::stringstream idList(fields[0]);
        std::string piece;
        while (std::getline(idList, piece, ',')) {
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
        for (size_t f = 1; f < fields.size(); ++f) t.text.push_back(Utf8ToUtf16(Unescape(fields[f], name, line)));
        out.texts.push_back(std::move(t));
    }
    return out;
}

TextsFile ReadTextsFile(const std::string& path) {
    std::error_code ec;
    if (std::filesystem::exists(path, ec) && !std::filesystem::is_regular_file(path, ec))
        throw StudioError{"texts file '" + path + "' is not a regular file"};
    std::string bytes;
    if (!winfiles::ReadRegularFile(path, &bytes)) throw StudioError{"cannot read texts file '" + path + "'"};
    return ParseTexts(bytes, path);
}

}  // namespace studio
