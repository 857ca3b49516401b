#include "FontSelectDialog.h"

#include "DialogCommon.h"
#include "DialogResources.h"
#include "FontListActions.h"
#include "FontTable.h"
#include "Velmora.h"

namespace {
constexpr DWORD kFaceListExStyle = LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT | LVS_EX_ONECLICKACTIVATE | LVS_EX_REGIONAL |
                                   LVS_EX_MULTIWORKAREAS | LVS_EX_LABELTIP;
}  // namespace

// ---------------------------------------------------------------- project fonts

BEGIN_MESSAGE_MAP(CFontSelectDialog, CBCGPDialog)
    ON_LBN_SELCHANGE(IDC_SELECT_LIST, &CFontSelectDialog::OnSelChange)
    ON_LBN_DBLCLK(IDC_SELECT_LIST, &CFontSelectDialog::OnOK)
    ON_BN_CLICKED(IDC_FONT_ADD, &CFontSelectDialog::OnNew)
    ON_BN_CLICKED(IDC_FONT_EDIT, &CFontSelectDialog::OnEdit)
    ON_BN_CLICKED(IDC_FONT_DELETE, &CFontSelectDialog::OnDelete)
    ON_BN_CLICKED(IDC_SELECT_HELP, &CFontSelectDialog::OnHelp)
END_MESSAGE_MAP()

CFontSelectDialog::CFontSelectDialog(CWnd* parent) : CBCGPDialog(IDD_FONT_SELECT, parent) {}

CFontSelectDialog::~CFontSelectDialog() = default;

void CFontSelectDialog::DoDataExchange(CDataExchange* dx) {
    CBCGPDialog::DoDataExchange(dx);
    DDX_Control(dx, IDC_SELECT_LIST, m_FontList);
}

BOOL CFontSelectDialog::OnInitDialog() {
    CBCGPDialog::OnInitDialog();
    EnableVisualManagerStyle();
    LA_SetDlgStrings(this, IDD_FONT_SELECT, u"Tamsel");
    const int row = fontlist::Fill(m_FontList, m_nSelFont);
    if (row >= 0) m_FontList.SetCurSel(row);
    Refresh();
    return TRUE;
}

void CFontSelectDialog::Refresh() {
    const int row = m_FontList.GetCurSel();
    CWnd* use = GetDlgItem(IDOK);
    CWnd* edit = GetDlgItem(IDC_FONT_EDIT);
    CWnd* del = GetDlgItem(IDC_FONT_DELETE);
    if (row == LB_ERR) {
        use->EnableWindow(FALSE);
        edit->EnableWindow(FALSE);
        del->EnableWindow(FALSE);
        return;
    }
    use->EnableWindow(TRUE);
    if (const tagHMIFONT* shown = findFontInList(static_cast<int>(m_FontList.GetItemData(row)))) {
        fontlist::SetSample(*this, IDC_SELECT_SAMPLE, m_SampleFont, shown->lf);
        const BOOL changeable = shown->nID != kDefaultFontID;
        edit->EnableWindow(changeable);
        del->EnableWindow(changeable);
    }
    CString name;
    m_FontList.GetText(row, name);
    if (const tagHMIFONT* rec = findFontByName(name)) {
        fontlist::ShowLabels(*this, *rec);
    } else {
        SetDlgItemText(IDC_FONT_FACE, LA_GetString(u"STR_40015"));
        SetDlgItemText(IDC_FONT_SIZE, LA_GetString(u"STR_40016"));
    }
}

void CFontSelectDialog::OnSelChange() {
    Refresh();
}

void CFontSelectDialog::OnOK() {
    const int row = m_FontList.GetCurSel();
    if (row == LB_ERR) return;
    m_nSelFont = static_cast<int>(m_FontList.GetItemData(row));
    SetLastSelFont(m_nSelFont);
    EndDialog(IDOK);
}

void CFontSelectDialog::OnNew() {
    if (const tagHMIFONT* rec = fontlist::AddThroughProperties(this)) {
        const int row = m_FontList.AddString(rec->szName);
        m_FontList.SetItemData(row, static_cast<DWORD_PTR>(rec->nID));
        m_FontList.SetCurSel(row);
        fontlist::ShowLabels(*this, *rec);
    }
    Refresh();
}

