#include "TamselDialog.h"

#include "DialogResources.h"
#include "FontListActions.h"
#include "Velmora.h"

BEGIN_MESSAGE_MAP(CTamselDialog, CBCGPDialog)
    ON_BN_CLICKED(IDC_FONT_ADD, &CTamselDialog::OnAdd)
    ON_BN_CLICKED(IDC_FONT_DELETE, &CTamselDialog::OnDelete)
    ON_BN_CLICKED(IDC_FONT_EDIT, &CTamselDialog::OnEdit)
    ON_BN_CLICKED(IDC_LIBRARY_HELP, &CTamselDialog::OnHelp)
    ON_LBN_SELCHANGE(IDC_LIBRARY_LIST, &CTamselDialog::OnSelChange)
    ON_LBN_DBLCLK(IDC_LIBRARY_LIST, &CTamselDialog::OnDblClk)
END_MESSAGE_MAP()

CTamselDialog::CTamselDialog(CWnd* parent) : CBCGPDialog(IDD_FONT_LIBRARY, parent) {}

CTamselDialog::~CTamselDialog() = default;

void CTamselDialog::DoDataExchange(CDataExchange* dx) {
    CBCGPDialog::DoDataExchange(dx);
    DDX_Control(dx, IDC_LIBRARY_LIST, m_FontList);
}

BOOL CTamselDialog::OnInitDialog() {
    CBCGPDialog::OnInitDialog();
    EnableVisualManagerStyle();
    LA_SetDlgStrings(this, IDD_FONT_LIBRARY, u"Tamsel");
    fontlist::Fill(m_FontList, -1);
    m_FontList.SetCurSel(0);
    UpdateData(FALSE);
    Refresh();
    return TRUE;
}

void CTamselDialog::Refresh() {
    const int row = m_FontList.GetCurSel();
    CWnd* del = GetDlgItem(IDC_FONT_DELETE);
    CWnd* edit = GetDlgItem(IDC_FONT_EDIT);
    if (row == LB_ERR) {
        del->EnableWindow(FALSE);
        edit->EnableWindow(FALSE);
        return;
    }
    CString name;
    m_FontList.GetText(row, name);
    const tagHMIFONT* rec = findFontByName(name);
    if (!rec) return;
    fontlist::SetSample(*this, IDC_LIBRARY_SAMPLE, m_SampleFont, rec->lf);
    fontlist::ShowLabels(*this, *rec);
    // The project's default font is shown but never changed here.
    const BOOL changeable = rec->nID != kDefaultFontID;
    del->EnableWindow(changeable);
    edit->EnableWindow(changeable);
}

void CTamselDialog::OnSelChange() {
    Refresh();
}

void CTamselDialog::OnAdd() {
    const tagHMIFONT* rec = fontlist::AddThroughProperties(this);
    if (!rec) return;
    const int row = m_FontList.AddString(rec->szName);
    m_FontList.SetItemData(row, static_cast<DWORD_PTR>(rec->nID));
    m_FontList.SetCurSel(row);
    fontlist::ShowLabels(*this, *rec);
    Refresh();
    m_bModified = 1;
}

void CTamselDialog::OnDelete() {
    const fontlist::DeleteResult r = fontlist::ConfirmAndDelete(*this, m_FontList);
    if (r == fontlist::DeleteResult::Declined) return;
    if (r == fontlist::DeleteResult::Deleted) m_bModified = 1;
    Refresh();
    fontlist::DiscardDebugOutput();
}

void CTamselDialog::OnEdit() {
    const int row = m_FontList.GetCurSel();
    if (row == LB_ERR) return;
    tagHMIFONT* rec = findFontInList(static_cast<int>(m_FontList.GetItemData(row)));
    // The default font is never edited, even when the button was left enabled.
    if (rec && rec->nID == kDefaultFontID) return;
    if (rec) {
        if (fontlist::EditThroughProperties(this, m_FontList, row, *rec)) {
            fontlist::ShowLabels(*this, *rec);
            m_bModified = 1;
        }
        fontlist::SetSample(*this, IDC_LIBRARY_SAMPLE, m_SampleFont, rec->lf);
        Refresh();
    }
    fontlist::DiscardDebugOutput();
}

void CTamselDialog::OnDblClk() {
    const int row = m_FontList.GetCurSel();
    if (row == LB_ERR) return;
    const tagHMIFONT* rec = findFontInList(static_cast<int>(m_FontList.GetItemData(row)));
    if (rec && rec->nID != kDefaultFontID) OnEdit();
}

void CTamselDialog::OnHelp() {
    OpenHmiChmHelp(1, 4100);
}

void CTamselDialog::OnCancel() {
    if (m_bModified) {
        m_bModified = 0;
        if (GetFastCompileEnable() == 1) {
            if (CWnd* main = AfxGetMainWnd()) main->SendMessage(kFontsChangedMessage, 0, 1);
        }
    }
    EndDialog(IDCANCEL);
}

int Font_EditLib(CWnd* pParent) {
    CTamselDialog dlg(pParent);
    dlg.DoModal();
    return 1;
}
