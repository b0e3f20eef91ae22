#include <quillmere/BTRecord_Form.h>
#include <quillmere/Bridge.h>

#include <corvale/BTNames.h>
#include <corvale/BTRecord.h>
#include <corvale/inspect/Text.h>

#include <QAbstractItemModel>
#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QHeaderView>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QStyledItemDelegate>
#include <QToolTip>
#include <QTreeView>
#include <QVBoxLayout>

#include <limits>
#include <vector>

namespace Quillmere {

namespace {
QString fromUtf8(const std::string& text) {
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}
// Records up to this many elements open fully expanded; a larger one (which
// only a hostile device sends) opens with its attributes folded, so the view
// lays out no more rows than a person opens.
constexpr std::size_t ExpandAllElements = 2000;
}  // namespace

// The decoded record as a tree model: one top-level row per attribute, and
// below a container the rows of its elements. Rows are made only as the view
// asks for them, and each value's text once, when it is first shown: a large
// record costs the window thread no more than the rows on the screen.
class RecordModel : public QAbstractItemModel {
public:
    enum Column { ColId, ColName, ColType, ColValue, ColumnCount };

    RecordModel(Corvale::BTRecord decoded, QObject* parent)
        : QAbstractItemModel(parent), record(std::move(decoded)) {
        const auto& elements = record.Elements();
        parentOf.assign(elements.size(), None);
        rowOf.assign(elements.size(), 0);
        shown.resize(elements.size());
        // Every element's place: its parent and its row there. The decoder
        // gives a tree whose children are contiguous, so the row of a child
        // is its distance from the first.
        std::vector<std::uint32_t> open;
        for (std::size_t i = 0; i < record.Attributes().size(); ++i) {
            const std::uint32_t value = record.Attributes()[i].value;
            rowOf[value] = std::uint32_t(i);
            open.push_back(value);
        }
        while (!open.empty()) {
            const std::uint32_t e = open.back();
            open.pop_back();
            const auto children = record.Children(elements[e]);
            for (std::size_t row = 0; row < children.size(); ++row) {
                const auto child = std::uint32_t(&children[row] - elements.data());
                parentOf[child] = e;
                rowOf[child] = std::uint32_t(row);
                open.push_back(child);
            }
        }
    }

    const Corvale::BTRecord& decoded() const { return record; }
    const Corvale::BTElement& element(const QModelIndex& index) const {
        return record.Elements()[index.internalId()];
    }
    // The attribute a top-level row shows; null for the rows of elements.
    const Corvale::BTAttribute* attribute(const QModelIndex& index) const {
        if (!index.isValid() || parentOf[index.internalId()] != None) return nullptr;
        return &record.Attributes()[rowOf[index.internalId()]];
    }

    QModelIndex index(int row, int column, const QModelIndex& parent) const override {
        if (row < 0 || column < 0 || column >= ColumnCount) return {};
        if (!parent.isValid()) {
            if (std::size_t(row) >= record.Attributes().size()) return {};
            return createIndex(row, column, quintptr(record.Attributes()[std::size_t(row)].value));
        }
        const auto children = record.Children(element(parent));
        if (std::size_t(row) >= children.size()) return {};
        return createIndex(row, column,
                           quintptr(&children[std::size_t(row)] - record.Elements().data()));
    }
    QModelIndex parent(const QModelIndex& child) const override {
        if (!child.isValid()) return {};
        const std::uint32_t p = parentOf[child.internalId()];
        if (p == None) return {};
        return createIndex(int(rowOf[p]), 0, quintptr(p));
    }
    int rowCount(const QModelIndex& parent) const override {
        if (!parent.isValid()) return int(record.Attributes().size());
        if (parent.column() != 0) return 0;
        return int(record.Children(element(parent)).size());
    }
    int columnCount(const QModelIndex&) const override { return ColumnCount; }

