#include "FontChangeDlg.h"

#include "DialogCommon.h"
#include "DialogResources.h"
#include "Glyphworks.h"
#include "Velmora.h"
#include "win/wstr.h"

namespace {
constexpr DWORD kListExStyle = LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT | LVS_EX_ONECLICKACTIVATE | LVS_EX_REGIONAL |
                               LVS_EX_MULTIWORKAREAS;
}  // namespace

BEGIN_MESSAGE_MAP(CFontChangeDlg, CBCGPDialog)
    ON_NOTIFY(LVN_ITEMCHANGED, IDC_CHANGE_LIST, &CFontChangeDlg::OnItemChangedList)
    ON_CBN_SELCHANGE(IDC_CHANGE_FACES, &CFontChangeDlg::OnSelChangeFont)
END_MESSAGE_MAP()

CFontChangeDlg::CFontChangeDlg(CWnd* parent, CMissingFaceMap* fontMap)
    : CBCGPDialog(IDD_FONT_CHANGE, parent), m_pFontMap(fontMap) {}

CFontChangeDlg::~CFontChangeDlg() = default;

void CFontChangeDlg::DoDataExchange(CDataExchange* dx) {
    CBCGPDialog::DoDataExchange(dx);
    DDX_Control(dx, IDC_CHANGE_LIST, m_ListCtrl);
    DDX_Control(dx, IDC_CHANGE_FACES, m_cbFont);
}

int CFontChangeDlg::EnumFaceProc(const LOGFONTW* lf, const TEXTMETRICW*, DWORD type, LPARAM param) {
    auto* self = reinterpret_cast<CFontChangeDlg*>(param);
    CFontCombo& combo = self->m_cbFont;
    const WCHAR* face = lf->lfFaceName;
    if (type != TRUETYPE_FONTTYPE) return 1;
    if (CString(face).Find(u'@') >= 0) return 1;
    if (!CheckFontSuable(face)) return 1;
    if (combo.FindString(-1, face) != CB_ERR) return 1;
    const int index = combo.AddString(face);
    combo.SetItemData(index, type);
    const CString preferred = LA_GetString(u"STR_40005");
    combo.SelectString(-1, preferred);
    return 1;
}

BOOL CFontChangeDlg::OnInitDialog() {
    CBCGPDialog::OnInitDialog();
    EnableVisualManagerStyle();
    LA_SetDlgStrings(this, IDD_FONT_CHANGE, u"Tamsel");

    dialogcommon::SetUpFaceList(m_ListCtrl, m_listFont, kListExStyle);

    CRect client;
    m_ListCtrl.GetClientRect(&client);
    const int half = client.Width() / 2;
    m_ListCtrl.InsertColumn(0, LA_GetString(u"STR_40021"), LVCFMT_CENTER, half);
    m_ListCtrl.InsertColumn(1, LA_GetString(u"STR_40022"), LVCFMT_CENTER, half);
    if (m_pFontMap) {
        int row = 0;
        for (const auto& entry : *m_pFontMap) {
            m_ListCtrl.InsertItem(row, entry.first);
            m_ListCtrl.SetItemText(row, 1, entry.second);
            ++row;
        }
    }
    m_ListCtrl.SetRedraw(TRUE);

    m_cbFont.Init(14, 14, kFontComboShowGlyph);
    LOGFONTW request{};
    request.lfCharSet = DEFAULT_CHARSET;
    CClientDC dc(this);
    EnumFontFamiliesExW(dc.GetSafeHdc(), &request, &CFontChangeDlg::EnumFaceProc, reinterpret_cast<LPARAM>(this), 0);
    return TRUE;
}

int CFontChangeDlg::FirstSelectedRow() const {
    const int n = m_ListCtrl.GetItemCount();
    for (int row = 0; row < n; ++row) {
        if (m_ListCtrl.GetItemState(row, LVIS_SELECTED) & LVIS_SELECTED) return row;
    }
    return -1;
}

void CFontChangeDlg::OnItemChangedList(NMHDR*, LRESULT* result) {
    *result = 0;
    const int row = FirstSelectedRow();
    CString face;
    if (row >= 0) {
        face = m_ListCtrl.GetItemText(row, 1);
        m_cbFont.SetCurSel(m_cbFont.FindString(-1, face));
    }
    UpdateSample(face);
}

void CFontChangeDlg::OnSelChangeFont() {
    CString face;
    const int sel = m_cbFont.GetCurSel();
    if (sel != CB_ERR) m_cbFont.GetLBText(sel, face);
    const int row = FirstSelectedRow();
    if (row >= 0) m_ListCtrl.SetItemText(row, 1, face);
    UpdateSample(face);
}

void CFontChangeDlg::UpdateSample(const CString& face) {
    dialogcommon::CreateFaceFont(m_SampleFont, face, 42);
    if (CWnd* sample = GetDlgItem(IDC_CHANGE_SAMPLE)) sample->SetFont(&m_SampleFont);
}

void CFontChangeDlg::OnOK() {
    const int n = m_ListCtrl.GetItemCount();
    for (int row = 0; row < n; ++row) {
        const CString key = m_ListCtrl.GetItemText(row, 0);
        if (!m_pFontMap) continue;
        auto it = m_pFontMap->find(key);
        if (it != m_pFontMap->end()) it->second = m_ListCtrl.GetItemText(row, 1);
    }
    CBCGPDialog::OnOK();
}
