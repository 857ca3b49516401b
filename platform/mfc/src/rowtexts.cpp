#include "rowtexts.h"

#include <algorithm>

namespace mfcimpl {
namespace {
bool InOrder(const QString& a, const QString& b) { return QString::compare(a, b, Qt::CaseInsensitive) <= 0; }

const char kName[] = "mfcimpl::RowTexts";
}  // namespace

RowTexts& RowTexts::Of(QListWidget* list) {
    // Found by name: without a meta-object of its own, a cast by type would take any child.
    QObject* texts = list->findChild<QObject*>(QLatin1String(kName), Qt::FindDirectChildrenOnly);
    return texts ? *static_cast<RowTexts*>(texts) : *new RowTexts(list);
}

RowTexts::RowTexts(QListWidget* list) : QObject(list), m_list(list) {
    setObjectName(QLatin1String(kName));
    const QAbstractItemModel* model = list->model();
    connect(model, &QAbstractItemModel::rowsInserted, this,
            [this](const QModelIndex&, int first, int last) { Inserted(first, last); });
    connect(model, &QAbstractItemModel::rowsRemoved, this, [this](const QModelIndex&, int first, int last) {
        // Taking rows out leaves the others in their order.
        if (m_valid) m_texts.erase(m_texts.begin() + first, m_texts.begin() + last + 1);
    });
    connect(model, &QAbstractItemModel::dataChanged, this,
            [this](const QModelIndex&, const QModelIndex&, const QVector<int>& roles) {
                if (roles.isEmpty() || roles.contains(Qt::DisplayRole)) m_valid = false;
            });
    // Anything else that reorders or replaces rows: read them again when next asked.
    connect(model, &QAbstractItemModel::modelReset, this, [this] { m_valid = false; });
    connect(model, &QAbstractItemModel::layoutChanged, this, [this] { m_valid = false; });
    connect(model, &QAbstractItemModel::rowsMoved, this, [this] { m_valid = false; });
}

void RowTexts::Inserted(int first, int last) {
    if (!m_valid) return;
    for (int row = first; row <= last; ++row) m_texts.insert(row, m_list->item(row)->text());
    const int n = m_texts.size();
    if (m_sorted)
        for (int row = std::max(first, 1); row <= std::min(last + 1, n - 1); ++row)
            if (!InOrder(m_texts[row - 1], m_texts[row])) m_sorted = false;
}

void RowTexts::Refresh() {
    if (m_valid) return;
    m_texts.clear();
    m_sorted = true;
    for (int row = 0; row < m_list->count(); ++row) {
        m_texts.append(m_list->item(row)->text());
        if (row > 0 && !InOrder(m_texts[row - 1], m_texts[row])) m_sorted = false;
    }
    m_valid = true;
}

const QStringList& RowTexts::Texts() {
    Refresh();
    return m_texts;
}

bool RowTexts::Sorted() {
    Refresh();
    return m_sorted;
}

}  // namespace mfcimpl
