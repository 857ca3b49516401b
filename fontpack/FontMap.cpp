// The system font map, rebuilt from the registry, GDI and the font files.
#include "FontTable.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "Glyphworks.h"
#include "TrueTypeFont.h"
#include "win/files.h"
#include "win/fontdb.h"
#include "win/gdi.h"
#include "win/registry.h"
#include "win/wstr.h"

CFaceStringMap FontFileMap;
CFaceStringMap PackNameMap;
CFaceSizeMap FontSizeMap;

namespace {

const WCHAR kFontsKey[] = u"Software\\Microsoft\\Windows NT\\CurrentVersion\\Fonts";
const std::u16string kSimSunZh = u"\u5B8B\u4F53";      // 宋体
const std::u16string kNSimSunZh = u"\u65B0\u5B8B\u4F53";  // 新宋体

// Registry enumeration state; lives for one scan.
HKEY g_hFontsKey = nullptr;
DWORD g_nValueIndex = 0;

// Keeps the last face offered, skipping vertical (@) faces and "System".
int EnumLastFace(const LOGFONTW* lf, const TEXTMETRICW* /*tm*/, DWORD /*type*/, LPARAM param) {
    auto* result = reinterpret_cast<WCHAR*>(param);
    const std::u16string face(lf->lfFaceName, std::find(lf->lfFaceName, lf->lfFaceName + LF_FACESIZE, u'\0'));
    if (face.find(u'@') != std::u16string::npos || face == u"System") return 1;
    CopyFixedName(result, face.c_str(), LF_FACESIZE);
    return 1;
}

std::u16string GdiFaceFor(const std::u16string& registryName) {
    LOGFONTW lf;
    std::memset(&lf, 0, sizeof lf);
    lf.lfCharSet = DEFAULT_CHARSET;
    CopyFixedName(lf.lfFaceName, registryName.c_str(), LF_FACESIZE);
    WCHAR result[LF_FACESIZE] = {};
    HDC dc = GetDC(nullptr);
    EnumFontFamiliesExW(dc, &lf, EnumLastFace, reinterpret_cast<LPARAM>(result), 0);
    ReleaseDC(nullptr, dc);
    return std::u16string(result);
}

bool HasTrueTypeExtension(const std::u16string& path) {
    for (const char16_t* ext : {u"TTF", u"ttf", u"ttc", u"TTC"})
        if (path.find(ext) != std::u16string::npos) return true;
    return false;
}

std::u16string CutAt(std::u16string s, const char16_t* marker) {
    const size_t pos = s.find(marker);
    if (pos != std::u16string::npos) s.erase(pos);
    return s;
}

void RegistryScan() {
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kFontsKey, 0, KEY_ALL_ACCESS, &g_hFontsKey) != ERROR_SUCCESS) {
        g_hFontsKey = nullptr;
        return;
    }
    for (g_nValueIndex = 0;; ++g_nValueIndex) {
        WCHAR name[MAX_PATH];
        BYTE data[259];
        DWORD nameChars = MAX_PATH, dataBytes = sizeof data;
        if (RegEnumValueW(g_hFontsKey, g_nValueIndex, name, &nameChars, nullptr, nullptr, data, &dataBytes) !=
            ERROR_SUCCESS)
            break;
        std::u16string path;
        for (DWORD i = 0; i + 1 < dataBytes; i += 2) {
            const char16_t c = static_cast<char16_t>(data[i] | (data[i + 1] << 8));
            if (!c) break;
            path += c;
        }
        if (!HasTrueTypeExtension(path)) continue;
        const size_t slash = path.rfind(u'\\');
        const std::u16string file = slash == std::u16string::npos ? path : path.substr(slash + 1);
        const std::u16string registryName = CutAt(CutAt(std::u16string(name, nameChars), u" (TrueType)"), u" &");
        const std::u16string face = GdiFaceFor(registryName);
        if (face.empty() || FontFileMap.count(face)) continue;
        FontFileMap[face] = file;
        PackNameMap[face] = registryName;
    }
    RegCloseKey(g_hFontsKey);
    g_hFontsKey = nullptr;
    g_nValueIndex = 0;
}

std::u16string FontsFolder() {
    WCHAR folder[MAX_PATH] = {};
    SHGetSpecialFolderPathW(nullptr, folder, CSIDL_FONTS, FALSE);
    return folder;
}

