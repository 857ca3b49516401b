#include "win/profile.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <map>
#include <vector>

#include "win/filesafety.h"
#include "win/wstr.h"

namespace fs = std::filesystem;

namespace winprofile {
namespace {

struct State {
    bool loaded = false;
    std::string dir;
    Settings settings;
    uint64_t generation = 0;
};

Settings DefaultSettings() {
    Settings s;
    s.iconTitleFont = LOGFONTW{};
    s.iconTitleFont.lfHeight = -12;
    s.iconTitleFont.lfWeight = FW_NORMAL;
    s.iconTitleFont.lfCharSet = DEFAULT_CHARSET;
    CopyFixedName(s.iconTitleFont.lfFaceName, u"Segoe UI", LF_FACESIZE);
    return s;
}

State& S() {
    static State state{false, {}, DefaultSettings(), 0};
    return state;
}

bool ParseInt(const std::string& v, int& out) {
    try {
        size_t used = 0;
        const int n = std::stoi(v, &used);
        if (used != v.size()) return false;
        out = n;
        return true;
    } catch (...) {
        return false;
    }
}

// "Face,height,weight,italic"; missing trailing fields keep their defaults.
bool ParseLogFont(const std::string& v, LOGFONTW& lf) {
    std::vector<std::string> parts;
    size_t start = 0;
    for (size_t i = 0; i <= v.size(); ++i)
        if (i == v.size() || v[i] == ',') {
            parts.push_back(TrimLine(v.substr(start, i - start)));
            start = i + 1;
        }
    if (parts.empty() || parts[0].empty()) return false;
    CopyFixedName(lf.lfFaceName, Utf8ToUtf16(parts[0]).c_str(), LF_FACESIZE);
    int n = 0;
    if (parts.size() > 1) {
        if (!ParseInt(parts[1], n)) return false;
        lf.lfHeight = n;
    }
    if (parts.size() > 2) {
        if (!ParseInt(parts[2], n)) return false;
        lf.lfWeight = n;
    }
    if (parts.size() > 3) {
        if (!ParseInt(parts[3], n)) return false;
        lf.lfItalic = n ? 1 : 0;
    }
    return true;
}

bool ParseSettings(const fs::path& file, Settings& s, std::string* error) {
    std::string bytes;
    if (!winfiles::ReadRegularFile(file.string(), &bytes, size_t{1} << 20)) return true;  // optional
    std::istringstream f(bytes);
    std::string line;
    int lineNo = 0;
    while (std::getline(f, line)) {
        ++lineNo;
        if (lineNo == 1 && line.compare(0, 3, "\xEF\xBB\xBF") == 0) line.erase(0, 3);
        line = TrimLine(line);
        if (line.empty() || line[0] == ';' || line[0] == '#' || line[0] == '[') continue;
        const size_t eq = line.find('=');
        auto bad = [&](const std::string& why) {
            if (error) *error = file.string() + ":" + std::to_string(lineNo) + ": " + why;
            return false;
        };
        if (eq == std::string::npos) return bad("expected key=value");
        const std::string key = TrimLine(line.substr(0, eq)), value = TrimLine(line.substr(eq + 1));
        int n = 0;
        if (key == "Locale") {
            s.locale = value;
            s.langId = LangIdForLocale(value);
        } else if (key == "AnsiCodePage") {
            if (!ParseInt(value, n) || n <= 0) return bad("AnsiCodePage needs a number");
            s.ansiCodePage = static_cast<UINT>(n);
        } else if (key == "Dpi") {
            if (!ParseInt(value, n) || n < 48 || n > 960) return bad("Dpi needs a number from 48 to 960");
            s.dpi = n;
        } else if (key == "ScreenWidth") {
            if (!ParseInt(value, n) || n <= 0) return bad("ScreenWidth needs a positive number");
            s.screenWidth = n;
        } else if (key == "ScreenHeight") {
            if (!ParseInt(value, n) || n <= 0) return bad("ScreenHeight needs a positive number");
            s.screenHeight = n;
        } else if (key == "IconTitleFont") {
            if (!ParseLogFont(value, s.iconTitleFont)) return bad("IconTitleFont is face,height,weight,italic");
        } else {
            return bad("unknown setting '" + key + "'");
        }
    }
    return true;
}

}  // namespace

WORD LangIdForLocale(const std::string& locale) {
    static const std::map<std::string, WORD> ids = {
        {"en-us", 0x0409}, {"en-gb", 0x0809}, {"zh-cn", 0x0804}, {"zh-tw", 0x0404}, {"zh-hk", 0x0C04},
        {"ja-jp", 0x0411}, {"ko-kr", 0x0412}, {"de-de", 0x0407}, {"fr-fr", 0x040C}, {"ru-ru", 0x0419},
        {"tr-tr", 0x041F}, {"es-es", 0x0C0A}, {"it-it", 0x0410}, {"pl-pl", 0x0415}, {"hi-in", 0x0439}};
    std::string key = locale;
    std::transform(key.begin(), key.end(), key.begin(), [](char c) { return c == '_' ? '-' : static_cast<char>(std::tolower(static_cast<unsigned char>(c))); });
    auto it = ids.find(key);
    return it == ids.end() ? 0x0409 : it->second;
}

bool Load(const std::string& dir, std::string* error) {
    std::error_code ec;
    if (!fs::is_directory(dir, ec)) {
        if (error) *error = "machine profile '" + dir + "' is not a directory";
        return false;
    }
    Settings s = DefaultSettings();
    if (!ParseSettings(fs::path(dir) / "profile.ini", s, error)) return false;
    State& st = S();
    st.dir = fs::absolute(dir, ec).lexically_normal().string();
    while (st.dir.size() > 1 && st.dir.back() == '/') st.dir.pop_back();
    st.settings = s;
    st.loaded = true;
    ++st.generation;
    return true;
}

bool IsLoaded() { return S().loaded; }
const std::string& Dir() { return S().dir; }
std::string FontsDir() { return S().loaded ? S().dir + "/Fonts" : std::string(); }
const Settings& GetSettings() { return S().settings; }
uint64_t Generation() { return S().generation; }

std::string UserCacheHome() {
    const char* xdg = std::getenv("XDG_CACHE_HOME");
    if (xdg && xdg[0] == '/') return xdg;
    const char* home = std::getenv("HOME");
    return home && *home ? std::string(home) + "/.cache" : std::string();
}

}  // namespace winprofile
