// The project's default face per language.
#include "FontTable.h"
#include "PackConfig.h"
#include "Velmora.h"
#include "win/wstr.h"

int g_bUseDefaultFont = 0;
CString g_strDefaultFont[kMultiFontSlots];

namespace {
const std::u16string kSimSunZh = u"\u5B8B\u4F53";  // 宋体
}

CString SimSunChoice() {
    if (PackNameMap.count(kSimSunZh)) return CString(kSimSunZh);
    if (PackNameMap.count(u"SimSun")) return CString(u"SimSun");
    return CString(u"Arial");
}

int LoadDefaultFont() {
    const CString path = PackConfigPath();
    CXMLDocument xml;
    bool loaded = true;
    if (!xml.LoadXMLFile(path)) {
        loaded = false;
        xml.SetDoc(kPackConfigTemplate);
    }
    xml.ResetPos();
    if (!xml.FindElem(u"project")) return 0;
    if (xml.FindChildElem(u"DefaultFont")) {
        int use = 0;
        // A value that is no number reads as 0, as the CRT's conversion does.
        const CString flag = xml.GetChildAttrib(u"UseDefaultFont");
        int parsed = 0;
        if (ScanDecimal(flag, &parsed)) use = parsed;
        g_bUseDefaultFont = use;
        for (int i = 0; i < 8; ++i) g_strDefaultFont[i] = xml.GetChildAttrib(Format(u"Font%d", i));
        if (g_bUseDefaultFont)
            for (int i = 0; i < 8; ++i) PackFontList.push_back(g_strDefaultFont[i].str());
        return 1;
    }
    xml.AddChildElem(u"DefaultFont");
    g_bUseDefaultFont = 0;
    for (int i = 0; i < 8; ++i) g_strDefaultFont[i] = u"Arial";
    const CString prefix = LA_GetLangPrefix();
    if (prefix.IsEmpty() || prefix == u"TR_") g_strDefaultFont[0] = SimSunChoice();
    xml.SetChildAttrib(u"UseDefaultFont", g_bUseDefaultFont);
    for (int i = 0; i < 8; ++i) xml.AddChildAttrib(Format(u"Font%d", i), g_strDefaultFont[i]);
    // An unreadable file is the user's: it is kept aside, never overwritten.
    if (!path.IsEmpty() && (loaded || KeepUnreadablePackConfig(path))) xml.SaveXmlFile(path);
    return 1;
}

CString GetDefaultFont(int nLang) {
    if (nLang == -1) nLang = GetCurLanguage();
    if (g_bUseDefaultFont) return (nLang >= 0 && nLang < kMultiFontSlots) ? g_strDefaultFont[nLang] : CString();
    return SimSunChoice();
}

int IsUseDefaultFont() { return g_bUseDefaultFont; }
