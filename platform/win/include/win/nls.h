// Code-page conversion (MultiByteToWideChar) with the Windows calling
// conventions.
#pragma once

#include "win/windows.h"

#define CP_ACP 0  // the machine profile's ANSI code page
#define CP_UTF8 65001

#define MB_PRECOMPOSED 0x00000001
#define MB_ERR_INVALID_CHARS 0x00000008

// Converts cbSrc bytes of `src` (cbSrc -1: up to and including its NUL) to
// UTF-16. With cchDst 0 it only returns the number of units needed;
// otherwise it returns the units written, or 0 when dst is too small, src is
// null or cbSrc is 0.
//
// Supported: 1252 (own table; 0x81 0x8D 0x8F 0x90 0x9D map to the C1 controls
// as on Windows), 874, 932, 936, 949, 950, 1250-1258 and 65001 (glibc iconv).
// Any other code page is read as 1252. A byte sequence that cannot be
// converted becomes one U+FFFD per bad sequence in UTF-8 and one '?' per bad
// byte in the other code pages; with MB_ERR_INVALID_CHARS the call fails
// instead. Only the MB_ERR_INVALID_CHARS flag is examined.
WINAPI_EXPORT int MultiByteToWideChar(UINT codePage, DWORD flags, const char* src, int cbSrc, WCHAR* dst, int cchDst);

// The code page CP_ACP stands for right now.
WINAPI_EXPORT UINT GetACP();
