#include <QAbstractButton>
#include <QApplication>
#include <QGroupBox>
#include <QHeaderView>
#include <QTreeWidget>
#include <QLabel>
#include <QMouseEvent>
#include <QTimer>
#include <cstdio>
#include <deque>
#include <unordered_map>

#include "qtimpl.h"
#include "win/wstr.h"

namespace mfcimpl {

int g_silent = 0;

namespace {
std::unordered_map<const QWidget*, CWnd*>& WidgetMap() {
    static std::unordered_map<const QWidget*, CWnd*> map;
    return map;
}

struct Posted {
    HWND hwnd;
    UINT msg;
    WPARAM wp;
    LPARAM lp;
};
std::deque<Posted>& PostQueue() {
    static std::deque<Posted> q;
    return q;
}

int g_msgX = 0, g_msgY = 0;

// Records where input happened (GetMessagePos) and turns focus loss of edit
// fields into the controls' kill-focus notifications.
class InputFilter : public QObject {
public:
    bool eventFilter(QObject* obj, QEvent* ev) override {
        switch (ev->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick:
        case QEvent::MouseButtonRelease: {
            const QPoint p = static_cast<QMouseEvent*>(ev)->globalPos();
            g_msgX = p.x();
            g_msgY = p.y();
            break;
        }
        case QEvent::FocusOut:
        case QEvent::FocusIn:
            if (auto* edit = dynamic_cast<QLineEdit*>(obj)) {
                const bool in = ev->type() == QEvent::FocusIn;
                if (CWnd* w = WndFromWidget(edit)) {
                    NotifyCommand(edit, in ? EN_SETFOCUS : EN_KILLFOCUS);
                } else if (auto* combo = dynamic_cast<ComboWidget*>(edit->parentWidget())) {
                    (void)w;
                    NotifyCommand(combo, in ? CBN_SETFOCUS : CBN_KILLFOCUS);
                }
            }
            break;
        default:
            break;
        }
        return false;
    }
};
}  // namespace

QString QStr(const WCHAR* s) {
    if (!s) return QString();
    return QString::fromUtf16(s, static_cast<int>(wcslen16(s)));
}

CString CStr(const QString& s) {
    return CString(std::u16string(reinterpret_cast<const char16_t*>(s.utf16()), static_cast<size_t>(s.size())));
}

void MapWidget(QWidget* widget, CWnd* wnd) {
    WidgetMap()[widget] = wnd;
}

void UnmapWidget(QWidget* widget) {
    WidgetMap().erase(widget);
}

CWnd* WndFromWidget(const QWidget* widget) {
    auto it = WidgetMap().find(widget);
    return it == WidgetMap().end() ? nullptr : it->second;
}

void NotifyCommand(QWidget* w, UINT code) {
    if (g_silent) return;
    CWnd* wnd = WndFromWidget(w);
    if (!wnd || !wnd->GetParent()) return;
    wnd->GetParent()->SendMessage(WM_COMMAND, MAKEWPARAM(wnd->GetDlgCtrlID(), code),
                                  reinterpret_cast<LPARAM>(wnd->GetSafeHwnd()));
}

LRESULT NotifyParent(QWidget* w, NMHDR* hdr, UINT code) {
    if (g_silent) return 0;
    CWnd* wnd = WndFromWidget(w);
    if (!wnd || !wnd->GetParent()) return 0;
    hdr->hwndFrom = wnd->GetSafeHwnd();
    hdr->idFrom = static_cast<UINT_PTR>(wnd->GetDlgCtrlID());
    hdr->code = code;
    return wnd->GetParent()->SendMessage(WM_NOTIFY, hdr->idFrom, reinterpret_cast<LPARAM>(hdr));
}

void PumpPosted() {
    // Messages posted while handling posted messages run in the same pump, in order.
    auto& q = PostQueue();
    while (!q.empty()) {
        Posted m = q.front();
        q.pop_front();
        if (CWnd* w = CWnd::FromHandle(m.hwnd)) w->SendMessage(m.msg, m.wp, m.lp);
    }
}

}  // namespace mfcimpl

