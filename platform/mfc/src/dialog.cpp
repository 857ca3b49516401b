#include <QApplication>
#include <QEventLoop>
#include <QGroupBox>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>

#include "mfc/mfcauto.h"
#include "qtimpl.h"
#include "win/profile.h"
#include "win/wstr.h"

using namespace mfcimpl;

namespace {
struct DataExchangeFailure {};

CString g_appName = u"Tamsel";

std::unique_ptr<CWnd> MakeTemporary(const DialogControl& c) {
    const std::string& cls = c.className;
    if (cls == "BUTTON" || cls == "BCGGROUP") return std::make_unique<CButton>();
    if (cls == "STATIC") return std::make_unique<CStatic>();
    if (cls == "EDIT") return std::make_unique<CEdit>();
    if (cls == "LISTBOX") return std::make_unique<CListBox>();
    if (cls == "COMBOBOX") return std::make_unique<CComboBox>();
    if (cls == "SysListView32") return std::make_unique<CListCtrl>();
    return std::make_unique<CWnd>();
}
}  // namespace

void AfxSetAppName(LPCTSTR name) {
    g_appName = name ? name : u"";
}

// ---------------------------------------------------------------- the Qt dialog

void DialogWidget::keyPressEvent(QKeyEvent* e) {
    if (e->key() == Qt::Key_Escape) {
        m_owner->HandleDialogKey(VK_ESCAPE);
    } else if (e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) {
        m_owner->HandleDialogKey(VK_RETURN);
    } else {
        QWidget::keyPressEvent(e);
    }
}

void DialogWidget::closeEvent(QCloseEvent* e) {
    // The close box acts as the Cancel command, as DefDlgProc turns WM_CLOSE into IDCANCEL.
    e->ignore();
    if (!m_owner->HasEnded()) m_owner->SendMessage(WM_CLOSE);
}

void DialogWidget::reject() {
    m_owner->HandleDialogKey(VK_ESCAPE);
}

// ---------------------------------------------------------------- CDialog

BEGIN_MESSAGE_MAP(CDialog, CWnd)
    ON_COMMAND(IDOK, &CDialog::OnOK)
    ON_COMMAND(IDCANCEL, &CDialog::OnCancel)
END_MESSAGE_MAP()

CDialog::CDialog(UINT idTemplate, CWnd* parent) : m_nIDTemplate(idTemplate), m_pParentWnd(parent) {}

CDialog::~CDialog() {
    if (m_pWidget) DestroyDialogWindow();
}

BOOL CDialog::OnInitDialog() {
    UpdateData(FALSE);
    return TRUE;
}

void CDialog::OnOK() {
    if (!UpdateData(TRUE)) return;
    EndDialog(IDOK);
}

void CDialog::OnCancel() {
    EndDialog(IDCANCEL);
}

void CDialog::EndDialog(int result) {
    m_nResult = result;
    m_bEnded = true;
    if (m_pWidget) m_pWidget->hide();
    if (m_pLoop) static_cast<QEventLoop*>(m_pLoop)->quit();
}

int CDialog::GetDefID() const {
    return m_nDefId;
}

void CDialog::SetDefID(int id) {
    m_nDefId = id;
}

void CDialog::HandleDialogKey(UINT vk) {
    if (!m_bModal || m_bEnded) return;
    int id = IDCANCEL;
    if (vk == VK_RETURN) {
        // A focused push button takes Enter; otherwise the default button, else IDOK.
        id = m_nDefId ? m_nDefId : IDOK;
        if (CWnd* focus = GetFocus()) {
            if (dynamic_cast<QPushButton*>(focus->GetWidget()) && focus->GetParent() == this) id = focus->GetDlgCtrlID();
        }
    } else if (vk != VK_ESCAPE) {
        return;
    }
    CWnd* ctrl = GetDlgItem(id);
    if (vk == VK_RETURN && ctrl && !ctrl->IsWindowEnabled()) return;  // Windows beeps
    SendMessage(WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(ctrl ? ctrl->GetSafeHwnd() : nullptr));
}

LRESULT CDialog::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_INITDIALOG:
        return OnInitDialog();
    case DM_GETDEFID:
        return m_nDefId ? MAKELONG(m_nDefId, DC_HASDEFID) : 0;
    case DM_SETDEFID:
        m_nDefId = static_cast<int>(wParam);
        return TRUE;
    case WM_CLOSE: {
        CWnd* cancel = GetDlgItem(IDCANCEL);
        return SendMessage(WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED),
                           reinterpret_cast<LPARAM>(cancel ? cancel->GetSafeHwnd() : nullptr));
    }
    default:
        return CWnd::WindowProc(msg, wParam, lParam);
    }
}