void CFontSelectDialog::OnEdit() {
    const int row = m_FontList.GetCurSel();
    if (row == LB_ERR) return;
    tagHMIFONT* rec = findFontInList(static_cast<int>(m_FontList.GetItemData(row)));
    // The default font is never edited, even when the button was left enabled.
    if (rec && rec->nID == kDefaultFontID) return;
    if (rec) {
        // Here the edited row stays chosen, and the sample stays as it was.
        if (fontlist::EditThroughProperties(this, m_FontList, row, *rec)) {
            m_FontList.SetCurSel(row);
            fontlist::ShowLabels(*this, *rec);
        }
    }
    fontlist::DiscardDebugOutput();
}

void CFontSelectDialog::OnDelete() {
    if (fontlist::ConfirmAndDelete(*this, m_FontList) == fontlist::DeleteResult::Declined) return;
    fontlist::DiscardDebugOutput();
    Refresh();
}

void CFontSelectDialog::OnHelp() {
    OpenHmiChmHelp(1, 4100);
}

int Font_Select(CWnd* pParent, int nCurrent) {
    CFontSelectDialog dlg(pParent);
    dlg.m_nSelFont = nCurrent;
    return dlg.DoModal() == IDOK ? dlg.m_nSelFont : nCurrent;
}

// ---------------------------------------------------------------- installed faces

BEGIN_MESSAGE_MAP(CSelectFontDlg, CBCGPDialog)
    ON_NOTIFY(NM_DBLCLK, IDC_SELECT_FACE_LIST, &CSelectFontDlg::OnDblClkList)
END_MESSAGE_MAP()

CSelectFontDlg::CSelectFontDlg(CWnd* parent, POINT anchor) : CBCGPDialog(IDD_SELECT_FACE, parent), m_ptAnchor(anchor) {}

CSelectFontDlg::~CSelectFontDlg() = default;

void CSelectFontDlg::DoDataExchange(CDataExchange* dx) {
    CBCGPDialog::DoDataExchange(dx);
    DDX_Control(dx, IDC_SELECT_FACE_LIST, m_ListCtrl);
}

BOOL CSelectFontDlg::OnInitDialog() {
    CBCGPDialog::OnInitDialog();
    EnableVisualManagerStyle();
    LA_SetDlgStrings(this, IDD_SELECT_FACE, u"Tamsel");
    dialogcommon::SetUpFaceList(m_ListCtrl, m_listFont, kFaceListExStyle);
    CRect client;
    m_ListCtrl.GetClientRect(&client);
    const int w = client.Width();
    m_ListCtrl.InsertColumn(0, LA_GetString(u"STR_40021"), LVCFMT_LEFT, static_cast<int>(w * 0.7));
    m_ListCtrl.InsertColumn(1, LA_GetString(u"STR_40025"), LVCFMT_LEFT, static_cast<int>(w * 0.3));
    if (PackNameMap.empty()) MakeFontMap();
    int row = 0;
    for (const auto& kv : PackNameMap) {
        m_ListCtrl.InsertItem(row, kv.first.c_str());
        const auto size = FontSizeMap.find(kv.first);
        m_ListCtrl.SetItemText(row, 1, Format(u"%.2lfMB", size == FontSizeMap.end() ? 0.0 : size->second));
        ++row;
    }
    CRect mine;
    GetClientRect(&mine);
    const RECT best = GetBestRect(m_ptAnchor, mine.Width(), mine.Height());
    MoveWindow(&best);
    return TRUE;
}

void CSelectFontDlg::OnDblClkList(NMHDR* hdr, LRESULT* result) {
    *result = 0;
    const auto* nm = reinterpret_cast<const NMITEMACTIVATE*>(hdr);
    m_strSelFont = nm->iItem >= 0 ? m_ListCtrl.GetItemText(nm->iItem, 0) : CString();
    EndDialog(IDOK);
}
