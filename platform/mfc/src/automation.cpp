// Scripts that act on modal windows as a user would. Every action goes in as
// Qt input (mouse and key events, button clicks), so it reaches the dialog
// through the same signal handlers and notifications as real input.
#include <QAbstractButton>
#include <QApplication>
#include <QGroupBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QTreeWidget>
#include <deque>
#include <stdexcept>

#include "mfc/mfcauto.h"
#include "qtimpl.h"
#include "win/wstr.h"

using namespace mfcimpl;

namespace mfcauto {

namespace {
std::deque<Script>& Queue() {
    static std::deque<Script> q;
    return q;
}
std::vector<std::string>& ErrorList() {
    static std::vector<std::string> e;
    return e;
}
bool g_scriptsUsed = false;

void Activate(QWidget* w) {
    QWidget* win = w->window();
    if (QApplication::activeWindow() != win) QApplication::setActiveWindow(win);
}

void Mouse(QWidget* target, const QPoint& local, bool twice, Qt::KeyboardModifiers mods = Qt::NoModifier) {
    const QPoint global = target->mapToGlobal(local);
    SetMessagePos(global.x(), global.y());
    auto send = [&](QEvent::Type type, Qt::MouseButtons buttons) {
        QMouseEvent ev(type, QPointF(local), QPointF(local), QPointF(global), Qt::LeftButton, buttons, mods);
        QApplication::sendEvent(target, &ev);
    };
    send(QEvent::MouseButtonPress, Qt::LeftButton);
    send(QEvent::MouseButtonRelease, Qt::NoButton);
    if (twice) {
        send(QEvent::MouseButtonDblClick, Qt::LeftButton);
        send(QEvent::MouseButtonRelease, Qt::NoButton);
    }
}

void Key(QWidget* target, int key, const QString& text = QString(), Qt::KeyboardModifiers mods = Qt::NoModifier) {
    QKeyEvent press(QEvent::KeyPress, key, mods, text);
    QApplication::sendEvent(target, &press);
    QKeyEvent release(QEvent::KeyRelease, key, mods, text);
    QApplication::sendEvent(target, &release);
}

// The list takes the focus (or gives it to its combo box's edit) as the press arrives.
void ClickListRow(QListWidget* list, int row, bool twice) {
    if (row < 0 || row >= list->count()) throw std::runtime_error("no list row " + std::to_string(row));
    QListWidgetItem* item = list->item(row);
    list->scrollToItem(item);
    const QRect r = list->visualItemRect(item);
    Mouse(list->viewport(), r.center(), twice);
}

// The window as it appears on a desktop: the client area under a caption
// bar with the title and, when the window has a system menu, a close box.
QImage Framed(QWidget* w) {
    const QImage client = w->grab().toImage();
    if (client.isNull()) return client;
    const int bar = 30;
    QImage out(client.width() + 2, client.height() + bar + 1, QImage::Format_ARGB32);
    out.fill(QColor(128, 128, 128));
    QPainter p(&out);
    p.fillRect(1, 1, client.width(), bar - 1, Qt::white);
    p.drawImage(1, bar, client);
    QFont f = w->font();
    f.setPixelSize(std::max(12, f.pixelSize() > 0 ? f.pixelSize() : 12));
    p.setFont(f);
    p.setPen(Qt::black);
    p.drawText(QRect(10, 1, client.width() - 60, bar - 1), Qt::AlignVCenter | Qt::AlignLeft, w->windowTitle());
    if (w->windowFlags() & Qt::WindowCloseButtonHint) {
        const int cx = client.width() - 22, cy = bar / 2;
        p.setPen(QPen(Qt::black, 1));
        p.drawLine(cx - 5, cy - 5, cx + 5, cy + 5);
        p.drawLine(cx - 5, cy + 5, cx + 5, cy - 5);
    }
    return out;
}

std::string Describe(int id) {
    return "control " + std::to_string(id);
}

// The Qt key of a virtual-key code, and the text it types.
std::pair<int, QString> QtKey(UINT vk) {
    if (vk >= 'A' && vk <= 'Z') return {Qt::Key_A + static_cast<int>(vk - 'A'), QString(QChar(vk - 'A' + 'a'))};
    if (vk >= '0' && vk <= '9') return {Qt::Key_0 + static_cast<int>(vk - '0'), QString(QChar(vk))};
    switch (vk) {
    case VK_UP: return {Qt::Key_Up, {}};
    case VK_DOWN: return {Qt::Key_Down, {}};
    case VK_LEFT: return {Qt::Key_Left, {}};
    case VK_RIGHT: return {Qt::Key_Right, {}};
    case VK_PRIOR: return {Qt::Key_PageUp, {}};
    case VK_NEXT: return {Qt::Key_PageDown, {}};
    case VK_HOME: return {Qt::Key_Home, {}};
    case VK_END: return {Qt::Key_End, {}};
    case VK_SPACE: return {Qt::Key_Space, QStringLiteral(" ")};
    case VK_RETURN: return {Qt::Key_Return, QStringLiteral("\r")};
    case VK_ESCAPE: return {Qt::Key_Escape, QString(QChar(0x1B))};
    case VK_DELETE: return {Qt::Key_Delete, {}};
    case VK_F4: return {Qt::Key_F4, {}};
    default: throw std::runtime_error("no key for virtual-key code " + std::to_string(vk));
    }
}
}  // namespace

UINT ModalContext::TemplateId() const {
    return m_dialog ? m_dialog->GetTemplateId() : 0;
}

CString ModalContext::Caption() const {
    if (m_isMessageBox) return m_caption;
    CString s;
    if (m_dialog) m_dialog->GetWindowText(s);
    return s;
}

CWnd* ModalContext::Control(int id) const {
    CWnd* c = m_dialog ? m_dialog->GetDlgItem(id) : nullptr;
    if (!c || !c->GetWidget()) throw std::runtime_error("the dialog has no " + Describe(id));
    return c;
}

CString ModalContext::Text(int id) const {
    CString s;
    Control(id)->GetWindowText(s);
    return s;
}

bool ModalContext::IsEnabled(int id) const {
    return Control(id)->IsWindowEnabled() != FALSE;
}

bool ModalContext::IsVisible(int id) const {
    return !Control(id)->GetWidget()->isHidden();
}

int ModalContext::CheckState(int id) const {
    QWidget* w = Control(id)->GetWidget();
    if (auto* b = dynamic_cast<QAbstractButton*>(w)) return b->isChecked() ? BST_CHECKED : BST_UNCHECKED;
    if (auto* g = dynamic_cast<QGroupBox*>(w)) return g->isCheckable() && g->isChecked() ? BST_CHECKED : BST_UNCHECKED;
    throw std::runtime_error(Describe(id) + " has no check state");
}

void ModalContext::Pump() const {
    PumpPosted();
    QCoreApplication::processEvents();
    PumpPosted();
}

void ModalContext::Click(int id) {
    QWidget* w = Control(id)->GetWidget();
    Activate(w);
    if (auto* b = dynamic_cast<QAbstractButton*>(w)) {
        // A click lands where the user would press: in the middle of the button.
        if (b->isEnabled() && b->isVisible()) {
            b->setFocus(Qt::MouseFocusReason);
            Mouse(b, b->rect().center(), false);
        }
    } else if (auto* g = dynamic_cast<QGroupBox*>(w)) {
        // Qt toggles a title check box and then reports the click.
        if (g->isEnabled() && g->isCheckable()) {
            g->setChecked(!g->isChecked());
            emit g->clicked(g->isChecked());
        }
    } else {
        throw std::runtime_error(Describe(id) + " is not a button");
    }
    Pump();
}

void ModalContext::SetCheck(int id, bool checked) {
    if ((CheckState(id) == BST_CHECKED) != checked) Click(id);
}

void ModalContext::Type(int id, const CString& text) {
    QWidget* w = Control(id)->GetWidget();
    QLineEdit* edit = dynamic_cast<QLineEdit*>(w);
    if (auto* combo = dynamic_cast<ComboWidget*>(w)) edit = combo->edit;
    if (!edit) throw std::runtime_error(Describe(id) + " takes no typing");
    Activate(edit);
    edit->setFocus(Qt::MouseFocusReason);
    const QString q = QStr(text);
    Key(edit, Qt::Key_A, QString(), Qt::ControlModifier);
    if (q.isEmpty()) {
        Key(edit, Qt::Key_Delete);
        Pump();
    }
    // Messages posted while handling one key are delivered before the next key, as in a message queue.
    for (QChar ch : q) {
        Key(edit, 0, QString(ch));
        Pump();
    }
}

void ModalContext::SelectItem(int id, int index) {
    QWidget* w = Control(id)->GetWidget();
    Activate(w);
    if (auto* combo = dynamic_cast<ComboWidget*>(w)) {
        if (combo->Kind() != CBS_SIMPLE) combo->ShowPopup(true);
        ClickListRow(combo->list, index, false);
    } else if (auto* list = dynamic_cast<QListWidget*>(w)) {
        ClickListRow(list, index, false);
    } else if (dynamic_cast<QTreeWidget*>(w)) {
        SelectRows(id, {index});
        return;
    } else {
        throw std::runtime_error(Describe(id) + " has no rows");
    }
    Pump();
}

void ModalContext::SelectItem(int id, const CString& text) {
    QWidget* w = Control(id)->GetWidget();
    QListWidget* list = dynamic_cast<QListWidget*>(w);
    if (auto* combo = dynamic_cast<ComboWidget*>(w)) list = combo->list;
    if (!list) throw std::runtime_error(Describe(id) + " has no rows");
    const int row = FindRow(list, -1, QStr(text), true);
    if (row < 0) throw std::runtime_error(Describe(id) + " lists no \"" + Utf16ToUtf8(text.GetString()) + "\"");
    SelectItem(id, row);
}

void ModalContext::DoubleClickItem(int id, int index) {
    QWidget* w = Control(id)->GetWidget();
    Activate(w);
    if (auto* combo = dynamic_cast<ComboWidget*>(w)) {
        ClickListRow(combo->list, index, true);
    } else if (auto* list = dynamic_cast<QListWidget*>(w)) {
        ClickListRow(list, index, true);
    } else if (auto* t = dynamic_cast<QTreeWidget*>(w)) {
        if (index == -1) {
            // Below the last row: empty space.
            Mouse(t->viewport(), QPoint(t->viewport()->width() / 2, t->viewport()->height() - 2), true);
            Pump();
            return;
        }
        if (index < 0 || index >= t->topLevelItemCount()) throw std::runtime_error("no list row " + std::to_string(index));
        QTreeWidgetItem* item = t->topLevelItem(index);
        t->scrollToItem(item);
        Mouse(t->viewport(), t->visualItemRect(item).center(), true);
    } else {
        throw std::runtime_error(Describe(id) + " has no rows");
    }
    Pump();
}

void ModalContext::SelectRows(int id, const std::vector<int>& rows) {
    auto* t = dynamic_cast<QTreeWidget*>(Control(id)->GetWidget());
    if (!t) throw std::runtime_error(Describe(id) + " is not a list view");
    Activate(t);
    t->setFocus(Qt::MouseFocusReason);
    bool first = true;
    for (int row : rows) {
        if (row < 0 || row >= t->topLevelItemCount()) throw std::runtime_error("no list row " + std::to_string(row));
        QTreeWidgetItem* item = t->topLevelItem(row);
        t->scrollToItem(item);
        QRect r = t->visualItemRect(item);
        // Press on the text, clear of a check box.
        const QPoint at(r.left() + std::min(r.width() - 1, 40), r.center().y());
        Mouse(t->viewport(), at, false, first ? Qt::NoModifier : Qt::ControlModifier);
        first = false;
    }
    Pump();
}

void ModalContext::ClickListCheckBox(int id, int row) {
    auto* t = dynamic_cast<QTreeWidget*>(Control(id)->GetWidget());
    if (!t) throw std::runtime_error(Describe(id) + " is not a list view");
    if (row < 0 || row >= t->topLevelItemCount()) throw std::runtime_error("no list row " + std::to_string(row));
    QTreeWidgetItem* item = t->topLevelItem(row);
    if (!(item->flags() & Qt::ItemIsUserCheckable)) throw std::runtime_error(Describe(id) + " has no check boxes");
    t->scrollToItem(item);
    const QRect r = t->visualItemRect(item);
    const QPoint global = t->viewport()->mapToGlobal(QPoint(r.left() + 8, r.center().y()));
    SetMessagePos(global.x(), global.y());
    // The view's own toggle, as its delegate does on a click on the indicator.
    item->setCheckState(0, item->checkState(0) == Qt::Checked ? Qt::Unchecked : Qt::Checked);
    Pump();
}

void ModalContext::ClickColumnHeader(int id, int column) {
    auto* t = dynamic_cast<QTreeWidget*>(Control(id)->GetWidget());
    if (!t || column < 0 || column >= t->columnCount()) throw std::runtime_error(Describe(id) + " has no such column");
    QHeaderView* h = t->header();
    const int x = h->sectionViewportPosition(column) + h->sectionSize(column) / 2;
    Mouse(h->viewport(), QPoint(x, h->height() / 2), false);
    Pump();
}

void ModalContext::PressKey(int id, UINT vk) {
    QWidget* w = Control(id)->GetWidget();
    if (auto* combo = dynamic_cast<ComboWidget*>(w)) w = combo->edit;
    if (!w->isEnabled() || w->isHidden()) throw std::runtime_error(Describe(id) + " cannot take the focus");
    Activate(w);
    if (!w->hasFocus()) w->setFocus(Qt::OtherFocusReason);
    const auto key = QtKey(vk);
    Key(w, key.first, key.second);
    Pump();
}

void ModalContext::PressTab(bool backwards) {
    QWidget* window = m_dialog ? m_dialog->GetWidget() : m_box;
    if (!window) return;
    Activate(window);
    QWidget* focus = QApplication::focusWidget();
    if (!focus || focus->window() != window) focus = window;
    Key(focus, backwards ? Qt::Key_Backtab : Qt::Key_Tab, QString(), backwards ? Qt::ShiftModifier : Qt::NoModifier);
    Pump();
}

int ModalContext::FocusedControl() const {
    CWnd* focus = CWnd::GetFocus();
    return focus && m_dialog && focus->GetParent() == m_dialog ? focus->GetDlgCtrlID() : 0;
}

void ModalContext::PressEscape() {
    QWidget* target = m_isMessageBox ? m_box : (m_dialog ? m_dialog->GetWidget() : nullptr);
    if (!target) return;
    Activate(target);
    QWidget* focus = QApplication::focusWidget();
    Key(focus && focus->window() == target ? focus : target, Qt::Key_Escape);
    Pump();
}

void ModalContext::PressEnter() {
    QWidget* target = m_isMessageBox ? m_box : (m_dialog ? m_dialog->GetWidget() : nullptr);
    if (!target) return;
    Activate(target);
    QWidget* focus = QApplication::focusWidget();
    Key(focus && focus->window() == target ? focus : target, Qt::Key_Return);
    Pump();
}

QImage ModalContext::Capture() const {
    QWidget* w = m_isMessageBox ? m_box : (m_dialog ? m_dialog->GetWidget() : nullptr);
    return w ? w->grab().toImage() : QImage();
}

bool ModalContext::SavePng(const std::string& path) const {
    QWidget* w = m_isMessageBox ? m_box : (m_dialog ? m_dialog->GetWidget() : nullptr);
    const QImage img = w ? Framed(w) : QImage();
    return !img.isNull() && img.save(QString::fromStdString(path), "PNG");
}

void ModalContext::Answer(int buttonId) {
    if (!m_isMessageBox || !m_box) throw std::runtime_error("Answer needs a message box");
    for (QPushButton* b : m_box->findChildren<QPushButton*>()) {
        if (b->property("mfc_id").toInt() == buttonId) {
            b->click();
            Pump();
            return;
        }
    }
    throw std::runtime_error("the message box has no button " + std::to_string(buttonId));
}

void PushScript(Script script) {
    g_scriptsUsed = true;
    Queue().push_back(std::move(script));
}

void ClearScripts() {
    Queue().clear();
}

size_t PendingScripts() {
    return Queue().size();
}

const std::vector<std::string>& Errors() {
    return ErrorList();
}

void ClearErrors() {
    ErrorList().clear();
}

void ReportError(const std::string& message) {
    ErrorList().push_back(message);
}

bool RunNextScript(ModalContext& ctx) {
    if (Queue().empty()) return false;
    Script s = std::move(Queue().front());
    Queue().pop_front();
    QApplication::processEvents();
    try {
        s(ctx);
    } catch (const std::exception& e) {
        ReportError(std::string("script failed: ") + e.what());
    }
    return true;
}

bool Automated() {
    if (g_scriptsUsed) return true;
    const QString platform = QGuiApplication::platformName();
    return platform == QLatin1String("offscreen") || platform == QLatin1String("minimal");
}

}  // namespace mfcauto

bool RenderToPng(CWnd& wnd, const std::string& path) {
    QWidget* w = wnd.GetWidget();
    if (!w) return false;
    const QImage img = w->isWindow() ? mfcauto::Framed(w) : w->grab().toImage();
    return !img.isNull() && img.save(QString::fromStdString(path), "PNG");
}
