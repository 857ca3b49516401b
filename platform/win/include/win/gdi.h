// GDI fonts over the machine profile's fonts folder. A font handle holds the
// LOGFONTW it was created from; it is realised (a face of the fonts folder
// chosen, bold and italic simulated where the face lacks them) when it is
// selected into a device context or asked for metrics.
#pragma once

#include "win/fontdb.h"
#include "win/windows.h"

#pragma pack(push, 4)
struct TEXTMETRICW {
    LONG tmHeight;
    LONG tmAscent;
    LONG tmDescent;
    LONG tmInternalLeading;
    LONG tmExternalLeading;
    LONG tmAveCharWidth;
    LONG tmMaxCharWidth;
    LONG tmWeight;
    LONG tmOverhang;
    LONG tmDigitizedAspectX;
    LONG tmDigitizedAspectY;
    WCHAR tmFirstChar;
    WCHAR tmLastChar;
    WCHAR tmDefaultChar;
    WCHAR tmBreakChar;
    BYTE tmItalic;
    BYTE tmUnderlined;
    BYTE tmStruckOut;
    BYTE tmPitchAndFamily;
    BYTE tmCharSet;
};
struct NEWTEXTMETRICW : TEXTMETRICW {
    DWORD ntmFlags;
    UINT ntmSizeEM;
    UINT ntmCellHeight;
    UINT ntmAvgWidth;
};
struct FONTSIGNATURE {
    DWORD fsUsb[4];
    DWORD fsCsb[2];
};
struct NEWTEXTMETRICEXW {
    NEWTEXTMETRICW ntmTm;
    FONTSIGNATURE ntmFontSig;
};
struct ENUMLOGFONTEXW {
    LOGFONTW elfLogFont;
    WCHAR elfFullName[64];
    WCHAR elfStyle[32];
    WCHAR elfScript[32];
};
#pragma pack(pop)
static_assert(sizeof(TEXTMETRICW) == 60, "TEXTMETRICW has the Windows layout");
static_assert(sizeof(ENUMLOGFONTEXW) == 92 + 256, "ENUMLOGFONTEXW has the Windows layout");

typedef int (*FONTENUMPROCW)(const LOGFONTW* lf, const TEXTMETRICW* tm, DWORD fontType, LPARAM param);

typedef DWORD COLORREF;
#define RGB(r, g, b) ((COLORREF)(((BYTE)(r) | ((WORD)((BYTE)(g)) << 8)) | (((DWORD)(BYTE)(b)) << 16)))
#define GetRValue(rgb) ((BYTE)(rgb))
#define GetGValue(rgb) ((BYTE)(((WORD)(rgb)) >> 8))
#define GetBValue(rgb) ((BYTE)((rgb) >> 16))
#define CLR_INVALID 0xFFFFFFFF

// Background modes
#define TRANSPARENT 1
#define OPAQUE 2

#define TMPF_FIXED_PITCH 0x01
#define TMPF_VECTOR 0x02
#define TMPF_TRUETYPE 0x04
#define LOGPIXELSX 88
#define LOGPIXELSY 90
#define HORZRES 8
#define VERTRES 10
#define SPI_GETICONTITLELOGFONT 0x001F
#define DEFAULT_GUI_FONT 17
#define SYSTEM_FONT 13

WINAPI_EXPORT HFONT CreateFontIndirectW(const LOGFONTW* lf);
// Returns the number of bytes copied (at most sizeof(LOGFONTW)); 0 for a
// handle that is not a live font.
WINAPI_EXPORT int GetObjectW(HGDIOBJ obj, int size, void* out);
WINAPI_EXPORT BOOL DeleteObject(HGDIOBJ obj);
// True while `obj` is a font created here and not yet deleted.
WINAPI_EXPORT bool IsLiveFont(HGDIOBJ obj);
// Number of live font objects, for leak checks.
WINAPI_EXPORT int LiveFontCount();
WINAPI_EXPORT HGDIOBJ GetStockObject(int which);

WINAPI_EXPORT HDC GetDC(HWND wnd);
WINAPI_EXPORT int ReleaseDC(HWND wnd, HDC dc);
WINAPI_EXPORT HDC CreateCompatibleDC(HDC dc);
WINAPI_EXPORT BOOL DeleteDC(HDC dc);
// Fonts only; returns the font selected before (a DC starts with the stock
// system font).
WINAPI_EXPORT HGDIOBJ SelectObject(HDC dc, HGDIOBJ obj);
WINAPI_EXPORT int GetDeviceCaps(HDC dc, int index);
WINAPI_EXPORT BOOL GetTextMetricsW(HDC dc, TEXTMETRICW* tm);
WINAPI_EXPORT int GetTextFaceW(HDC dc, int count, WCHAR* face);

// The largest font GDI realises here, in pixels of cell or em height; any
// lfHeight beyond it (up to INT_MIN and INT_MAX) is realised at this size.
constexpr int kMaxFontPixels = 16384;

// Windows semantics: one callback per face per character set (see the
// implementation for the rules); the last callback's result is returned, and
// a zero result ends the enumeration.
WINAPI_EXPORT int EnumFontFamiliesExW(HDC dc, LOGFONTW* lf, FONTENUMPROCW proc, LPARAM param, DWORD flags);

WINAPI_EXPORT BOOL SystemParametersInfoW(UINT action, UINT param, void* out, UINT winIni);

// The face GDI realises a font with, for layers that draw text themselves.
// Null for a handle that is not a live font or when the fonts folder is empty.
WINAPI_EXPORT const fontdb::Face* GetRealizedFace(HFONT font, int* pixelEm, bool* simBold, bool* simItalic);