bool CDialog::CreateFromTemplate() {
    const DialogTemplate* t = FindDialogTemplate(m_nIDTemplate);
    if (!t) return false;
    QWidget* parentWidget = m_pParentWnd && m_pParentWnd->GetWidget() ? m_pParentWnd->GetWidget()->window() : nullptr;
    auto* dlg = new DialogWidget(parentWidget, this);
    Qt::WindowFlags flags = Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint;
    if (t->style & WS_SYSMENU) flags |= Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
    dlg->setWindowFlags(flags);
    dlg->setWindowModality(Qt::ApplicationModal);

    const QFont font = TemplateQFont(t->fontFace, t->pointSize);
    const DialogBaseUnits units = BaseUnitsOf(font);
    dlg->setFont(font);
    const RECT client = DialogUnitsToPixels(units, 0, 0, t->cx, t->cy);
    dlg->setFixedSize(client.right, client.bottom);
    QPalette pal = dlg->palette();
    pal.setColor(QPalette::Window, ToQColor(GetSysColor(COLOR_BTNFACE)));
    dlg->setPalette(pal);

    LOGFONTW lf{};
    lf.lfHeight = -MulDiv(t->pointSize, winprofile::GetSettings().dpi, 72);
    lf.lfWeight = FW_NORMAL;
    lf.lfCharSet = DEFAULT_CHARSET;
    CopyFixedName(lf.lfFaceName, t->fontFace.c_str(), LF_FACESIZE);
    m_dialogFont = std::make_unique<CFont>();
    m_dialogFont->CreateFontIndirect(&lf);
    m_pFont = m_dialogFont.get();

    AttachWidget(dlg, t->style, t->exStyle);
    SetWindowText(t->caption.c_str());
    m_nDefId = 0;
    std::vector<QWidget*> groups;
    for (const DialogControl& c : t->controls) {
        QWidget* w = CreateControlWidget(c, dlg, units, font);
        if (!w) continue;
        std::unique_ptr<CWnd> tmp = MakeTemporary(c);
        tmp->m_pFont = m_pFont;
        AttachChild(c.id, tmp.get());
        tmp->AttachWidget(w, c.style, c.exStyle);
        if (c.className == "BUTTON" && (c.style & BS_TYPEMASK) == BS_DEFPUSHBUTTON && !m_nDefId) m_nDefId = c.id;
        if (dynamic_cast<QGroupBox*>(w)) groups.push_back(w);
        m_temporaries.push_back(std::move(tmp));
    }
    // Group boxes frame other controls; keep them beneath so they never take their clicks.
    for (QWidget* g : groups) g->lower();
    return true;
}

void CDialog::DestroyDialogWindow() {
    QWidget* w = m_pWidget;
    std::vector<int> ids;
    for (auto& kv : m_children) ids.push_back(kv.first);
    for (int id : ids) {
        CWnd* child = GetDlgItem(id);
        if (child && child->m_pWidget) child->DetachWidget();
        DetachChild(id);
    }
    for (auto& tmp : m_temporaries) tmp->DetachWidget();
    m_temporaries.clear();
    DetachWidget();
    delete w;
    m_pFont = nullptr;
    m_dialogFont.reset();
}

INT_PTR CDialog::DoModal() {
    AfxEnsureApp();
    if (m_bModal) return -1;
    if (!CreateFromTemplate()) return -1;
    m_bModal = true;
    m_bEnded = false;
    m_nResult = -1;
    {
        // Centred before initialisation, so a dialog that places itself there keeps its place.
        QWidget* w = m_pWidget;
        QWidget* owner = w->parentWidget();
        const QRect area = owner ? owner->geometry()
                                 : (QGuiApplication::primaryScreen() ? QGuiApplication::primaryScreen()->availableGeometry()
                                                                     : QRect(0, 0, 1024, 768));
        w->move(area.center() - QPoint(w->width() / 2, w->height() / 2));
    }
    const LRESULT focusDefault = SendMessage(WM_INITDIALOG);
    if (!m_bEnded) {
        QWidget* w = m_pWidget;
        w->show();
        // TRUE from OnInitDialog gives the focus to the first tab stop, as the dialog manager does.
        if (focusDefault) {
            QApplication::setActiveWindow(w);
            if (const DialogTemplate* t = FindDialogTemplate(m_nIDTemplate)) {
                for (const DialogControl& c : t->controls) {
                    CWnd* ctl = GetDlgItem(c.id);
                    if (!(c.style & WS_TABSTOP) || !ctl || !ctl->IsWindowVisible() || !ctl->IsWindowEnabled()) continue;
                    ctl->SetFocus();
                    break;
                }
            }
        }
        PumpPosted();
        mfcauto::ModalContext ctx(this);
        if (mfcauto::RunNextScript(ctx)) {
            PumpPosted();
            if (!m_bEnded) {
                mfcauto::ReportError("dialog " + std::to_string(m_nIDTemplate) + " was left open by its script");
                EndDialog(IDCANCEL);
            }
        } else if (mfcauto::Automated()) {
            mfcauto::ReportError("dialog " + std::to_string(m_nIDTemplate) + " became modal with no script to answer it");
            EndDialog(IDCANCEL);
        } else {
            QEventLoop loop;
            m_pLoop = &loop;
            if (!m_bEnded) loop.exec();
            m_pLoop = nullptr;
        }
    }
    DestroyDialogWindow();
    m_bModal = false;
    return m_nResult;
}

