// The standard controls over Qt widgets. Qt signals from user input are
// turned into the notifications Windows sends; programmatic changes made
// through the API run silenced, as Windows does not notify them.
#include <QButtonGroup>
#include <QCheckBox>
#include <QFrame>
#include <QGroupBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QTreeWidget>
#include <QValidator>
#include <algorithm>

#include "qtimpl.h"
#include "rowtexts.h"
#include "win/wstr.h"

namespace mfcimpl {

namespace {
bool StartsWithNoCase(const QString& item, const QString& prefix) {
    return item.startsWith(prefix, Qt::CaseInsensitive);
}

void SendDrawItem(QWidget* control, UINT ctlType, QPainter* p, const QStyleOptionViewItem& opt, const QModelIndex& index,
                  bool comboEdit) {
    CWnd* wnd = WndFromWidget(control);
    if (!wnd || !wnd->GetParent()) return;
    DRAWITEMSTRUCT dis{};
    dis.CtlType = ctlType;
    dis.CtlID = static_cast<UINT>(wnd->GetDlgCtrlID());
    dis.itemID = index.isValid() ? static_cast<UINT>(index.row()) : static_cast<UINT>(-1);
    dis.itemAction = ODA_DRAWENTIRE;
    if (opt.state & QStyle::State_Selected) dis.itemState |= ODS_SELECTED;
    if (opt.state & QStyle::State_HasFocus) dis.itemState |= ODS_FOCUS;
    if (comboEdit) dis.itemState |= ODS_COMBOBOXEDIT;
    dis.hwndItem = wnd->GetSafeHwnd();
    dis.rcItem = ToRect(opt.rect);
    dis.itemData = index.isValid() ? static_cast<ULONG_PTR>(index.data(kDataRole).toULongLong()) : 0;
    HDC hdc = CreatePaintDC(p, control->font(), GetSysColor(COLOR_WINDOWTEXT), GetSysColor(COLOR_WINDOW));
    if (CFont* f = wnd->GetFont()) {
        if (f->GetSafeHandle()) {
            ::SelectObject(LookupDC(hdc)->gdi, f->GetSafeHandle());
            LookupDC(hdc)->font = QFontFromHFont(*f);
        }
    }
    dis.hDC = hdc;
    wnd->GetParent()->SendMessage(WM_DRAWITEM, dis.CtlID, reinterpret_cast<LPARAM>(&dis));
    DestroyPaintDC(hdc);
}
}  // namespace

void OwnerDrawDelegate::paint(QPainter* p, const QStyleOptionViewItem& opt, const QModelIndex& index) const {
    p->save();
    SendDrawItem(m_control, m_type, p, opt, index, false);
    p->restore();
}

QSize OwnerDrawDelegate::sizeHint(const QStyleOptionViewItem& opt, const QModelIndex& index) const {
    const QVariant h = index.data(kHeightRole);
    const int height = h.isValid() ? h.toInt() : (fixedHeight > 0 ? fixedHeight : QFontMetrics(opt.font).height());
    return QSize(opt.rect.width() > 0 ? opt.rect.width() : 100, height);
}

namespace {
// Refuses typed text beyond the limit; text the program sets is not checked,
// as EM_LIMITTEXT leaves WM_SETTEXT alone.
class LengthValidator : public QValidator {
public:
    LengthValidator(int limit, QObject* parent) : QValidator(parent), m_limit(limit) {}
    State validate(QString& input, int&) const override { return input.size() > m_limit ? Invalid : Acceptable; }
    int m_limit;
};
}  // namespace

void SetTypingLimit(QLineEdit* e, int maxChars) {
    // Zero asks for the system maximum.
    const int limit = maxChars > 0 ? maxChars : 0x7FFFFFFE;
    if (auto* v = dynamic_cast<const LengthValidator*>(e->validator())) {
        const_cast<LengthValidator*>(v)->m_limit = limit;
    } else {
        e->setValidator(new LengthValidator(limit, e));
    }
}

int TypingLimit(const QLineEdit* e) {
    auto* v = dynamic_cast<const LengthValidator*>(e->validator());
    return v ? v->m_limit : 30000;
}

int SortedRow(QListWidget* list, const QString& text) {
    RowTexts& rows = RowTexts::Of(list);
    const QStringList& texts = rows.Texts();
    const auto notAfter = [&](const QString& item) { return QString::compare(item, text, Qt::CaseInsensitive) <= 0; };
    if (rows.Sorted())
        return static_cast<int>(std::partition_point(texts.begin(), texts.end(), notAfter) - texts.begin());
    int row = 0;
    while (row < texts.size() && notAfter(texts[row])) ++row;
    return row;
}

int FindRow(QListWidget* list, int startAfter, const QString& text, bool exact) {
    RowTexts& rows = RowTexts::Of(list);
    const QStringList& texts = rows.Texts();
    const int n = texts.size();
    // An empty search string matches nothing, as the list box answers LB_ERR for it.
    if (n == 0 || text.isEmpty()) return -1;
    const int start = (startAfter < 0 || startAfter >= n) ? 0 : startAfter + 1;
    const auto matches = [&](const QString& item) {
        return exact ? QString::compare(item, text, Qt::CaseInsensitive) == 0 : StartsWithNoCase(item, text);
    };
    if (rows.Sorted()) {
        // In a sorted list the matching rows are one run, beginning at the
        // first row not before the text; the search from `start` wraps round.
        const auto first = std::partition_point(texts.begin(), texts.end(), [&](const QString& item) {
            return QString::compare(item, text, Qt::CaseInsensitive) < 0;
        });
        if (first == texts.end() || !matches(*first)) return -1;
        const int lo = static_cast<int>(first - texts.begin());
        const int hi = static_cast<int>(std::partition_point(first, texts.end(), matches) - texts.begin());
        return start <= lo || start >= hi ? lo : start;
    }
    for (int k = 0; k < n; ++k) {
        const int row = (start + k) % n;
        if (matches(texts[row])) return row;
    }
    return -1;
}

// ---------------------------------------------------------------- list box input

ListBoxWidget::ListBoxWidget(QWidget* parent, DWORD s, ComboWidget* owner) : QListWidget(parent), style(s), combo(owner) {
    setSelectionMode(MultiSelect() ? QAbstractItemView::ExtendedSelection : QAbstractItemView::SingleSelection);
    // A combo box's list hands the focus to the edit above it.
    if (combo) setFocusPolicy(Qt::NoFocus);
}

void ListBoxWidget::SetCaret(int row, bool scroll) {
    if (row < 0 || row >= count()) return;
    m_caret = row;
    Silence quiet;
    selectionModel()->setCurrentIndex(model()->index(row, 0), QItemSelectionModel::NoUpdate);
    if (scroll) scrollToItem(item(row));
}

int ListBoxWidget::Selected() const {
    for (int row = 0; row < count(); ++row)
        if (item(row)->isSelected()) return row;
    return -1;
}

void ListBoxWidget::Select(int row) {
    Silence quiet;
    clearSelection();
    if (row >= 0 && row < count()) item(row)->setSelected(true);
}

void ListBoxWidget::MoveCaret(int row) {
    if (row < 0 || row >= count()) return;
    if (!MultiSelect()) Select(row);
    SetCaret(row);
}

void ListBoxWidget::KeepCaret() {
    if (count() == 0) {
        m_caret = 0;
        return;
    }
    SetCaret(std::min(m_caret, count() - 1), false);
}

int ListBoxWidget::PageSize() const {
    // The rows that fit below the top one, at least one.
    const QModelIndex top = indexAt(QPoint(1, 1));
    const int height = viewport()->height();
    int rows = 0, used = 0;
    for (int row = top.isValid() ? top.row() : 0; row < count(); ++row) {
        used += visualItemRect(item(row)).height();
        if (used > height) break;
        ++rows;
    }
    return std::max(rows, 1);
}

bool ListBoxWidget::HandleKey(int key) {
    const int n = count();
    // With no row selected, a moving key first selects the caret's row.
    bool force = !MultiSelect() && Selected() != m_caret;
    int caret = -1;
    switch (key) {
    case Qt::Key_Left:
    case Qt::Key_Up: caret = std::max(0, m_caret - 1); break;
    case Qt::Key_Right:
    case Qt::Key_Down: caret = std::min(n - 1, m_caret + 1); break;
    case Qt::Key_PageUp: caret = std::max(0, m_caret - PageSize() + 1); break;
    case Qt::Key_PageDown: caret = std::min(n - 1, m_caret + PageSize() - 1); break;
    case Qt::Key_Home: caret = 0; break;
    case Qt::Key_End: caret = n - 1; break;
    case Qt::Key_Space: break;
    default: return false;
    }
    if (force) caret = m_caret;
    if (caret >= 0 && caret < n) {
        MoveCaret(caret);
        Notify(LBN_SELCHANGE, true);
    }
    return true;
}

bool ListBoxWidget::HandleChar(QChar c) {
    const int row = FindRow(this, m_caret, QString(c), false);
    if (row < 0) return true;
    if (!MultiSelect() && Selected() < 0) Select(row);
    MoveCaret(row);
    Notify(LBN_SELCHANGE, true);
    return true;
}

void ListBoxWidget::Notify(UINT code, bool byKeyboard) {
    if (g_silent || (code == LBN_SELCHANGE && count() == 0)) return;
    if (combo) combo->ListNotify(code, byKeyboard);
    else if (style & LBS_NOTIFY) NotifyCommand(this, code);
}

void ListBoxWidget::mousePressEvent(QMouseEvent* e) {
    if (e->button() != Qt::LeftButton) return;
    if (combo) {
        if (combo->Kind() == CBS_SIMPLE && !combo->edit->hasFocus()) combo->edit->setFocus(Qt::MouseFocusReason);
    } else if (!hasFocus()) {
        setFocus(Qt::MouseFocusReason);
    }
    QListWidgetItem* it = itemAt(e->pos());
    if (!it) return;
    m_captured = true;
    if (MultiSelect()) {
        QListWidget::mousePressEvent(e);
        m_caret = row(it);
        return;
    }
    MoveCaret(row(it));
}

void ListBoxWidget::mouseMoveEvent(QMouseEvent* e) {
    // Dragging with the button down carries the selection along.
    if (!m_captured || !(e->buttons() & Qt::LeftButton) || MultiSelect()) return;
    if (QListWidgetItem* it = itemAt(e->pos())) {
        if (row(it) != m_caret) MoveCaret(row(it));
    }
}

void ListBoxWidget::mouseReleaseEvent(QMouseEvent* e) {
    if (e->button() != Qt::LeftButton || !m_captured) return;
    m_captured = false;
    Notify(LBN_SELCHANGE, false);
}

void ListBoxWidget::mouseDoubleClickEvent(QMouseEvent* e) {
    if (e->button() == Qt::LeftButton) Notify(LBN_DBLCLK, false);
}

void ListBoxWidget::keyPressEvent(QKeyEvent* e) {
    if (combo && combo->Kind() != CBS_SIMPLE && (e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter || e->key() == Qt::Key_Escape)) {
        combo->ShowPopup(false);
        return;
    }
    bool handled = !(e->modifiers() & (Qt::ControlModifier | Qt::AltModifier)) && HandleKey(e->key());
    const QString text = e->text();
    if (!text.isEmpty() && text[0].isPrint() && !(e->modifiers() & (Qt::ControlModifier | Qt::AltModifier)))
        handled = HandleChar(text[0]);
    if (!handled) e->ignore();  // Enter, Escape and the like belong to the dialog
}

// ---------------------------------------------------------------- combo boxes

ComboEdit::ComboEdit(ComboWidget* combo) : QLineEdit(combo), m_combo(combo) {}

void ComboEdit::keyPressEvent(QKeyEvent* e) {
    const int key = e->key();
    const bool alt = (e->modifiers() & Qt::AltModifier) != 0;
    if (m_combo->Kind() != CBS_SIMPLE && (key == Qt::Key_F4 || (alt && (key == Qt::Key_Down || key == Qt::Key_Up)))) {
        m_combo->ShowPopup(!m_combo->list->isVisible());
        return;
    }
    if (!alt && (key == Qt::Key_Up || key == Qt::Key_Down || key == Qt::Key_PageUp || key == Qt::Key_PageDown)) {
        m_combo->list->HandleKey(key);
        return;
    }
    // A drop-down list's field takes letters as its list does.
    const QString text = e->text();
    if (isReadOnly() && !text.isEmpty() && text[0].isPrint()) {
        m_combo->list->HandleChar(text[0]);
        return;
    }
    QLineEdit::keyPressEvent(e);
}

ComboWidget::ComboWidget(QWidget* parent, DWORD s) : QWidget(parent), style(s) {
    edit = new ComboEdit(this);
    list = new ListBoxWidget(this, LBS_NOTIFY, this);
    list->setUniformItemSizes(false);
    list->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setFocusProxy(edit);
    const QFontMetrics fm(parent ? parent->font() : font());
    itemHeight = fm.height();
    editHeight = fm.height() + 6;
    if (Kind() != CBS_SIMPLE) {
        button = new QToolButton(this);
        button->setArrowType(Qt::DownArrow);
        button->setFocusPolicy(Qt::NoFocus);
        list->setParent(nullptr);
        list->setWindowFlags(Qt::Popup);
        QObject::connect(button, &QToolButton::clicked, [this] { ShowPopup(!list->isVisible()); });
        if (Kind() == CBS_DROPDOWNLIST) edit->setReadOnly(true);
    }
    if (OwnerDraw()) {
        delegate = new OwnerDrawDelegate(this, ODT_COMBOBOX, list);
        delegate->fixedHeight = itemHeight;
        list->setItemDelegate(delegate);
    }
    QObject::connect(edit, &QLineEdit::textEdited, [this](const QString&) {
        if (g_silent) return;
        NotifyCommand(this, CBN_EDITUPDATE);
        FollowEdit();
        NotifyCommand(this, CBN_EDITCHANGE);
    });
}

void ComboWidget::FollowEdit() {
    const QString text = edit->text();
    const int exact = FindRow(list, -1, text, true);
    const int prefix = FindRow(list, -1, text, false);
    list->Select(exact);
    const int caret = exact >= 0 ? exact : std::max(prefix, 0);
    list->SetCaret(caret, false);
    if (caret < list->count()) list->scrollToItem(list->item(caret), QAbstractItemView::PositionAtTop);
}

void ComboWidget::ListNotify(UINT code, bool byKeyboard) {
    if (code == LBN_DBLCLK) {
        NotifyCommand(this, CBN_DBLCLK);
        return;
    }
    if (code != LBN_SELCHANGE) return;
    // A click, or a key while the list is closed, ends the choice first.
    const bool listShown = Kind() == CBS_SIMPLE || list->isVisible();
    if (!byKeyboard || !listShown) {
        NotifyCommand(this, CBN_SELENDOK);
        if (Kind() != CBS_SIMPLE && list->isVisible()) {
            ShowPopup(false);
            NotifyCommand(this, CBN_CLOSEUP);
        }
    }
    NotifyCommand(this, CBN_SELCHANGE);
    // The field shows the chosen item only after the owner heard of the change.
    const int sel = list->Selected();
    SetEditText(sel >= 0 ? list->item(sel)->text() : QString());
    if (edit->hasFocus()) edit->selectAll();
}

void ComboWidget::Relayout() {
    const int w = width();
    if (Kind() == CBS_SIMPLE) {
        edit->setGeometry(0, 0, w, editHeight);
        list->setGeometry(0, editHeight, w, std::max(0, height() - editHeight));
    } else {
        const int bw = editHeight;
        edit->setGeometry(0, 0, std::max(0, w - bw), editHeight);
        button->setGeometry(w - bw, 0, bw, editHeight);
    }
}

void ComboWidget::SetEditText(const QString& text) {
    Silence quiet;
    edit->setText(text);
}

void ComboWidget::ShowPopup(bool show) {
    if (Kind() == CBS_SIMPLE) return;
    if (show) {
        const QPoint below = mapToGlobal(QPoint(0, editHeight));
        list->setGeometry(below.x(), below.y(), width(), std::max(height() - editHeight, 4 * itemHeight));
        list->show();
    } else {
        list->hide();
    }
}

QWidget* CreateControlWidget(const DialogControl& c, QWidget* parent, const DialogBaseUnits& units, const QFont& font) {
    const RECT r = DialogUnitsToPixels(units, c.x, c.y, c.cx, c.cy);
    QWidget* w = nullptr;
    const QString text = QStr(c.text.c_str());
    if (c.className == "BUTTON" || c.className == "BCGGROUP") {
        const DWORD kind = c.style & BS_TYPEMASK;
        if (kind == BS_GROUPBOX || c.className == "BCGGROUP") {
            w = new QGroupBox(text, parent);
        } else if (kind == BS_CHECKBOX || kind == BS_AUTOCHECKBOX || kind == BS_3STATE || kind == BS_AUTO3STATE) {
            auto* b = new QCheckBox(text, parent);
            QObject::connect(b, &QCheckBox::clicked, [b, kind](bool) {
                // Only the automatic kinds change their own state.
                if (kind == BS_CHECKBOX || kind == BS_3STATE) {
                    Silence quiet;
                    b->setChecked(!b->isChecked());
                }
                NotifyCommand(b, BN_CLICKED);
            });
            w = b;
        } else if (kind == BS_RADIOBUTTON || kind == BS_AUTORADIOBUTTON) {
            auto* b = new QRadioButton(text, parent);
            b->setAutoExclusive(kind == BS_AUTORADIOBUTTON);
            QObject::connect(b, &QRadioButton::clicked, [b](bool) { NotifyCommand(b, BN_CLICKED); });
            w = b;
        } else {
            auto* b = new QPushButton(text, parent);
            b->setAutoDefault(false);
            b->setDefault(kind == BS_DEFPUSHBUTTON);
            QObject::connect(b, &QPushButton::clicked, [b](bool) { NotifyCommand(b, BN_CLICKED); });
            w = b;
        }
    } else if (c.className == "STATIC") {
        auto* l = new QLabel(text, parent);
        const DWORD kind = c.style & SS_TYPEMASK;
        Qt::Alignment a = kind == SS_CENTER ? Qt::AlignHCenter : kind == SS_RIGHT ? Qt::AlignRight : Qt::AlignLeft;
        a |= (c.style & SS_CENTERIMAGE) ? Qt::AlignVCenter : Qt::AlignTop;
        l->setAlignment(a);
        l->setWordWrap(kind != SS_LEFTNOWORDWRAP && !(c.style & SS_CENTERIMAGE));
        if ((c.style & SS_SUNKEN) || (c.exStyle & (WS_EX_STATICEDGE | WS_EX_CLIENTEDGE))) {
            l->setFrameStyle(QFrame::Panel | QFrame::Sunken);
            l->setAutoFillBackground(false);
        }
        w = l;
    } else if (c.className == "EDIT") {
        auto* e = new QLineEdit(text, parent);
        e->setFrame((c.style & WS_BORDER) || (c.exStyle & WS_EX_CLIENTEDGE));
        e->setReadOnly(c.style & ES_READONLY);
        QObject::connect(e, &QLineEdit::textChanged, [e](const QString&) {
            NotifyCommand(e, EN_UPDATE);
            NotifyCommand(e, EN_CHANGE);
        });
        w = e;
    } else if (c.className == "LISTBOX") {
        auto* l = new ListBoxWidget(parent, c.style);
        if (c.style & (LBS_OWNERDRAWFIXED | LBS_OWNERDRAWVARIABLE)) l->setItemDelegate(new OwnerDrawDelegate(l, ODT_LISTBOX, l));
        w = l;
    } else if (c.className == "COMBOBOX") {
        w = new ComboWidget(parent, c.style);
    } else if (c.className == "SysListView32") {
        auto* t = new ListViewWidget(parent);
        t->setRootIsDecorated(false);
        t->setItemsExpandable(false);
        t->setUniformRowHeights(true);
        t->setSelectionMode((c.style & LVS_SINGLESEL) ? QAbstractItemView::SingleSelection
                                                      : QAbstractItemView::ExtendedSelection);
        t->setSelectionBehavior(QAbstractItemView::SelectRows);
        t->setHeaderHidden(c.style & LVS_NOCOLUMNHEADER);
        t->header()->setStretchLastSection(false);
        t->header()->setSectionsClickable(true);
        t->setColumnCount(0);
        WireListView(t);
        w = t;
    } else {
        return nullptr;
    }
    // Tab visits the controls with WS_TABSTOP in template order; the others take the focus by a click.
    const Qt::FocusPolicy policy = (c.style & WS_TABSTOP) ? Qt::StrongFocus : Qt::ClickFocus;
    if (auto* combo = dynamic_cast<ComboWidget*>(w)) combo->edit->setFocusPolicy(policy);
    else if (!dynamic_cast<QLabel*>(w) && !dynamic_cast<QGroupBox*>(w)) w->setFocusPolicy(policy);
    w->setFont(font);
    w->setGeometry(ToQRect(r));
    w->setEnabled(!(c.style & WS_DISABLED));
    w->setVisible(c.style & WS_VISIBLE);
    if (auto* combo = dynamic_cast<ComboWidget*>(w)) combo->Relayout();
    return w;
}

}  // namespace mfcimpl

