// The report-view list control over a QTreeWidget. Item states (selected,
// focused, state image) are compared with the last state the parent was told
// about, so user input and API calls send LVN_ITEMCHANGED alike, as the
// Windows list view does for both, in the order it sends them.
#include <QHeaderView>
#include <QMouseEvent>
#include <QScrollBar>
#include <QTreeWidget>
#include <algorithm>
#include <functional>
#include <vector>

#include "qtimpl.h"

namespace mfcimpl {

namespace {
constexpr int kNotifiedRole = Qt::UserRole + 3;
constexpr int kCheckBoxWidth = 18;  // indicator plus its margin at the start of column 0

UINT LiveState(QTreeWidget* t, QTreeWidgetItem* item) {
    UINT s = item->data(0, kStateRole).toUInt() & LVIS_STATEIMAGEMASK;
    if (item->isSelected()) s |= LVIS_SELECTED;
    if (t->currentItem() == item && t->selectionModel()->currentIndex().isValid()) s |= LVIS_FOCUSED;
    return s;
}

QVector<int> ColumnFormats(const QTreeWidget* t) {
    QVector<int> f;
    for (const QVariant& v : t->property("mfc_colfmt").toList()) f.push_back(v.toInt());
    return f;
}

void SetColumnFormats(QTreeWidget* t, const QVector<int>& f) {
    QVariantList l;
    for (int v : f) l.push_back(v);
    t->setProperty("mfc_colfmt", l);
}

Qt::Alignment AlignmentOf(int fmt) {
    switch (fmt & 3) {
    case LVCFMT_RIGHT: return Qt::AlignRight | Qt::AlignVCenter;
    case LVCFMT_CENTER: return Qt::AlignHCenter | Qt::AlignVCenter;
    default: return Qt::AlignLeft | Qt::AlignVCenter;
    }
}

void ApplyCheckDisplay(QTreeWidget* t, QTreeWidgetItem* item) {
    const bool boxes = t->property("mfc_checkboxes").toBool();
    Qt::ItemFlags fl = item->flags();
    if (boxes) {
        item->setFlags(fl | Qt::ItemIsUserCheckable);
        const UINT img = (item->data(0, kStateRole).toUInt() & LVIS_STATEIMAGEMASK) >> 12;
        item->setCheckState(0, img == 2 ? Qt::Checked : Qt::Unchecked);
    } else {
        item->setFlags(fl & ~Qt::ItemIsUserCheckable);
        item->setData(0, Qt::CheckStateRole, QVariant());
    }
}
}  // namespace

namespace {
// Reports one row's change from what the parent last heard to `next`.
void TellRow(QTreeWidget* t, int row, UINT next, bool notify) {
    QTreeWidgetItem* item = t->topLevelItem(row);
    const UINT told = item->data(0, kNotifiedRole).toUInt();
    if (told == next) return;
    {
        Silence quiet;
        item->setData(0, kNotifiedRole, next);
    }
    if (!notify || g_silent) return;
    NMLISTVIEW nm{};
    nm.iItem = row;
    nm.iSubItem = 0;
    nm.uNewState = next;
    nm.uOldState = told;
    nm.uChanged = LVIF_STATE;
    nm.lParam = static_cast<LPARAM>(item->data(0, kDataRole).toULongLong());
    NotifyParent(t, &nm.hdr, LVN_ITEMCHANGED);
}

enum class Step { LoseSelection, LoseFocus, Rest };

// One step over the rows a handler left in place: a handler may change the
// list while it hears of a change, so every step reads the states afresh.
void TellStep(QTreeWidget* t, const QPersistentModelIndex& at, Step step, bool notify) {
    if (!at.isValid()) return;
    const int row = at.row();
    QTreeWidgetItem* item = t->topLevelItem(row);
    const UINT told = item->data(0, kNotifiedRole).toUInt();
    const UINT now = LiveState(t, item);
    UINT next = now;
    if (step == Step::LoseSelection) {
        if (!(told & LVIS_SELECTED) || (now & LVIS_SELECTED)) return;
        next = told & ~LVIS_SELECTED;
    } else if (step == Step::LoseFocus) {
        if (!(told & LVIS_FOCUSED) || (now & LVIS_FOCUSED)) return;
        next = told & ~LVIS_FOCUSED;
    }
    TellRow(t, row, next, notify);
}
}  // namespace

// The order of the list view: every other row loses its selection, then the
// old focus row loses the focus, then the row that takes the focus hears of
// all it gained; any row still differing follows, top to bottom.
void SyncListStates(QTreeWidget* t, bool notify) {
    QAbstractItemModel* model = t->model();
    std::vector<QPersistentModelIndex> rows;
    QPersistentModelIndex target;
    for (int row = 0; row < t->topLevelItemCount(); ++row) {
        QTreeWidgetItem* item = t->topLevelItem(row);
        const UINT told = item->data(0, kNotifiedRole).toUInt();
        if (told == LiveState(t, item)) continue;
        rows.emplace_back(model->index(row, 0));
        if ((LiveState(t, item) & LVIS_FOCUSED) && !(told & LVIS_FOCUSED)) target = rows.back();
    }
    for (Step step : {Step::LoseSelection, Step::LoseFocus}) {
        for (const QPersistentModelIndex& at : rows)
            if (at != target) TellStep(t, at, step, notify);
    }
    TellStep(t, target, Step::Rest, notify);
    for (const QPersistentModelIndex& at : rows) TellStep(t, at, Step::Rest, notify);
}

// A safety net for selection changes made outside the input handlers below
// (Qt's own timers while dragging); the handlers report synchronously.
void ScheduleSync(QTreeWidget* t) {
    if (g_silent || t->property("mfc_sync_pending").toBool()) return;
    t->setProperty("mfc_sync_pending", true);
    QMetaObject::invokeMethod(
        t,
        [t] {
            t->setProperty("mfc_sync_pending", false);
            SyncListStates(t, true);
        },
        Qt::QueuedConnection);
}

bool ListViewWidget::viewportEvent(QEvent* e) {
    const bool handled = QTreeWidget::viewportEvent(e);
    switch (e->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove: SyncListStates(this, true); break;
    default: break;
    }
    return handled;
}

void ListViewWidget::keyPressEvent(QKeyEvent* e) {
    QTreeWidget::keyPressEvent(e);
    SyncListStates(this, true);
}

void ListViewWidget::focusInEvent(QFocusEvent* e) {
    const bool hadCurrent = currentIndex().isValid();
    QTreeWidget::focusInEvent(e);
    // Gaining the focus gives no row the focus state; Qt's view would give it to the first.
    if (!hadCurrent && currentIndex().isValid()) {
        Silence quiet;
        selectionModel()->setCurrentIndex(QModelIndex(), QItemSelectionModel::NoUpdate);
    }
}

namespace {
// Double-clicks anywhere in the rows' area, on a row or not, as the list view reports them.
class DoubleClickFilter : public QObject {
public:
    DoubleClickFilter(QTreeWidget* t, std::function<void(const QModelIndex&)> fn) : QObject(t), m_tree(t), m_fn(std::move(fn)) {}
    bool eventFilter(QObject*, QEvent* ev) override {
        if (ev->type() == QEvent::MouseButtonDblClick)
            m_fn(m_tree->indexAt(static_cast<QMouseEvent*>(ev)->pos()));
        return false;
    }

private:
    QTreeWidget* m_tree;
    std::function<void(const QModelIndex&)> m_fn;
};
}  // namespace

void WireListView(QTreeWidget* t) {
    QObject::connect(t->selectionModel(), &QItemSelectionModel::selectionChanged, t,
                     [t](const QItemSelection&, const QItemSelection&) { ScheduleSync(t); });
    QObject::connect(t->selectionModel(), &QItemSelectionModel::currentChanged, t,
                     [t](const QModelIndex&, const QModelIndex&) { ScheduleSync(t); });
    QObject::connect(t, &QTreeWidget::itemChanged, t, [t](QTreeWidgetItem* item, int column) {
        if (g_silent || column != 0 || !t->property("mfc_checkboxes").toBool()) return;
        // Only a check box that changed its state is news.
        const UINT img = item->checkState(0) == Qt::Checked ? 2u : 1u;
        const UINT old = item->data(0, kStateRole).toUInt();
        if (((old & LVIS_STATEIMAGEMASK) >> 12) == img) return;
        const UINT s = (old & ~LVIS_STATEIMAGEMASK) | (img << 12);
        {
            Silence quiet;
            item->setData(0, kStateRole, s);
        }
        SyncListStates(t, true);
    });
    auto activate = [t](const QModelIndex& index, UINT code) {
        if (g_silent) return;
        NMITEMACTIVATE nm{};
        nm.iItem = index.isValid() ? index.row() : -1;
        nm.iSubItem = index.isValid() ? index.column() : 0;
        const DWORD pos = GetMessagePos();
        QPoint p = t->mapFromGlobal(QPoint(static_cast<short>(LOWORD(pos)), static_cast<short>(HIWORD(pos))));
        nm.ptAction = POINT{p.x(), p.y()};
        NotifyParent(t, &nm.hdr, code);
    };
    QObject::connect(t, &QTreeWidget::clicked, t, [activate](const QModelIndex& i) { activate(i, NM_CLICK); });
    t->viewport()->installEventFilter(new DoubleClickFilter(t, [activate](const QModelIndex& i) { activate(i, NM_DBLCLK); }));
    QObject::connect(t->header(), &QHeaderView::sectionClicked, t, [t](int section) {
        if (g_silent) return;
        NMLISTVIEW nm{};
        nm.iItem = -1;
        nm.iSubItem = section;
        NotifyParent(t, &nm.hdr, LVN_COLUMNCLICK);
    });
}

}  // namespace mfcimpl

