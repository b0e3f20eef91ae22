#include <quillmere/About_Form.h>
#include <quillmere/BTDevice_Form.h>
#include <quillmere/BTNetwork_Form.h>
#include <quillmere/Bridge.h>

#include "Strips.h"

#include <corvale/BTVendor.h>
#include <corvale/inspect/Documents.h>

#include <QAction>
#include <QCloseEvent>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QSaveFile>
#include <QScreen>
#include <QToolBar>
#include <QVBoxLayout>

namespace Quillmere {

BTNetwork_Form::BTNetwork_Form(Corvale::BTNetwork& net, QWidget* parent)
    : QWidget(parent), Net(net) {
    setObjectName(QStringLiteral("BTNetwork_Form"));
    setWindowTitle(QStringLiteral("Ostrand Quillmere Tool (powered by Corvale engine)"));
    setWindowIcon(windowIcon());

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    // Local pane.
    TLocal = makeStrip(this, QStringLiteral("TLocal"));
    TL_Label = addLabel(TLocal, QStringLiteral("TL_Label"), QStringLiteral("Local devices:"));
    TL_Count = addLabel(TLocal, QStringLiteral("TL_Count"), QStringLiteral("0"));
    TL_Separator1 = addSeparator(TLocal, QStringLiteral("TL_Separator1"));
    TL_Refresh = addButton(TLocal, QStringLiteral("TL_Refresh"), refreshImage(),
                           QStringLiteral("Refresh"), QStringLiteral("Refresh local devices..."));
    TL_Separator2 = addSeparator(TLocal, QStringLiteral("TL_Separator2"));
    addRightAlign(TLocal, QStringLiteral("TL_Spring"));
    TL_About = addButton(TLocal, QStringLiteral("TL_About"), aboutImage(),
                         QStringLiteral("About..."), QString());
    layout->addWidget(TLocal);

    LLocal =
        makeList(QStringLiteral("LLocal"), QStringLiteral("Double-click to get more details..."));
    LLocal->setFixedHeight(scaledHeight(this, 71));
    layout->addWidget(LLocal);

    // Remote pane.
    TRemote = makeStrip(this, QStringLiteral("TRemote"));
    TR_Label = addLabel(TRemote, QStringLiteral("TR_Label"), QStringLiteral("Remote devices:"));
    TR_Count = addLabel(TRemote, QStringLiteral("TR_Count"), QStringLiteral("0"));
    TR_Separator1 = addSeparator(TRemote, QStringLiteral("TR_Separator1"));
    TR_Refresh = addButton(TRemote, QStringLiteral("TR_Refresh"), refreshImage(),
                           QStringLiteral("Refresh"), QStringLiteral("Refresh remote devices..."));
    TR_Separator2 = addSeparator(TRemote, QStringLiteral("TR_Separator2"));
    TR_Cache = addButton(TRemote, QStringLiteral("TR_Cache"), QIcon(), QStringLiteral("Use cache"),
                         QStringLiteral("Use system cache for remote devices inquiry..."));
    TR_Cache->setCheckable(true);
    addRightAlign(TRemote, QStringLiteral("TR_Spring"));
    TR_Progress =
        Inquiry.addProgress(TRemote, QStringLiteral("TR_Progress"), scaledWidth(this, 200));
    layout->addWidget(TRemote);

    LRemote = makeList(QStringLiteral("LRemote"),
                       QStringLiteral("Double-click to get more details on this device..."));
    layout->addWidget(LRemote, 1);

    // Both lists offer to save everything the windows know.
    SaveAs = new QAction(QStringLiteral("Save as..."), this);
    SaveAs->setObjectName(QStringLiteral("SaveAs"));
    LLocal->addContextAction(SaveAs);
    LRemote->addContextAction(SaveAs);
    connect(SaveAs, &QAction::triggered, this, &BTNetwork_Form::SaveAs_Click);

    connect(TL_Refresh, &QAction::triggered, this, &BTNetwork_Form::TL_Refresh_Click);
    connect(TR_Refresh, &QAction::triggered, this, &BTNetwork_Form::TR_Refresh_Click);
    connect(TR_Cache, &QAction::triggered, this, &BTNetwork_Form::TR_Cache_Click);
    connect(TL_About, &QAction::triggered, this, &BTNetwork_Form::TL_About_Click);
    connect(LLocal, &QTreeWidget::itemDoubleClicked, this, &BTNetwork_Form::LLocal_DoubleClick);
    connect(LRemote, &QTreeWidget::itemDoubleClicked, this, &BTNetwork_Form::LRemote_DoubleClick);
    connect(LLocal->header(), &QHeaderView::sectionClicked, this,
            &BTNetwork_Form::LLocal_ColumnClick);
    connect(LRemote->header(), &QHeaderView::sectionClicked, this,
            &BTNetwork_Form::LRemote_ColumnClick);

    LLocal->setItemSorter(&LSorter);
    LRemote->setItemSorter(&RSorter);
    TR_Cache->setChecked(Corvale::BTNetwork::getInquiryCache());

    // Wide enough for every column at its first width, Vendor included.
    resize(scaledWidth(this, 720), scaledHeight(this, 345));
    if (const QScreen* s = screen()) {
        QRect frame(QPoint(), size());
        frame.moveCenter(s->availableGeometry().center());
        move(frame.topLeft());
    }
}

// The window cannot be closed while its worker runs, but it can be destroyed:
// Inquiry, its last member, waits for the work first.
BTNetwork_Form::~BTNetwork_Form() = default;

SortedList* BTNetwork_Form::makeList(const QString& name, const QString& tip) {
    auto* list = new SortedList(this);
    list->setObjectName(name);
    list->setToolTip(tip);
    list->setIconSize(QSize(16, 16));
    list->setHeaderLabels({QStringLiteral("Major device class"),
                           QStringLiteral("Minor device class"), QStringLiteral("Device name"),
                           QStringLiteral("Device address"), QStringLiteral("Vendor")});
    for (int i = 0; i < 5; ++i) list->header()->resizeSection(i, columnWidths()[i]);
    return list;
}

QString BTNetwork_Form::toStr(const std::wstring& text) {
    return Quillmere::toStr(text);
}

void BTNetwork_Form::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (shownOnce) return;
    shownOnce = true;
    // "Shown": once the window is on the screen, not while it is being shown.
    QMetaObject::invokeMethod(this, &BTNetwork_Form::BTNetwork_Form_Shown, Qt::QueuedConnection);
}

