// The project's font pack configuration file "\fpf.ini": default faces per
// language and the faces whose whole font files ship to the panel.
#pragma once

#include <initializer_list>
#include <list>
#include <map>
#include <string>
#include <unordered_map>

#include "Tamsel.h"

// The ordered face list of the font pack, with a count per face beside it so
// that membership costs the same for 30,000 faces as for three. The list may
// hold a face more than once (the default faces are appended unchecked), so
// the index counts. Iteration is read-only: every change goes through the
// members that keep the index.
class TAMSEL_API CPackFontList {
public:
    typedef std::list<std::u16string>::const_iterator const_iterator;
    typedef const_iterator iterator;
    typedef std::u16string value_type;

    CPackFontList() = default;
    CPackFontList(std::initializer_list<std::u16string> faces);
    CPackFontList& operator=(std::initializer_list<std::u16string> faces);

    const_iterator begin() const { return m_faces.begin(); }
    const_iterator end() const { return m_faces.end(); }
    size_t size() const { return m_faces.size(); }
    bool empty() const { return m_faces.empty(); }
    bool contains(const std::u16string& face) const { return m_count.count(face) != 0; }

    void push_back(const std::u16string& face);
    // Removes every entry of the face.
    void remove(const std::u16string& face);
    void clear();

    bool operator==(const CPackFontList& o) const { return m_faces == o.m_faces; }
    bool operator!=(const CPackFontList& o) const { return !(*this == o); }

private:
    std::list<std::u16string> m_faces;
    std::unordered_map<std::u16string, size_t> m_count;
};

// The faces of the font pack, in order of first appearance.
extern TAMSEL_API CPackFontList PackFontList;

// The text a missing or unreadable "\fpf.ini" starts from.
extern const WCHAR kPackConfigTemplate[];

// "<project>\fpf.ini"; empty without a project.
TAMSEL_API CString PackConfigPath();
// Before a new file replaces one that cannot be read as XML: the user's file
// is kept beside it as "fpf.ini.unreadable" ("...unreadable-2", ... when that
// is taken). True when nothing needed keeping or it was kept; false (and the
// failure recorded) when it could not be, and the file must not be replaced.
TAMSEL_API bool KeepUnreadablePackConfig(const CString& path);

// Exact, case-sensitive membership, and appending a face that is not there yet.
TAMSEL_API bool PackListHas(const CPackFontList& list, const std::u16string& face);
TAMSEL_API void PackListAdd(CPackFontList& list, const std::u16string& face);

TAMSEL_API void LoadPackFontNames(CPackFontList* list);
TAMSEL_API void LoadPackFontFiles(std::map<std::u16string, std::u16string>* files);
// Stores the flag and faces as the default-font settings and writes them and
// PackFontList (with each face's file and size) to "\fpf.ini".
TAMSEL_API void SavePackConfig(int bUseDefaultFont, const CString faces[8]);
