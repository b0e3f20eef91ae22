// A details list that keeps its rows in the order of an attached
// ColumnSorter, the way a list view with an item sorter does: attaching a
// sorter sorts the whole list once, and Sort() sorts it again on demand.
#pragma once

#include <QTreeWidget>
#include <QTreeWidgetItem>

class QAction;

class ColumnSorter;

namespace Quillmere {

// A row whose order is the list's sorter's order. Rows carry, in Qt::UserRole
// of their first cell, the position of the engine record they were made from,
// so a row leads back to its record however it has been moved.
class SortedRow : public QTreeWidgetItem {
public:
    using QTreeWidgetItem::QTreeWidgetItem;
    bool operator<(const QTreeWidgetItem& other) const override;
};

class SortedList : public QTreeWidget {
    Q_OBJECT
public:
    explicit SortedList(QWidget* parent = nullptr);

    ColumnSorter* itemSorter() const { return sorter; }
    // Attaching a sorter (non-null) sorts the list at once by its key.
    void setItemSorter(ColumnSorter* s);
    // Sorts all rows by the attached sorter's current key; no sorter, no sort.
    void Sort();

    // Fits each column to its texts (as far as the first rows show them),
    // within the given bounds, until the user resizes a column by hand: from
    // then on the widths are the user's, and this does nothing and returns
    // false.
    bool fitColumns(const QList<int>& minimumWidths, const QList<int>& maximumWidths);

    // The selected rows, in the order shown, under a header line of the
    // column captions: tab-separated text, one line per row, each cell's
    // whole text. Empty when no row is selected.
    QString selectedRowsText() const;
    // "Copy" (Ctrl+C, and the first entry of the list's context menu) puts
    // selectedRowsText() on the clipboard. Further entries of the context
    // menu go below it.
    QAction* copyAction() const { return copy; }
    void addContextAction(QAction* action);

    // The position of the engine record a row was made from.
    static void setRecordIndex(QTreeWidgetItem* row, quint64 index);
    static bool recordIndex(const QTreeWidgetItem* row, quint64& index);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void showContextMenu(const QPoint& at);

    ColumnSorter* sorter = nullptr;
    QAction* copy = nullptr;
    QList<QAction*> contextActions;
    // A section resized while a mouse button is down on the header is the
    // user's doing; the list's own fitting and stretching happen otherwise.
    bool mouseOnHeader = false;
    bool sizedByUser = false;
};

// A header click on column (zero-based): the same column flips the
// direction, another column is sorted ascending; the list is sorted again
// and the arrow moves.
void sortColumn(SortedList* list, ColumnSorter& sorter, int column);
// The arrow of key (one-based, signed) on its header; no image elsewhere.
void sortImage(SortedList* list, qint32 key);

}  // namespace Quillmere