void BTNetwork_Form::closeEvent(QCloseEvent* event) {
    if (!CanClose())
        event->ignore();
    else
        QWidget::closeEvent(event);
}

void BTNetwork_Form::BTNetwork_Form_Shown() {
    Display_Local();
    Display_Remote();
    Sort_Image(LLocal, LSorter.CurrentColumn);
    Sort_Image(LRemote, RSorter.CurrentColumn);
    Inquiry.checkWinsock([this](bool enabled) { UInterface(enabled); });
}

void BTNetwork_Form::Sort_Column(SortedList* list, ColumnSorter& sorter, int column) {
    sortColumn(list, sorter, column);
}

void BTNetwork_Form::Sort_Image(SortedList* list, qint32 key) {
    sortImage(list, key);
}

void BTNetwork_Form::ShowDevice(std::vector<Corvale::BTDevice>& devices, quint64 position) {
    if (position >= devices.size()) return;
    // On the stack: disposed when it closes, also when an exception passes.
    BTDevice_Form form(devices[position], this);
    form.exec();
}

void BTNetwork_Form::ShowAbout() {
    About_Form about(this);
    about.exec();
}

void BTNetwork_Form::Fill_Devices(const std::vector<Corvale::BTDevice>& devices, SortedList* list) {
    // Rows go in as one batch with the sorter detached, so the list is
    // sorted and laid out once per fill, not once per row.
    ColumnSorter* sorter = list->itemSorter();
    list->setItemSorter(nullptr);
    list->setUpdatesEnabled(false);
    const QList<QIcon>& images = listImages();
    QList<QTreeWidgetItem*> rows;
    rows.reserve(qsizetype(devices.size()));
    for (std::size_t i = 0; i < devices.size(); ++i) {
        const Corvale::BTDevice& device = devices[i];
        auto* row = new SortedRow(QStringList{
            toStr(device.COD().strMajor()), toStr(device.COD().strMinor()), toStr(device.Name()),
            toStr(device.Address().asString()), vendorText(device.Address())});
        row->setIcon(0, images[majorImageIndex(device.COD().getMajor())]);
        SortedList::setRecordIndex(row, i);
        rows.append(row);
    }
    list->addTopLevelItems(rows);
    list->setUpdatesEnabled(true);
    list->setItemSorter(sorter);
    // Long names and class texts are shown whole rather than cut short.
    // Up to a limit, so that the address stays in view.
    list->fitColumns(columnWidths(),
                     {scaledWidth(this, 130), scaledWidth(this, 180), scaledWidth(this, 200),
                      scaledWidth(this, 130), scaledWidth(this, 220)});
}

QList<int> BTNetwork_Form::columnWidths() const {
    return {scaledWidth(this, 130), scaledWidth(this, 130), scaledWidth(this, 120),
            scaledWidth(this, 120), scaledWidth(this, 150)};
}

void BTNetwork_Form::UInterface(bool enabled) {
    Inquiry.setUnlocked(enabled);
    setStripEnabled(TLocal, enabled);
    setStripEnabled(TRemote, enabled);
    LLocal->setEnabled(enabled);
    LRemote->setEnabled(enabled);
}

