// The subset of the Windows API types and constants that the module uses.
// Sizes follow the Windows (LLP64) ABI: LONG and DWORD are 32-bit, WCHAR is a
// UTF-16 code unit. Structures stored in files are checked with static_assert.
#pragma once

#include <cstddef>
#include <cstdint>

// What libwinapi.so exports: the operations its headers declare.
#define WINAPI_EXPORT __attribute__((visibility("default")))

typedef char16_t WCHAR;
typedef WCHAR* LPWSTR;
typedef const WCHAR* LPCWSTR;
typedef const WCHAR* LPCTSTR;
typedef WCHAR TCHAR;
typedef char CHAR;
typedef const char* LPCSTR;
typedef int32_t BOOL;
typedef uint8_t BYTE;
typedef uint16_t WORD;
typedef uint32_t DWORD;
typedef int32_t LONG;
typedef uint32_t UINT;
typedef int32_t INT;
typedef int64_t LONGLONG;
typedef intptr_t INT_PTR;
typedef uintptr_t UINT_PTR;
typedef uintptr_t ULONG_PTR;
typedef uintptr_t DWORD_PTR;
typedef intptr_t LPARAM;
typedef uintptr_t WPARAM;
typedef intptr_t LRESULT;
typedef void* LPVOID;
typedef void* HANDLE;
typedef struct HFONT__* HFONT;
typedef struct HDC__* HDC;
typedef struct HWND__* HWND;
typedef struct HGDIOBJ__* HGDIOBJ;
typedef struct HKEY__* HKEY;

#ifndef TRUE
#define TRUE 1
#define FALSE 0
#endif

#define LOWORD(l) ((WORD)(((UINT_PTR)(l)) & 0xffff))
#define HIWORD(l) ((WORD)((((UINT_PTR)(l)) >> 16) & 0xffff))
#define MAKELONG(a, b) ((LONG)(((WORD)(((UINT_PTR)(a)) & 0xffff)) | ((DWORD)((WORD)(((UINT_PTR)(b)) & 0xffff))) << 16))

#define MAX_PATH 260
#define LF_FACESIZE 32

#define _T(x) u##x
#define L16(x) u##x

// Character sets
#define ANSI_CHARSET 0
#define DEFAULT_CHARSET 1
#define SYMBOL_CHARSET 2
#define SHIFTJIS_CHARSET 128
#define HANGEUL_CHARSET 129
#define GB2312_CHARSET 134
#define CHINESEBIG5_CHARSET 136
#define OEM_CHARSET 255

// Weights
#define FW_DONTCARE 0
#define FW_THIN 100
#define FW_NORMAL 400
#define FW_BOLD 700

// Precision and quality
#define OUT_DEFAULT_PRECIS 0
#define OUT_TT_PRECIS 4
#define CLIP_DEFAULT_PRECIS 0
#define CLIP_LH_ANGLES 16
#define DEFAULT_QUALITY 0
#define DEFAULT_PITCH 0
#define FF_DONTCARE 0

// Font types reported by font enumeration
#define RASTER_FONTTYPE 0x0001
#define DEVICE_FONTTYPE 0x0002
#define TRUETYPE_FONTTYPE 0x0004

// Message boxes
#define MB_OK 0x0000
#define MB_OKCANCEL 0x0001
#define MB_YESNO 0x0004
#define MB_ICONQUESTION 0x0020
#define MB_ICONWARNING 0x0030
#define MB_ICONINFORMATION 0x0040
#define IDOK 1
#define IDCANCEL 2
#define IDYES 6
#define IDNO 7

#pragma pack(push, 1)
struct LOGFONTW {
    LONG lfHeight;
    LONG lfWidth;
    LONG lfEscapement;
    LONG lfOrientation;
    LONG lfWeight;
    BYTE lfItalic;
    BYTE lfUnderline;
    BYTE lfStrikeOut;
    BYTE lfCharSet;
    BYTE lfOutPrecision;
    BYTE lfClipPrecision;
    BYTE lfQuality;
    BYTE lfPitchAndFamily;
    WCHAR lfFaceName[LF_FACESIZE];
};
#pragma pack(pop)
typedef LOGFONTW* LPLOGFONTW;

struct POINT {
    LONG x;
    LONG y;
};
struct SIZE {
    LONG cx;
    LONG cy;
};
struct RECT {
    LONG left;
    LONG top;
    LONG right;
    LONG bottom;
};
typedef RECT* LPRECT;
typedef const RECT* LPCRECT;
typedef POINT* LPPOINT;

static_assert(sizeof(WCHAR) == 2, "WCHAR is one UTF-16 code unit");
static_assert(sizeof(LONG) == 4, "LONG is 32-bit as on Windows");
static_assert(sizeof(LOGFONTW) == 92, "LOGFONTW has the Windows layout");
static_assert(offsetof(LOGFONTW, lfItalic) == 20, "LOGFONTW layout");
static_assert(offsetof(LOGFONTW, lfFaceName) == 28, "LOGFONTW layout");