using namespace mfcimpl;

namespace {
// Qt's notes about the offscreen platform and a missing runtime directory
// say nothing to a studio user; everything else goes through.
void FilterQtMessages(QtMsgType type, const QMessageLogContext& ctx, const QString& msg) {
    if (type == QtWarningMsg || type == QtInfoMsg || type == QtDebugMsg) {
        if (msg.contains(QLatin1String("propagateSizeHints")) || msg.startsWith(QLatin1String("QStandardPaths:")))
            return;
    }
    fprintf(stderr, "%s\n", qUtf8Printable(qFormatLogMessage(type, ctx, msg)));
}
}  // namespace

void AfxEnsureApp() {
    static bool filtered = false;
    if (!filtered) {
        filtered = true;
        qInstallMessageHandler(FilterQtMessages);
    }
    static int argc = 1;
    static char arg0[] = "tamsel";
    static char* argv[] = {arg0, nullptr};
    if (!QApplication::instance()) new QApplication(argc, argv);
    static InputFilter* filter = nullptr;
    if (!filter) {
        filter = new InputFilter;
        QApplication::instance()->installEventFilter(filter);
    }
}

namespace {
CWnd* g_mainWnd = nullptr;
}

CWnd* AfxGetMainWnd() {
    return g_mainWnd;
}

void AfxSetMainWnd(CWnd* wnd) {
    g_mainWnd = wnd;
}

DWORD GetMessagePos() {
    return static_cast<DWORD>(MAKELONG(g_msgX, g_msgY));
}

void SetMessagePos(int x, int y) {
    g_msgX = x;
    g_msgY = y;
}

COLORREF GetSysColor(int index) {
    switch (index) {
    case COLOR_WINDOW: return RGB(255, 255, 255);
    case COLOR_WINDOWTEXT: return RGB(0, 0, 0);
    case COLOR_HIGHLIGHT: return RGB(0, 120, 215);
    case COLOR_HIGHLIGHTTEXT: return RGB(255, 255, 255);
    case COLOR_BTNFACE: return RGB(240, 240, 240);
    case COLOR_BTNSHADOW: return RGB(160, 160, 160);
    case COLOR_GRAYTEXT: return RGB(109, 109, 109);
    case COLOR_BTNTEXT: return RGB(0, 0, 0);
    case COLOR_BTNHIGHLIGHT: return RGB(255, 255, 255);
    default: return RGB(0, 0, 0);
    }
}

// ---------------------------------------------------------------- CWnd

CWnd::~CWnd() {
    if (m_pWidget) DetachWidget();
    if (m_pParent) m_pParent->m_children.erase(m_nID);
    for (auto& kv : m_children) kv.second->m_pParent = nullptr;
}

void CWnd::AttachChild(int id, CWnd* child) {
    if (!child) return;
    DetachChild(id);
    if (child->m_pParent) child->m_pParent->DetachChild(child->m_nID);
    child->m_nID = id;
    child->m_pParent = this;
    m_children[id] = child;
}

void CWnd::DetachChild(int id) {
    auto it = m_children.find(id);
    if (it == m_children.end()) return;
    it->second->m_pParent = nullptr;
    m_children.erase(it);
}

CWnd* CWnd::GetDlgItem(int id) const {
    auto it = m_children.find(id);
    return it == m_children.end() ? nullptr : it->second;
}

CWnd* CWnd::FromHandle(HWND hwnd) {
    return hwnd ? WndFromWidget(reinterpret_cast<QWidget*>(hwnd)) : nullptr;
}

