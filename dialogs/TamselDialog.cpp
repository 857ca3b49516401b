#include "TamselDialog.h"

#include <cstring>

#include "DialogResources.h"
#include "FontPropertiesDialog.h"
#include "Stanchion.h"
#include "Velmora.h"
#include "win/wstr.h"

namespace {
enum : int { kList = 3002, kAdd = 3003, kDelete = 3004, kEdit = 3005, kFace = 3006, kSize = 3007, kSample = 3008, kHelp = 3009 };
// Tells the studio's main window that the project's fonts changed.
constexpr UINT kFontsChangedMessage = 0x1600;

tagHMIFONT* FindByName(const CString& name) {
    POSITION pos = g_FontList.GetHeadPosition();
    while (pos) {
        tagHMIFONT* rec = g_FontList.GetNext(pos);
        if (name == CString(rec->szName)) return rec;
    }
    return nullptr;
}

void StoreName(tagHMIFONT& rec, const CString& name) {
    std::memset(rec.szName, 0, sizeof rec.szName);
    lstrcpynW(rec.szName, name.GetString(), 32);
}
}  // namespace

BEGIN_MESSAGE_MAP(CTamselDialog, CBCGPDialog)
    ON_BN_CLICKED(kAdd, &CTamselDialog::OnAdd)
    ON_BN_CLICKED(kDelete, &CTamselDialog::OnDelete)
    ON_BN_CLICKED(kEdit, &CTamselDialog::OnEdit)
    ON_BN_CLICKED(kHelp, &CTamselDialog::OnHelp)
    ON_LBN_SELCHANGE(kList, &CTamselDialog::OnSelChange)
    ON_LBN_DBLCLK(kList, &CTamselDialog::OnDblClk)
END_MESSAGE_MAP()

CTamselDialog::CTamselDialog(CWnd* parent) : CBCGPDialog(IDD_FONT_LIBRARY, parent) {}

CTamselDialog::~CTamselDialog() = default;

void CTamselDialog::DoDataExchange(CDataExchange* dx) {
    CBCGPDialog::DoDataExchange(dx);
    DDX_Control(dx, kList, m_FontList);
}

BOOL CTamselDialog::OnInitDialog() {
    CBCGPDialog::OnInitDialog();
    EnableVisualManagerStyle();
    LA_SetDlgStrings(this, IDD_FONT_LIBRARY, u"Tamsel");
    POSITION pos = g_FontList.GetHeadPosition();
    while (pos) {
        const tagHMIFONT* rec = g_FontList.GetNext(pos);
        if (rec->szName[0] == u'{') continue;  // the built-in fonts
        const int row = m_FontList.AddString(rec->szName);
        m_FontList.SetItemData(row, static_cast<DWORD_PTR>(rec->nID));
    }
    m_FontList.SetCurSel(0);
    UpdateData(FALSE);
    Refresh();
    return TRUE;
}

void CTamselDialog::SetSample(const tagHMIFONT& rec) {
    m_SampleFont.DeleteObject();
    m_SampleFont.CreateFontIndirect(&rec.lf);
    if (CWnd* sample = GetDlgItem(kSample)) {
        sample->SetFont(&m_SampleFont);
        sample->Invalidate(TRUE);
        sample->UpdateWindow();
    }
}

void CTamselDialog::ShowRecord(const tagHMIFONT& rec) {
    SetDlgItemText(kFace, rec.lf.lfFaceName);
    SetDlgItemText(kSize, Format(u"%d", rec.lf.lfHeight));
}

void CTamselDialog::Refresh() {
    const int row = m_FontList.GetCurSel();
    CWnd* del = GetDlgItem(kDelete);
    CWnd* edit = GetDlgItem(kEdit);
    if (row == LB_ERR) {
        del->EnableWindow(FALSE);
        edit->EnableWindow(FALSE);
        return;
    }
    CString name;
    m_FontList.GetText(row, name);
    const tagHMIFONT* rec = FindByName(name);
    if (!rec) return;
    SetSample(*rec);
    ShowRecord(*rec);
    // The project's default font is shown but never changed here.
    const BOOL changeable = rec->nID != kDefaultFontID;
    del->EnableWindow(changeable);
    edit->EnableWindow(changeable);
}

void CTamselDialog::OnSelChange() {
    Refresh();
}

void CTamselDialog::OnAdd() {
    CFontPropertiesDialog dlg(this);
    CString name;
    for (int i = 0;; ++i) {
        name = Format(LA_GetString(u"STR_40001").GetString(), i);
        if (!FindByName(name)) break;
    }
    dlg.m_strName = name;
    dlg.m_bAutoName = 1;
    if (dlg.DoModal() != IDOK) return;
    auto* rec = new tagHMIFONT;
    std::memset(rec, 0, sizeof *rec);
    rec->lf = *dlg.GetLogFont();
    StoreName(*rec, dlg.m_strName);
    rec->nID = ++g_nMaxFontID;
    g_FontList.AddTail(rec);
    const int row = m_FontList.AddString(rec->szName);
    m_FontList.SetItemData(row, static_cast<DWORD_PTR>(rec->nID));
    m_FontList.SetCurSel(row);
    ShowRecord(*rec);
    Refresh();
    m_bModified = 1;
}

void CTamselDialog::OnDelete() {
    if (BCGPMessageBox(GetSafeHwnd(), LA_GetString(u"STR_40002"), LA_GetString(u"STR_40003"), MB_YESNO | MB_ICONQUESTION) !=
        IDYES)
        return;
    const int row = m_FontList.GetCurSel();
    if (row != LB_ERR) {
        const int id = static_cast<int>(m_FontList.GetItemData(row));
        if (id != 0 && DelHmiFont(id)) {
            m_FontList.DeleteString(static_cast<UINT>(row));
            m_bModified = 1;
        } else {
            BCGPMessageBox(GetSafeHwnd(), LA_GetString(u"STR_40004"), nullptr, MB_OK);
        }
        Refresh();
    }
    DiscardDebugOutput();
}

void CTamselDialog::OnEdit() {
    const int row = m_FontList.GetCurSel();
    if (row == LB_ERR) return;
    const int id = static_cast<int>(m_FontList.GetItemData(row));
    tagHMIFONT* rec = findFontInList(id);
    if (rec) {
        CFontPropertiesDialog dlg(this);
        dlg.SetLogFont(&rec->lf);
        dlg.m_strName = rec->szName;
        dlg.m_nEditIndex = row;
        dlg.m_bAutoName = 0;
        if (dlg.DoModal() == IDOK) {
            rec->lf = *dlg.GetLogFont();
            StoreName(*rec, dlg.m_strName);
            ShowRecord(*rec);
            m_FontList.DeleteString(static_cast<UINT>(row));
            const int at = m_FontList.InsertString(row, rec->szName);
            m_FontList.SetItemData(at, static_cast<DWORD_PTR>(id));
            m_bModified = 1;
        }
        SetSample(*rec);
        Refresh();
    }
    DiscardDebugOutput();
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

void CTamselDialog::DiscardDebugOutput() {
    DelDebugDir(CRootMgr::getSingleton()->getProjectDir());
}

int Font_EditLib(CWnd* pParent) {
    CTamselDialog dlg(pParent);
    dlg.DoModal();
    return 1;
}