using namespace mfcimpl;

namespace {
ListBoxWidget* ListOf(QWidget* w) {
    if (auto* combo = dynamic_cast<ComboWidget*>(w)) return combo->list;
    return dynamic_cast<ListBoxWidget*>(w);
}

bool IsSorted(const CWnd* wnd, DWORD style) {
    if (dynamic_cast<const CComboBox*>(wnd)) return style & CBS_SORT;
    return style & LBS_SORT;
}

// Shared list operations of list boxes and combo boxes. The caret keeps its
// number and the selection its item, as the list box keeps them.
int ListInsert(CWnd* wnd, ListBoxWidget* list, int index, LPCTSTR text, bool add, DWORD style) {
    if (!list) return -1;
    const QString s = QStr(text);
    int row = index;
    if (add) row = IsSorted(wnd, style) ? SortedRow(list, s) : list->count();
    else if (row < 0 || row > list->count()) row = list->count();
    Silence quiet;
    auto* item = new QListWidgetItem(s);
    item->setData(kDataRole, QVariant::fromValue<qulonglong>(0));
    list->insertItem(row, item);
    list->KeepCaret();
    return row;
}

// Deleting the selected row leaves no selection; rows below it move up with theirs.
int RemoveRow(ListBoxWidget* l, UINT index) {
    if (!l || index >= static_cast<UINT>(l->count())) return -1;
    Silence quiet;
    const int sel = l->Selected();
    QListWidgetItem* kept = sel >= 0 && sel != static_cast<int>(index) ? l->item(sel) : nullptr;
    delete l->takeItem(static_cast<int>(index));
    // Qt hands the selection on with its current row; the list box does not.
    if (!l->MultiSelect()) l->Select(kept ? l->row(kept) : -1);
    l->KeepCaret();
    return l->count();
}

int ListText(ListBoxWidget* l, int index, CString& out) {
    if (!l || index < 0 || index >= l->count()) return LB_ERR;
    out = CStr(l->item(index)->text());
    return out.GetLength();
}

int ListSetData(ListBoxWidget* l, int index, DWORD_PTR data) {
    if (!l || index < 0 || index >= l->count()) return LB_ERR;
    l->item(index)->setData(kDataRole, QVariant::fromValue<qulonglong>(data));
    return 0;
}

DWORD_PTR ListData(ListBoxWidget* l, int index) {
    if (!l || index < 0 || index >= l->count()) return static_cast<DWORD_PTR>(LB_ERR);
    return static_cast<DWORD_PTR>(l->item(index)->data(kDataRole).toULongLong());
}

// LB_SETCURSEL: the caret and the selection go to `index`; -1 clears the
// selection and answers LB_ERR as well; a row that is not there changes nothing.
int ListSetCurSel(ListBoxWidget* l, int index) {
    if (!l || index < -1 || index >= l->count()) return LB_ERR;
    if (index == -1) {
        l->Select(-1);
        return LB_ERR;
    }
    l->SetCaret(index);
    l->Select(index);
    return index;
}

void MeasureNewItem(CWnd* wnd, QListWidgetItem* item, int row, UINT ctlType) {
    if (!wnd->GetParent()) return;
    MEASUREITEMSTRUCT mis{};
    mis.CtlType = ctlType;
    mis.CtlID = static_cast<UINT>(wnd->GetDlgCtrlID());
    mis.itemID = static_cast<UINT>(row);
    mis.itemHeight = static_cast<UINT>(QFontMetrics(wnd->GetWidget()->font()).height());
    mis.itemData = static_cast<ULONG_PTR>(item->data(kDataRole).toULongLong());
    wnd->GetParent()->SendMessage(WM_MEASUREITEM, mis.CtlID, reinterpret_cast<LPARAM>(&mis));
    item->setData(kHeightRole, static_cast<int>(mis.itemHeight));
}
}  // namespace