using namespace mfcimpl;

namespace {
QTreeWidget* TreeOf(const CWnd* w) {
    return dynamic_cast<QTreeWidget*>(w->GetWidget());
}

QTreeWidgetItem* ItemAt(const CWnd* w, int row) {
    QTreeWidget* t = TreeOf(w);
    if (!t || row < 0 || row >= t->topLevelItemCount()) return nullptr;
    return t->topLevelItem(row);
}
}  // namespace

void CListCtrl::PreSubclassWindow() {
    if (QTreeWidget* t = TreeOf(this)) m_dwLvExStyle = t->property("mfc_exstyle").toUInt();
}

int CListCtrl::InsertColumn(int col, LPCTSTR heading, int format, int width, int) {
    QTreeWidget* t = TreeOf(this);
    if (!t || col < 0) return -1;
    Silence quiet;
    const int n = t->columnCount();
    col = std::min(col, n);
    QStringList headers;
    for (int c = 0; c < n; ++c) headers << t->headerItem()->text(c);
    headers.insert(col, QStr(heading));
    QVector<int> widths;
    for (int c = 0; c < n; ++c) widths << t->columnWidth(c);
    widths.insert(col, width >= 0 ? width : 60);
    QVector<int> formats = ColumnFormats(t);
    formats.resize(n);
    formats.insert(col, format);
    SetColumnFormats(t, formats);
    t->setColumnCount(n + 1);
    // Sub-item texts move one column right of the new one.
    for (int row = 0; row < t->topLevelItemCount(); ++row) {
        QTreeWidgetItem* item = t->topLevelItem(row);
        for (int c = n; c > col; --c) {
            item->setText(c, item->text(c - 1));
            item->setTextAlignment(c, item->textAlignment(c - 1));
        }
        item->setText(col, QString());
        item->setTextAlignment(col, AlignmentOf(format));
    }
    t->setHeaderLabels(headers);
    for (int c = 0; c <= n; ++c) {
        t->setColumnWidth(c, widths[c]);
        t->headerItem()->setTextAlignment(c, AlignmentOf(formats[c]));
    }
    return col;
}

