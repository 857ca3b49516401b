// The project's font pack configuration file "\fpf.ini": default faces per
// language and the faces whose whole font files ship to the panel.
#pragma once

#include <map>
#include <string>

#include "FontTable.h"

// The text a missing or unreadable "\fpf.ini" starts from.
extern const WCHAR kPackConfigTemplate[];

// "<project>\fpf.ini"; empty without a project.
CString PackConfigPath();
// Before a new file replaces one that cannot be read as XML: the user's file
// is kept beside it as "fpf.ini.unreadable" ("...unreadable-2", ... when that
// is taken). True when nothing needed keeping or it was kept; false (and the
// failure recorded) when it could not be, and the file must not be replaced.
bool KeepUnreadablePackConfig(const CString& path);

// Exact, case-sensitive membership, and appending a face that is not there yet.
bool PackListHas(const CPackFontList& list, const std::u16string& face);
void PackListAdd(CPackFontList& list, const std::u16string& face);

void LoadPackFontNames(CPackFontList* list);
void LoadPackFontFiles(std::map<std::u16string, std::u16string>* files);
// Stores the flag and faces as the default-font settings and writes them and
// PackFontList (with each face's file and size) to "\fpf.ini".
void SavePackConfig(int bUseDefaultFont, const CString faces[8]);