// ---------------------------------------------------------------- buttons

// Out of line, so that these classes' vtables live in this library alone.
CStatic::~CStatic() = default;
CButton::~CButton() = default;
CEdit::~CEdit() = default;

int CButton::GetCheck() const {
    if (auto* b = dynamic_cast<QAbstractButton*>(m_pWidget)) return b->isChecked() ? BST_CHECKED : BST_UNCHECKED;
    if (auto* g = dynamic_cast<QGroupBox*>(m_pWidget)) return g->isCheckable() && g->isChecked() ? BST_CHECKED : BST_UNCHECKED;
    return BST_UNCHECKED;
}

void CButton::SetCheck(int check) {
    Silence quiet;
    if (auto* b = dynamic_cast<QAbstractButton*>(m_pWidget)) b->setChecked(check == BST_CHECKED);
    else if (auto* g = dynamic_cast<QGroupBox*>(m_pWidget)) {
        if (g->isCheckable()) g->setChecked(check == BST_CHECKED);
    }
}

void CButton::SetTitleCheckBox(BOOL show, int check, BOOL manual) {
    auto* g = dynamic_cast<QGroupBox*>(m_pWidget);
    if (!g) return;
    Silence quiet;
    g->setCheckable(show != 0);
    g->setChecked(check != 0);
    g->setProperty("mfc_manual", manual != 0);
    if (!show || g->property("mfc_wired").toBool()) return;
    g->setProperty("mfc_wired", true);
    QObject::connect(g, &QGroupBox::clicked, g, [g](bool) {
        if (g->property("mfc_manual").toBool()) {
            Silence q;
            g->setChecked(!g->isChecked());
        }
        NotifyCommand(g, BN_CLICKED);
    });
}

