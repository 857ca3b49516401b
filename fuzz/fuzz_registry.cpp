// Fuzzes registry.reg: the .reg parser on the bytes, then the whole road
// through a machine profile whose registry.reg is the input (the registry
// functions over the installed-fonts key, the registry's font-file map and
// the system font map built from it).
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "FontTable.h"
#include "FuzzSupport.h"
#include "Glyphworks.h"
#include "win/profile.h"
#include "win/registry.h"
#include "win/wstr.h"

namespace {

const WCHAR kFontsKey[] = u"Software\\Microsoft\\Windows NT\\CurrentVersion\\Fonts";
const std::u16string kMachine = u"HKEY_LOCAL_MACHINE\\";

const fuzzsupport::fs::path& Profile() {
    static const fuzzsupport::fs::path dir = [] {
        const auto d = fuzzsupport::ScratchDir("registry") / "profile";
        fuzzsupport::fs::create_directories(d / "Fonts");
        // One real face, so names in the registry can lead somewhere.
        const auto font = fuzzsupport::SystemFont();
        if (!font.empty()) fuzzsupport::fs::create_symlink(font, d / "Fonts" / font.filename());
        return d;
    }();
    return dir;
}

void CheckParser(const std::string& bytes) {
    std::vector<std::pair<std::u16string, std::vector<winregistry::Value>>> keys;
    std::string error;
    std::vector<std::string> problems;
    const bool ok = winregistry::ParseRegFile(bytes, keys, &error, &problems);
    FUZZ_CHECK(ok || !error.empty());
    for (const std::string& p : problems) FUZZ_CHECK(p.rfind("line ", 0) == 0);
    // Without the optional arguments the parser gives the same keys.
    std::vector<std::pair<std::u16string, std::vector<winregistry::Value>>> again;
    FUZZ_CHECK(winregistry::ParseRegFile(bytes, again, nullptr) == ok);
    FUZZ_CHECK(again.size() == keys.size());
}

// Every machine key of the file can be opened, by its full path and below
// its parent.
void CheckKeysOpen(const std::string& bytes) {
    std::vector<std::pair<std::u16string, std::vector<winregistry::Value>>> keys;
    if (!winregistry::ParseRegFile(bytes, keys, nullptr)) return;
    for (const auto& key : keys) {
        const std::u16string& path = key.first;
        if (path.compare(0, kMachine.size(), kMachine) != 0 || path.size() == kMachine.size()) continue;
        const std::u16string sub = path.substr(kMachine.size());
        if (sub.find(u'\0') != std::u16string::npos) continue;  // a C string ends there
        HKEY k = nullptr;
        FUZZ_CHECK(RegOpenKeyExW(HKEY_LOCAL_MACHINE, sub.c_str(), 0, KEY_READ, &k) == ERROR_SUCCESS);
        const size_t slash = sub.find(u'\\');
        if (slash != std::u16string::npos && slash > 0 && slash + 1 < sub.size()) {
            HKEY parent = nullptr, child = nullptr;
            if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, sub.substr(0, slash).c_str(), 0, KEY_READ, &parent) ==
                ERROR_SUCCESS) {
                FUZZ_CHECK(RegOpenKeyExW(parent, sub.substr(slash + 1).c_str(), 0, KEY_READ, &child) ==
                           ERROR_SUCCESS);
                FUZZ_CHECK(RegCloseKey(child) == ERROR_SUCCESS);
                FUZZ_CHECK(RegCloseKey(parent) == ERROR_SUCCESS);
            }
        }
        FUZZ_CHECK(RegCloseKey(k) == ERROR_SUCCESS);
        if (keys.size() > 64) break;  // enough to see the look-up work
    }
}