    QVariant data(const QModelIndex& index, int role) const override {
        if (!index.isValid()) return {};
        const Corvale::BTElement& e = element(index);
        const Corvale::BTAttribute* a = attribute(index);
        if (role == Qt::DisplayRole) {
            switch (index.column()) {
                case ColId:
                    if (a == nullptr) return QString();
                    return QStringLiteral("0x") +
                           QStringLiteral("%1").arg(a->id, 4, 16, QLatin1Char('0')).toUpper();
                case ColName:
                    if (a == nullptr) return QString();
                    if (auto name = Corvale::AttributeName(record, a->id)) return fromUtf8(*name);
                    return QString();
                case ColType:
                    return QString::fromLatin1(Corvale::TypeName(e.type).data(),
                                               qsizetype(Corvale::TypeName(e.type).size()));
                case ColValue:
                    return valueCell(index.internalId());
            }
        }
        // The value's whole text (cut for a tool tip); the view shows it
        // where the cell does not show it all.
        if (role == Qt::ToolTipRole && index.column() == ColValue)
            return plainToolTip(fromUtf8(Corvale::Inspect::valueText(record, e)));
        return {};
    }
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
        static const char* const titles[ColumnCount] = {"Attribute ID", "Name", "Type", "Value"};
        if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 &&
            section < ColumnCount)
            return QString::fromLatin1(titles[section]);
        return {};
    }

private:
    static constexpr std::uint32_t None = std::numeric_limits<std::uint32_t>::max();

    const QString& valueCell(quintptr e) const {
        QString& cell = shown[e];
        if (cell.isNull())
            cell = cellText(fromUtf8(Corvale::Inspect::valueText(record, record.Elements()[e])));
        // Never null again: an empty value is computed once too.
        if (cell.isNull()) cell = QStringLiteral("");
        return cell;
    }

    const Corvale::BTRecord record;
    std::vector<std::uint32_t> parentOf;  // None: the value of an attribute
    std::vector<std::uint32_t> rowOf;     // for an attribute's value: the attribute
    mutable std::vector<QString> shown;   // null until first shown
};

namespace {
// A value's tool tip only where the cell cannot show the whole text: one
// that only repeats the cell would pop up over every short value.
class ValueDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    bool helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                   const QModelIndex& index) override {
        if (event->type() == QEvent::ToolTip && index.column() == RecordModel::ColValue) {
            const QString shown = index.data().toString();
            const int margin =
                view->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, view);
            if (shown.size() < CellLength &&
                option.fontMetrics.horizontalAdvance(shown) + 2 * margin + 2 <=
                    option.rect.width()) {
                QToolTip::hideText();
                return true;
            }
        }
        return QStyledItemDelegate::helpEvent(event, view, option, index);
    }
};
}  // namespace

BTRecord_Form::BTRecord_Form(const Corvale::BTService& service, QWidget* parent)
    : QDialog(parent), Service(service) {
    setObjectName(QStringLiteral("BTRecord_Form"));
    const QString name = toStr(Service.Name());
    setWindowTitle(name.isEmpty() ? QStringLiteral("Service record")
                                  : QStringLiteral("Service record: ") + plainTitle(name));
    setWindowIcon(windowIcon());
    // Not modal, resizable, with the usual boxes of a window of its own.
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint);
    setSizeGripEnabled(true);

    auto* layout = new QVBoxLayout(this);
    const int margin = scaledWidth(this, 6);
    layout->setContentsMargins(margin, margin, margin, margin);

    Summary = new QLabel(this);
    Summary->setObjectName(QStringLiteral("Summary"));
    Summary->setTextFormat(Qt::PlainText);
    Summary->setWordWrap(true);
    Summary->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(Summary);

    Malformed = new QLabel(this);
    Malformed->setObjectName(QStringLiteral("Malformed"));
    Malformed->setTextFormat(Qt::PlainText);
    Malformed->setWordWrap(true);
    QFont bold = Malformed->font();
    bold.setBold(true);
    Malformed->setFont(bold);
    layout->addWidget(Malformed);

    Attributes = new QTreeView(this);
    Attributes->setObjectName(QStringLiteral("Attributes"));
    Attributes->setUniformRowHeights(true);
    Attributes->setAllColumnsShowFocus(true);
    Attributes->setSelectionBehavior(QAbstractItemView::SelectRows);
    Attributes->setSelectionMode(QAbstractItemView::SingleSelection);
    Attributes->setEditTriggers(QAbstractItemView::NoEditTriggers);
    Attributes->setTextElideMode(Qt::ElideRight);
    Attributes->header()->setStretchLastSection(true);
    Attributes->setItemDelegate(new ValueDelegate(Attributes));
    layout->addWidget(Attributes, 1);

    // The copies: on the tree's keys and in its context menu. The keys are
    // taken before the tree sees them (it would copy one cell's shown text),
    // and before any shortcut: the actions show them in the menu.
    Copy = new QAction(QStringLiteral("Copy"), Attributes);
    Copy->setObjectName(QStringLiteral("Copy"));
    Copy->setShortcut(QKeySequence::Copy);
    Copy->setShortcutContext(Qt::WidgetShortcut);
    CopyAll = new QAction(QStringLiteral("Copy whole record"), Attributes);
    CopyAll->setObjectName(QStringLiteral("CopyAll"));
    CopyAll->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_C));
    CopyAll->setShortcutContext(Qt::WidgetShortcut);
    Attributes->installEventFilter(this);
    // The node under the mouse becomes the current one, so that Copy copies
    // what was clicked.
    Attributes->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(Attributes, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        const QModelIndex node = Attributes->indexAt(at);
        if (node.isValid()) Attributes->setCurrentIndex(node);
        Copy->setEnabled(Attributes->currentIndex().isValid());
        QMenu menu(this);
        menu.setObjectName(QStringLiteral("RecordMenu"));
        menu.addAction(Copy);
        menu.addAction(CopyAll);
        menu.exec(Attributes->viewport()->mapToGlobal(at));
        Copy->setEnabled(true);
    });
    connect(Copy, &QAction::triggered, this, &BTRecord_Form::Copy_Click);
    connect(CopyAll, &QAction::triggered, this, &BTRecord_Form::CopyAll_Click);

    ShowRecord();
    resize(scaledWidth(this, 640), scaledHeight(this, 440));
}

