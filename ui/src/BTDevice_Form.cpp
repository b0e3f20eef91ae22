#include <quillmere/About_Form.h>
#include <quillmere/BTDevice_Form.h>
#include <quillmere/BTRecord_Form.h>
#include <quillmere/Bridge.h>

#include "Strips.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QListWidget>
#include <QSignalBlocker>
#include <QToolButton>
#include <QVBoxLayout>

namespace Quillmere {

namespace {
// The nine service-class flags shown, with the bit of getServices() behind
// each; the two reserved bits (1 and 2) have no item.
struct ServiceFlag {
    const char* text;
    unsigned bit;
};
constexpr ServiceFlag serviceFlags[] = {
    {"Limited discover", 0},
    {"Positioning (localisation)", 3},
    {"Networking", 4},
    {"Rendering (printing, speakers)", 5},
    {"Capturing (scanner, microphone)", 6},
    {"Object transfer", 7},
    {"Audio", 8},
    {"Telephony", 9},
    {"Information", 10},
};
}  // namespace

BTDevice_Form::BTDevice_Form(Corvale::BTDevice& dev, QWidget* parent) : QDialog(parent), Dev(dev) {
    setObjectName(QStringLiteral("BTDevice_Form"));
    setWindowTitle(QStringLiteral("Device details..."));
    setWindowIcon(windowIcon());
    // No minimise box; it keeps its maximise box and can be resized.
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint);
    setSizeGripEnabled(true);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    // Top strip: who the device is, and About.
    TopTool = makeStrip(this, QStringLiteral("TopTool"));
    TT_Space = addLabel(TopTool, QStringLiteral("TT_Space"), QStringLiteral("   "));
    TT_Space->setFixedWidth(16);
    TT_Name = new QToolButton(TopTool);
    TT_Name->setObjectName(QStringLiteral("TT_Name"));
    TT_Name->setText(QStringLiteral("Name"));
    TT_Name->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    TT_Name->setAutoRaise(true);
    TT_Name->setFocusPolicy(Qt::NoFocus);
    // A label that happens to carry an image: it does not react to the mouse.
    TT_Name->setAttribute(Qt::WA_TransparentForMouseEvents);
    QFont bold = TT_Name->font();
    bold.setBold(true);
    TT_Name->setFont(bold);
    TopTool->addWidget(TT_Name);
    TT_Address = addLabel(TopTool, QStringLiteral("TT_Address"), QStringLiteral("Address"));
    TT_Separator1 = addSeparator(TopTool, QStringLiteral("TT_Separator1"));
    addRightAlign(TopTool, QStringLiteral("TT_Spring"));
    TT_About = addButton(TopTool, QStringLiteral("TT_About"), aboutImage(),
                         QStringLiteral("About..."), QString());
    layout->addWidget(TopTool);

    // Panel: the fields on the left, the service-class flags on the right.
    TopPanel = new QWidget(this);
    TopPanel->setObjectName(QStringLiteral("TopPanel"));
    TopPanel->setFixedHeight(scaledHeight(this, 139));
    auto* panel = new QHBoxLayout(TopPanel);
    panel->setContentsMargins(0, 0, 0, 0);
    panel->setSpacing(0);
    Info = new SortedList(TopPanel);
    Info->setObjectName(QStringLiteral("Info"));
    Info->setHeaderLabels({QStringLiteral("Field"), QStringLiteral("Value")});
    Info->header()->setSectionsClickable(false);
    Info->header()->resizeSection(0, scaledWidth(this, 150));
    Info->header()->resizeSection(1, scaledWidth(this, 170));
    Info->header()->setStretchLastSection(true);
    panel->addWidget(Info, 1);
    COD_Services = new QListWidget(TopPanel);
    COD_Services->setObjectName(QStringLiteral("COD_Services"));
    COD_Services->setToolTip(QStringLiteral("Device capabilities (Class Of Device)"));
    COD_Services->setFixedWidth(scaledWidth(this, 207));
    for (const ServiceFlag& flag : serviceFlags) {
        auto* item = new QListWidgetItem(QString::fromLatin1(flag.text), COD_Services);
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
        item->setCheckState(Qt::Unchecked);
    }
    panel->addWidget(COD_Services);
    layout->addWidget(TopPanel);