// The installed-fonts key read as the module reads it, with buffers of
// every kind of size, against the values the profile holds.
void CheckFontsKey() {
    const std::vector<winregistry::Value> values = winregistry::InstalledFontValues();
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kFontsKey, 0, KEY_READ, &key) != ERROR_SUCCESS) {
        FUZZ_CHECK(values.empty());
        return;
    }
    static WCHAR name[16384];
    static BYTE data[1 << 16];
    DWORD index = 0;
    for (;; ++index) {
        const DWORD nameSize = 16384, dataSize = sizeof data;
        DWORD nameChars = nameSize, dataBytes = dataSize, type = 0;
        const LONG rc = RegEnumValueW(key, index, name, &nameChars, nullptr, &type, data, &dataBytes);
        if (rc == ERROR_NO_MORE_ITEMS) break;
        FUZZ_CHECK(index < values.size());
        const winregistry::Value& v = values[index];
        if (rc == ERROR_MORE_DATA) {
            FUZZ_CHECK(v.name.size() + 1 > nameSize || v.data.size() > dataSize);
            continue;
        }
        FUZZ_CHECK(rc == ERROR_SUCCESS);
        FUZZ_CHECK(nameChars == v.name.size() && name[nameChars] == 0);
        FUZZ_CHECK(std::u16string(name, nameChars) == v.name);
        FUZZ_CHECK(dataBytes == v.data.size() && type == v.type);
        FUZZ_CHECK(dataBytes == 0 || std::memcmp(data, v.data.data(), dataBytes) == 0);
        // No room for the name's NUL, or for the last byte of the data: nothing is written past them.
        WCHAR small[8];
        DWORD smallChars = static_cast<DWORD>(std::min<size_t>(v.name.size(), 8));
        FUZZ_CHECK(RegEnumValueW(key, index, small, &smallChars, nullptr, nullptr, nullptr, nullptr) ==
                   ERROR_MORE_DATA);
        if (!v.data.empty() && v.data.size() <= 64) {
            std::vector<BYTE> shortData(v.data.size());
            DWORD shortBytes = static_cast<DWORD>(v.data.size() - 1);
            DWORD chars = nameSize;
            FUZZ_CHECK(RegEnumValueW(key, index, name, &chars, nullptr, nullptr, shortData.data(), &shortBytes) ==
                       ERROR_MORE_DATA);
            FUZZ_CHECK(shortBytes == v.data.size());
        }
        // Queried by name: some value of that name (names match without regard to case).
        if (v.name.find(u'\0') == std::u16string::npos) {
            DWORD queried = dataSize;
            FUZZ_CHECK(RegQueryValueExW(key, v.name.c_str(), nullptr, &type, data, &queried) != ERROR_FILE_NOT_FOUND);
        }
    }
    FUZZ_CHECK(index == values.size());
    FUZZ_CHECK(RegCloseKey(key) == ERROR_SUCCESS);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    CheckParser(bytes);

    fuzzsupport::WriteFile(Profile() / "registry.reg", data, size);
    std::string error;
    // Every load is a new generation: the registry and the faces are read again.
    FUZZ_CHECK(winprofile::Load(Profile().string(), &error));
    for (const std::string& p : winregistry::RegistryProblems()) FUZZ_CHECK(!p.empty());
    CheckKeysOpen(bytes);
    CheckFontsKey();

    std::map<std::u16string, std::u16string> files;
    const int entries = getFontFileMapByRegedit(files);
    FUZZ_CHECK(entries == static_cast<int>(files.size()));
    for (const auto& kv : files) FUZZ_CHECK(kv.second.find_first_of(u"\\/") == std::u16string::npos);

    MakeFontMap();
    for (const auto& kv : FontFileMap) {
        FUZZ_CHECK(!kv.first.empty() && kv.first.size() < LF_FACESIZE);
        FUZZ_CHECK(FontSizeMap.count(kv.first));
        (void)Font_GetPackName(CString(kv.first));
    }
    WCHAR folder[MAX_PATH];
    FUZZ_CHECK(SHGetSpecialFolderPathW(nullptr, folder, CSIDL_FONTS, FALSE));
    return 0;
}
