// Resource ids of the module: the dialog templates, their controls and the
// font-type bitmap. Language files name captions by these ids
// ("<dialog>.<control>"), and hosts that drive the dialogs find controls by
// them. A control id is unique within its dialog only.
#pragma once

#include "win/windows.h"

constexpr UINT IDB_FONTTYPE = 3000;
constexpr UINT IDD_FONT_LIBRARY = 3001;
constexpr UINT IDD_FONT_CHANGE = 3002;
constexpr UINT IDD_FONT_PACK = 3004;
constexpr UINT IDD_FONT_SELECT = 3022;
constexpr UINT IDD_FONT_PROPERTIES = 3065;
constexpr UINT IDD_SELECT_FACE = 3066;

// Font library (IDD_FONT_LIBRARY) and font selection (IDD_FONT_SELECT): the
// project's fonts, the shown font's face and size, and the buttons both have.
constexpr int IDC_LIBRARY_LIST = 3002;
constexpr int IDC_LIBRARY_SAMPLE = 3008;
constexpr int IDC_LIBRARY_HELP = 3009;
constexpr int IDC_LIBRARY_FACE_CAPTION = 24466;
constexpr int IDC_LIBRARY_SIZE_CAPTION = 24465;
constexpr int IDC_LIBRARY_SAMPLE_GROUP = 24467;
constexpr int IDC_SELECT_LIST = 3023;
constexpr int IDC_SELECT_SAMPLE = 3021;
constexpr int IDC_SELECT_HELP = 3002;
constexpr int IDC_SELECT_HINT = 24472;
constexpr int IDC_SELECT_FACE_CAPTION = 24470;
constexpr int IDC_SELECT_SIZE_CAPTION = 24469;
constexpr int IDC_SELECT_SAMPLE_GROUP = 24471;
constexpr int IDC_FONT_ADD = 3003;
constexpr int IDC_FONT_DELETE = 3004;
constexpr int IDC_FONT_EDIT = 3005;
constexpr int IDC_FONT_FACE = 3006;
constexpr int IDC_FONT_SIZE = 3007;

// Font change (IDD_FONT_CHANGE).
constexpr int IDC_CHANGE_LIST = 3025;
constexpr int IDC_CHANGE_FACES = 3028;
constexpr int IDC_CHANGE_SAMPLE = 3030;
constexpr int IDC_CHANGE_TEXT = 3033;
constexpr int IDC_CHANGE_SAMPLE_GROUP = 3034;

// Font pack (IDD_FONT_PACK). Language slot n has the controls first + n.
constexpr int IDC_PACK_LIST = 3023;
constexpr int IDC_PACK_SAMPLE_GROUP = 3035;
constexpr int IDC_PACK_SAMPLE = 3038;
constexpr int IDC_PACK_TOTAL = 3040;
constexpr int IDC_PACK_TOTAL_CAPTION = 3043;
constexpr int IDC_PACK_DEFAULT_GROUP = 3046;
constexpr int IDC_PACK_FIRST_SLOT_CAPTION = 3048;
constexpr int IDC_PACK_FIRST_SLOT_FACE = 3057;
constexpr int IDC_PACK_FIRST_SLOT_BUTTON = 3068;
constexpr int IDC_PACK_ALL_FONTS = 3076;
constexpr int IDC_PACK_HELP = 3009;

// Face selection (IDD_SELECT_FACE).
constexpr int IDC_SELECT_FACE_LIST = 3056;

// Font properties (IDD_FONT_PROPERTIES).
constexpr int IDC_PROPS_FACE_CAPTION = 3010;
constexpr int IDC_PROPS_FACE = 3011;
constexpr int IDC_PROPS_STYLE_CAPTION = 3012;
constexpr int IDC_PROPS_STYLE = 3013;
constexpr int IDC_PROPS_SIZE_CAPTION = 3014;
constexpr int IDC_PROPS_SIZE = 3015;
constexpr int IDC_PROPS_STRIKEOUT = 3016;
constexpr int IDC_PROPS_UNDERLINE = 3017;
constexpr int IDC_PROPS_EFFECTS = 3018;
constexpr int IDC_PROPS_SAMPLE_GROUP = 3019;
constexpr int IDC_PROPS_NAME = 3020;
constexpr int IDC_PROPS_SAMPLE = 3021;
constexpr int IDC_PROPS_NAME_CAPTION = 24468;

// The sample text field of the font pack and font properties dialogs.
constexpr int IDC_SAMPLE_TEXT = 3045;