BOOL CListCtrl::DeleteColumn(int col) {
    QTreeWidget* t = TreeOf(this);
    if (!t || col < 0 || col >= t->columnCount()) return FALSE;
    Silence quiet;
    const int n = t->columnCount();
    QStringList headers;
    QVector<int> widths;
    for (int c = 0; c < n; ++c) {
        if (c == col) continue;
        headers << t->headerItem()->text(c);
        widths << t->columnWidth(c);
    }
    QVector<int> formats = ColumnFormats(t);
    formats.resize(n);
    formats.remove(col);
    SetColumnFormats(t, formats);
    for (int row = 0; row < t->topLevelItemCount(); ++row) {
        QTreeWidgetItem* item = t->topLevelItem(row);
        for (int c = col; c + 1 < n; ++c) {
            item->setText(c, item->text(c + 1));
            item->setTextAlignment(c, item->textAlignment(c + 1));
        }
    }
    t->setColumnCount(n - 1);
    t->setHeaderLabels(headers);
    for (int c = 0; c < n - 1; ++c) t->setColumnWidth(c, widths[c]);
    return TRUE;
}

int CListCtrl::GetColumnCount() const {
    QTreeWidget* t = TreeOf(this);
    return t ? t->columnCount() : 0;
}

int CListCtrl::GetColumnWidth(int col) const {
    QTreeWidget* t = TreeOf(this);
    return t && col >= 0 && col < t->columnCount() ? t->columnWidth(col) : 0;
}