// ---------------------------------------------------------------- data exchange

CWnd* CDataExchange::PrepareCtrl(int id) {
    m_idLastControl = id;
    m_bEditLastControl = false;
    return m_pDlgWnd ? m_pDlgWnd->GetDlgItem(id) : nullptr;
}

CWnd* CDataExchange::PrepareEditCtrl(int id) {
    CWnd* c = PrepareCtrl(id);
    m_bEditLastControl = true;
    return c;
}

void CDataExchange::Fail() {
    if (m_bSaveAndValidate && m_pDlgWnd) {
        if (CWnd* c = m_pDlgWnd->GetDlgItem(m_idLastControl)) {
            c->SetFocus();
            if (auto* edit = dynamic_cast<QLineEdit*>(c->GetWidget())) edit->selectAll();
        }
    }
    throw DataExchangeFailure{};
}

BOOL CWnd::UpdateData(BOOL saveAndValidate) {
    CDataExchange dx(this, saveAndValidate);
    try {
        DoDataExchange(&dx);
    } catch (const DataExchangeFailure&) {
        return FALSE;
    }
    return TRUE;
}

void DDX_Control(CDataExchange* dx, int id, CWnd& control) {
    if (control.GetSafeHwnd()) return;
    dx->PrepareCtrl(id);
    control.SubclassDlgItem(static_cast<UINT>(id), dx->m_pDlgWnd);
}

void DDX_Text(CDataExchange* dx, int id, CString& value) {
    CWnd* c = dx->PrepareEditCtrl(id);
    if (!c) return;
    if (dx->m_bSaveAndValidate) c->GetWindowText(value);
    else c->SetWindowText(value);
}

void DDX_Text(CDataExchange* dx, int id, int& value) {
    CWnd* c = dx->PrepareEditCtrl(id);
    if (!c) return;
    if (!dx->m_bSaveAndValidate) {
        c->SetWindowText(CStr(QString::number(value)));
        return;
    }
    CString text;
    c->GetWindowText(text);
    bool ok = false;
    const long long v = QStr(text).trimmed().toLongLong(&ok);
    if (!ok || v < INT32_MIN || v > INT32_MAX) {
        AfxMessageBox(u"Please enter an integer.", MB_ICONEXCLAMATION);
        dx->Fail();
    }
    value = static_cast<int>(v);
}

void DDX_CBString(CDataExchange* dx, int id, CString& value) {
    auto* c = static_cast<CComboBox*>(dx->PrepareCtrl(id));
    if (!c) return;
    if (dx->m_bSaveAndValidate) {
        c->GetWindowText(value);
    } else if (c->SelectString(-1, value) == CB_ERR) {
        c->SetWindowText(value);
    }
}

void DDX_CBIndex(CDataExchange* dx, int id, int& index) {
    auto* c = static_cast<CComboBox*>(dx->PrepareCtrl(id));
    if (!c) return;
    if (dx->m_bSaveAndValidate) index = c->GetCurSel();
    else c->SetCurSel(index);
}

void DDX_LBIndex(CDataExchange* dx, int id, int& index) {
    auto* c = static_cast<CListBox*>(dx->PrepareCtrl(id));
    if (!c) return;
    if (dx->m_bSaveAndValidate) index = c->GetCurSel();
    else c->SetCurSel(index);
}

void DDX_Check(CDataExchange* dx, int id, int& value) {
    auto* c = static_cast<CButton*>(dx->PrepareCtrl(id));
    if (!c) return;
    if (dx->m_bSaveAndValidate) value = c->GetCheck();
    else c->SetCheck(value);
}

