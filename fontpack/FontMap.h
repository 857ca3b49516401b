// The installed-face tables: face -> font file, pack name, file size in MB.
// Callers rely on two kinds of access: look-up (find: an absent face gives
// nothing and the table is unchanged) and indexing (operator[]: an absent
// face is added with an empty string or 0.0).
#pragma once

#include <map>
#include <string>

#include "Tamsel.h"

typedef std::map<std::u16string, std::u16string> CFaceStringMap;
typedef std::map<std::u16string, double> CFaceSizeMap;

extern TAMSEL_API CFaceStringMap FontFileMap;
extern TAMSEL_API CFaceStringMap PackNameMap;
extern TAMSEL_API CFaceSizeMap FontSizeMap;

TAMSEL_API void MakeFontMap();
TAMSEL_API CString Font_GetPackName(CString face);
