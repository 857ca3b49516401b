#include "FontPackDlg.h"

#include <algorithm>

#include "DialogCommon.h"
#include "DialogResources.h"
#include "FontTable.h"
#include "FontSelectDialog.h"
#include "PackConfig.h"
#include "Velmora.h"
#include "win/wstr.h"

namespace {
constexpr DWORD kListExStyle = LVS_EX_GRIDLINES | LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT | LVS_EX_ONECLICKACTIVATE |
                               LVS_EX_REGIONAL | LVS_EX_MULTIWORKAREAS;

void AddToPack(const std::u16string& face) {
    PackListAdd(PackFontList, face);
}

}  // namespace

BEGIN_MESSAGE_MAP(CFontPackDlg, CBCGPDialog)
    ON_NOTIFY(LVN_ITEMCHANGED, IDC_PACK_LIST, &CFontPackDlg::OnItemChanged)
    ON_NOTIFY(LVN_COLUMNCLICK, IDC_PACK_LIST, &CFontPackDlg::OnColumnClick)
    ON_EN_CHANGE(IDC_SAMPLE_TEXT, &CFontPackDlg::OnSampleTextChanged)
    ON_BN_CLICKED(IDC_PACK_DEFAULT_GROUP, &CFontPackDlg::OnUseDefaultClicked)
    ON_BN_CLICKED(IDC_PACK_ALL_FONTS, &CFontPackDlg::OnSetAllFonts)
    ON_CONTROL_RANGE(BN_CLICKED, IDC_PACK_FIRST_SLOT_BUTTON, IDC_PACK_FIRST_SLOT_BUTTON + 7, &CFontPackDlg::OnSetFont)
    ON_BN_CLICKED(IDC_PACK_HELP, &CFontPackDlg::OnHelp)
END_MESSAGE_MAP()

CFontPackDlg::CFontPackDlg(CWnd* parent) : CBCGPDialog(IDD_FONT_PACK, parent) {}

CFontPackDlg::~CFontPackDlg() = default;

void CFontPackDlg::DoDataExchange(CDataExchange* dx) {
    CBCGPDialog::DoDataExchange(dx);
    DDX_Control(dx, IDC_PACK_LIST, m_list);
    DDX_Control(dx, IDC_PACK_DEFAULT_GROUP, m_groupDefault);
}

bool CFontPackDlg::GroupChecked() const {
    return m_groupDefault.GetCheck() == BST_CHECKED;
}

BOOL CFontPackDlg::OnInitDialog() {
    CBCGPDialog::OnInitDialog();
    EnableVisualManagerStyle(TRUE, FALSE);
    LA_SetDlgStrings(this, IDD_FONT_PACK, u"Tamsel");
    SetDlgItemText(IDC_PACK_SAMPLE, dialogcommon::DefaultSampleText());
    SetDlgItemText(IDC_SAMPLE_TEXT, dialogcommon::DefaultSampleText());

    dialogcommon::SetUpFaceList(m_list, m_listFont, kListExStyle);
    CRect client;
    m_list.GetClientRect(&client);
    m_list.InsertColumn(0, LA_GetString(u"STR_40021"), LVCFMT_LEFT, 220);
    m_list.InsertColumn(1, LA_GetString(u"STR_40025"), LVCFMT_LEFT, client.Width() - 220);

    m_bUseDefaultFont = g_bUseDefaultFont;
    for (int n = 0; n < 8; ++n) {
        m_strDefaultFont[n] = g_strDefaultFont[n];
        ShowSlot(n);
    }
    if (auto* edit = static_cast<CEdit*>(GetDlgItem(IDC_SAMPLE_TEXT))) edit->LimitText(32);
    m_groupDefault.SetCheckRadioStyle(1, m_bUseDefaultFont, TRUE, FALSE, TRUE);
    m_groupDefault.SetCheck(m_bUseDefaultFont, TRUE);
    LoadPackFontNames(&PackFontList);
    if (GroupChecked())
        for (const CString& face : m_strDefaultFont) AddToPack(face.str());
    FillList();
    OnUseDefaultClicked();
    return TRUE;
}