void DDV_MaxChars(CDataExchange* dx, const CString& value, int maxChars) {
    CWnd* last = dx->m_pDlgWnd ? dx->m_pDlgWnd->GetDlgItem(dx->m_idLastControl) : nullptr;
    if (dx->m_bSaveAndValidate) {
        if (value.GetLength() > maxChars) {
            AfxMessageBox(CStr(QStringLiteral("Enter no more than %1 characters.").arg(maxChars)), MB_ICONEXCLAMATION);
            dx->Fail();
        }
    } else if (last) {
        if (auto* edit = dynamic_cast<CEdit*>(last)) edit->LimitText(maxChars);
        else if (auto* combo = dynamic_cast<CComboBox*>(last)) combo->LimitText(maxChars);
    }
}

void DDV_MinMaxInt(CDataExchange* dx, int value, int minVal, int maxVal) {
    if (!dx->m_bSaveAndValidate || (value >= minVal && value <= maxVal)) return;
    AfxMessageBox(CStr(QStringLiteral("Enter an integer between %1 and %2.").arg(minVal).arg(maxVal)), MB_ICONEXCLAMATION);
    dx->Fail();
}

// ---------------------------------------------------------------- message boxes

int AfxMessageBox(LPCTSTR text, UINT type, UINT) {
    return AfxRunMessageBox(nullptr, text, nullptr, type);
}

int AfxRunMessageBox(CWnd* parent, LPCTSTR text, LPCTSTR caption, UINT type) {
    AfxEnsureApp();
    QWidget* owner = parent && parent->GetWidget() ? parent->GetWidget()->window() : nullptr;
    if (!owner) {
        if (CWnd* focus = CWnd::GetFocus()) owner = focus->GetWidget() ? focus->GetWidget()->window() : nullptr;
    }
    const CString title = caption ? CString(caption) : g_appName;
    QMessageBox box(owner);
    box.setWindowTitle(QStr(title));
    box.setText(QStr(text));
    switch (type & MB_ICONMASK) {
    case MB_ICONERROR: box.setIcon(QMessageBox::Critical); break;
    case MB_ICONQUESTION: box.setIcon(QMessageBox::Question); break;
    case MB_ICONWARNING: box.setIcon(QMessageBox::Warning); break;
    case MB_ICONINFORMATION: box.setIcon(QMessageBox::Information); break;
    default: break;
    }
    std::vector<std::pair<int, const char*>> buttons;
    switch (type & MB_TYPEMASK) {
    case MB_OKCANCEL: buttons = {{IDOK, "OK"}, {IDCANCEL, "Cancel"}}; break;
    case MB_ABORTRETRYIGNORE: buttons = {{IDABORT, "Abort"}, {IDRETRY, "Retry"}, {IDIGNORE, "Ignore"}}; break;
    case MB_YESNOCANCEL: buttons = {{IDYES, "Yes"}, {IDNO, "No"}, {IDCANCEL, "Cancel"}}; break;
    case MB_YESNO: buttons = {{IDYES, "Yes"}, {IDNO, "No"}}; break;
    case MB_RETRYCANCEL: buttons = {{IDRETRY, "Retry"}, {IDCANCEL, "Cancel"}}; break;
    default: buttons = {{IDOK, "OK"}}; break;
    }
    // Escape answers Cancel, or OK on a box with OK alone; Yes/No boxes ignore it.
    int escapeId = 0;
    for (auto& b : buttons) if (b.first == IDCANCEL) escapeId = IDCANCEL;
    if (buttons.size() == 1) escapeId = IDOK;
    const size_t defIndex = std::min<size_t>((type & MB_DEFMASK) >> 8, buttons.size() - 1);
    for (size_t i = 0; i < buttons.size(); ++i) {
        QPushButton* b = box.addButton(QString::fromLatin1(buttons[i].second), QMessageBox::AcceptRole);
        b->setProperty("mfc_id", buttons[i].first);
        if (i == defIndex) box.setDefaultButton(b);
        if (buttons[i].first == escapeId) box.setEscapeButton(b);
    }
    auto resultOf = [&box]() -> int {
        QAbstractButton* clicked = box.clickedButton();
        return clicked ? clicked->property("mfc_id").toInt() : 0;
    };
    const int fallback = escapeId ? escapeId : buttons.back().first;

    box.setWindowModality(Qt::ApplicationModal);
    mfcauto::ModalContext ctx(&box, CString(text ? text : u""), title, type);
    box.show();
    if (mfcauto::RunNextScript(ctx)) {
        const int r = resultOf();
        if (r) return r;
        mfcauto::ReportError("message box \"" + Utf16ToUtf8(text ? text : u"") + "\" was left unanswered by its script");
        return fallback;
    }
    if (mfcauto::Automated()) {
        mfcauto::ReportError("message box \"" + Utf16ToUtf8(text ? text : u"") + "\" appeared with no script to answer it");
        return fallback;
    }
    box.exec();
    const int r = resultOf();
    return r ? r : fallback;
}
