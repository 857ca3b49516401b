// What the font library and font selection dialogs share: their lists of
// project fonts, and adding, editing and deleting through them.
#pragma once

#include "bcg/BCGCBProInc.h"
#include "fonttable/FontTable.h"

namespace fontlist {

// Copies `name` into the 32-unit name field, zero filled.
void StoreName(tagHMIFONT& rec, const CString& name);
// The first "STR_40001" name (formatted with 0, 1, 2, ...) no font has, built-in fonts included.
CString ProposeName();
// Lists the fonts whose names do not begin with "{", in table order, with
// their ids as item data; returns the row of `selectId`, or -1.
int Fill(CListBox& list, int selectId);
void ShowLabels(CWnd& dlg, const tagHMIFONT& rec);
void SetSample(CWnd& dlg, int sampleId, CFont& font, const LOGFONTW& lf);
// Runs the properties dialog for a new font and appends it; null when cancelled.
tagHMIFONT* AddThroughProperties(CWnd* parent);
// Runs the properties dialog on a listed font and, on OK, stores the result
// and replaces its row. True when the font changed.
bool EditThroughProperties(CWnd* parent, CListBox& list, int row, tagHMIFONT& rec);
// Asks, then deletes the selected row's font and its row; the default font
// (and id 0) is refused with a message.
enum class DeleteResult { Declined, Kept, Deleted };
DeleteResult ConfirmAndDelete(CWnd& dlg, CListBox& list);
void DiscardDebugOutput();

}  // namespace fontlist