// ---------------------------------------------------------------- edits

void CEdit::LimitText(int maxChars) {
    if (auto* e = dynamic_cast<QLineEdit*>(m_pWidget)) SetTypingLimit(e, maxChars);
}

UINT CEdit::GetLimitText() const {
    auto* e = dynamic_cast<QLineEdit*>(m_pWidget);
    return e ? static_cast<UINT>(TypingLimit(e)) : 0;
}

void CEdit::SetSel(int start, int end, BOOL) {
    auto* e = dynamic_cast<QLineEdit*>(m_pWidget);
    if (!e) return;
    if (start == 0 && end == -1) e->selectAll();
    else if (start < 0) e->deselect();
    else e->setSelection(start, std::max(0, end - start));
}

void CEdit::SetReadOnly(BOOL readOnly) {
    if (auto* e = dynamic_cast<QLineEdit*>(m_pWidget)) e->setReadOnly(readOnly);
}

// ---------------------------------------------------------------- list boxes

int CListBox::AddString(LPCTSTR text) {
    ListBoxWidget* l = ListOf(m_pWidget);
    const int row = ListInsert(this, l, -1, text, true, m_dwStyle);
    if (row >= 0 && (m_dwStyle & LBS_OWNERDRAWVARIABLE)) MeasureNewItem(this, l->item(row), row, ODT_LISTBOX);
    return row;
}