    // Services strip.
    Toolbar = makeStrip(this, QStringLiteral("Toolbar"));
    Toolbar_Label =
        addLabel(Toolbar, QStringLiteral("Toolbar_Label"), QStringLiteral("Services list:"));
    Toolbar_Count = addLabel(Toolbar, QStringLiteral("Toolbar_Count"), QStringLiteral("0"));
    Toolbar_Separator1 = addSeparator(Toolbar, QStringLiteral("Toolbar_Separator1"));
    Toolbar_Refresh =
        addButton(Toolbar, QStringLiteral("Toolbar_Refresh"), refreshImage(),
                  QStringLiteral("Refresh"), QStringLiteral("Refresh services list..."));
    Toolbar_Separator2 = addSeparator(Toolbar, QStringLiteral("Toolbar_Separator2"));
    Toolbar_Cache =
        addButton(Toolbar, QStringLiteral("Toolbar_Cache"), QIcon(), QStringLiteral("Use cache"),
                  QStringLiteral("Use system cache for services inquiry..."));
    Toolbar_Cache->setCheckable(true);
    addRightAlign(Toolbar, QStringLiteral("Toolbar_Spring"));
    Toolbar_Progress =
        Inquiry.addProgress(Toolbar, QStringLiteral("Toolbar_Progress"), scaledWidth(this, 200));
    layout->addWidget(Toolbar);

    Services = new SortedList(this);
    Services->setObjectName(QStringLiteral("Services"));
    Services->setIconSize(QSize(16, 16));
    Services->setHeaderLabels({QStringLiteral("Service name"), QStringLiteral("Comment"),
                               QStringLiteral("Service UUID"), QStringLiteral("Port")});
    Services->header()->resizeSection(0, scaledWidth(this, 128));
    Services->header()->resizeSection(1, scaledWidth(this, 110));
    Services->header()->resizeSection(2, scaledWidth(this, 230));
    // "Port" takes what the others leave, down to the width of its header, so
    // the four columns fit the window without a scroll bar.
    Services->header()->setMinimumSectionSize(
        Services->header()->fontMetrics().horizontalAdvance(QStringLiteral("Port")) + 16);
    Services->header()->setStretchLastSection(true);
    layout->addWidget(Services, 1);

    connect(COD_Services, &QListWidget::itemChanged, this, &BTDevice_Form::COD_Services_ItemCheck);
    connect(Toolbar_Refresh, &QAction::triggered, this, &BTDevice_Form::Toolbar_Refresh_Click);
    connect(Toolbar_Cache, &QAction::triggered, this, &BTDevice_Form::Toolbar_Cache_Click);
    connect(TT_About, &QAction::triggered, this, &BTDevice_Form::TT_About_Click);
    connect(Services->header(), &QHeaderView::sectionClicked, this,
            &BTDevice_Form::Services_ColumnClick);
    connect(Services, &QTreeWidget::itemDoubleClicked, this, &BTDevice_Form::Services_DoubleClick);
    Services->installEventFilter(this);
    // The record windows go with this one, however it closes.
    connect(this, &QDialog::finished, this, &BTDevice_Form::CloseRecords);

    Services->setItemSorter(&SSorter);
    Toolbar_Cache->setChecked(Corvale::BTDevice::getInquiryCache());
    ShowInfo();

    resize(scaledWidth(this, 532), scaledHeight(this, 393));
}

// The window cannot be closed while its worker runs, but it can be destroyed:
// Inquiry, its last member, waits for the work first.
BTDevice_Form::~BTDevice_Form() = default;

QString BTDevice_Form::toStr(const std::wstring& text) {
    return Quillmere::toStr(text);
}

