// The project's font pack configuration file "\fpf.ini": default faces per
// language and the faces whose whole font files ship to the panel.
#pragma once

#include <list>
#include <map>
#include <string>

#include "Tamsel.h"

typedef std::list<std::u16string> CPackFontList;

// The faces of the font pack, in order of first appearance.
extern TAMSEL_API CPackFontList PackFontList;

// The text a missing or unreadable "\fpf.ini" starts from.
extern const WCHAR kPackConfigTemplate[];

// "<project>\fpf.ini"; empty without a project.
TAMSEL_API CString PackConfigPath();

// Exact, case-sensitive membership, and appending a face that is not there yet.
TAMSEL_API bool PackListHas(const CPackFontList& list, const std::u16string& face);
TAMSEL_API void PackListAdd(CPackFontList& list, const std::u16string& face);

TAMSEL_API void LoadPackFontNames(CPackFontList* list);
TAMSEL_API void LoadPackFontFiles(std::map<std::u16string, std::u16string>* files);
// Stores the flag and faces as the default-font settings and writes them and
// PackFontList (with each face's file and size) to "\fpf.ini".
TAMSEL_API void SavePackConfig(int bUseDefaultFont, const CString faces[8]);
