// Small pieces several font dialogs share.
#pragma once

#include "bcg/BCGCBProInc.h"

namespace dialogcommon {

// "文本ABC123" for the studio's native Chinese interface (an empty prefix or
// "TR_"), "ABC123" for the others.
CString DefaultSampleText();
// The face lists' look: extended styles, no header sorting, and a new
// "Microsoft Sans Serif" 9-point font kept in `font`.
void SetUpFaceList(CBCGPListCtrl& list, CFont& font, DWORD exStyle);

}  // namespace dialogcommon
