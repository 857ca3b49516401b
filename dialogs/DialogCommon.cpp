#include "DialogCommon.h"

#include "Velmora.h"
#include "win/wstr.h"

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

void CreateFaceFont(CFont& font, const CString& face, LONG height) {
    font.DeleteObject();
    LOGFONTW lf{};
    lf.lfHeight = height;
    lf.lfCharSet = DEFAULT_CHARSET;
    CopyFixedName(lf.lfFaceName, face.GetString(), LF_FACESIZE);
    font.CreateFontIndirect(&lf);
}

}  // namespace dialogcommon
