#include "FontPropertiesDialog.h"

#include "DialogCommon.h"
#include "DialogResources.h"
#include "Glyphworks.h"
#include "Velmora.h"
#include "win/wstr.h"

namespace {
constexpr int kMaxNameChars = 31;
constexpr int kMaxSampleChars = 32;
constexpr int kMaxListedNameChars = 16;
constexpr DWORD kItalicBit = 0x10000000;
constexpr DWORD kWeightMask = 0x7FFFFFF;

struct StyleRow {
    BYTE italic;
    LONG weight;
    const WCHAR* key;
    WCHAR name[32];
};
// Shared by every dialog; the names are reloaded at each style fill.
StyleRow g_styles[4] = {
    {0, FW_NORMAL, u"STR_40006", {}},
    {0, FW_BOLD, u"STR_40007", {}},
    {1, FW_NORMAL, u"STR_40008", {}},
    {1, FW_BOLD, u"STR_40009", {}},
};

const int kTrueTypeSizes[] = {5, 6, 7, 8, 9, 10, 11, 12, 14, 16, 18, 20, 22, 24, 26, 28, 36, 48, 72, 108, 120, 256, 512};

CString Decimal(int n) {
    CString s;
    s.Format(u"%d", n);
    return s;
}

// Leading decimal digits as a number; 0 when the text does not start with one.
int LeadingNumber(const CString& text) {
    long long v = 0;
    for (int i = 0; i < text.GetLength(); ++i) {
        const WCHAR c = text[i];
        if (c < u'0' || c > u'9') break;
        v = v * 10 + (c - u'0');
        if (v > INT32_MAX) return INT32_MAX;
    }
    return static_cast<int>(v);
}
}  // namespace

BEGIN_MESSAGE_MAP(CFontPropertiesDialog, CBCGPDialog)
    ON_CBN_SELCHANGE(IDC_PROPS_FACE, &CFontPropertiesDialog::OnSelChangeFace)
    ON_CBN_SELCHANGE(IDC_PROPS_STYLE, &CFontPropertiesDialog::OnSelChangeStyle)
    ON_CBN_SELCHANGE(IDC_PROPS_SIZE, &CFontPropertiesDialog::OnSelChangeSize)
    ON_BN_CLICKED(IDC_PROPS_STRIKEOUT, &CFontPropertiesDialog::OnEffectClicked)
    ON_BN_CLICKED(IDC_PROPS_UNDERLINE, &CFontPropertiesDialog::OnEffectClicked)
    ON_CBN_EDITCHANGE(IDC_PROPS_FACE, &CFontPropertiesDialog::OnEditChangeFace)
    ON_CBN_EDITCHANGE(IDC_PROPS_STYLE, &CFontPropertiesDialog::OnEditChangeStyle)
    ON_CBN_EDITCHANGE(IDC_PROPS_SIZE, &CFontPropertiesDialog::OnEditChangeSize)
    ON_EN_KILLFOCUS(IDC_PROPS_NAME, &CFontPropertiesDialog::OnKillFocusName)
    ON_EN_CHANGE(IDC_SAMPLE_TEXT, &CFontPropertiesDialog::OnChangeSampleText)
END_MESSAGE_MAP()

CFontPropertiesDialog::CFontPropertiesDialog(CWnd* parent) : CBCGPDialog(IDD_FONT_PROPERTIES, parent) {}

CFontPropertiesDialog::~CFontPropertiesDialog() = default;

void CFontPropertiesDialog::DoDataExchange(CDataExchange* dx) {
    CBCGPDialog::DoDataExchange(dx);
    DDX_Control(dx, IDC_PROPS_STRIKEOUT, m_btnStrikeOut);
    DDX_Control(dx, IDC_PROPS_UNDERLINE, m_btnUnderline);
    DDX_Control(dx, IDC_PROPS_STYLE, m_cbStyle);
    DDX_Control(dx, IDC_PROPS_SIZE, m_cbSize);
    DDX_Control(dx, IDC_PROPS_FACE, m_cbFace);
    DDX_Text(dx, IDC_PROPS_NAME, m_strName);
    DDV_MaxChars(dx, m_strName, kMaxNameChars);
}

