// CSS font strings of project fonts, as the panel's pages draw them.
#include "FontTable.h"
#include "PackConfig.h"
#include "Velmora.h"
#include "win/wstr.h"

#include <algorithm>

namespace {
void Append(WCHAR* out, const WCHAR* piece) {
    lstrcatnW(out, piece, kFontCssBufferUnits);
}
}  // namespace

int Font_GetFontCss(int nID, WCHAR* out, int nLang, int useDefault, int mode) {
    if (!out) return 1;
    if (!Font_IsValid(nID)) nID = kDefaultFontID;
    LOGFONTW lf{};
    const WCHAR separator[2] = {kLangSeparator, 0};
    if (!Font_GetLogFont(nID, &lf, useDefault, nLang)) {
        Append(out, separator);
        return 1;
    }
    if (lf.lfItalic) Append(out, u"italic ");
    if (lf.lfWeight == FW_BOLD && !useDefault) Append(out, u"bold ");
    Append(out, Format(u"%dpx ", lf.lfHeight).GetString());

    const std::u16string face(lf.lfFaceName, std::find(lf.lfFaceName, lf.lfFaceName + LF_FACESIZE, u'\0'));
    std::u16string family = face;
    const auto pack = PackNameMap.find(face);
    if (mode == 0 && !PackListHas(PackFontList, face)) {
        if (useDefault && (face == u"宋体" || face == u"SimSun")) family = u"SimSun";
    } else if (mode == 0) {
        if (pack != PackNameMap.end() && (useDefault || lf.lfWeight != FW_BOLD)) family = pack->second;
    } else if (pack != PackNameMap.end()) {
        family = pack->second;
    }
    Append(out, family.c_str());
    Append(out, separator);
    return 1;
}

void Font_GetFontStyle(tagMULTIFONT mf, WCHAR* out, int useDefault, int mode) {
    const int langs = std::min(getLangCount(), kMultiFontSlots);
    for (int i = 0; i < langs; ++i) Font_GetFontCss(mf.wFontID[i], out, i, useDefault, mode);
}