BOOL CListCtrl::SetColumnWidth(int col, int width) {
    QTreeWidget* t = TreeOf(this);
    if (!t || col < 0 || col >= t->columnCount()) return FALSE;
    t->setColumnWidth(col, std::max(0, width));
    return TRUE;
}

int CListCtrl::InsertItem(int item, LPCTSTR text) {
    QTreeWidget* t = TreeOf(this);
    if (!t || item < 0) return -1;
    const int row = std::min(item, t->topLevelItemCount());
    auto* it = new QTreeWidgetItem;
    it->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    it->setData(0, kDataRole, QVariant::fromValue<qulonglong>(0));
    const bool boxes = (m_dwLvExStyle & LVS_EX_CHECKBOXES) != 0;
    it->setData(0, kStateRole, boxes ? (1u << 12) : 0u);
    it->setData(0, kNotifiedRole, boxes ? (1u << 12) : 0u);
    it->setText(0, QStr(text));
    const QVector<int> formats = ColumnFormats(t);
    for (int c = 0; c < t->columnCount(); ++c) it->setTextAlignment(c, AlignmentOf(c < formats.size() ? formats[c] : 0));
    {
        Silence quiet;
        t->insertTopLevelItem(row, it);
        ApplyCheckDisplay(t, it);
    }
    SyncListStates(t, false);
    return row;
}

BOOL CListCtrl::SetItemText(int item, int subItem, LPCTSTR text) {
    QTreeWidgetItem* it = ItemAt(this, item);
    if (!it || subItem < 0 || subItem >= TreeOf(this)->columnCount()) return FALSE;
    Silence quiet;
    it->setText(subItem, QStr(text));
    return TRUE;
}

CString CListCtrl::GetItemText(int item, int subItem) const {
    QTreeWidgetItem* it = ItemAt(this, item);
    return it && subItem >= 0 ? CStr(it->text(subItem)) : CString();
}

int CListCtrl::GetItemCount() const {
    QTreeWidget* t = TreeOf(this);
    return t ? t->topLevelItemCount() : 0;
}

BOOL CListCtrl::DeleteItem(int item) {
    QTreeWidget* t = TreeOf(this);
    if (!ItemAt(this, item)) return FALSE;
    {
        Silence quiet;
        delete t->takeTopLevelItem(item);
    }
    SyncListStates(t, false);
    return TRUE;
}

BOOL CListCtrl::DeleteAllItems() {
    QTreeWidget* t = TreeOf(this);
    if (!t) return FALSE;
    Silence quiet;
    t->clear();
    return TRUE;
}

BOOL CListCtrl::SetItemState(int item, UINT state, UINT mask) {
    QTreeWidget* t = TreeOf(this);
    if (!t) return FALSE;
    // Item -1 applies the change to every row, as LVM_SETITEMSTATE does.
    const int first = item < 0 ? 0 : item;
    const int last = item < 0 ? t->topLevelItemCount() - 1 : item;
    if (item >= 0 && !ItemAt(this, item)) return FALSE;
    {
        Silence quiet;
        for (int row = first; row <= last; ++row) {
            QTreeWidgetItem* it = t->topLevelItem(row);
            if (mask & LVIS_STATEIMAGEMASK) {
                const UINT s = (it->data(0, kStateRole).toUInt() & ~LVIS_STATEIMAGEMASK) | (state & LVIS_STATEIMAGEMASK);
                it->setData(0, kStateRole, s);
                ApplyCheckDisplay(t, it);
            }
            if (mask & LVIS_SELECTED) it->setSelected((state & LVIS_SELECTED) != 0);
            if (mask & LVIS_FOCUSED) {
                if (state & LVIS_FOCUSED) {
                    t->setCurrentItem(it, 0, QItemSelectionModel::NoUpdate);
                } else if (t->currentItem() == it) {
                    t->selectionModel()->setCurrentIndex(QModelIndex(), QItemSelectionModel::NoUpdate);
                }
            }
        }
    }
    SyncListStates(t, true);
    return TRUE;
}

