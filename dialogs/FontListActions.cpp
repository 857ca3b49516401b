#include "FontListActions.h"

#include <cstring>

#include "FontPropertiesDialog.h"
#include "TamselRes.h"
#include "Stanchion.h"
#include "Velmora.h"
#include "win/wstr.h"

namespace fontlist {

void StoreName(tagHMIFONT& rec, const CString& name) {
    CopyFixedName(rec.szName, name.GetString(), 32);
}

CString ProposeName() {
    const CString pattern = LA_GetString(u"STR_40001");
    for (int i = 0;; ++i) {
        const CString name = Format(pattern.GetString(), i);
        if (!findFontByName(name)) return name;
    }
}

int Fill(CListBox& list, int selectId) {
    int selected = -1;
    POSITION pos = g_FontList.GetHeadPosition();
    while (pos) {
        const tagHMIFONT* rec = g_FontList.GetNext(pos);
        if (rec->szName[0] == u'{') continue;  // the built-in fonts
        const int row = list.AddString(rec->szName);
        list.SetItemData(row, static_cast<DWORD_PTR>(rec->nID));
        if (rec->nID == selectId) selected = row;
    }
    return selected;
}

void ShowLabels(CWnd& dlg, const tagHMIFONT& rec) {
    dlg.SetDlgItemText(IDC_FONT_FACE, rec.lf.lfFaceName);
    dlg.SetDlgItemText(IDC_FONT_SIZE, Format(u"%d", rec.lf.lfHeight));
}

void SetSample(CWnd& dlg, int sampleId, CFont& font, const LOGFONTW& lf) {
    font.DeleteObject();
    font.CreateFontIndirect(&lf);
    if (CWnd* sample = dlg.GetDlgItem(sampleId)) {
        sample->SetFont(&font);
        sample->Invalidate(TRUE);
        sample->UpdateWindow();
    }
}

tagHMIFONT* AddThroughProperties(CWnd* parent) {
    CFontPropertiesDialog dlg(parent);
    dlg.m_strName = ProposeName();
    dlg.m_bAutoName = 1;
    if (dlg.DoModal() != IDOK) return nullptr;
    return AppendNewFont(*dlg.GetLogFont(), dlg.m_strName);
}

bool EditThroughProperties(CWnd* parent, CListBox& list, int row, tagHMIFONT& rec) {
    CFontPropertiesDialog dlg(parent);
    dlg.SetLogFont(&rec.lf);
    dlg.m_strName = rec.szName;
    dlg.m_nEditIndex = row;
    dlg.m_bAutoName = 0;
    if (dlg.DoModal() != IDOK) return false;
    rec.lf = *dlg.GetLogFont();
    StoreName(rec, dlg.m_strName);
    const DWORD_PTR id = list.GetItemData(row);
    list.DeleteString(static_cast<UINT>(row));
    const int at = list.InsertString(row, rec.szName);
    list.SetItemData(at, id);
    return true;
}

DeleteResult ConfirmAndDelete(CWnd& dlg, CListBox& list) {
    if (BCGPMessageBox(dlg.GetSafeHwnd(), LA_GetString(u"STR_40002"), LA_GetString(u"STR_40003"),
                       MB_YESNO | MB_ICONQUESTION) != IDYES)
        return DeleteResult::Declined;
    const int row = list.GetCurSel();
    if (row == LB_ERR) return DeleteResult::Kept;
    const int id = static_cast<int>(list.GetItemData(row));
    // The project's default font stays, whatever state the Delete button was left in.
    if (id != 0 && id != kDefaultFontID && DelHmiFont(id)) {
        list.DeleteString(static_cast<UINT>(row));
        return DeleteResult::Deleted;
    }
    BCGPMessageBox(dlg.GetSafeHwnd(), LA_GetString(u"STR_40004"), nullptr, MB_OK);
    return DeleteResult::Kept;
}

void DiscardDebugOutput() {
    DelDebugDir(CRootMgr::getSingleton()->getProjectDir());
}

}  // namespace fontlist
