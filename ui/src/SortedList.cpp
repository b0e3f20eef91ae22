#include <quillmere/Bridge.h>
#include <quillmere/ColumnSorter.h>
#include <quillmere/SortedList.h>

#include <corvale/inspect/Table.h>

#include <QAction>
#include <QClipboard>
#include <QEvent>
#include <QGuiApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMenu>
#include <QPainter>
#include <QStyledItemDelegate>

#include <string>
#include <vector>

namespace Quillmere {

namespace {
// Grid lines: every cell gets a thin line on its right and bottom edge.
class GridDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        QStyledItemDelegate::paint(painter, option, index);
        painter->save();
        painter->setPen(option.palette.color(QPalette::Midlight));
        const QRect r = option.rect;
        painter->drawLine(r.topRight(), r.bottomRight());
        painter->drawLine(r.bottomLeft(), r.bottomRight());
        painter->restore();
    }
};
}  // namespace

bool SortedRow::operator<(const QTreeWidgetItem& other) const {
    const auto* list = qobject_cast<const SortedList*>(treeWidget());
    const ColumnSorter* sorter = list ? list->itemSorter() : nullptr;
    if (sorter == nullptr) return QTreeWidgetItem::operator<(other);
    return sorter->Compare(*this, other) < 0;
}

SortedList::SortedList(QWidget* parent) : QTreeWidget(parent) {
    // Details view: no tree decoration, whole rows selected, one level.
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setAllColumnsShowFocus(true);
    // The sorter decides the order and the arrows are header images: Qt's
    // own sorting and sort indicator stay off.
    setSortingEnabled(false);
    header()->setSortIndicatorShown(false);
    header()->setSectionsClickable(true);
    header()->setSectionsMovable(false);
    // Large lists: column fitting looks at the first rows only.
    header()->setResizeContentsPrecision(200);
    header()->setStretchLastSection(false);
    setItemDelegate(new GridDelegate(this));
    header()->viewport()->installEventFilter(this);
    connect(header(), &QHeaderView::sectionResized, this, [this] {
        if (mouseOnHeader) sizedByUser = true;
    });

    copy = new QAction(QStringLiteral("Copy"), this);
    copy->setObjectName(QStringLiteral("Copy"));
    // Shown in the menu; the key itself is taken in keyPressEvent, before
    // the view's own Ctrl+C (which copies one cell's shown text).
    copy->setShortcut(QKeySequence::Copy);
    copy->setShortcutContext(Qt::WidgetShortcut);
    connect(copy, &QAction::triggered, this, [this] {
        const QString text = selectedRowsText();
        if (!text.isEmpty()) QGuiApplication::clipboard()->setText(text);
    });
    setContextMenuPolicy(Qt::CustomContextMenu);
    connect(this, &QWidget::customContextMenuRequested, this, &SortedList::showContextMenu);
}

void SortedList::addContextAction(QAction* action) {
    contextActions.append(action);
}

void SortedList::showContextMenu(const QPoint& at) {
    // The row under the mouse is the one the menu acts on, as after a click.
    if (QTreeWidgetItem* row = itemAt(at)) setCurrentItem(row);
    copy->setEnabled(!selectedItems().isEmpty());
    QMenu menu(this);
    menu.setObjectName(QStringLiteral("ListMenu"));
    menu.addAction(copy);
    if (!contextActions.isEmpty()) menu.addSeparator();
    menu.addActions(contextActions);
    menu.exec(viewport()->mapToGlobal(at));
    copy->setEnabled(true);
}

QString SortedList::selectedRowsText() const {
    std::string text;
    for (int i = 0; i < topLevelItemCount(); ++i) {
        const QTreeWidgetItem* row = topLevelItem(i);
        if (!row->isSelected()) continue;
        if (text.empty()) {
            std::vector<std::string> captions;
            for (int c = 0; c < columnCount(); ++c)
                captions.push_back(headerItem()->text(c).toStdString());
            text = Corvale::Inspect::tsvLine(captions);
        }
        std::vector<std::string> cells;
        for (int c = 0; c < columnCount(); ++c) cells.push_back(row->text(c).toStdString());
        text += Corvale::Inspect::tsvLine(cells);
    }
    return QString::fromStdString(text);
}

bool SortedList::event(QEvent* event) {
    // Ctrl+C is the list's own key: no application shortcut takes it first.
    if (event->type() == QEvent::ShortcutOverride &&
        static_cast<QKeyEvent*>(event)->matches(QKeySequence::Copy)) {
        event->accept();
        return true;
    }
    return QTreeWidget::event(event);
}

void SortedList::keyPressEvent(QKeyEvent* event) {
    if (event->matches(QKeySequence::Copy)) {
        copy->trigger();
        event->accept();
        return;
    }
    QTreeWidget::keyPressEvent(event);
}

bool SortedList::eventFilter(QObject* watched, QEvent* event) {
    if (watched == header()->viewport()) {
        const QEvent::Type type = event->type();
        // A double-click on a handle fits that column: the user's choice too.
        if (type == QEvent::MouseButtonPress || type == QEvent::MouseButtonDblClick)
            mouseOnHeader = true;
        else if (type == QEvent::MouseButtonRelease)
            mouseOnHeader = false;
    }
    return QTreeWidget::eventFilter(watched, event);
}

void SortedList::setItemSorter(ColumnSorter* s) {
    sorter = s;
    Sort();
}

void SortedList::Sort() {
    if (sorter == nullptr || topLevelItemCount() < 2) return;
    // The model's stable sort calls SortedRow::operator<, which asks the
    // sorter; the column argument is ignored by it, the direction is in the
    // key. Going through the model keeps the current row and the selection.
    sortItems(0, Qt::AscendingOrder);
}

bool SortedList::fitColumns(const QList<int>& minimumWidths, const QList<int>& maximumWidths) {
    if (sizedByUser) return false;
    const int n = qMin(qMin(minimumWidths.size(), maximumWidths.size()), columnCount());
    for (int i = 0; i < n; ++i) {
        if (minimumWidths[i] >= maximumWidths[i]) {
            header()->resizeSection(i, minimumWidths[i]);
            continue;
        }
        const int wanted = qMax(sizeHintForColumn(i), header()->sectionSizeHint(i));
        header()->resizeSection(i, qBound(minimumWidths[i], wanted, maximumWidths[i]));
    }
    return true;
}

void SortedList::setRecordIndex(QTreeWidgetItem* row, quint64 index) {
    row->setData(0, Qt::UserRole, QVariant::fromValue<quint64>(index));
}

bool SortedList::recordIndex(const QTreeWidgetItem* row, quint64& index) {
    const QVariant v = row->data(0, Qt::UserRole);
    if (!v.isValid()) return false;
    index = v.value<quint64>();
    return true;
}

void sortColumn(SortedList* list, ColumnSorter& sorter, int column) {
    const qint64 n = qint64(column) + 1;
    const qint64 current =
        sorter.CurrentColumn < 0 ? -qint64(sorter.CurrentColumn) : qint64(sorter.CurrentColumn);
    sorter.CurrentColumn = n == current ? -sorter.CurrentColumn : qint32(n);
    list->Sort();
    sortImage(list, sorter.CurrentColumn);
}

void sortImage(SortedList* list, qint32 key) {
    const qint64 index = (key < 0 ? -qint64(key) : qint64(key)) - 1;
    const QIcon& arrow = listImages()[key > 0 ? ImgSortAscending : ImgSortDescending];
    QTreeWidgetItem* header = list->headerItem();
    for (int i = 0; i < list->columnCount(); ++i) header->setIcon(i, i == index ? arrow : QIcon());
}

}  // namespace Quillmere