BOOL CFontPropertiesDialog::OnInitDialog() {
    CBCGPDialog::OnInitDialog();
    EnableVisualManagerStyle();
    LA_SetDlgStrings(this, IDD_FONT_PROPERTIES, u"Tamsel");

    if (!m_Font.GetSafeHandle()) {
        LOGFONTW lf{};
        if (CFont* own = GetFont()) own->GetLogFont(&lf);
        m_Font.CreateFontIndirect(&lf);
    }
    if (auto* sampleEdit = static_cast<CEdit*>(GetDlgItem(IDC_SAMPLE_TEXT))) sampleEdit->LimitText(kMaxSampleChars);
    const CString sample = dialogcommon::DefaultSampleText();
    SetDlgItemText(IDC_PROPS_SAMPLE, sample);
    SetDlgItemText(IDC_SAMPLE_TEXT, sample);

    HideEffectControls();

    m_cbFace.Init(m_cbStyle.GetItemHeight(-1), m_cbStyle.GetItemHeight(0), static_cast<int>(m_dwFontTypes));
    m_nEnumMode = 0;
    LOGFONTW request{};
    request.lfCharSet = DEFAULT_CHARSET;
    {
        CClientDC dc(this);
        EnumFontFamiliesExW(dc.GetSafeHdc(), &request, &CFontPropertiesDialog::EnumProc, reinterpret_cast<LPARAM>(this), 0);
    }

    SetLogFont(nullptr);
    SetDlgItemText(IDC_PROPS_NAME, m_strName);

    if (m_nEditIndex >= 0) {
        if (const tagHMIFONT* rec = findFontByName(m_strName)) {
            const CString size = Decimal(rec->lf.lfHeight);
            m_cbSize.SelectString(-1, size);
            m_cbSize.SetWindowText(size);
        }
        OnEditChangeSize();
    }
    return TRUE;
}

void CFontPropertiesDialog::HideEffectControls() {
    // Hidden, but their check state still goes into the sample, so an edited
    // font keeps its underline and strikeout.
    if (CWnd* frame = GetDlgItem(IDC_PROPS_EFFECTS)) frame->ShowWindow(SW_HIDE);
    m_btnUnderline.ShowWindow(SW_HIDE);
    m_btnStrikeOut.ShowWindow(SW_HIDE);
    m_btnUnderline.EnableWindow(FALSE);
    m_btnStrikeOut.EnableWindow(FALSE);
}

void CFontPropertiesDialog::SetLogFont(const LOGFONTW* lf) {
    if (lf) {
        m_LogFont = *lf;
        m_Font.DeleteObject();
        m_Font.CreateFontIndirect(&m_LogFont);
    }
    if (!GetSafeHwnd()) return;
    LOGFONTW cur{};
    m_Font.GetLogFont(&cur);
    m_cbFace.SelectString(-1, cur.lfFaceName);
    FaceChange();
    if (cur.lfUnderline) m_btnUnderline.SetCheck(BST_CHECKED);
    if (cur.lfStrikeOut) m_btnStrikeOut.SetCheck(BST_CHECKED);
    int dpi = 96;
    {
        CClientDC dc(this);
        dpi = dc.GetDeviceCaps(LOGPIXELSY);
    }
    const CString size = Decimal(-MulDiv(cur.lfHeight, 72, dpi));
    m_cbSize.SelectString(-1, size);
    m_cbSize.SetWindowText(size);
    const DWORD key = static_cast<DWORD>(cur.lfWeight) | (cur.lfItalic ? kItalicBit : 0);
    for (int i = 0; i < m_cbStyle.GetCount(); ++i) {
        if (static_cast<DWORD>(m_cbStyle.GetItemData(i)) == key) {
            m_cbStyle.SetCurSel(i);
            break;
        }
    }
    FaceChange();
}

LOGFONTW* CFontPropertiesDialog::GetLogFont() {
    m_Font.GetLogFont(&m_LogFont);
    return &m_LogFont;
}

int CFontPropertiesDialog::EnumProc(const LOGFONTW* lf, const TEXTMETRICW* tm, DWORD type, LPARAM param) {
    auto* self = reinterpret_cast<CFontPropertiesDialog*>(param);
    switch (self->m_nEnumMode) {
    case 0: return self->AddFace(lf, type);
    case 1: return self->AddSize(lf, tm, type);
    default: return 1;
    }
}

int CFontPropertiesDialog::AddFace(const LOGFONTW* lf, DWORD type) {
    const CString face(lf->lfFaceName);
    if (!(type & m_dwFontTypes)) return 1;
    if (face.Find(u"Bahnschrift ") >= 0) return 1;
    if (face.Find(u'@') >= 0) return 1;
    if (!CheckFontSuable(face)) return 1;
    if (m_cbFace.FindString(-1, face) != CB_ERR) return 1;
    const int index = m_cbFace.AddString(face);
    m_cbFace.SetItemData(index, type);
    const CString preferred = LA_GetString(u"STR_40005");
    if (face == preferred) m_cbFace.SelectString(-1, preferred);
    return 1;
}

