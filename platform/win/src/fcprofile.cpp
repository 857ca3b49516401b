// The default machine profile from fontconfig.
#include "win/fcprofile.h"

#include <fontconfig/fontconfig.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <set>
#include <sstream>
#include <vector>

#include "win/fontdb.h"
#include "win/wstr.h"

namespace fs = std::filesystem;

namespace fcprofile {
namespace {

const char kStampFile[] = "fontconfig.stamp";
const char kStampVersion[] = "tamsel default profile 1";
const char* const kProfileFiles[] = {"profile.ini", "registry.reg", kStampFile};
// Longest link name in the fonts folder, in UTF-16 units: well inside the
// 128 a registry scan's data buffer holds.
constexpr size_t kMaxLinkUnits = 100;
constexpr size_t kMaxLinks = 10;  // SystemLink entries per face

// The Windows faces projects name, each with the language it serves.
const struct {
    const char* face;
    const char* lang;
} kWindowsFaces[] = {
    {"Arial", "en"},      {"Arial Black", "en"},     {"Times New Roman", "en"},
    {"Courier New", "en"}, {"Verdana", "en"},         {"Tahoma", "en"},
    {"Segoe UI", "en"},   {"Calibri", "en"},         {"Cambria", "en"},
    {"Consolas", "en"},   {"Microsoft Sans Serif", "en"}, {"MS Shell Dlg", "en"},
    {"MS Shell Dlg 2", "en"},
    {"SimSun", "zh-cn"},  {"宋体", "zh-cn"},          {"NSimSun", "zh-cn"},
    {"新宋体", "zh-cn"},   {"SimHei", "zh-cn"},       {"黑体", "zh-cn"},
    {"Microsoft YaHei", "zh-cn"}, {"微软雅黑", "zh-cn"}, {"KaiTi", "zh-cn"},
    {"楷体", "zh-cn"},     {"FangSong", "zh-cn"},     {"仿宋", "zh-cn"},
    {"MingLiU", "zh-tw"}, {"PMingLiU", "zh-tw"},     {"MS Gothic", "ja"},
    {"MS Mincho", "ja"},  {"Meiryo", "ja"},          {"Malgun Gothic", "ko"},
};

std::string LowerAscii(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

std::string FcLang(const std::string& locale) { return LowerAscii(locale); }

UINT AnsiCodePageFor(const std::string& locale) {
    static const std::map<std::string, UINT> pages = {
        {"zh-cn", 936}, {"zh-sg", 936}, {"zh-tw", 950}, {"zh-hk", 950}, {"ja", 932}, {"ko", 949},
        {"ru", 1251},   {"uk", 1251},   {"bg", 1251},   {"pl", 1250},   {"cs", 1250}, {"hu", 1250},
        {"el", 1253},   {"tr", 1254},   {"he", 1255},   {"ar", 1256},   {"th", 874},  {"vi", 1258}};
    const std::string key = LowerAscii(locale);
    auto it = pages.find(key);
    if (it == pages.end()) it = pages.find(key.substr(0, key.find('-')));
    return it == pages.end() ? 1252 : it->second;
}

struct FontFile {
    std::string path;
    std::string link;  // name in the profile's fonts folder
};

struct ConfigDeleter {
    void operator()(FcConfig* c) const { FcConfigDestroy(c); }
};
using Config = std::unique_ptr<FcConfig, ConfigDeleter>;

bool IsOutlineFile(const std::string& path) {
    const std::string ext = LowerAscii(fs::path(path).extension().string());
    return ext == ".ttf" || ext == ".ttc" || ext == ".otf" || ext == ".otc";
}

// The scalable TrueType/OpenType files fontconfig lists, sorted by path.
std::vector<std::string> ListFiles(FcConfig* config) {
    std::set<std::string> files;
    FcPattern* pattern = FcPatternCreate();
    FcObjectSet* objects = FcObjectSetBuild(FC_FILE, FC_FONTFORMAT, FC_SCALABLE, nullptr);
    if (FcFontSet* set = FcFontList(config, pattern, objects)) {
        for (int i = 0; i < set->nfont; ++i) {
            FcChar8* file = nullptr;
            FcChar8* format = nullptr;
            FcBool scalable = FcFalse;
            if (FcPatternGetString(set->fonts[i], FC_FILE, 0, &file) != FcResultMatch) continue;
            if (FcPatternGetBool(set->fonts[i], FC_SCALABLE, 0, &scalable) == FcResultMatch && !scalable) continue;
            if (FcPatternGetString(set->fonts[i], FC_FONTFORMAT, 0, &format) == FcResultMatch &&
                std::strcmp(reinterpret_cast<const char*>(format), "TrueType") != 0 &&
                std::strcmp(reinterpret_cast<const char*>(format), "CFF") != 0)
                continue;
            const std::string path = reinterpret_cast<const char*>(file);
            if (IsOutlineFile(path)) files.insert(path);
        }
        FcFontSetDestroy(set);
    }
    FcObjectSetDestroy(objects);
    FcPatternDestroy(pattern);
    return {files.begin(), files.end()};
}

std::string StatLine(const std::string& path) {
    struct stat st {};
    std::ostringstream line;
    line << path << '\t';
    if (::stat(path.c_str(), &st) == 0)
        line << st.st_size << '\t' << st.st_mtim.tv_sec << '.' << st.st_mtim.tv_nsec;
    else
        line << "-";
    return line.str() + "\n";
}

// The font files and fontconfig's own configuration files, with their sizes
// and times, and the locale: what the profile is made from.
std::string Stamp(FcConfig* config, const std::vector<std::string>& files, const std::string& locale) {
    std::string stamp = std::string(kStampVersion) + "\nlocale\t" + locale + "\n";
    if (FcStrList* list = FcConfigGetConfigFiles(config)) {
        std::vector<std::string> confs;
        while (FcChar8* f = FcStrListNext(list)) confs.push_back(reinterpret_cast<const char*>(f));
        FcStrListDone(list);
        std::sort(confs.begin(), confs.end());
        for (const std::string& c : confs) stamp += "config\t" + StatLine(c);
    }
    for (const std::string& f : files) stamp += "font\t" + StatLine(f);
    return stamp;
}

std::string ReadText(const fs::path& p) {
    std::ifstream f(p, std::ios::binary);
    std::stringstream ss;
    ss << f.rdbuf();
    return ss.str();
}

bool WriteText(const fs::path& p, const std::string& text) {
    std::ofstream f(p, std::ios::binary | std::ios::trunc);
    f << text;
    f.close();
    return static_cast<bool>(f);
}

// Removes a profile folder this code made: its links, its own files, the
// folders. Anything else found there stays, and so does the folder.
void RemoveProfileDir(const fs::path& dir) {
    std::error_code ec;
    // A link in place of a folder is never followed.
    if (!fs::is_directory(fs::symlink_status(dir, ec))) return;
    if (fs::is_directory(fs::symlink_status(dir / "Fonts", ec))) {
        for (const auto& e : fs::directory_iterator(dir / "Fonts", ec))
            if (e.is_symlink(ec)) fs::remove(e.path(), ec);
        fs::remove(dir / "Fonts", ec);
    }
    for (const char* f : kProfileFiles) {
        const fs::path p = dir / f;
        if (fs::is_regular_file(fs::symlink_status(p, ec))) fs::remove(p, ec);
    }
    fs::remove(dir, ec);
}

// Folders of earlier rebuilds whose process is gone ("NAME.new-PID", "NAME.old-PID").
void RemoveLeftovers(const fs::path& dir) {
    std::error_code ec;
    const std::string base = dir.filename().string();
    for (const auto& e : fs::directory_iterator(dir.parent_path(), ec)) {
        const std::string name = e.path().filename().string();
        for (const char* tag : {".new-", ".old-"}) {
            const std::string prefix = base + tag;
            if (name.compare(0, prefix.size(), prefix) != 0) continue;
            const std::string pid = name.substr(prefix.size());
            if (pid.empty() || pid.find_first_not_of("0123456789") != std::string::npos) continue;
            const long n = std::stol(pid);
            if (n == ::getpid() || (::kill(static_cast<pid_t>(n), 0) != 0 && errno == ESRCH))
                RemoveProfileDir(e.path());
        }
    }
}

// Link names: the file's own name, shortened when long, and made unique
// without regard to case (the folder is looked up as Windows looks it up).
std::vector<FontFile> NameLinks(const std::vector<std::string>& files) {
    std::vector<FontFile> out;
    std::set<std::string> used;
    for (const std::string& path : files) {
        const fs::path p(path);
        std::u16string stem = Utf8ToUtf16(p.stem().string());
        const std::u16string ext = Utf8ToUtf16(p.extension().string());
        if (stem.size() + ext.size() > kMaxLinkUnits - 4) stem.resize(kMaxLinkUnits - 4 - ext.size());
        std::string name = Utf16ToUtf8(stem + ext);
        for (int n = 2; !used.insert(LowerAscii(name)).second; ++n)
            name = Utf16ToUtf8(stem) + "-" + std::to_string(n) + Utf16ToUtf8(ext);
        out.push_back({path, name});
    }
    return out;
}

struct Matched {
    std::string link;
    std::u16string family;  // as GDI knows the face
};

// Answers "which installed face for this request" in fontconfig's own order,
// restricted to the files the profile links.
class Matcher {
public:
    Matcher(FcConfig* config, const std::vector<FontFile>& files) : m_config(config) {
        for (const FontFile& f : files) m_links[f.path] = f.link;
    }

    // The faces fontconfig would use for `family` in `lang`, best first: with
    // `trim`, only those that add characters the ones before lack.
    std::vector<Matched> Sort(const std::string& family, const std::string& lang, bool trim, size_t most) {
        std::vector<Matched> out;
        FcPattern* pattern = FcPatternCreate();
        FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
        FcPatternAddString(pattern, FC_LANG, reinterpret_cast<const FcChar8*>(lang.c_str()));
        FcConfigSubstitute(m_config, pattern, FcMatchPattern);
        FcDefaultSubstitute(pattern);
        FcResult result = FcResultNoMatch;
        if (FcFontSet* set = FcFontSort(m_config, pattern, trim ? FcTrue : FcFalse, nullptr, &result)) {
            for (int i = 0; i < set->nfont && out.size() < most; ++i) {
                FcChar8* file = nullptr;
                int index = 0;
                if (FcPatternGetString(set->fonts[i], FC_FILE, 0, &file) != FcResultMatch) continue;
                FcPatternGetInteger(set->fonts[i], FC_INDEX, 0, &index);
                if (const fontdb::Face* face = FaceOf(reinterpret_cast<const char*>(file), index & 0xFFFF))
                    out.push_back({m_links[face->path], face->family});
            }
            FcFontSetDestroy(set);
        }
        FcPatternDestroy(pattern);
        return out;
    }

    // Whether `name` is a face of some linked file fontconfig offers for it.
    bool Installed(const std::string& name, const Matched& best) {
        for (const fontdb::Face& f : m_faces[m_paths[best.link]])
            if (fontdb::MatchesName(f, Utf8ToUtf16(name))) return true;
        return false;
    }

private:
    const fontdb::Face* FaceOf(const std::string& path, int index) {
        auto link = m_links.find(path);
        if (link == m_links.end()) return nullptr;
        auto it = m_faces.find(path);
        if (it == m_faces.end()) {
            it = m_faces.emplace(path, fontdb::ScanFontFile(path)).first;
            for (fontdb::Face& f : it->second) f.path = path;
            m_paths[link->second] = path;
        }
        for (const fontdb::Face& f : it->second)
            if (f.faceIndex == index && !f.raster) return &f;
        return nullptr;
    }

    FcConfig* m_config;
    std::map<std::string, std::string> m_links;  // path -> link name
    std::map<std::string, std::string> m_paths;  // link name -> path
    std::map<std::string, std::vector<fontdb::Face>> m_faces;
};

std::string RegQuote(const std::u16string& s) {
    std::string q = "\"";
    for (char c : Utf16ToUtf8(s)) {
        if (c == '\\' || c == '"') q += '\\';
        q += c;
    }
    return q + "\"";
}

// REG_MULTI_SZ as regedit writes it: hex(7), UTF-16LE, wrapped lines.
std::string RegMultiString(const std::vector<std::u16string>& strings) {
    std::vector<unsigned> bytes;
    for (const std::u16string& s : strings) {
        for (char16_t c : s + u'\0') {
            bytes.push_back(c & 0xFF);
            bytes.push_back(c >> 8);
        }
    }
    bytes.push_back(0);
    bytes.push_back(0);
    std::string out = "hex(7):";
    char hex[4];
    for (size_t i = 0; i < bytes.size(); ++i) {
        std::snprintf(hex, sizeof hex, "%02x", bytes[i]);
        out += hex;
        if (i + 1 < bytes.size()) out += (i % 24 == 23) ? ",\\\r\n  " : ",";
    }
    return out;
}

struct Contents {
    std::string iconTitleFace;
    std::vector<std::pair<std::u16string, std::u16string>> substitutes;
    std::vector<std::pair<std::u16string, std::vector<std::u16string>>> links;
};

Contents Decide(FcConfig* config, const std::vector<FontFile>& files, const std::string& locale) {
    Contents c;
    Matcher m(config, files);
    const std::string lang = FcLang(locale);
    std::vector<std::u16string> keys;
    for (const Matched& icon : m.Sort("sans-serif", lang, false, 1)) {
        c.iconTitleFace = Utf16ToUtf8(icon.family);
        keys.push_back(icon.family);
    }
    for (const auto& w : kWindowsFaces) {
        const auto best = m.Sort(w.face, w.lang, false, 1);
        if (best.empty() || m.Installed(w.face, best.front())) continue;
        c.substitutes.emplace_back(Utf8ToUtf16(w.face), best.front().family);
        if (std::find(keys.begin(), keys.end(), best.front().family) == keys.end()) keys.push_back(best.front().family);
    }
    for (const std::u16string& key : keys) {
        std::vector<std::u16string> entries;
        std::set<std::u16string> seen = {fontdb::NameKey(key)};
        for (const Matched& f : m.Sort(Utf16ToUtf8(key), lang, true, 64)) {
            if (entries.size() == kMaxLinks) break;
            if (seen.insert(fontdb::NameKey(f.family)).second)
                entries.push_back(Utf8ToUtf16(f.link) + u"," + f.family);
        }
        if (!entries.empty()) c.links.emplace_back(key, entries);
    }
    return c;
}

bool WriteProfile(const fs::path& dir, const std::vector<FontFile>& files, const Contents& c,
                  const std::string& locale, std::string* error) {
    std::error_code ec;
    fs::create_directories(dir / "Fonts", ec);
    if (ec) {
        if (error) *error = "cannot create " + (dir / "Fonts").string() + ": " + ec.message();
        return false;
    }
    for (const FontFile& f : files) {
        fs::create_symlink(f.path, dir / "Fonts" / f.link, ec);
        if (ec) {
            if (error) *error = "cannot link " + f.path + " into " + dir.string() + ": " + ec.message();
            return false;
        }
    }
    std::string ini =
        "; The machine profile of this desktop, made from fontconfig's fonts.\n"
        "; It is made again when they change: edits here do not last.\n"
        "[Profile]\n"
        "Locale=" + locale + "\n"
        "AnsiCodePage=" + std::to_string(AnsiCodePageFor(locale)) + "\n";
    // A face whose name holds a comma cannot be written in the setting's form.
    if (!c.iconTitleFace.empty() && c.iconTitleFace.find(',') == std::string::npos)
        ini += "IconTitleFont=" + c.iconTitleFace + ",-12,400,0\n";
    std::string reg = "Windows Registry Editor Version 5.00\r\n\r\n"
                      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\FontSubstitutes]\r\n";
    for (const auto& s : c.substitutes) reg += RegQuote(s.first) + "=" + RegQuote(s.second) + "\r\n";
    reg += "\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\FontLink\\SystemLink]\r\n";
    for (const auto& l : c.links) reg += RegQuote(l.first) + "=" + RegMultiString(l.second) + "\r\n";
    if (!WriteText(dir / "profile.ini", ini) || !WriteText(dir / "registry.reg", reg)) {
        if (error) *error = "cannot write the profile in " + dir.string();
        return false;
    }
    return true;
}

}  // namespace

std::string LocaleFromPosix(const std::string& posix) {
    std::string name = posix.substr(0, posix.find_first_of(".@"));
    if (name.empty() || name == "C" || name == "POSIX") return "en-US";
    std::replace(name.begin(), name.end(), '_', '-');
    const size_t dash = name.find('-');
    for (size_t i = 0; i < name.size(); ++i)
        name[i] = static_cast<char>(i < dash ? std::tolower(static_cast<unsigned char>(name[i]))
                                             : std::toupper(static_cast<unsigned char>(name[i])));
    return name;
}

bool Update(const std::string& dirName, const std::string& locale, std::string* error, bool* rebuilt) {
    if (rebuilt) *rebuilt = false;
    const fs::path dir = fs::path(dirName).lexically_normal();
    Config config(FcInitLoadConfigAndFonts());
    if (!config) {
        if (error) *error = "fontconfig could not load its configuration";
        return false;
    }
    const std::vector<std::string> listed = ListFiles(config.get());
    const std::string stamp = Stamp(config.get(), listed, locale);
    std::error_code ec;
    if (fs::is_directory(dir / "Fonts", ec) && ReadText(dir / kStampFile) == stamp) return true;
    if (fs::is_symlink(dir, ec)) {
        if (error) *error = dir.string() + " is a link; the default profile is not made through it";
        return false;
    }

    fs::create_directories(dir.parent_path(), ec);
    RemoveLeftovers(dir);
    const std::string pid = std::to_string(::getpid());
    const fs::path fresh = dir.string() + ".new-" + pid, old = dir.string() + ".old-" + pid;
    const std::vector<FontFile> files = NameLinks(listed);
    if (!WriteProfile(fresh, files, Decide(config.get(), files, locale), locale, error) ||
        !WriteText(fresh / kStampFile, stamp)) {
        RemoveProfileDir(fresh);
        return false;
    }
    const bool hadOld = fs::exists(fs::symlink_status(dir, ec));
    ec.clear();
    if (hadOld) fs::rename(dir, old, ec);
    if (!ec) fs::rename(fresh, dir, ec);
    if (ec) {
        // Another studio may have put its profile in place first; it is as new.
        RemoveProfileDir(fresh);
        if (fs::is_directory(dir / "Fonts")) return true;
        if (error) *error = "cannot put the default profile in place at " + dir.string() + ": " + ec.message();
        return false;
    }
    if (hadOld) RemoveProfileDir(old);
    if (rebuilt) *rebuilt = true;
    return true;
}

}  // namespace fcprofile
