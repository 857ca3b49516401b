// GDI font objects. A font handle holds the LOGFONTW it was created from;
// realisation against the machine's fonts happens when it is used on a DC.
#pragma once

#include "win/windows.h"

HFONT CreateFontIndirectW(const LOGFONTW* lf);
// Returns the number of bytes copied (at most sizeof(LOGFONTW)); 0 for a
// handle that is not a live font.
int GetObjectW(HGDIOBJ obj, int size, void* out);
BOOL DeleteObject(HGDIOBJ obj);
// True while `obj` is a font created here and not yet deleted.
bool IsLiveFont(HGDIOBJ obj);
// Number of live font objects, for leak checks.
int LiveFontCount();