int CListBox::InsertString(int index, LPCTSTR text) {
    ListBoxWidget* l = ListOf(m_pWidget);
    const int row = ListInsert(this, l, index, text, false, m_dwStyle);
    if (row >= 0 && (m_dwStyle & LBS_OWNERDRAWVARIABLE)) MeasureNewItem(this, l->item(row), row, ODT_LISTBOX);
    return row;
}

int CListBox::DeleteString(UINT index) {
    return RemoveRow(ListOf(m_pWidget), index);
}

void CListBox::ResetContent() {
    if (ListBoxWidget* l = ListOf(m_pWidget)) {
        Silence quiet;
        l->clear();
        l->KeepCaret();
    }
}

int CListBox::GetCount() const {
    ListBoxWidget* l = ListOf(m_pWidget);
    return l ? l->count() : LB_ERR;
}

int CListBox::GetCurSel() const {
    ListBoxWidget* l = ListOf(m_pWidget);
    return l ? l->Selected() : LB_ERR;
}

int CListBox::SetCurSel(int index) {
    return ListSetCurSel(ListOf(m_pWidget), index);
}

int CListBox::GetCaretIndex() const {
    ListBoxWidget* l = ListOf(m_pWidget);
    return l ? l->Caret() : LB_ERR;
}

int CListBox::SetCaretIndex(int index, BOOL scroll) {
    ListBoxWidget* l = ListOf(m_pWidget);
    if (!l || index < 0 || index >= l->count()) return LB_ERR;
    l->SetCaret(index, scroll);
    return 0;
}

