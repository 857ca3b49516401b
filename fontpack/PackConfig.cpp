// Reading and writing the font pack configuration through the studio's XML document.
#include "PackConfig.h"

#include <algorithm>

#include "FontMap.h"
#include "Stanchion.h"
#include "Velmora.h"

CPackFontList PackFontList;

const WCHAR kPackConfigTemplate[] =
    u"<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<project filever=\"1.0\">\r\n</project>\r\n";

bool PackListHas(const CPackFontList& list, const std::u16string& face) {
    return std::find(list.begin(), list.end(), face) != list.end();
}

void PackListAdd(CPackFontList& list, const std::u16string& face) {
    if (!PackListHas(list, face)) list.push_back(face);
}

namespace {
void ReadSection(CXMLDocument& xml, CPackFontList& list) {
    while (xml.FindChildElem(u"FontInfo")) PackListAdd(list, xml.GetChildAttrib(u"FontName").str());
}
}  // namespace

CString PackConfigPath() {
    const CString dir = CRootMgr::getSingleton()->getProjectDir();
    if (dir.IsEmpty()) return CString();
    return dir + u"\\fpf.ini";
}

void LoadPackFontNames(CPackFontList* list) {
    if (!list) return;
    list->clear();
    CXMLDocument xml;
    if (!xml.LoadXMLFile(PackConfigPath())) return;
    xml.ResetPos();
    if (!xml.FindElem(u"project")) return;
    xml.IntoElem();
    for (const WCHAR* old : {u"HighGradeHMI", u"LowGradeHMI"}) {
        if (xml.FindChildElem(old)) {
            xml.IntoElem();
            ReadSection(xml, *list);
            xml.OutOfElem();
        }
    }
    if (xml.FindElem(u"PackFontInfo")) ReadSection(xml, *list);
}

void LoadPackFontFiles(std::map<std::u16string, std::u16string>* files) {
    if (!files) return;
    CXMLDocument xml;
    if (!xml.LoadXMLFile(PackConfigPath())) return;
    xml.ResetPos();
    if (!xml.FindElem(u"project")) return;
    bool found = false;
    for (const WCHAR* section : {u"PackFontInfo", u"HighGradeHMI", u"LowGradeHMI"})
        if (xml.FindChildElem(section)) {
            found = true;
            break;
        }
    if (!found) return;
    xml.IntoElem();
    while (xml.FindChildElem(u"FontInfo"))
        (*files)[xml.GetChildAttrib(u"FontName").str()] = xml.GetChildAttrib(u"FontFile").str();
    xml.OutOfElem();
}

void SavePackConfig(int bUseDefaultFont, const CString faces[8]) {
    const CString path = PackConfigPath();
    CXMLDocument xml;
    if (!xml.LoadXMLFile(path)) xml.SetDoc(kPackConfigTemplate);
    xml.ResetPos();
    xml.FindElem(u"project");
    if (!xml.FindChildElem(u"DefaultFont")) xml.AddChildElem(u"DefaultFont");
    g_bUseDefaultFont = bUseDefaultFont;
    for (int i = 0; i < 8; ++i) g_strDefaultFont[i] = faces[i];
    xml.SetChildAttrib(u"UseDefaultFont", bUseDefaultFont);
    for (int i = 0; i < 8; ++i) xml.SetChildAttrib(Format(u"Font%d", i), faces[i]);
    for (const WCHAR* section : {u"HighGradeHMI", u"LowGradeHMI", u"PackFontInfo"}) {
        if (xml.FindChildElem(section)) {
            xml.IntoElem();
            xml.RemoveElem();
            xml.OutOfElem();
        }
    }
    if (!xml.FindChildElem(u"PackFontInfo")) xml.AddChildElem(u"PackFontInfo");
    xml.IntoElem();
    for (const std::u16string& face : PackFontList) {
        xml.AddChildElem(u"FontInfo");
        xml.IntoElem();
        xml.SetAttrib(u"FontName", face.c_str());
        xml.SetAttrib(u"FontFile", FontFileMap[face].c_str());
        xml.SetAttrib(u"FontSize", Format(u"%.2lfMB", FontSizeMap[face]));
        xml.OutOfElem();
    }
    if (!path.IsEmpty()) xml.SaveXmlFile(path);
}