void CFontPackDlg::FillList() {
    m_list.DeleteAllItems();
    int checked = 0;
    for (const auto& kv : FontFileMap) {
        const CString size = Format(u"%.2lf", FontSizeMap[kv.first]);
        const bool packed = std::any_of(PackFontList.begin(), PackFontList.end(), [&](const std::u16string& f) {
            return wcsicmp16(f.c_str(), kv.first.c_str()) == 0;
        });
        if (packed) {
            m_list.InsertItem(checked, kv.first.c_str());
            m_list.SetItemText(checked, 1, size);
            m_list.SetCheck(checked, TRUE);
            ++checked;
        } else {
            const int row = m_list.InsertItem(m_list.GetItemCount(), kv.first.c_str());
            m_list.SetItemText(row, 1, size);
        }
    }
    UpdateTotal();
}

void CFontPackDlg::UpdateTotal() {
    m_dTotalSize = 0.0;
    for (int row = 0; row < m_list.GetItemCount(); ++row)
        if (m_list.GetCheck(row)) m_dTotalSize += FontSizeMap[m_list.GetItemText(row, 0).str()];
    SetDlgItemText(IDC_PACK_TOTAL, Format(u"%.2lfMB", m_dTotalSize));
    UpdateData(FALSE);
}

void CFontPackDlg::ShowSlot(int n) {
    dialogcommon::CreateFaceFont(m_langFont[n], m_strDefaultFont[n], 20);
    if (CWnd* field = GetDlgItem(IDC_PACK_FIRST_SLOT_FACE + n)) {
        field->SetWindowText(m_strDefaultFont[n]);
        field->SetFont(&m_langFont[n]);
        field->Invalidate(TRUE);
        field->UpdateWindow();
    }
}

void CFontPackDlg::ShowSample(const CString& face) {
    dialogcommon::CreateFaceFont(m_sampleFont, face, 36);
    if (CWnd* sample = GetDlgItem(IDC_PACK_SAMPLE)) sample->SetFont(&m_sampleFont);
}

void CFontPackDlg::CheckRowOf(const CString& face) {
    for (int row = 0; row < m_list.GetItemCount(); ++row) {
        if (m_list.GetItemText(row, 0) == face) {
            m_list.SetCheck(row, TRUE);
            return;
        }
    }
}

void CFontPackDlg::OnItemChanged(NMHDR* hdr, LRESULT* result) {
    *result = 0;
    const auto* nm = reinterpret_cast<const NMLISTVIEW*>(hdr);
    const CString face = m_list.GetItemText(nm->iItem, 0);
    if (m_bListReady) ShowSample(face);
    const DWORD pos = GetMessagePos();
    POINT pt{static_cast<short>(LOWORD(pos)), static_cast<short>(HIWORD(pos))};
    m_list.ScreenToClient(&pt);
    UINT flags = 0;
    const int hit = m_list.HitTest(pt, &flags);
    // Only a click on a row's check box changes the pack.
    if (hit >= 0 && (flags & LVHT_ONITEMSTATEICON)) {
        if (!m_list.GetCheck(nm->iItem)) {
            const bool slotFace = std::any_of(std::begin(m_strDefaultFont), std::end(m_strDefaultFont),
                                              [&](const CString& f) { return f == face; });
            if (GroupChecked() && slotFace) {
                m_list.SetCheck(nm->iItem, TRUE);
            } else {
                PackFontList.remove(face.str());
            }
        } else {
            AddToPack(face.str());
        }
    }
    UpdateTotal();
}

void CFontPackDlg::OnColumnClick(NMHDR*, LRESULT* result) {
    *result = 0;
    m_bListReady = 0;
    m_list.SetRedraw(FALSE);
    FillList();
    m_list.SetRedraw(TRUE);
    m_bListReady = 1;
}