UINT CListCtrl::GetItemState(int item, UINT mask) const {
    QTreeWidgetItem* it = ItemAt(this, item);
    return it ? (LiveState(TreeOf(this), it) & mask) : 0;
}

BOOL CListCtrl::SetCheck(int item, BOOL check) {
    return SetItemState(item, (check ? 2u : 1u) << 12, LVIS_STATEIMAGEMASK);
}

BOOL CListCtrl::GetCheck(int item) const {
    return ((GetItemState(item, LVIS_STATEIMAGEMASK) >> 12) - 1) == 1 ? TRUE : FALSE;
}

int CListCtrl::GetNextItem(int start, int flags) const {
    QTreeWidget* t = TreeOf(this);
    if (!t) return -1;
    const UINT want = (flags & LVNI_SELECTED ? LVIS_SELECTED : 0) | (flags & LVNI_FOCUSED ? LVIS_FOCUSED : 0);
    for (int row = start < 0 ? 0 : start + 1; row < t->topLevelItemCount(); ++row) {
        if ((LiveState(t, t->topLevelItem(row)) & want) == want) return row;
    }
    return -1;
}

POSITION CListCtrl::GetFirstSelectedItemPosition() const {
    const int row = GetNextItem(-1, LVNI_SELECTED);
    return row < 0 ? nullptr : reinterpret_cast<POSITION>(static_cast<intptr_t>(row) + 1);
}

int CListCtrl::GetNextSelectedItem(POSITION& pos) const {
    const int row = static_cast<int>(reinterpret_cast<intptr_t>(pos)) - 1;
    const int next = GetNextItem(row, LVNI_SELECTED);
    pos = next < 0 ? nullptr : reinterpret_cast<POSITION>(static_cast<intptr_t>(next) + 1);
    return row;
}

UINT CListCtrl::GetSelectedCount() const {
    QTreeWidget* t = TreeOf(this);
    return t ? static_cast<UINT>(t->selectedItems().size()) : 0;
}

DWORD CListCtrl::SetExtendedStyle(DWORD exStyle) {
    const DWORD old = m_dwLvExStyle;
    m_dwLvExStyle = exStyle;
    QTreeWidget* t = TreeOf(this);
    if (!t) return old;
    t->setProperty("mfc_exstyle", static_cast<uint>(exStyle));
    const bool boxes = (exStyle & LVS_EX_CHECKBOXES) != 0;
    Silence quiet;
    if (boxes != t->property("mfc_checkboxes").toBool()) {
        t->setProperty("mfc_checkboxes", boxes);
        for (int row = 0; row < t->topLevelItemCount(); ++row) {
            QTreeWidgetItem* it = t->topLevelItem(row);
            // Turning check boxes on gives every row the unchecked image.
            if (boxes && !(it->data(0, kStateRole).toUInt() & LVIS_STATEIMAGEMASK)) {
                it->setData(0, kStateRole, it->data(0, kStateRole).toUInt() | (1u << 12));
                it->setData(0, kNotifiedRole, it->data(0, kNotifiedRole).toUInt() | (1u << 12));
            }
            ApplyCheckDisplay(t, it);
        }
    }
    t->setSelectionBehavior((exStyle & LVS_EX_FULLROWSELECT) ? QAbstractItemView::SelectRows
                                                             : QAbstractItemView::SelectItems);
    // A style sheet on items replaces the native selection painting, so it names that too.
    t->setStyleSheet((exStyle & LVS_EX_GRIDLINES)
                         ? QStringLiteral("QTreeView::item { border-right: 1px solid #d8d8d8; border-bottom: 1px solid #d8d8d8; }"
                                          "QTreeView::item:selected { background: #0078d7; color: white; }")
                         : QString());
    return old;
}

