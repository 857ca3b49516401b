// The texts of a list widget's rows, kept in step with its model. Searches
// and sorted insertions read them instead of each item through its QVariant,
// and a list whose rows are in order is searched by halves, so filling a
// sorted list costs n log n rather than n².
#pragma once

#include <QListWidget>
#include <QObject>
#include <QStringList>

namespace mfcimpl {

class RowTexts : public QObject {
public:
    // The one kept for `list`, made on first use.
    static RowTexts& Of(QListWidget* list);

    const QStringList& Texts();
    // Whether the rows are in the order a sorted list keeps (case-insensitive, ascending).
    bool Sorted();

private:
    explicit RowTexts(QListWidget* list);
    void Inserted(int first, int last);
    void Refresh();

    QListWidget* m_list;
    QStringList m_texts;
    bool m_valid = false;
    bool m_sorted = true;
};

}  // namespace mfcimpl
