#include "DialogCommon.h"

#include "Velmora.h"

namespace dialogcommon {

CString DefaultSampleText() {
    const CString prefix = LA_GetLangPrefix();
    return prefix.IsEmpty() || prefix == CString(u"TR_") ? CString(u"文本ABC123") : CString(u"ABC123");
}

void SetUpFaceList(CBCGPListCtrl& list, CFont& font, DWORD exStyle) {
    list.SetExtendedStyle(exStyle);
    list.EnableSorting(FALSE);
    font.DeleteObject();
    font.CreatePointFont(90, u"Microsoft Sans Serif");
    list.SetFont(&font);
}

}  // namespace dialogcommon