int CListBox::GetText(int index, CString& out) const {
    return ListText(ListOf(m_pWidget), index, out);
}

int CListBox::GetTextLen(int index) const {
    CString s;
    return GetText(index, s);
}

int CListBox::SetItemData(int index, DWORD_PTR data) {
    return ListSetData(ListOf(m_pWidget), index, data);
}

DWORD_PTR CListBox::GetItemData(int index) const {
    return ListData(ListOf(m_pWidget), index);
}

int CListBox::FindString(int startAfter, LPCTSTR text) const {
    ListBoxWidget* l = ListOf(m_pWidget);
    return l ? FindRow(l, startAfter, QStr(text), false) : LB_ERR;
}

int CListBox::FindStringExact(int startAfter, LPCTSTR text) const {
    ListBoxWidget* l = ListOf(m_pWidget);
    return l ? FindRow(l, startAfter, QStr(text), true) : LB_ERR;
}

int CListBox::SelectString(int startAfter, LPCTSTR text) {
    const int row = FindString(startAfter, text);
    if (row >= 0) SetCurSel(row);
    return row;
}

int CListBox::GetTopIndex() const {
    ListBoxWidget* l = ListOf(m_pWidget);
    if (!l || l->count() == 0) return 0;
    QListWidgetItem* it = l->itemAt(2, 2);
    return it ? l->row(it) : 0;
}

