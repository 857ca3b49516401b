// The font table's own helpers, shared by the module's subsystems and its
// tests; none of them is exported.
#pragma once

#include <cstdint>
#include <vector>

#include "Tamsel.h"
#include "mfc/afxgdi.h"

extern int g_nLastSelFont;

// The first record in table order whose name equals `name` exactly; null when none.
tagHMIFONT* findFontByName(const WCHAR* name);
// Appends a new record: all zero, then `lf`, the name cut to 31 units, and the next font id.
tagHMIFONT* AppendNewFont(const LOGFONTW& lf, const WCHAR* name);
int CreateLegacyFont(CFont& font, int nID, int bBold);
// Stores in `lf` the weight and italic flag that GDI realises for it.
void SyncFontMetrics(LOGFONTW& lf);

// Reads the records of a Font.hft file. Only whole records that the file
// holds are returned, whatever count its header claims.
struct HftFileContents {
    bool opened = false;       // the file could be opened
    bool headerRead = false;   // its 4-byte record count could be read
    uint32_t declared = 0;     // the record count in the file's header
    bool complete = false;     // the file held every declared record and no more
    std::vector<tagHMIFONT> records;
};
HftFileContents ReadFontTableFile(const WCHAR* path);
// Cuts a record's name and face to 31 units so that a full field is still a terminated string.
void TerminateNames(tagHMIFONT& rec);
// The project's Font.hft path ("<project>\Font.hft"); empty without a project.
CString FontTablePath();

// ---- Default faces ----
extern int g_bUseDefaultFont;
extern CString g_strDefaultFont[kMultiFontSlots];
// "宋体" when installed, else "SimSun" when installed, else "Arial".
CString SimSunChoice();