int CFontPropertiesDialog::AddSize(const LOGFONTW* lf, const TEXTMETRICW* tm, DWORD type) {
    if (type & TRUETYPE_FONTTYPE) {
        if (m_cbSize.GetCount() > 0) return 1;
        for (int size : kTrueTypeSizes) {
            const int index = m_cbSize.AddString(Decimal(size));
            m_cbSize.SetItemData(index, static_cast<DWORD_PTR>(size));
        }
        return 0;
    }
    int dpi = 96;
    {
        CClientDC dc(this);
        dpi = dc.GetDeviceCaps(LOGPIXELSY);
    }
    const int em = tm ? tm->tmHeight - tm->tmInternalLeading : 0;
    const int size = lf->lfHeight < 0 ? MulDiv(-lf->lfHeight, 72, dpi) : MulDiv(em, 72, dpi);
    const CString text = Decimal(size);
    if (m_cbSize.FindString(-1, text) != CB_ERR) return 1;
    int at = -1;
    for (int i = 0; i < m_cbSize.GetCount(); ++i) {
        if (static_cast<int>(m_cbSize.GetItemData(i)) > size) {
            at = i;
            break;
        }
    }
    const int index = m_cbSize.InsertString(at, text);
    m_cbSize.SetItemData(index, static_cast<DWORD_PTR>(size));
    return 1;
}

void CFontPropertiesDialog::FillStyles(LOGFONTW request) {
    for (StyleRow& row : g_styles) lstrcpynW(row.name, LA_GetString(row.key).GetString(), 32);
    for (const StyleRow& row : g_styles) {
        request.lfItalic = row.italic;
        request.lfWeight = row.weight;
        CFont font;
        font.CreateFontIndirect(&request);
        TEXTMETRICW tm{};
        {
            CClientDC dc(this);
            CFont* old = dc.SelectObject(&font);
            dc.GetTextMetrics(&tm);
            dc.SelectObject(old);
        }
        font.DeleteObject();
        // Regular rows pass whatever weight the face reports.
        if (tm.tmWeight != row.weight && row.weight != FW_NORMAL) continue;
        if ((tm.tmItalic != 0) != (row.italic != 0)) continue;
        if (m_cbStyle.FindString(-1, row.name) != CB_ERR) continue;
        const int index = m_cbStyle.AddString(row.name);
        if (index < 0) return;
        m_cbStyle.SetItemData(index, static_cast<DWORD_PTR>(row.weight) | (row.italic ? kItalicBit : 0));
    }
}

void CFontPropertiesDialog::FaceChange() {
    const int face = m_cbFace.GetCurSel();
    if (face == CB_ERR) {
        RebuildSample();
        return;
    }
    CString sizeText, styleText;
    if (m_cbSize.GetCurSel() != CB_ERR) m_cbSize.GetLBText(m_cbSize.GetCurSel(), sizeText);
    if (m_cbStyle.GetCurSel() != CB_ERR) m_cbStyle.GetLBText(m_cbStyle.GetCurSel(), styleText);
    m_cbSize.ResetContent();
    m_cbStyle.ResetContent();

    CString faceName;
    m_cbFace.GetLBText(face, faceName);
    m_cbFace.SetWindowText(faceName);
    LOGFONTW request{};
    CopyFixedName(request.lfFaceName, faceName.GetString(), LF_FACESIZE);
    request.lfCharSet = DEFAULT_CHARSET;
    m_nEnumMode = 1;
    {
        CClientDC dc(this);
        EnumFontFamiliesExW(dc.GetSafeHdc(), &request, &CFontPropertiesDialog::EnumProc, reinterpret_cast<LPARAM>(this), 0);
    }
    FillStyles(request);

    if (sizeText.IsEmpty()) sizeText = m_strLastSize;
    else m_strLastSize = sizeText;
    m_cbSize.SelectString(-1, sizeText);
    m_cbSize.SetWindowText(sizeText);
    if (styleText.IsEmpty()) styleText = m_strLastStyle;
    else m_strLastStyle = styleText;
    m_cbStyle.SelectString(-1, styleText);
    m_cbStyle.SetWindowText(styleText);

    if (m_cbSize.GetCurSel() == CB_ERR) m_cbSize.SetCurSel(3);
    if (m_bAutoName == 1) {
        CString faceField, sizeField;
        m_cbFace.GetWindowText(faceField);
        m_cbSize.GetWindowText(sizeField);
        m_strName = faceField + u"_" + sizeField;
        SetDlgItemText(IDC_PROPS_NAME, m_strName);
    }
    RebuildSample();
}

