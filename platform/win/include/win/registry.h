// The registry of the machine profile, and the shell's special folders.
// The profile's registry.reg is read when present; otherwise the installed
// fonts key is built from the fonts folder as the Windows installer fills it:
// "<full names joined by ' & '> (TrueType)" -> file name for TrueType and
// OpenType files, "<family> <pixel sizes>" -> file name for raster fonts.
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

LONG RegOpenKeyExW(HKEY root, const WCHAR* subKey, DWORD options, DWORD access, HKEY* result);
// Windows semantics: *nameChars is the buffer size in characters on entry and
// the name length without its NUL on success; *dataBytes likewise in bytes
// (string data includes its NUL). A buffer too small gives ERROR_MORE_DATA.
LONG RegEnumValueW(HKEY key, DWORD index, WCHAR* name, DWORD* nameChars, DWORD* reserved, DWORD* type,
                   BYTE* data, DWORD* dataBytes);
LONG RegQueryValueExW(HKEY key, const WCHAR* valueName, DWORD* reserved, DWORD* type, BYTE* data,
                      DWORD* dataBytes);
LONG RegCloseKey(HKEY key);

// Writes the folder path (at most MAX_PATH units with its NUL) for CSIDL_FONTS.
BOOL SHGetSpecialFolderPathW(HWND owner, WCHAR* path, int csidl, BOOL create);

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
bool ParseRegFile(const std::string& text, std::vector<std::pair<std::u16string, std::vector<Value>>>& keys,
                  std::string* error, std::vector<std::string>* problems = nullptr);
// What the profile's registry.reg held that could not be read, for the host
// to show; empty when it read cleanly or there is none.
std::vector<std::string> RegistryProblems();
// The values of the profile's installed fonts key, in registry order.
std::vector<Value> InstalledFontValues();
}  // namespace winregistry