void CWnd::AttachWidget(QWidget* widget, DWORD style, DWORD exStyle) {
    if (m_pWidget) DetachWidget();
    if (!widget) return;
    if (CWnd* old = WndFromWidget(widget)) old->DetachWidget();
    m_pWidget = widget;
    m_hWnd = reinterpret_cast<HWND>(widget);
    m_dwStyle = style;
    m_dwExStyle = exStyle;
    MapWidget(widget, this);
    QObject::connect(widget, &QObject::destroyed, [widget]() {
        if (CWnd* w = WndFromWidget(widget)) w->DetachWidget();
    });
    // The widget shows the text the object held before it had a window.
    CString current;
    GetWindowText(current);
    if (current.IsEmpty() && !m_strText.IsEmpty()) {
        Silence quiet;
        SetWindowText(m_strText);
    }
    PreSubclassWindow();
}

QWidget* CWnd::DetachWidget() {
    QWidget* w = m_pWidget;
    if (!w) return nullptr;
    // Keep the last text so the object still answers GetWindowText.
    GetWindowText(m_strText);
    UnmapWidget(w);
    QObject::disconnect(w, &QObject::destroyed, nullptr, nullptr);
    m_pWidget = nullptr;
    m_hWnd = nullptr;
    m_pDC.reset();
    return w;
}

BOOL CWnd::SubclassDlgItem(UINT id, CWnd* parent) {
    if (!parent || m_pWidget) return FALSE;
    CWnd* current = parent->GetDlgItem(static_cast<int>(id));
    if (!current || current == this || !current->m_pWidget) return FALSE;
    const DWORD style = current->m_dwStyle, exStyle = current->m_dwExStyle;
    CFont* font = current->m_pFont;
    QWidget* w = current->DetachWidget();
    parent->AttachChild(static_cast<int>(id), this);
    if (!m_pFont) m_pFont = font;
    AttachWidget(w, style, exStyle);
    return TRUE;
}

void CWnd::SetWindowText(const WCHAR* text) {
    m_strText = text ? text : u"";
    QWidget* w = m_pWidget;
    if (!w) return;
    const QString q = QStr(m_strText);
    if (auto* combo = dynamic_cast<ComboWidget*>(w)) {
        combo->SetEditText(q);
    } else if (auto* edit = dynamic_cast<QLineEdit*>(w)) {
        edit->setText(q);  // an edit notifies EN_CHANGE for WM_SETTEXT too
    } else if (auto* label = dynamic_cast<QLabel*>(w)) {
        label->setText(q);
    } else if (auto* group = dynamic_cast<QGroupBox*>(w)) {
        group->setTitle(q);
    } else if (auto* button = dynamic_cast<QAbstractButton*>(w)) {
        button->setText(q);
    } else if (w->isWindow()) {
        w->setWindowTitle(q);
    }
}

void CWnd::GetWindowText(CString& out) const {
    QWidget* w = m_pWidget;
    if (!w) {
        out = m_strText;
        return;
    }
    if (auto* combo = dynamic_cast<ComboWidget*>(w)) {
        out = CStr(combo->edit->text());
    } else if (auto* edit = dynamic_cast<QLineEdit*>(w)) {
        out = CStr(edit->text());
    } else if (auto* label = dynamic_cast<QLabel*>(w)) {
        out = CStr(label->text());
    } else if (auto* group = dynamic_cast<QGroupBox*>(w)) {
        out = CStr(group->title());
    } else if (auto* button = dynamic_cast<QAbstractButton*>(w)) {
        out = CStr(button->text());
    } else if (w->isWindow()) {
        out = CStr(w->windowTitle());
    } else {
        out = m_strText;
    }
}

int CWnd::GetWindowTextLength() const {
    CString s;
    GetWindowText(s);
    return s.GetLength();
}

BOOL CWnd::EnableWindow(BOOL enable) {
    if (!m_pWidget) return FALSE;
    const BOOL wasDisabled = !m_pWidget->isEnabled();
    m_pWidget->setEnabled(enable != FALSE);
    if (enable) m_dwStyle &= ~WS_DISABLED; else m_dwStyle |= WS_DISABLED;
    return wasDisabled;
}

BOOL CWnd::IsWindowEnabled() const {
    return m_pWidget ? m_pWidget->isEnabled() : FALSE;
}