// What was read from an installed font file, kept while the file stays as the
// machine profile read it: every project open would otherwise read every
// installed file again. A file changed since is read again at the next
// profile load, when GDI's faces change with it.
struct FileFacts {
    fontdb::FileStamp stamp;
    bool measured = false;
    double megabytes = 0.0;
    std::map<std::u16string, std::u16string> families;  // face asked for -> family read ("" when none)
};

std::map<std::u16string, FileFacts>& KnownFiles() {
    static std::map<std::u16string, FileFacts> files;
    return files;
}

// The facts of `file` of the fonts folder, emptied when it changed; null
// when no regular file is there. A file the profile read is taken as it read
// it; any other is looked at (links followed, its name found as Windows finds
// it, whatever its case).
FileFacts* FactsOf(const std::u16string& folder, const std::u16string& file) {
    const std::u16string path = folder + u"\\" + file;
    fontdb::FileStamp now;
    const std::vector<const fontdb::Face*>& read = fontdb::FacesInFile(Utf16ToUtf8(file));
    if (!read.empty()) {
        now = read.front()->stamp;
    } else {
        struct stat st {};
        if (::stat(NativePath(path).c_str(), &st) != 0 && ::stat(NativeExistingPath(path.c_str()).c_str(), &st) != 0)
            st.st_mode = 0;
        if (!S_ISREG(st.st_mode)) {
            KnownFiles().erase(path);
            return nullptr;
        }
        now = fontdb::StampOf(st);
    }
    FileFacts& facts = KnownFiles()[path];
    if (!(facts.stamp == now)) {
        facts = FileFacts();
        facts.stamp = now;
    }
    return &facts;
}

void RegistryMapPass() {
    std::map<std::u16string, std::u16string> files;
    if (getFontFileMapByRegedit(files) <= 0) return;
    const std::u16string folder = FontsFolder();
    // A collection's families come one after another: its file is read once for them.
    CTrueTypeCollection collection;
    std::u16string collectionPath;
    bool collectionOpen = false;
    CTrueTypeFont font;
    for (const auto& kv : files) {
        std::u16string face = kv.first;
        const size_t bold = face.find(u"-Bold");
        if (bold != std::u16string::npos) face.erase(bold, 5);
        const std::u16string path = folder + u"\\" + kv.second;
        std::u16string family;
        FileFacts* facts = FactsOf(folder, kv.second);
        auto known = facts ? facts->families.find(kv.first) : decltype(facts->families.end()){};
        if (facts && known != facts->families.end()) {
            family = known->second;
        } else if (kv.second.find(u".ttc") != std::u16string::npos || kv.second.find(u".TTC") != std::u16string::npos) {
            if (path != collectionPath) {
                collection.Close();
                collectionPath = path;
                collectionOpen = collection.Open(path.c_str());
            }
            if (collectionOpen) {
                const int index = collection.FindFontIndex(kv.first);
                if (index >= 0) family = collection.GetFamilyName(index);
            }
        } else if (font.Open(path.c_str())) {
            family = font.GetFamilyName();
        }
        if (facts) facts->families.emplace(kv.first, family);
        auto it = PackNameMap.find(face);
        if (it == PackNameMap.end())
            PackNameMap[face] = family;
        else if (!family.empty())
            it->second = family;
    }
    PackNameMap.emplace(kNSimSunZh, u"NSimSun");
}

double FileMegabytes(const std::u16string& folder, const std::u16string& file) {
    const std::u16string path = folder + u"\\" + file;
    FileFacts* facts = FactsOf(folder, file);
    if (!facts) return 0.0;
    if (facts->measured) return facts->megabytes;
    facts->measured = true;
    HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, 1 /*FILE_SHARE_READ*/, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return 0.0;
    const DWORD size = GetFileSize(h, nullptr);
    CloseHandle(h);
    facts->megabytes = size == INVALID_FILE_SIZE ? 0.0 : size / 1048576.0;
    return facts->megabytes;
}

}  // namespace

void MakeFontMap() {
    FontFileMap.clear();
    PackNameMap.clear();
    FontSizeMap.clear();
    RegistryScan();
    RegistryMapPass();
    const std::u16string folder = FontsFolder();
    // The families of a collection share its file: it is measured once.
    std::map<std::u16string, double> sizes;
    for (const auto& kv : FontFileMap) {
        auto size = sizes.find(kv.second);
        if (size == sizes.end()) size = sizes.emplace(kv.second, FileMegabytes(folder, kv.second)).first;
        FontSizeMap[kv.first] = size->second;
    }
    FontSizeMap[kSimSunZh] = 0.0;
}

CString Font_GetPackName(CString face) { return CString(PackNameMap[face.str()]); }