void CFontPropertiesDialog::RebuildSample() {
    m_Font.DeleteObject();
    LOGFONTW lf{};
    CString face, size;
    m_cbFace.GetWindowText(face);
    m_cbSize.GetWindowText(size);
    CopyFixedName(lf.lfFaceName, face.GetString(), LF_FACESIZE);
    lf.lfHeight = LeadingNumber(size);
    lf.lfUnderline = m_btnUnderline.GetCheck() == BST_CHECKED ? 1 : 0;
    lf.lfStrikeOut = m_btnStrikeOut.GetCheck() == BST_CHECKED ? 1 : 0;
    const int style = m_cbStyle.GetCurSel();
    if (style != CB_ERR) {
        const DWORD data = static_cast<DWORD>(m_cbStyle.GetItemData(style));
        lf.lfWeight = static_cast<LONG>(data & kWeightMask);
        lf.lfItalic = (data & kItalicBit) ? 1 : 0;
    }
    lf.lfCharSet = DEFAULT_CHARSET;
    m_Font.CreateFontIndirect(&lf);
    if (CWnd* sample = GetDlgItem(IDC_PROPS_SAMPLE)) sample->SetFont(&m_Font);
}

void CFontPropertiesDialog::OnSelChangeFace() {
    FaceChange();
}

void CFontPropertiesDialog::OnSelChangeStyle() {
    RebuildSample();
}

void CFontPropertiesDialog::OnSelChangeSize() {
    const int sel = m_cbSize.GetCurSel();
    if (sel != CB_ERR) {
        CString size;
        m_cbSize.GetLBText(sel, size);
        m_cbSize.SetWindowText(size);
        if (m_bAutoName == 1) {
            const int cut = m_strName.ReverseFind(u'_');
            m_strName = cut >= 0 ? m_strName.Left(cut) : CString();
            m_strName += u"_";
            m_strName += size;
            SetDlgItemText(IDC_PROPS_NAME, m_strName);
        }
    }
    RebuildSample();
}

void CFontPropertiesDialog::OnEffectClicked() {
    RebuildSample();
}

void CFontPropertiesDialog::TypedTextMatch(CComboBox& combo, void (CFontPropertiesDialog::*handler)()) {
    CString text;
    combo.GetWindowText(text);
    const int index = combo.FindStringExact(-1, text);
    if (index == CB_ERR) {
        RebuildSample();
        return;
    }
    combo.SetCurSel(index);
    combo.PostMessage(CB_SETCURSEL, static_cast<WPARAM>(index), 0);
    (this->*handler)();
}

void CFontPropertiesDialog::OnEditChangeFace() {
    TypedTextMatch(m_cbFace, &CFontPropertiesDialog::OnSelChangeFace);
}

void CFontPropertiesDialog::OnEditChangeStyle() {
    TypedTextMatch(m_cbStyle, &CFontPropertiesDialog::OnSelChangeStyle);
}

void CFontPropertiesDialog::OnEditChangeSize() {
    TypedTextMatch(m_cbSize, &CFontPropertiesDialog::OnSelChangeSize);
}

void CFontPropertiesDialog::OnKillFocusName() {
    m_bAutoName = 0;
}

void CFontPropertiesDialog::OnChangeSampleText() {
    CString text;
    GetDlgItemText(IDC_SAMPLE_TEXT, text);
    if (text.IsEmpty()) text = dialogcommon::DefaultSampleText();
    SetDlgItemText(IDC_PROPS_SAMPLE, text);
}

void CFontPropertiesDialog::ShowMessage(const WCHAR* key) {
    BCGPMessageBox(GetSafeHwnd(), LA_GetString(key), nullptr, MB_OK);
}

void CFontPropertiesDialog::OnOK() {
    if (!UpdateData(TRUE)) return;
    m_strName.Trim();
    if (m_strName.IsEmpty()) return ShowMessage(u"STR_40010");
    if (m_strName.GetLength() > kMaxListedNameChars) return ShowMessage(u"STR_40011");
    if (m_cbFace.GetCurSel() == CB_ERR) return ShowMessage(u"STR_40012");
    // The edited font is the listed one (names beginning with "{" are not listed) at m_nEditIndex.
    int listed = 0;
    POSITION pos = g_FontList.GetHeadPosition();
    while (pos) {
        const tagHMIFONT* rec = g_FontList.GetNext(pos);
        const bool isListed = rec->szName[0] != u'{';
        const bool isEdited = isListed && m_nEditIndex >= 0 && listed == m_nEditIndex;
        if (isListed) ++listed;
        if (!isEdited && m_strName == CString(rec->szName)) return ShowMessage(u"STR_40013");
    }
    CString size;
    m_cbSize.GetWindowText(size);
    for (int i = 0; i < size.GetLength(); ++i) {
        if (size[i] < u'0' || size[i] > u'9') return ShowMessage(u"STR_40014");
    }
    const int value = LeadingNumber(size);
    if (value < 5 || value > 512) return ShowMessage(u"STR_40014");
    EndDialog(IDOK);
}