int CListCtrl::HitTest(LVHITTESTINFO* info) const {
    if (!info) return -1;
    info->iItem = -1;
    info->iSubItem = 0;
    info->flags = LVHT_NOWHERE;
    QTreeWidget* t = TreeOf(this);
    if (!t) return -1;
    const QPoint vp = t->viewport()->mapFrom(t, QPoint(info->pt.x, info->pt.y));
    if (!t->viewport()->rect().contains(vp)) return -1;
    QTreeWidgetItem* it = t->itemAt(vp);
    if (!it) return -1;
    info->iItem = t->indexOfTopLevelItem(it);
    info->iSubItem = std::max(0, t->columnAt(vp.x()));
    const int col0Left = t->header()->sectionViewportPosition(0);
    const bool onBox = (m_dwLvExStyle & LVS_EX_CHECKBOXES) && vp.x() >= col0Left && vp.x() < col0Left + kCheckBoxWidth;
    info->flags = onBox ? LVHT_ONITEMSTATEICON : LVHT_ONITEMLABEL;
    return info->iItem;
}

int CListCtrl::HitTest(POINT pt, UINT* flags) const {
    LVHITTESTINFO info{};
    info.pt = pt;
    const int row = HitTest(&info);
    if (flags) *flags = info.flags;
    return row;
}

BOOL CListCtrl::SetItemData(int item, DWORD_PTR data) {
    QTreeWidgetItem* it = ItemAt(this, item);
    if (!it) return FALSE;
    Silence quiet;
    it->setData(0, kDataRole, QVariant::fromValue<qulonglong>(data));
    return TRUE;
}

DWORD_PTR CListCtrl::GetItemData(int item) const {
    QTreeWidgetItem* it = ItemAt(this, item);
    return it ? static_cast<DWORD_PTR>(it->data(0, kDataRole).toULongLong()) : 0;
}

BOOL CListCtrl::EnsureVisible(int item, BOOL) {
    QTreeWidgetItem* it = ItemAt(this, item);
    if (!it) return FALSE;
    TreeOf(this)->scrollToItem(it);
    return TRUE;
}

BOOL CListCtrl::GetItemRect(int item, LPRECT rect, UINT) const {
    QTreeWidgetItem* it = ItemAt(this, item);
    if (!it || !rect) return FALSE;
    QTreeWidget* t = TreeOf(this);
    QRect r = t->visualItemRect(it);
    r.setWidth(std::max(r.width(), t->header()->length()));
    r.moveTopLeft(t->viewport()->mapTo(t, r.topLeft()));
    *rect = ToRect(r);
    return TRUE;
}

int CListCtrl::GetTopIndex() const {
    QTreeWidget* t = TreeOf(this);
    if (!t) return 0;
    QTreeWidgetItem* it = t->itemAt(QPoint(1, 1));
    return it ? t->indexOfTopLevelItem(it) : 0;
}

BOOL CListCtrl::SortItems(int (*compare)(LPARAM, LPARAM, LPARAM), DWORD_PTR data) {
    QTreeWidget* t = TreeOf(this);
    if (!t || !compare) return FALSE;
    Silence quiet;
    QTreeWidgetItem* current = t->currentItem();
    std::vector<std::pair<QTreeWidgetItem*, bool>> rows;
    while (t->topLevelItemCount() > 0) {
        QTreeWidgetItem* it = t->topLevelItem(0);
        rows.emplace_back(it, it->isSelected());
        t->takeTopLevelItem(0);
    }
    std::stable_sort(rows.begin(), rows.end(), [&](const auto& a, const auto& b) {
        return compare(static_cast<LPARAM>(a.first->data(0, kDataRole).toULongLong()),
                       static_cast<LPARAM>(b.first->data(0, kDataRole).toULongLong()), static_cast<LPARAM>(data)) < 0;
    });
    for (auto& r : rows) t->addTopLevelItem(r.first);
    for (auto& r : rows) r.first->setSelected(r.second);
    if (current) t->setCurrentItem(current, 0, QItemSelectionModel::NoUpdate);
    return TRUE;
}
