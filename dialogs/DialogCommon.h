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
// Re-creates `font` as `face` at `height`, default character set, all else zero:
// how the dialogs show a face by itself.
void CreateFaceFont(CFont& font, const CString& face, LONG height);

}  // namespace dialogcommon