void BTNetwork_Form::Display_Local() {
    Fill_Devices(Net.LocalDevices(), LLocal);
    TL_Count->setText(QString::number(Net.LocalDevices().size()));
}

void BTNetwork_Form::Display_Remote() {
    Fill_Devices(Net.RemoteDevices(), LRemote);
    TR_Count->setText(QString::number(Net.RemoteDevices().size()));
}

// The local radios are read over the air as well (on BlueZ a radio's own
// records are read by paging it from another radio), so the refresh runs on
// the worker like the inquiry, with the window locked.
void BTNetwork_Form::TL_Refresh_Click() {
    if (Inquiry.isRunning()) return;
    UInterface(false);
    LLocal->clear();
    Inquiry.start(
        [this] { Local_DoWork(); },
        [this](const std::optional<QString>& failure) { Local_RunWorkerCompleted(failure); });
}

void BTNetwork_Form::Local_DoWork() {
    LocRet = Net.DiscoverLocalDevices();
}

void BTNetwork_Form::Local_RunWorkerCompleted(const std::optional<QString>& failure) {
    UInterface(true);
    if (failure)
        ShowError(*failure);
    else if (LocRet)
        Display_Local();
    else
        ShowError();
}

void BTNetwork_Form::TR_Refresh_Click() {
    if (Inquiry.isRunning()) return;
    UInterface(false);
    Inquiry.start(
        [this] { Inquiry_DoWork(); },
        [this](const std::optional<QString>& failure) { Inquiry_RunWorkerCompleted(failure); });
}

void BTNetwork_Form::Inquiry_DoWork() {
    RemRet = Net.DiscoverRemoteDevices();
}

// An inquiry that ended by an exception failed: its text goes to the user.
void BTNetwork_Form::Inquiry_RunWorkerCompleted(const std::optional<QString>& failure) {
    UInterface(true);
    LRemote->clear();
    if (failure)
        ShowError(*failure);
    else if (RemRet)
        Display_Remote();
    else
        ShowError();
    emit inquiryCompleted();
}

void BTNetwork_Form::TR_Cache_Click() {
    // The action checks itself when triggered; the engine switch follows it.
    Corvale::BTNetwork::setInquiryCache(TR_Cache->isChecked());
}

void BTNetwork_Form::TL_About_Click() {
    ShowAbout();
}

void BTNetwork_Form::openFocused(SortedList* list, std::vector<Corvale::BTDevice>& devices) {
    const QTreeWidgetItem* row = list->currentItem();
    if (row == nullptr) return;
    quint64 position = 0;
    if (!SortedList::recordIndex(row, position)) return;
    ShowDevice(devices, position);
}

void BTNetwork_Form::LLocal_DoubleClick() {
    openFocused(LLocal, Net.LocalDevices());
}

void BTNetwork_Form::LRemote_DoubleClick() {
    openFocused(LRemote, Net.RemoteDevices());
}

void BTNetwork_Form::LLocal_ColumnClick(int column) {
    Sort_Column(LLocal, LSorter, column);
}

void BTNetwork_Form::LRemote_ColumnClick(int column) {
    Sort_Column(LRemote, RSorter, column);
}

void BTNetwork_Form::SaveAs_Click() {
    const QString json = QStringLiteral("JSON (*.json)");
    const QString csv = QStringLiteral("CSV (*.csv)");
    QString chosen = json;
    QString fileName = QFileDialog::getSaveFileName(
        this, QStringLiteral("Save as"), QDir::home().filePath(QStringLiteral("bluetooth.json")),
        json + QStringLiteral(";;") + csv, &chosen);
    if (fileName.isEmpty()) return;
    // A name typed without a suffix gets the chosen type's.
    if (QFileInfo(fileName).suffix().isEmpty())
        fileName += chosen == csv ? QStringLiteral(".csv") : QStringLiteral(".json");
    saveTo(fileName);
}

bool BTNetwork_Form::saveTo(const QString& fileName) {
    const bool asCsv =
        QFileInfo(fileName).suffix().compare(QStringLiteral("csv"), Qt::CaseInsensitive) == 0;
    const std::string document =
        asCsv ? Corvale::Inspect::inventoryCsv(Net.LocalDevices(), Net.RemoteDevices())
              : Corvale::Inspect::jsonText(
                    Corvale::Inspect::inventoryJson(Net.LocalDevices(), Net.RemoteDevices()));
    // Written aside and renamed over the file at the end: a failure leaves
    // whatever was there before.
    QSaveFile file(fileName);
    if (file.open(QIODevice::WriteOnly) &&
        file.write(document.data(), qint64(document.size())) == qint64(document.size()) &&
        file.commit())
        return true;
    showMessageBox(this, QStringLiteral("Save as"),
                   QStringLiteral("Could not save %1: %2")
                       .arg(QDir::toNativeSeparators(fileName), file.errorString()),
                   QMessageBox::Warning);
    return false;
}

}  // namespace Quillmere