BOOL CWnd::ShowWindow(int cmd) {
    if (!m_pWidget) return FALSE;
    const BOOL was = IsWindowVisible();
    m_pWidget->setVisible(cmd != SW_HIDE);
    if (cmd != SW_HIDE) m_dwStyle |= WS_VISIBLE; else m_dwStyle &= ~WS_VISIBLE;
    return was;
}

BOOL CWnd::IsWindowVisible() const {
    // A control counts as visible by its own style when its dialog is not shown yet.
    if (!m_pWidget) return FALSE;
    return m_pWidget->isWindow() ? m_pWidget->isVisible() : !m_pWidget->isHidden();
}

void CWnd::Invalidate(BOOL) {
    if (m_pWidget) m_pWidget->update();
}

void CWnd::UpdateWindow() {
    if (m_pWidget) m_pWidget->repaint();
}

void CWnd::SetRedraw(BOOL redraw) {
    if (m_pWidget) m_pWidget->setUpdatesEnabled(redraw != FALSE);
}

void CWnd::GetClientRect(LPRECT rect) const {
    if (!rect) return;
    *rect = RECT{0, 0, 0, 0};
    if (!m_pWidget) return;
    const QRect r = m_pWidget->contentsRect();
    *rect = RECT{0, 0, r.width(), r.height()};
}

void CWnd::GetWindowRect(LPRECT rect) const {
    if (!rect) return;
    *rect = RECT{0, 0, 0, 0};
    if (!m_pWidget) return;
    const QPoint tl = m_pWidget->mapToGlobal(QPoint(0, 0));
    *rect = RECT{tl.x(), tl.y(), tl.x() + m_pWidget->width(), tl.y() + m_pWidget->height()};
}

void CWnd::MoveWindow(int x, int y, int cx, int cy, BOOL) {
    if (m_pWidget) m_pWidget->setGeometry(x, y, cx, cy);
}

void CWnd::MoveWindow(LPCRECT r, BOOL repaint) {
    if (r) MoveWindow(r->left, r->top, r->right - r->left, r->bottom - r->top, repaint);
}

BOOL CWnd::SetWindowPos(const CWnd* after, int x, int y, int cx, int cy, UINT flags) {
    if (!m_pWidget) return FALSE;
    QRect g = m_pWidget->geometry();
    if (!(flags & SWP_NOMOVE)) g.moveTo(x, y);
    if (!(flags & SWP_NOSIZE)) g.setSize(QSize(cx, cy));
    m_pWidget->setGeometry(g);
    if (!(flags & SWP_NOZORDER) && after && after->m_pWidget) m_pWidget->stackUnder(after->m_pWidget);
    if (flags & SWP_SHOWWINDOW) ShowWindow(SW_SHOW);
    if (flags & SWP_HIDEWINDOW) ShowWindow(SW_HIDE);
    return TRUE;
}

void CWnd::ScreenToClient(LPPOINT pt) const {
    if (!pt || !m_pWidget) return;
    const QPoint p = m_pWidget->mapFromGlobal(QPoint(pt->x, pt->y));
    pt->x = p.x();
    pt->y = p.y();
}

void CWnd::ScreenToClient(LPRECT r) const {
    if (!r) return;
    POINT a{r->left, r->top}, b{r->right, r->bottom};
    ScreenToClient(&a);
    ScreenToClient(&b);
    *r = RECT{a.x, a.y, b.x, b.y};
}

void CWnd::ClientToScreen(LPPOINT pt) const {
    if (!pt || !m_pWidget) return;
    const QPoint p = m_pWidget->mapToGlobal(QPoint(pt->x, pt->y));
    pt->x = p.x();
    pt->y = p.y();
}

void CWnd::ClientToScreen(LPRECT r) const {
    if (!r) return;
    POINT a{r->left, r->top}, b{r->right, r->bottom};
    ClientToScreen(&a);
    ClientToScreen(&b);
    *r = RECT{a.x, a.y, b.x, b.y};
}

