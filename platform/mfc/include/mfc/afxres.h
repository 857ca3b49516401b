// Resources as data: dialog templates and bitmaps registered by id, and the
// dialog-unit conversion that Windows applies to templates.
#pragma once

#include <string>
#include <vector>

#include "win/winuser.h"
#include "mfc/afxstr.h"

struct DialogControl {
    int id = 0;
    std::string className;   // "BUTTON", "STATIC", "EDIT", "LISTBOX", "COMBOBOX", "SysListView32", "BCGGROUP"
    std::u16string text;
    DWORD style = 0;         // WS_CHILD is implied; WS_VISIBLE as in the resource script
    DWORD exStyle = 0;
    int x = 0, y = 0, cx = 0, cy = 0;  // dialog units
};

struct DialogTemplate {
    int cx = 0, cy = 0;      // client size in dialog units
    std::u16string caption;
    std::u16string fontFace = u"MS Shell Dlg";
    int pointSize = 9;
    DWORD style = DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU;
    DWORD exStyle = 0;
    std::vector<DialogControl> controls;
};

MFC_API void RegisterDialogTemplate(UINT id, const DialogTemplate& tmpl);
MFC_API const DialogTemplate* FindDialogTemplate(UINT id);

// Registers the bytes of a .bmp file (BITMAPFILEHEADER first), as an RT_BITMAP
// resource would hold them after the file header.
MFC_API void RegisterBitmapResource(UINT id, std::vector<BYTE> bmpFile);
MFC_API const std::vector<BYTE>* FindBitmapResource(UINT id);

// Dialog base units of a template font: average character width of the
// alphabet (rounded, as GdiGetCharDimensions does) and the text height, in
// pixels at the profile's screen resolution. "MS Shell Dlg" stands for the
// system's sans-serif UI face.
struct DialogBaseUnits {
    int cx = 0;
    int cy = 0;
};
MFC_API DialogBaseUnits GetTemplateBaseUnits(const std::u16string& face, int pointSize);
MFC_API int MulDiv(int number, int numerator, int denominator);
// Dialog units to pixels: x * cx / 4, y * cy / 8, rounded as MulDiv rounds.
MFC_API RECT DialogUnitsToPixels(const DialogBaseUnits& units, int x, int y, int cx, int cy);