void BTDevice_Form::ShowInfo() {
    const Corvale::BTClassOfDevice& cod = Dev.COD();
    TT_Name->setIcon(listImages()[majorImageIndex(cod.getMajor())]);
    // Room for the address and About beside it at the window's first size.
    TT_Name->setText(buttonText(toStr(Dev.Name()), TT_Name->fontMetrics(), scaledWidth(this, 240)));
    TT_Address->setText(QStringLiteral("(") + toStr(Dev.Address().asString()) +
                        QStringLiteral(")"));

    const QString fields[5][2] = {
        {QStringLiteral("Device name"), toStr(Dev.Name())},
        {QStringLiteral("Device address"), toStr(Dev.Address().asString())},
        {QStringLiteral("Major device class"), toStr(cod.strMajor())},
        {QStringLiteral("Minor device class"), toStr(cod.strMinor())},
        {QStringLiteral("Vendor"), vendorText(Dev.Address())},
    };
    // The fields keep this order: the list has no sorter.
    for (const auto& field : fields) Info->addTopLevelItem(new SortedRow({field[0], field[1]}));

    ChkLock = false;
    const quint32 services = cod.getServices();
    for (int i = 0; i < COD_Services->count(); ++i) {
        const bool set = (services >> serviceFlags[i].bit) & 1u;
        COD_Services->item(i)->setCheckState(set ? Qt::Checked : Qt::Unchecked);
    }
    ChkLock = true;
}

void BTDevice_Form::COD_Services_ItemCheck(QListWidgetItem* item) {
    if (!ChkLock) return;
    // The marks only ever show the class: any change is undone at once.
    const int row = COD_Services->row(item);
    if (row < 0 || row >= COD_Services->count()) return;
    const bool set = (Dev.COD().getServices() >> serviceFlags[row].bit) & 1u;
    const Qt::CheckState state = set ? Qt::Checked : Qt::Unchecked;
    if (item->checkState() != state) {
        const QSignalBlocker quiet(COD_Services);
        item->setCheckState(state);
    }
}

void BTDevice_Form::Display_Services() {
    Toolbar_Count->setText(QString::number(Dev.Services().size()));
    Fill_Services(Dev.Services(), Services);
}

void BTDevice_Form::Fill_Services(const std::vector<Corvale::BTService>& services,
                                  SortedList* list) {
    ColumnSorter* sorter = list->itemSorter();
    list->setItemSorter(nullptr);
    list->setUpdatesEnabled(false);
    const QIcon& image = listImages()[ImgService];
    QList<QTreeWidgetItem*> rows;
    rows.reserve(qsizetype(services.size()));
    for (std::size_t i = 0; i < services.size(); ++i) {
        const Corvale::BTService& service = services[i];
        auto* row = new SortedRow(QStringList{toStr(service.Name()), toStr(service.Comment()),
                                              toStr(service.UUID().asString()),
                                              QString::number(service.Port())});
        row->setIcon(0, image);
        for (int cell = 0; cell < 2; ++cell) row->setToolTip(cell, plainToolTip(row->text(cell)));
        SortedList::setRecordIndex(row, i);
        rows.append(row);
    }
    list->addTopLevelItems(rows);
    list->setUpdatesEnabled(true);
    list->setItemSorter(sorter);
    // The name may grow a little and the UUID is always shown whole; a long
    // comment stays cut, its whole text in the row's tool tip.
    if (!list->fitColumns({scaledWidth(this, 128), scaledWidth(this, 110), scaledWidth(this, 230)},
                          {scaledWidth(this, 180), scaledWidth(this, 110), scaledWidth(this, 300)}))
        return;
    // "Port" gets the rest of the width, at least its header's.
    QHeaderView* header = list->header();
    const int rest = list->viewport()->width() - header->sectionSize(0) - header->sectionSize(1) -
                     header->sectionSize(2);
    header->resizeSection(3, qMax(header->minimumSectionSize(), rest));
}

void BTDevice_Form::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (shownOnce) return;
    shownOnce = true;
    QMetaObject::invokeMethod(this, &BTDevice_Form::BTDevice_Form_Shown, Qt::QueuedConnection);
}

void BTDevice_Form::closeEvent(QCloseEvent* event) {
    if (!CanClose())
        event->ignore();
    else
        QDialog::closeEvent(event);
}

