// Reading and writing the font pack configuration through the studio's XML document.
#include "PackConfig.h"

#include <algorithm>

#include "FontTable.h"
#include "Stanchion.h"
#include "Velmora.h"
#include "win/filesafety.h"
#include "win/files.h"

CPackFontList PackFontList;

const WCHAR kPackConfigTemplate[] =
    u"<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<project filever=\"1.0\">\r\n</project>\r\n";

CPackFontList::CPackFontList(std::initializer_list<std::u16string> faces) {
    for (const std::u16string& f : faces) push_back(f);
}

CPackFontList& CPackFontList::operator=(std::initializer_list<std::u16string> faces) {
    clear();
    for (const std::u16string& f : faces) push_back(f);
    return *this;
}

void CPackFontList::push_back(const std::u16string& face) {
    m_faces.push_back(face);
    ++m_count[face];
}

void CPackFontList::remove(const std::u16string& face) {
    if (m_count.erase(face)) m_faces.remove(face);
}

void CPackFontList::clear() {
    m_faces.clear();
    m_count.clear();
}

bool PackListHas(const CPackFontList& list, const std::u16string& face) { return list.contains(face); }

void PackListAdd(CPackFontList& list, const std::u16string& face) {
    if (!PackListHas(list, face)) list.push_back(face);
}

namespace {
void ReadSection(CXMLDocument& xml, CPackFontList& list) {
    while (xml.FindChildElem(u"FontInfo")) PackListAdd(list, xml.GetChildAttrib(u"FontName").str());
}

// Moves the cursor into the project element, before its first child.
bool IntoProject(CXMLDocument& xml) {
    xml.ResetPos();
    if (!xml.FindElem(u"project")) return false;
    xml.IntoElem();
    return true;
}

// The section the pack is read from: the first PackFontInfo wherever it
// stands among the project's children, else an older file's HighGradeHMI,
// else its LowGradeHMI. Both readers take the same section, so the pack the
// dialog shows is the pack a compile ships, whatever order an older or
// hand-made file keeps.
bool FindPackSection(CXMLDocument& xml) {
    for (const WCHAR* section : {u"PackFontInfo", u"HighGradeHMI", u"LowGradeHMI"})
        if (IntoProject(xml) && xml.FindElem(section)) return true;
    return false;
}
}  // namespace

CString PackConfigPath() {
    const CString dir = CRootMgr::getSingleton()->getProjectDir();
    if (dir.IsEmpty()) return CString();
    return dir + u"\\fpf.ini";
}

bool KeepUnreadablePackConfig(const CString& path) {
    if (path.IsEmpty()) return true;
    const DWORD attributes = GetFileAttributesW(path);
    if (attributes == INVALID_FILE_ATTRIBUTES) return true;  // nothing there to keep
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
        winfiles::RecordFailure(NativePath(path.str()), "a folder has the name of the font pack file");
        return false;
    }
    HANDLE h = CreateFileW(path, GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h != INVALID_HANDLE_VALUE) {
        const DWORD size = GetFileSize(h, nullptr);
        CloseHandle(h);
        if (size == 0) return true;  // an empty file holds nothing to lose
    }
    for (int n = 1; n < 1000; ++n) {
        const CString aside = n == 1 ? path + u".unreadable" : Format(u"%s.unreadable-%d", path.GetString(), n);
        if (GetFileAttributesW(aside) != INVALID_FILE_ATTRIBUTES) continue;
        if (MoveFileExW(path, aside, 0)) return true;
        break;
    }
    winfiles::RecordFailure(NativePath(path.str()), "cannot keep the unreadable file aside; it was not replaced");
    return false;
}

void LoadPackFontNames(CPackFontList* list) {
    if (!list) return;
    list->clear();
    CXMLDocument xml;
    if (!xml.LoadXMLFile(PackConfigPath())) return;
    if (FindPackSection(xml)) ReadSection(xml, *list);
}

void LoadPackFontFiles(std::map<std::u16string, std::u16string>* files) {
    if (!files) return;
    CXMLDocument xml;
    if (!xml.LoadXMLFile(PackConfigPath())) return;
    if (!FindPackSection(xml)) return;
    while (xml.FindChildElem(u"FontInfo"))
        (*files)[xml.GetChildAttrib(u"FontName").str()] = xml.GetChildAttrib(u"FontFile").str();
}

void SavePackConfig(int bUseDefaultFont, const CString faces[8]) {
    const CString path = PackConfigPath();
    CXMLDocument xml;
    bool keep = true;
    if (!xml.LoadXMLFile(path)) {
        keep = KeepUnreadablePackConfig(path);
        xml.SetDoc(kPackConfigTemplate);
    }
    xml.ResetPos();
    xml.FindElem(u"project");
    if (!xml.FindChildElem(u"DefaultFont")) xml.AddChildElem(u"DefaultFont");
    g_bUseDefaultFont = bUseDefaultFont;
    for (int i = 0; i < 8; ++i) g_strDefaultFont[i] = faces[i];
    xml.SetChildAttrib(u"UseDefaultFont", bUseDefaultFont);
    for (int i = 0; i < 8; ++i) xml.SetChildAttrib(Format(u"Font%d", i), faces[i]);
    // Every pack section goes, wherever it stands, so that the one written
    // below is the only one any reader can find.
    for (const WCHAR* section : {u"HighGradeHMI", u"LowGradeHMI", u"PackFontInfo"})
        while (IntoProject(xml) && xml.FindElem(section)) xml.RemoveElem();
    xml.ResetPos();
    xml.FindElem(u"project");
    xml.AddChildElem(u"PackFontInfo");
    xml.IntoElem();
    for (const std::u16string& face : PackFontList) {
        xml.AddChildElem(u"FontInfo");
        xml.IntoElem();
        xml.SetAttrib(u"FontName", face.c_str());
        xml.SetAttrib(u"FontFile", FontFileMap[face].c_str());
        xml.SetAttrib(u"FontSize", Format(u"%.2lfMB", FontSizeMap[face]));
        xml.OutOfElem();
    }
    if (!path.IsEmpty() && keep) xml.SaveXmlFile(path);
}