void CWnd::SetFont(CFont* font, BOOL redraw) {
    m_pFont = font;
    if (!m_pWidget || !font || !font->GetSafeHandle()) return;
    const QFont q = QFontFromHFont(*font);
    m_pWidget->setFont(q);
    if (auto* tree = dynamic_cast<QTreeWidget*>(m_pWidget)) {
        // The header paints on its viewport, whose font a style sheet may have
        // pinned; headings are drawn in the rows' font.
        tree->header()->setFont(q);
        tree->header()->viewport()->setFont(q);
    }
    if (auto* combo = dynamic_cast<ComboWidget*>(m_pWidget)) combo->Relayout();
    if (redraw) m_pWidget->update();
}

CWnd* CWnd::SetFocus() {
    CWnd* old = GetFocus();
    if (m_pWidget) {
        if (auto* combo = dynamic_cast<ComboWidget*>(m_pWidget)) combo->edit->setFocus();
        else m_pWidget->setFocus();
    }
    return old;
}

CWnd* CWnd::GetFocus() {
    QWidget* w = QApplication::instance() ? QApplication::focusWidget() : nullptr;
    for (; w; w = w->parentWidget()) {
        if (CWnd* wnd = WndFromWidget(w)) return wnd;
    }
    return nullptr;
}

CDC* CWnd::GetDC() {
    if (!m_pWidget) return nullptr;
    if (!m_pDC) m_pDC = std::make_unique<CDC>();
    if (!m_pDC->m_hDC) m_pDC->Attach(CreateWindowDC(m_pWidget));
    return m_pDC.get();
}

int CWnd::ReleaseDC(CDC* dc) {
    if (!dc || dc != m_pDC.get()) return 0;
    DestroyPaintDC(dc->Detach());
    return 1;
}

LRESULT CWnd::SendMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    return WindowProc(msg, wParam, lParam);
}

BOOL CWnd::PostMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (!m_hWnd) return FALSE;
    PostQueue().push_back(Posted{m_hWnd, msg, wParam, lParam});
    if (QCoreApplication::instance()) QTimer::singleShot(0, [] { PumpPosted(); });
    return TRUE;
}

int CWnd::MessageBox(LPCTSTR text, LPCTSTR caption, UINT type) {
    return AfxRunMessageBox(this, text, caption, type);
}

void CWnd::SetDlgItemText(int id, LPCTSTR text) {
    if (CWnd* c = GetDlgItem(id)) c->SetWindowText(text);
}

int CWnd::GetDlgItemText(int id, CString& out) const {
    out.Empty();
    if (CWnd* c = GetDlgItem(id)) c->GetWindowText(out);
    return out.GetLength();
}

void CWnd::CheckDlgButton(int id, UINT check) {
    if (auto* b = static_cast<CButton*>(GetDlgItem(id))) b->SetCheck(static_cast<int>(check));
}

UINT CWnd::IsDlgButtonChecked(int id) const {
    auto* b = static_cast<CButton*>(GetDlgItem(id));
    return b ? static_cast<UINT>(b->GetCheck()) : 0;
}

// ---------------------------------------------------------------- dispatch

const AFX_MSGMAP* CWnd::GetThisMessageMap() {
    static const AFX_MSGMAP_ENTRY entries[] = {{0, 0, 0, 0, AfxSig_end, nullptr}};
    static const AFX_MSGMAP map = {nullptr, &entries[0]};
    return &map;
}

const AFX_MSGMAP* CWnd::GetMessageMap() const {
    return GetThisMessageMap();
}

