// UTF-16 string helpers with the semantics of their Windows / CRT namesakes.
#pragma once

#include <string>
#include <string_view>

#include "win/windows.h"

WINAPI_EXPORT size_t wcslen16(const WCHAR* s);
WINAPI_EXPORT int wcscmp16(const WCHAR* a, const WCHAR* b);
// Case-insensitive comparison as lstrcmpiW does it for the characters the
// module meets (ASCII, Latin-1, Latin Extended-A, Greek, Cyrillic).
WINAPI_EXPORT int wcsicmp16(const WCHAR* a, const WCHAR* b);
WINAPI_EXPORT int wcsnicmp16(const WCHAR* a, const WCHAR* b, size_t n);
WINAPI_EXPORT int wcsncmp16(const WCHAR* a, const WCHAR* b, size_t n);
WINAPI_EXPORT WCHAR towupper16(WCHAR c);
WINAPI_EXPORT WCHAR towlower16(WCHAR c);
WINAPI_EXPORT bool iswspace16(WCHAR c);

// Copies at most n-1 units and always terminates (lstrcpynW). n == 0 writes nothing.
WINAPI_EXPORT WCHAR* lstrcpynW(WCHAR* dst, const WCHAR* src, int n);
// Appends as much of src as fits a buffer of n units, always terminated (StringCchCat, truncating).
WINAPI_EXPORT WCHAR* lstrcatnW(WCHAR* dst, const WCHAR* src, int n);
// Copies at most n-1 units, terminates, and zero-fills the rest of the n-unit
// field, so that fixed-size name fields compare as whole byte blocks.
WINAPI_EXPORT void CopyFixedName(WCHAR* field, const WCHAR* src, size_t n);

WINAPI_EXPORT std::string Utf16ToUtf8(const std::u16string& s);
WINAPI_EXPORT std::string Utf16ToUtf8(const WCHAR* s);
// Invalid UTF-8 bytes become U+FFFD.
WINAPI_EXPORT std::u16string Utf8ToUtf16(const std::string& s);
// The same into `out`, whose storage is reused.
WINAPI_EXPORT void Utf8ToUtf16(std::string_view s, std::u16string& out);

// A line of a settings file without its surrounding blanks, tabs and CR.
WINAPI_EXPORT std::string TrimLine(const std::string& s);

// Parses a decimal integer the way swscanf's %d does: skips leading blanks,
// optional sign, digits. Returns the number of units consumed (0 = no match).
WINAPI_EXPORT size_t ScanDecimal(const WCHAR* s, int* out);
