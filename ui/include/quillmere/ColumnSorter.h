// Keeps a list sorted by one column, up or down. The key's magnitude is the
// one-based column number and its sign the direction, so one integer says
// everything a header click can change.
#pragma once

#include <QCollator>
#include <QtGlobal>

class QTreeWidgetItem;

class ColumnSorter {
public:
    // First column, ascending.
    ColumnSorter();
    // Any non-zero key; 0 would name no column and is taken as 1.
    explicit ColumnSorter(qint32 key);

    // Negative when x goes before y under the current key, positive when
    // after, 0 when equal. Texts are compared as the user's locale (at the
    // sorter's construction) collates them, English under the C locale,
    // case-sensitive (lower case first between otherwise equal texts); an
    // empty text goes before any other. Cells are read at every call.
    int Compare(const QTreeWidgetItem& x, const QTreeWidgetItem& y) const;

    qint32 CurrentColumn;

private:
    QCollator collator;
};
