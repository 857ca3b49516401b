// The registry of the machine profile, and the shell's special folders.
// The profile's registry.reg is read when present. When it is absent, or
// holds no installed-fonts key (an export of FontSubstitutes alone, say),
// that key is what the Windows installer writes for the fonts folder (see
// InstallerFontValues).
#pragma once

#include <string>
#include <vector>

#include "win/windows.h"

#define HKEY_CLASSES_ROOT (reinterpret_cast<HKEY>(static_cast<uintptr_t>(0x80000000u)))
#define HKEY_CURRENT_USER (reinterpret_cast<HKEY>(static_cast<uintptr_t>(0x80000001u)))
#define HKEY_LOCAL_MACHINE (reinterpret_cast<HKEY>(static_cast<uintptr_t>(0x80000002u)))

#define KEY_QUERY_VALUE 0x0001
#define KEY_READ 0x20019
#define KEY_ALL_ACCESS 0xF003F

#define REG_NONE 0
#define REG_SZ 1
#define REG_EXPAND_SZ 2
#define REG_BINARY 3
#define REG_DWORD 4
#define REG_MULTI_SZ 7

#define ERROR_SUCCESS 0L
#define ERROR_FILE_NOT_FOUND 2L
#define ERROR_ACCESS_DENIED 5L
#define ERROR_INVALID_HANDLE 6L
#define ERROR_INVALID_PARAMETER 87L
#define ERROR_MORE_DATA 234L
#define ERROR_NO_MORE_ITEMS 259L

#define CSIDL_FONTS 0x0014

WINAPI_EXPORT LONG RegOpenKeyExW(HKEY root, const WCHAR* subKey, DWORD options, DWORD access, HKEY* result);
// Windows semantics: *nameChars is the buffer size in characters on entry and
// the name length without its NUL on success; *dataBytes likewise in bytes
// (string data includes its NUL). A buffer too small gives ERROR_MORE_DATA.
WINAPI_EXPORT LONG RegEnumValueW(HKEY key, DWORD index, WCHAR* name, DWORD* nameChars, DWORD* reserved, DWORD* type,
                   BYTE* data, DWORD* dataBytes);
WINAPI_EXPORT LONG RegQueryValueExW(HKEY key, const WCHAR* valueName, DWORD* reserved, DWORD* type, BYTE* data,
                      DWORD* dataBytes);
WINAPI_EXPORT LONG RegCloseKey(HKEY key);

// Writes the folder path (at most MAX_PATH units with its NUL) for CSIDL_FONTS.
WINAPI_EXPORT BOOL SHGetSpecialFolderPathW(HWND owner, WCHAR* path, int csidl, BOOL create);

namespace winregistry {
struct Value {
    std::u16string name;
    DWORD type = REG_SZ;
    std::vector<BYTE> data;
};
// Parses Windows .reg text (UTF-16LE with BOM, or UTF-8/ANSI). Keys are
// returned as full paths ("HKEY_LOCAL_MACHINE\Software\..."). A value that
// cannot be read (an unterminated string, bad hex, an over-long dword) is
// skipped and described in *problems as "line N: why", and so is a key line
// with its values; the rest is kept, as regedit imports what it can. Only
// hex data goes on over a trailing backslash. False, with *error, only when
// the text is no registry file at all.
WINAPI_EXPORT bool ParseRegFile(const std::string& text, std::vector<std::pair<std::u16string, std::vector<Value>>>& keys,
                  std::string* error, std::vector<std::string>* problems = nullptr);
// What the profile's registry.reg held that could not be read, for the host
// to show; empty when it read cleanly or there is none.
WINAPI_EXPORT std::vector<std::string> RegistryProblems();
// The values of the profile's installed fonts key, in registry order.
WINAPI_EXPORT std::vector<Value> InstalledFontValues();
// REG_SZ data: the UTF-16LE units with their terminator.
WINAPI_EXPORT std::vector<BYTE> StringData(const std::u16string& s);
// The installed-fonts key as Windows' installer fills it for the fonts
// folder: one value per font file, "<full names of its faces joined by
// ' & '> (TrueType)" -> file name (" (OpenType)" for .otf/.otc files, the
// family alone for raster fonts). Every name fits the 259 units a scan with
// a MAX_PATH buffer reads: a collection lists its members as far as they fit.
// A collection whose members belong to several families gets one more value
// for each family after the first, "<its members> (TrueType)", so that every
// family is the first name of some value. Values come family by family, the
// most regular face first, so the first value that names a family is its
// regular file; values whose file name is too long for a 259-byte data
// buffer come last.
WINAPI_EXPORT std::vector<Value> InstallerFontValues();
}  // namespace winregistry