int CListBox::SetTopIndex(int index) {
    ListBoxWidget* l = ListOf(m_pWidget);
    if (!l || index < 0 || index >= l->count()) return LB_ERR;
    l->scrollToItem(l->item(index), QAbstractItemView::PositionAtTop);
    return 0;
}

LRESULT CListBox::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case LB_GETCURSEL: return GetCurSel();
    case LB_SETCURSEL: return SetCurSel(static_cast<int>(wParam));
    case LB_GETCARETINDEX: return GetCaretIndex();
    case LB_SETCARETINDEX: return SetCaretIndex(static_cast<int>(wParam), !lParam);
    default: return CWnd::WindowProc(msg, wParam, lParam);
    }
}

// ---------------------------------------------------------------- combo boxes

int CComboBox::AddString(LPCTSTR text) {
    ListBoxWidget* l = ListOf(m_pWidget);
    const int row = ListInsert(this, l, -1, text, true, m_dwStyle);
    if (row >= 0 && (m_dwStyle & CBS_OWNERDRAWVARIABLE)) MeasureNewItem(this, l->item(row), row, ODT_COMBOBOX);
    return row;
}

int CComboBox::InsertString(int index, LPCTSTR text) {
    ListBoxWidget* l = ListOf(m_pWidget);
    const int row = ListInsert(this, l, index, text, false, m_dwStyle);
    if (row >= 0 && (m_dwStyle & CBS_OWNERDRAWVARIABLE)) MeasureNewItem(this, l->item(row), row, ODT_COMBOBOX);
    return row;
}

int CComboBox::DeleteString(UINT index) {
    return RemoveRow(ListOf(m_pWidget), index);
}

void CComboBox::ResetContent() {
    auto* combo = dynamic_cast<ComboWidget*>(m_pWidget);
    if (!combo) return;
    Silence quiet;
    combo->list->clear();
    combo->list->KeepCaret();
    combo->edit->clear();
}

int CComboBox::GetCount() const {
    ListBoxWidget* l = ListOf(m_pWidget);
    return l ? l->count() : CB_ERR;
}

int CComboBox::GetCurSel() const {
    ListBoxWidget* l = ListOf(m_pWidget);
    return l ? l->Selected() : CB_ERR;
}

int CComboBox::SetCurSel(int index) {
    auto* combo = dynamic_cast<ComboWidget*>(m_pWidget);
    if (!combo) return CB_ERR;
    // Out of range clears the selection, as CB_SETCURSEL does; the field shows the selected item.
    const int result = ListSetCurSel(combo->list, index < combo->list->count() ? index : -1);
    const int sel = combo->list->Selected();
    combo->SetEditText(sel >= 0 ? combo->list->item(sel)->text() : QString());
    return result;
}

int CComboBox::GetLBText(int index, CString& out) const {
    return ListText(ListOf(m_pWidget), index, out);
}

void CComboBox::GetLBText(int index, LPWSTR out) const {
    CString s;
    if (out && GetLBText(index, s) >= 0) std::copy(s.GetString(), s.GetString() + s.GetLength() + 1, out);
}