BTRecord_Form::~BTRecord_Form() = default;

bool BTRecord_Form::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if (watched == Attributes && (type == QEvent::ShortcutOverride || type == QEvent::KeyPress)) {
        auto* key = static_cast<QKeyEvent*>(event);
        const QKeySequence pressed(key->keyCombination());
        QAction* action = pressed == Copy->shortcut()      ? Copy
                          : pressed == CopyAll->shortcut() ? CopyAll
                                                           : nullptr;
        if (key->matches(QKeySequence::Copy)) action = Copy;
        if (action != nullptr) {
            // Claimed as the tree's own key, then acted on when pressed.
            event->accept();
            if (type == QEvent::KeyPress) action->trigger();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void BTRecord_Form::ShowRecord() {
    const auto& bytes = Service.Record();
    Model = new RecordModel(Corvale::BTRecord::Decode(bytes), this);
    const Corvale::BTRecord& record = Model->decoded();

    QStringList lines;
    for (const std::string& line : Corvale::Inspect::summaryLines(record)) lines << fromUtf8(line);
    if (record.Attributes().empty() && !record.MalformedAt())
        lines << QStringLiteral("The record has no attributes.");
    Summary->setText(lines.join(u'\n'));
    Summary->setVisible(!lines.isEmpty());
    const QString stop = fromUtf8(Corvale::Inspect::stopText(record));
    Malformed->setText(stop);
    Malformed->setVisible(!stop.isEmpty());

    Attributes->setModel(Model);
    QHeaderView* header = Attributes->header();
    header->resizeSection(RecordModel::ColId, scaledWidth(this, 90));
    header->resizeSection(RecordModel::ColName, scaledWidth(this, 190));
    header->resizeSection(RecordModel::ColType, scaledWidth(this, 80));
    if (record.Elements().size() <= ExpandAllElements) Attributes->expandAll();
    if (Model->rowCount({}) > 0) Attributes->setCurrentIndex(Model->index(0, 0, {}));
    Attributes->setFocus();
}

bool BTRecord_Form::shows(const Corvale::BTService& service) const {
    return service.UUID() == Service.UUID() && service.Port() == Service.Port() &&
           service.Name() == Service.Name() && service.Comment() == Service.Comment() &&
           service.Record() == Service.Record();
}

QString BTRecord_Form::nodeText(const QModelIndex& index) const {
    if (!index.isValid() || index.model() != Model) return {};
    const QModelIndex node = index.siblingAtColumn(0);
    const Corvale::BTRecord& record = Model->decoded();
    if (const Corvale::BTAttribute* a = Model->attribute(node))
        return fromUtf8(Corvale::Inspect::attributeText(record, *a));
    return fromUtf8(Corvale::Inspect::elementText(record, Model->element(node)));
}

QString BTRecord_Form::recordText() const {
    return fromUtf8(Corvale::Inspect::recordText(Model->decoded()));
}

// Plain text only: no rich-text flavour for another program to interpret.
void BTRecord_Form::Copy_Click() {
    const QModelIndex current = Attributes->currentIndex();
    if (!current.isValid()) return;
    QGuiApplication::clipboard()->setText(nodeText(current));
}

void BTRecord_Form::CopyAll_Click() {
    QGuiApplication::clipboard()->setText(recordText());
}

}  // namespace Quillmere
