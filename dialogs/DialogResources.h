// Resource ids of the font dialogs: templates and the font-type bitmap.
#pragma once

#include "mfc/afxres.h"

constexpr UINT IDB_FONTTYPE = 3000;
constexpr UINT IDD_FONT_LIBRARY = 3001;
constexpr UINT IDD_FONT_CHANGE = 3002;
constexpr UINT IDD_FONT_PACK = 3004;
constexpr UINT IDD_FONT_SELECT = 3022;
constexpr UINT IDD_FONT_PROPERTIES = 3065;
constexpr UINT IDD_SELECT_FACE = 3066;

// Registers the module's templates and bitmaps with the dialog layer; runs
// when the library loads, and again harmlessly.
void RegisterFontDialogResources();