bool CWnd::DispatchMap(UINT msg, UINT code, UINT id, LPARAM lParam, LRESULT* result) {
    for (const AFX_MSGMAP* map = GetMessageMap(); map; map = map->pfnGetBaseMap ? map->pfnGetBaseMap() : nullptr) {
        for (const AFX_MSGMAP_ENTRY* e = map->lpEntries; e->nSig != AfxSig_end; ++e) {
            if (e->nMessage != msg || !e->pfn || id < e->nID || id > e->nLastID || e->nCode != code) continue;
            switch (e->nSig) {
            case AfxSig_vv:
                (this->*(e->pfn))();
                if (result) *result = 0;
                return true;
            case AfxSig_vw:
                (this->*reinterpret_cast<void (CWnd::*)(UINT)>(e->pfn))(id);
                return true;
            case AfxSig_vNMHDRpl: {
                LRESULT r = 0;
                (this->*reinterpret_cast<void (CWnd::*)(NMHDR*, LRESULT*)>(e->pfn))(reinterpret_cast<NMHDR*>(lParam), &r);
                if (result) *result = r;
                return true;
            }
            default:
                break;
            }
        }
    }
    return false;
}

BOOL CWnd::OnCommand(WPARAM wParam, LPARAM lParam) {
    const UINT id = LOWORD(wParam), code = HIWORD(wParam);
    if (CWnd* child = FromHandle(reinterpret_cast<HWND>(lParam))) {
        LRESULT r = 0;
        if (child->OnChildNotify(WM_COMMAND, wParam, lParam, &r)) return TRUE;
    }
    return DispatchMap(WM_COMMAND, code, id, lParam, nullptr) ? TRUE : FALSE;
}

BOOL CWnd::OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* result) {
    auto* hdr = reinterpret_cast<NMHDR*>(lParam);
    if (!hdr) return FALSE;
    if (CWnd* child = FromHandle(hdr->hwndFrom)) {
        if (child->OnChildNotify(WM_NOTIFY, wParam, lParam, result)) return TRUE;
    }
    return DispatchMap(WM_NOTIFY, hdr->code, static_cast<UINT>(hdr->idFrom), lParam, result) ? TRUE : FALSE;
}

BOOL CWnd::OnChildNotify(UINT, WPARAM, LPARAM, LRESULT*) {
    return FALSE;
}

void CWnd::OnDrawItem(int, LPDRAWITEMSTRUCT dis) {
    LRESULT r = 0;
    if (CWnd* child = dis ? FromHandle(dis->hwndItem) : nullptr)
        child->OnChildNotify(WM_DRAWITEM, 0, reinterpret_cast<LPARAM>(dis), &r);
}

void CWnd::OnMeasureItem(int, LPMEASUREITEMSTRUCT mis) {
    LRESULT r = 0;
    if (CWnd* child = mis ? GetDlgItem(static_cast<int>(mis->CtlID)) : nullptr)
        child->OnChildNotify(WM_MEASUREITEM, 0, reinterpret_cast<LPARAM>(mis), &r);
}

int CWnd::OnCompareItem(int, LPCOMPAREITEMSTRUCT cis) {
    LRESULT r = 0;
    if (CWnd* child = cis ? FromHandle(cis->hwndItem) : nullptr)
        child->OnChildNotify(WM_COMPAREITEM, 0, reinterpret_cast<LPARAM>(cis), &r);
    return static_cast<int>(r);
}

LRESULT CWnd::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    LRESULT result = 0;
    switch (msg) {
    case WM_COMMAND:
        return OnCommand(wParam, lParam);
    case WM_NOTIFY:
        OnNotify(wParam, lParam, &result);
        return result;
    case WM_DRAWITEM:
        OnDrawItem(static_cast<int>(wParam), reinterpret_cast<LPDRAWITEMSTRUCT>(lParam));
        return TRUE;
    case WM_MEASUREITEM:
        OnMeasureItem(static_cast<int>(wParam), reinterpret_cast<LPMEASUREITEMSTRUCT>(lParam));
        return TRUE;
    case WM_COMPAREITEM:
        return OnCompareItem(static_cast<int>(wParam), reinterpret_cast<LPCOMPAREITEMSTRUCT>(lParam));
    case WM_SETTEXT:
        SetWindowText(reinterpret_cast<const WCHAR*>(lParam));
        return TRUE;
    case WM_GETTEXTLENGTH:
        return GetWindowTextLength();
    default:
        return 0;
    }
}
