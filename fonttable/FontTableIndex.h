// The id index of the project font table: look-ups by id without a walk.
#pragma once

#include "Tamsel.h"

// The position in g_FontList of the first record with the id; null when none.
POSITION FindFontPosition(int nID);
// Appends a record to g_FontList, keeping the index.
POSITION AppendFontRecord(tagHMIFONT* rec);
// Removes the record at `pos` (found by FindFontPosition) from g_FontList,
// keeping the index; the record itself is the caller's.
void RemoveFontRecord(POSITION pos);
