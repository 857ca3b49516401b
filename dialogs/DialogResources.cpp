#include "DialogResources.h"

#include <vector>

#include "win/commctrl.h"

// The bytes of res/fonttype.bmp, embedded by the build.
extern const unsigned char kFontTypeBitmap[];
extern const unsigned int kFontTypeBitmapSize;

namespace {
constexpr DWORD kVisible = WS_VISIBLE;
constexpr DWORD kFaceCombo = kVisible | CBS_SIMPLE | CBS_OWNERDRAWVARIABLE | CBS_SORT | CBS_HASSTRINGS | WS_VSCROLL | WS_TABSTOP;
constexpr DWORD kSimpleCombo = kVisible | CBS_SIMPLE | WS_VSCROLL | WS_TABSTOP;

DialogTemplate FontChangeTemplate() {
    DialogTemplate t;
    t.cx = 299;
    t.cy = 276;
    t.caption = u"Font Change";
    t.style = DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU;
    t.controls = {
        {IDC_CHANGE_TEXT, "STATIC", u"The fonts below are not installed.", kVisible | SS_LEFT, 0, 7, 7, 285, 18},
        {IDC_CHANGE_LIST, "SysListView32", u"", kVisible | LVS_REPORT | LVS_SHOWSELALWAYS | WS_BORDER | WS_TABSTOP, 0, 7, 28, 285, 118},
        {IDC_CHANGE_FACES, "COMBOBOX", u"", kFaceCombo, 0, 7, 152, 140, 96},
        {IDC_CHANGE_SAMPLE_GROUP, "BUTTON", u"Sample", kVisible | BS_GROUPBOX, 0, 153, 149, 139, 99},
        {IDC_CHANGE_SAMPLE, "STATIC", u"AaBbYyZz", kVisible | SS_CENTER | SS_CENTERIMAGE | SS_SUNKEN, 0, 160, 161, 125, 80},
        {IDOK, "BUTTON", u"OK", kVisible | BS_DEFPUSHBUTTON | WS_TABSTOP, 0, 186, 255, 50, 14},
        {IDCANCEL, "BUTTON", u"Cancel", kVisible | BS_PUSHBUTTON | WS_TABSTOP, 0, 242, 255, 50, 14},
    };
    return t;
}

DialogTemplate FontLibraryTemplate() {
    DialogTemplate t;
    t.cx = 232;
    t.cy = 230;
    t.caption = u"Font Library";
    t.style = DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU;
    t.controls = {
        {IDC_LIBRARY_LIST, "LISTBOX", u"", kVisible | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT | WS_BORDER | WS_VSCROLL | WS_TABSTOP, 0,
         7, 7, 110, 216},
        {IDC_LIBRARY_FACE_CAPTION, "STATIC", u"Face:", kVisible | SS_LEFT, 0, 124, 9, 30, 8},
        {IDC_FONT_FACE, "STATIC", u"", kVisible | SS_LEFT, 0, 156, 9, 70, 8},
        {IDC_LIBRARY_SIZE_CAPTION, "STATIC", u"Size:", kVisible | SS_LEFT, 0, 124, 21, 30, 8},
        {IDC_FONT_SIZE, "STATIC", u"", kVisible | SS_LEFT, 0, 156, 21, 70, 8},
        {IDC_LIBRARY_SAMPLE_GROUP, "BUTTON", u"Sample", kVisible | BS_GROUPBOX, 0, 124, 34, 101, 80},
        {IDC_LIBRARY_SAMPLE, "STATIC", u"AaBbYyZz", kVisible | SS_CENTER | SS_CENTERIMAGE | SS_SUNKEN, 0, 130, 46, 89, 62},
        {IDC_FONT_ADD, "BUTTON", u"Add...", kVisible | BS_DEFPUSHBUTTON | WS_TABSTOP, 0, 124, 124, 101, 14},
        {IDC_FONT_DELETE, "BUTTON", u"Delete", kVisible | BS_PUSHBUTTON | WS_TABSTOP, 0, 124, 142, 101, 14},
        {IDC_FONT_EDIT, "BUTTON", u"Properties...", kVisible | BS_PUSHBUTTON | WS_TABSTOP, 0, 124, 160, 101, 14},
        {IDC_LIBRARY_HELP, "BUTTON", u"Help", kVisible | BS_PUSHBUTTON | WS_TABSTOP, 0, 124, 191, 101, 14},
        {IDCANCEL, "BUTTON", u"Close", kVisible | BS_PUSHBUTTON | WS_TABSTOP, 0, 124, 209, 101, 14},
    };
    return t;
}

DialogTemplate FontPackTemplate() {
    DialogTemplate t;
    t.cx = 382;
    t.cy = 274;
    t.caption = u"Font Pack";
    t.style = DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU;
    t.controls = {
        {IDC_PACK_LIST, "SysListView32", u"", kVisible | LVS_REPORT | LVS_SHOWSELALWAYS | WS_BORDER | WS_TABSTOP, 0, 7, 7, 180, 240},
        {IDC_PACK_TOTAL_CAPTION, "STATIC", u"Total size:", kVisible | SS_LEFT, 0, 7, 255, 45, 8},
        {IDC_PACK_TOTAL, "STATIC", u"", kVisible | SS_LEFT, 0, 54, 255, 60, 8},
        {IDC_PACK_SAMPLE_GROUP, "BUTTON", u"Sample", kVisible | BS_GROUPBOX, 0, 194, 4, 181, 66},
        {IDC_SAMPLE_TEXT, "EDIT", u"", kVisible | WS_BORDER | ES_AUTOHSCROLL | WS_TABSTOP, 0, 200, 16, 169, 12},
        {IDC_PACK_SAMPLE, "STATIC", u"", kVisible | SS_CENTER | SS_CENTERIMAGE, 0, 200, 31, 169, 34},
        {IDC_PACK_DEFAULT_GROUP, "BCGGROUP", u"Use default fonts", kVisible, 0, 194, 74, 181, 172},
        {IDC_PACK_ALL_FONTS, "BUTTON", u"Same font for all languages...", kVisible | BS_PUSHBUTTON | WS_TABSTOP, 0, 200, 87, 169, 14},
    };
    for (int n = 0; n < 8; ++n) {
        const int y = 106 + n * 17;
        t.controls.push_back({IDC_PACK_FIRST_SLOT_CAPTION + n, "STATIC", u"Language:", kVisible | SS_LEFTNOWORDWRAP, 0, 200, y + 3, 44, 8});
        t.controls.push_back({IDC_PACK_FIRST_SLOT_FACE + n, "STATIC", u"", kVisible | SS_LEFT | SS_CENTERIMAGE | SS_SUNKEN, 0, 246, y, 101, 14});
        t.controls.push_back({IDC_PACK_FIRST_SLOT_BUTTON + n, "BUTTON", u"...", kVisible | BS_PUSHBUTTON | WS_TABSTOP, 0, 350, y, 19, 14});
    }
    t.controls.push_back({IDOK, "BUTTON", u"OK", kVisible | BS_DEFPUSHBUTTON | WS_TABSTOP, 0, 214, 253, 50, 14});
    t.controls.push_back({IDCANCEL, "BUTTON", u"Cancel", kVisible | BS_PUSHBUTTON | WS_TABSTOP, 0, 268, 253, 50, 14});
    t.controls.push_back({IDC_PACK_HELP, "BUTTON", u"Help", kVisible | BS_PUSHBUTTON | WS_TABSTOP, 0, 322, 253, 53, 14});
    return t;
}

DialogTemplate FontSelectTemplate() {
    DialogTemplate t;
    t.cx = 247;
    t.cy = 214;
    t.caption = u"Select Font";
    t.style = DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU;
    t.controls = {
        {IDC_SELECT_HINT, "STATIC", u"Double-click a font to use it.", kVisible | SS_LEFT, 0, 7, 7, 120, 8},
        {IDC_SELECT_LIST, "LISTBOX", u"", kVisible | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT | WS_BORDER | WS_VSCROLL | WS_TABSTOP, 0,
         7, 18, 120, 189},
        {IDC_SELECT_FACE_CAPTION, "STATIC", u"Face:", kVisible | SS_LEFT, 0, 134, 9, 30, 8},
        {IDC_FONT_FACE, "STATIC", u"", kVisible | SS_LEFT, WS_EX_CLIENTEDGE, 166, 7, 74, 12},
        {IDC_SELECT_SIZE_CAPTION, "STATIC", u"Size:", kVisible | SS_LEFT, 0, 134, 24, 30, 8},
        {IDC_FONT_SIZE, "STATIC", u"", kVisible | SS_LEFT, WS_EX_CLIENTEDGE, 166, 22, 74, 12},
        {IDC_SELECT_SAMPLE_GROUP, "BUTTON", u"Sample", kVisible | BS_GROUPBOX, 0, 134, 38, 106, 66},
        {IDC_SELECT_SAMPLE, "STATIC", u"AaBbYyZz", kVisible | SS_CENTER | SS_CENTERIMAGE | SS_SUNKEN, 0, 140, 50, 94, 48},
        {IDC_FONT_ADD, "BUTTON", u"New...", kVisible | BS_PUSHBUTTON | WS_TABSTOP, 0, 134, 110, 106, 14},
        {IDC_FONT_DELETE, "BUTTON", u"Delete", kVisible | BS_PUSHBUTTON | WS_TABSTOP, 0, 134, 127, 106, 14},
        {IDC_FONT_EDIT, "BUTTON", u"Properties...", kVisible | BS_PUSHBUTTON | WS_TABSTOP, 0, 134, 144, 106, 14},
        {IDOK, "BUTTON", u"Use Font", kVisible | BS_DEFPUSHBUTTON | WS_TABSTOP, 0, 134, 161, 106, 14},
        {IDCANCEL, "BUTTON", u"Close", kVisible | BS_PUSHBUTTON | WS_TABSTOP, 0, 134, 177, 106, 14},
        {IDC_SELECT_HELP, "BUTTON", u"Help", kVisible | BS_PUSHBUTTON | WS_TABSTOP, 0, 134, 193, 106, 14},
    };
    return t;
}

DialogTemplate SelectFaceTemplate() {
    DialogTemplate t;
    t.cx = 231;
    t.cy = 231;
    t.caption = u"Select Face";
    t.style = DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU;
    t.exStyle = WS_EX_CLIENTEDGE;
    t.controls = {
        {IDC_SELECT_FACE_LIST, "SysListView32", u"", kVisible | LVS_REPORT | WS_BORDER | WS_TABSTOP, 0, 0, 0, 231, 231},
    };
    return t;
}

DialogTemplate FontPropertiesTemplate() {
    DialogTemplate t;
    t.cx = 239;
    t.cy = 237;
    t.caption = u"Font Properties";
    // A caption without a system menu: no close box; Escape cancels.
    t.style = DS_MODALFRAME | WS_POPUP | WS_CAPTION;
    // The face list comes first in the tab order, so the dialog opens with
    // the focus there and the name field keeps its automatic name until the
    // user goes into it.
    t.controls = {
        {IDC_PROPS_FACE_CAPTION, "STATIC", u"Face:", kVisible | SS_LEFT, 0, 7, 26, 110, 8},
        {IDC_PROPS_FACE, "COMBOBOX", u"", kFaceCombo, 0, 7, 36, 110, 92},
        {IDC_PROPS_SIZE_CAPTION, "STATIC", u"Size:", kVisible | SS_LEFT, 0, 122, 26, 40, 8},
        {IDC_PROPS_SIZE, "COMBOBOX", u"", kSimpleCombo, 0, 122, 36, 40, 92},
        {IDC_PROPS_STYLE_CAPTION, "STATIC", u"Style:", kVisible | SS_LEFT, 0, 167, 26, 65, 8},
        {IDC_PROPS_STYLE, "COMBOBOX", u"", kSimpleCombo, 0, 167, 36, 65, 92},
        {IDC_PROPS_NAME_CAPTION, "STATIC", u"Name:", kVisible | SS_RIGHT, 0, 7, 9, 30, 8},
        {IDC_PROPS_NAME, "EDIT", u"", kVisible | WS_BORDER | ES_AUTOHSCROLL | WS_TABSTOP, 0, 40, 7, 192, 12},
        {IDC_PROPS_SAMPLE_GROUP, "BUTTON", u"Sample", kVisible | BS_GROUPBOX, 0, 7, 132, 225, 74},
        {IDC_SAMPLE_TEXT, "EDIT", u"", kVisible | WS_BORDER | ES_AUTOHSCROLL | WS_TABSTOP, 0, 14, 144, 211, 12},
        {IDC_PROPS_SAMPLE, "STATIC", u"", kVisible | SS_CENTER | SS_CENTERIMAGE | SS_SUNKEN, 0, 14, 160, 211, 40},
        {IDC_PROPS_EFFECTS, "BUTTON", u"Effects", kVisible | BS_GROUPBOX, 0, 7, 208, 100, 24},
        {IDC_PROPS_UNDERLINE, "BUTTON", u"Underline", kVisible | BS_AUTOCHECKBOX | WS_TABSTOP, 0, 12, 218, 45, 10},
        {IDC_PROPS_STRIKEOUT, "BUTTON", u"Strikeout", kVisible | BS_AUTOCHECKBOX | WS_TABSTOP, 0, 58, 218, 45, 10},
        {IDOK, "BUTTON", u"OK", kVisible | BS_PUSHBUTTON | WS_TABSTOP, 0, 127, 216, 50, 14},
        {IDCANCEL, "BUTTON", u"Cancel", kVisible | BS_PUSHBUTTON | WS_TABSTOP, 0, 182, 216, 50, 14},
    };
    return t;
}

const bool g_registered = (RegisterFontDialogResources(), true);
}  // namespace

void RegisterFontDialogResources() {
    RegisterDialogTemplate(IDD_FONT_LIBRARY, FontLibraryTemplate());
    RegisterDialogTemplate(IDD_FONT_CHANGE, FontChangeTemplate());
    RegisterDialogTemplate(IDD_FONT_SELECT, FontSelectTemplate());
    RegisterDialogTemplate(IDD_FONT_PACK, FontPackTemplate());
    RegisterDialogTemplate(IDD_SELECT_FACE, SelectFaceTemplate());
    RegisterDialogTemplate(IDD_FONT_PROPERTIES, FontPropertiesTemplate());
    RegisterBitmapResource(IDB_FONTTYPE, std::vector<BYTE>(kFontTypeBitmap, kFontTypeBitmap + kFontTypeBitmapSize));
}