void CFontPackDlg::OnUseDefaultClicked() {
    if (GroupChecked()) {
        for (const CString& face : m_strDefaultFont) {
            CheckRowOf(face);
            AddToPack(face.str());
        }
    }
    UpdateTotal();
}

void CFontPackDlg::OnSetFont(UINT id) {
    const int n = static_cast<int>(id) - IDC_PACK_FIRST_SLOT_BUTTON;
    RECT r{};
    GetDlgItem(IDC_PACK_FIRST_SLOT_FACE + n)->GetWindowRect(&r);
    CSelectFontDlg dlg(this, POINT{r.right, r.bottom});
    if (dlg.DoModal() == IDOK) {
        m_strDefaultFont[n] = dlg.m_strSelFont;
        ShowSlot(n);
        CheckRowOf(dlg.m_strSelFont);
        AddToPack(dlg.m_strSelFont.str());
    }
    UpdateTotal();
}

void CFontPackDlg::OnSetAllFonts() {
    RECT r{};
    GetDlgItem(IDC_PACK_ALL_FONTS)->GetWindowRect(&r);
    CSelectFontDlg dlg(this, POINT{r.right, r.bottom});
    if (dlg.DoModal() == IDOK) {
        for (int n = 0; n < 8; ++n) {
            m_strDefaultFont[n] = dlg.m_strSelFont;
            ShowSlot(n);
        }
        CheckRowOf(dlg.m_strSelFont);
        AddToPack(dlg.m_strSelFont.str());
    }
    UpdateTotal();
}

void CFontPackDlg::OnSampleTextChanged() {
    CString text;
    GetDlgItemText(IDC_SAMPLE_TEXT, text);
    SetDlgItemText(IDC_PACK_SAMPLE, text.IsEmpty() ? dialogcommon::DefaultSampleText() : text);
}

void CFontPackDlg::OnHelp() {
    OpenHmiChmHelp(1, 4121);
}

void CFontPackDlg::OnOK() {
    CString message = LA_GetString(u"STR_40028");
    bool allIncluded = true;
    PackFontList.clear();
    for (int row = 0; row < m_list.GetItemCount(); ++row)
        if (m_list.GetCheck(row)) PackFontList.push_back(m_list.GetItemText(row, 0).str());
    if (GroupChecked()) {
        for (int n = 0; n < 8; ++n) {
            const CString& face = m_strDefaultFont[n];
            if (PackListHas(PackFontList, face.str())) continue;
            if (std::any_of(m_strDefaultFont, m_strDefaultFont + n, [&](const CString& f) { return f == face; })) continue;
            allIncluded = false;
            message += u"\n";
            message += face;
        }
    }
    if (!allIncluded && BCGPMessageBox(GetSafeHwnd(), message, u"Warning", MB_OKCANCEL) == IDCANCEL) return;
    double total = 0.0;
    for (const std::u16string& face : PackFontList) total += FontSizeMap[face];
    int64_t bytes = 0;
    CHmiAuth::getSingleton()->getModelDataLimit("FontFileMaxSize", bytes, "");
    const int limit = static_cast<int>(bytes / 1024 / 1024);
    if (total - limit > 0.000001) {
        const CString text = Format(LA_GetString(u"STR_40030").GetString(), limit);
        if (BCGPMessageBox(GetSafeHwnd(), text, u"Warning", MB_OKCANCEL) == IDCANCEL) return;
    }
    SavePackConfig(m_groupDefault.GetCheck(), m_strDefaultFont);
    if (GetFastCompileEnable() == 1) {
        if (CWnd* main = AfxGetMainWnd()) main->SendMessage(kFontsChangedMessage, 1, 14);
    }
    EndDialog(IDOK);
}

void OpenFontPackDlg() {
    CFontPackDlg dlg(nullptr);
    dlg.DoModal();
}