void BTDevice_Form::keyPressEvent(QKeyEvent* event) {
    // The window has no cancel button: Escape does not close it.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

bool BTDevice_Form::eventFilter(QObject* watched, QEvent* event) {
    if (watched == Services && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) &&
            (key->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
            Services_DoubleClick();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void BTDevice_Form::reject() {
    if (CanClose()) QDialog::reject();
}

void BTDevice_Form::BTDevice_Form_Shown() {
    Display_Services();
    Sort_Image(Services, SSorter.CurrentColumn);
    Inquiry.checkWinsock([this](bool enabled) { UInterface(enabled); });
}

void BTDevice_Form::UInterface(bool enabled) {
    Inquiry.setUnlocked(enabled);
    setStripEnabled(Toolbar, enabled);
    Services->setEnabled(enabled);
}

void BTDevice_Form::Sort_Column(SortedList* list, ColumnSorter& sorter, int column) {
    sortColumn(list, sorter, column);
}

void BTDevice_Form::Sort_Image(SortedList* list, qint32 key) {
    sortImage(list, key);
}

void BTDevice_Form::ShowAbout() {
    About_Form about(this);
    about.exec();
}

void BTDevice_Form::Toolbar_Refresh_Click() {
    if (Inquiry.isRunning()) return;
    UInterface(false);
    Inquiry.start(
        [this] { Inquiry_DoWork(); },
        [this](const std::optional<QString>& failure) { Inquiry_RunWorkerCompleted(failure); });
}

void BTDevice_Form::Inquiry_DoWork() {
    ServRet = Dev.DiscoverServices();
}

// A discovery that ended by an exception failed: its text goes to the user.
void BTDevice_Form::Inquiry_RunWorkerCompleted(const std::optional<QString>& failure) {
    UInterface(true);
    Services->clear();
    if (failure)
        ShowError(*failure);
    else if (ServRet)
        Display_Services();
    else
        ShowError();
    emit discoveryCompleted();
}

void BTDevice_Form::Toolbar_Cache_Click() {
    Corvale::BTDevice::setInquiryCache(Toolbar_Cache->isChecked());
}

void BTDevice_Form::Services_ColumnClick(int column) {
    Sort_Column(Services, SSorter, column);
}

void BTDevice_Form::Services_DoubleClick() {
    // While a discovery runs the worker rewrites the services: the list is
    // disabled then, and a call from code finds nothing to open either.
    if (Inquiry.isRunning()) return;
    const QTreeWidgetItem* row = Services->currentItem();
    quint64 position = 0;
    if (row == nullptr || !SortedList::recordIndex(row, position) ||
        position >= Dev.Services().size())
        return;
    ShowRecord(Dev.Services()[position]);
}

void BTDevice_Form::ShowRecord(const Corvale::BTService& service) {
    if (service.Record().empty()) {
        showMessageBox(this, QStringLiteral("Service record"),
                       QStringLiteral("The search gave no record bytes for this service: there "
                                      "are no attributes to show."),
                       QMessageBox::Information);
        return;
    }
    // The same service again: its window comes to the front.
    for (BTRecord_Form* open : findChildren<BTRecord_Form*>(Qt::FindDirectChildrenOnly)) {
        if (open->isVisible() && open->shows(service)) {
            open->raise();
            open->activateWindow();
            return;
        }
    }
    // Non-modal, owned by this window: it works on its own copy of the
    // service, so a Refresh here may replace the services meanwhile.
    const QList<BTRecord_Form*> open = findChildren<BTRecord_Form*>(Qt::FindDirectChildrenOnly);
    auto* record = new BTRecord_Form(service, this);
    record->setAttribute(Qt::WA_DeleteOnClose);
    // Each further one a step down and right of the last, so that none hides
    // another whole.
    for (auto it = open.crbegin(); it != open.crend(); ++it) {
        if (!(*it)->isVisible()) continue;
        const int step = scaledHeight(this, 24);
        record->move((*it)->pos() + QPoint(step, step));
        break;
    }
    record->show();
}

void BTDevice_Form::CloseRecords() {
    for (BTRecord_Form* open : findChildren<BTRecord_Form*>(Qt::FindDirectChildrenOnly))
        open->close();
}

void BTDevice_Form::TT_About_Click() {
    ShowAbout();
}

}  // namespace Quillmere