int CComboBox::GetLBTextLen(int index) const {
    CString s;
    return GetLBText(index, s);
}

int CComboBox::SetItemData(int index, DWORD_PTR data) {
    return ListSetData(ListOf(m_pWidget), index, data);
}

DWORD_PTR CComboBox::GetItemData(int index) const {
    return ListData(ListOf(m_pWidget), index);
}

int CComboBox::FindString(int startAfter, LPCTSTR text) const {
    ListBoxWidget* l = ListOf(m_pWidget);
    return l ? FindRow(l, startAfter, QStr(text), false) : CB_ERR;
}

int CComboBox::FindStringExact(int startAfter, LPCTSTR text) const {
    ListBoxWidget* l = ListOf(m_pWidget);
    return l ? FindRow(l, startAfter, QStr(text), true) : CB_ERR;
}

int CComboBox::SelectString(int startAfter, LPCTSTR text) {
    const int row = FindString(startAfter, text);
    if (row >= 0) SetCurSel(row);
    return row;
}

int CComboBox::SetItemHeight(int index, UINT height) {
    auto* combo = dynamic_cast<ComboWidget*>(m_pWidget);
    if (!combo) return CB_ERR;
    if (index < 0) {
        combo->editHeight = static_cast<int>(height);
        combo->Relayout();
        return 0;
    }
    if (m_dwStyle & CBS_OWNERDRAWVARIABLE) {
        if (index >= combo->list->count()) return CB_ERR;
        combo->list->item(index)->setData(kHeightRole, static_cast<int>(height));
    } else {
        combo->itemHeight = static_cast<int>(height);
        if (combo->delegate) combo->delegate->fixedHeight = combo->itemHeight;
    }
    combo->list->doItemsLayout();
    return 0;
}

int CComboBox::GetItemHeight(int index) const {
    auto* combo = dynamic_cast<ComboWidget*>(m_pWidget);
    if (!combo) return CB_ERR;
    if (index < 0) return combo->editHeight;
    if (m_dwStyle & CBS_OWNERDRAWVARIABLE) {
        if (index >= combo->list->count()) return CB_ERR;
        return combo->list->item(index)->data(kHeightRole).toInt();
    }
    return combo->itemHeight;
}

BOOL CComboBox::LimitText(int maxChars) {
    auto* combo = dynamic_cast<ComboWidget*>(m_pWidget);
    if (!combo) return FALSE;
    SetTypingLimit(combo->edit, maxChars);
    return TRUE;
}

void CComboBox::ShowDropDown(BOOL show) {
    if (auto* combo = dynamic_cast<ComboWidget*>(m_pWidget)) combo->ShowPopup(show);
}

BOOL CComboBox::GetDroppedState() const {
    auto* combo = dynamic_cast<ComboWidget*>(m_pWidget);
    return combo && combo->Kind() != CBS_SIMPLE && combo->list->isVisible();
}

DWORD CComboBox::GetEditSel() const {
    auto* combo = dynamic_cast<ComboWidget*>(m_pWidget);
    if (!combo) return 0;
    const int start = combo->edit->hasSelectedText() ? combo->edit->selectionStart() : combo->edit->cursorPosition();
    const int end = start + combo->edit->selectedText().size();
    return static_cast<DWORD>(MAKELONG(start, end));
}

BOOL CComboBox::SetEditSel(int start, int end) {
    auto* combo = dynamic_cast<ComboWidget*>(m_pWidget);
    if (!combo) return FALSE;
    if (start < 0) combo->edit->deselect();
    else combo->edit->setSelection(start, end < 0 ? combo->edit->text().size() - start : end - start);
    return TRUE;
}

BOOL CComboBox::OnChildNotify(UINT msg, WPARAM, LPARAM lParam, LRESULT* result) {
    switch (msg) {
    case WM_DRAWITEM:
        DrawItem(reinterpret_cast<LPDRAWITEMSTRUCT>(lParam));
        return TRUE;
    case WM_MEASUREITEM:
        MeasureItem(reinterpret_cast<LPMEASUREITEMSTRUCT>(lParam));
        return TRUE;
    case WM_COMPAREITEM:
        if (result) *result = CompareItem(reinterpret_cast<LPCOMPAREITEMSTRUCT>(lParam));
        return TRUE;
    default:
        return FALSE;
    }
}

LRESULT CComboBox::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case CB_GETCOUNT: return GetCount();
    case CB_GETCURSEL: return GetCurSel();
    case CB_SETCURSEL: return SetCurSel(static_cast<int>(wParam));
    case CB_SETITEMHEIGHT: return SetItemHeight(static_cast<int>(wParam), static_cast<UINT>(lParam));
    case CB_GETITEMHEIGHT: return GetItemHeight(static_cast<int>(wParam));
    default: return CWnd::WindowProc(msg, wParam, lParam);
    }
}
