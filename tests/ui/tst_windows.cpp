// The Quillmere windows driven as a user drives them, on the offscreen
// platform against the simulated world: first display, sorting, opening
// devices, the workers, failures, the read-only marks, About.
#include "HostileTexts.h"

#include <corvale/BTRecord.h>
#include <corvale/bt/sdp.h>
#include <corvale/inspect/Text.h>
#include <corvale/sim/World.h>
#include <quillmere/About_Form.h>
#include <quillmere/BTDevice_Form.h>
#include <quillmere/BTNetwork_Form.h>
#include <quillmere/BTRecord_Form.h>
#include <quillmere/BackgroundWorker.h>
#include <quillmere/Bridge.h>

#include <QtTest>
#include <QtWidgets>

#include <algorithm>

using namespace Quillmere;
using Corvale::Sim::address;
using Corvale::Sim::Api;
using Corvale::Sim::World;

namespace {
ULONG classWord(unsigned major, unsigned minor) {  // one service bit, so the engine keeps it
    return ULONG(0x200000 | (major << 8) | (minor << 2));
}
// Every column has one known order. "Alpha" comes into range before "alpha",
// so an order that ignores case (or keeps arrival order) gets them wrong. The
// address blocks are registered to OMRON, MATRIX, Cisco, FIBRONICS and
// FUJITSU, and gamma's (locally administered) to no one.
const struct {
    const char* name;
    ULONG cod;  // majors Phone, Computer, Audio, Peripheral, Imaging, LAN
    const char* address;
} scene[] = {{"Beta", classWord(2, 1), "00:00:0B:00:00:03"},
             {"Alpha", classWord(1, 3), "00:00:0C:00:00:0A"},
             {"", classWord(4, 1), "00:00:0A:00:00:01"},
             {"gamma", classWord(5, 0x10), "02:00:00:00:01:00"},
             {"Zed", classWord(6, 0x20), "00:00:0E:00:00:B2"},
             {"alpha", classWord(3, 0), "00:00:0D:00:00:2C"}};

// A record with one 16-bit service class and L2CAP in its protocol list.
Corvale::Sim::Record service(const std::string& name, const std::string& comment, ULONG port,
                             BYTE cls) {
    return {name, comment, port,
            std::vector<BYTE>{0x35, 0x12, 0x09, 0,    1, 0x35, 3, 0x19, 0x11, cls,
                              0x09, 0,    4,    0x35, 5, 0x35, 3, 0x19, 1,    0}};
}
template <typename T = QWidget>
T* child(QObject* parent, const char* name) {
    if (T* found = parent->findChild<T*>(QLatin1String(name))) return found;
    qFatal("no child %s", name);
}
QString text(QObject* parent, const char* name) {
    return child<QLabel>(parent, name)->text();
}
void click(QObject* parent, const char* name) {
    auto* action = child<QAction>(parent, name);
    QTest::mouseClick(qobject_cast<QToolBar*>(action->parent())->widgetForAction(action),
                      Qt::LeftButton);
}
void clickHeader(QTreeWidget* list, int column) {
    QHeaderView* header = list->header();
    const int x = header->sectionViewportPosition(column) + header->sectionSize(column) / 2;
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, QPoint(x, header->height() / 2));
}
void doubleClick(QTreeWidget* list, QTreeWidgetItem* row) {
    const QPoint at = list->visualItemRect(row).center();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
}
QStringList column(const QTreeWidget* list, int column) {
    QStringList texts;
    for (int i = 0; i < list->topLevelItemCount(); ++i)
        texts << list->topLevelItem(i)->text(column);
    return texts;
}
// Which list image an icon shows: its index, -1 for none, -2 for another.
int imageIndex(const QIcon& icon) {
    const QImage shown = icon.pixmap(16, 16).toImage();
    for (int i = 0; i < listImages().size(); ++i)
        if (listImages()[i].pixmap(16, 16).toImage() == shown) return i;
    return icon.isNull() ? -1 : -2;
}
QList<int> headerImages(const QTreeWidget* list) {
    QList<int> images;
    for (int i = 0; i < list->columnCount(); ++i) images << imageIndex(list->headerItem()->icon(i));
    return images;
}
// The header images of a list of columns when key (one-based, signed) is
// the sort key.
QList<int> arrowAt(int key, int columns = 5) {
    QList<int> images(columns, -1);
    images[qAbs(key) - 1] = key > 0 ? ImgSortAscending : ImgSortDescending;
    return images;
}
// What a user reads in the tool tip of a list cell, as Qt shows it.
QString toolTipText(QAbstractItemView* list, const QModelIndex& cell) {
    list->scrollTo(cell);
    const QPoint at = list->visualRect(cell).center();
    QHelpEvent hover(QEvent::ToolTip, at, list->viewport()->mapToGlobal(at));
    QApplication::sendEvent(list->viewport(), &hover);
    QTextDocument shown;
    const QString tip = QToolTip::text();
    for (QWidget* label : QApplication::topLevelWidgets())
        if (label->inherits("QTipLabel") && label->isVisible() &&
            label->width() > label->screen()->availableGeometry().width())
            return "(wider than the screen)";
    QToolTip::hideText();
    if (Qt::mightBeRichText(tip))
        shown.setHtml(tip);
    else
        shown.setPlainText(tip);
    // A table is a frame of its own, a picture an object character.
    for (QTextFrame* frame : shown.rootFrame()->childFrames())
        if (qobject_cast<QTextTable*>(frame)) return "(table)";
    return shown.toPlainText().replace(QChar::ObjectReplacementCharacter, "(picture)");
}
// The lists a refresh fills: its button, the list and its count, and how
// many rows the scene (or the phone) gives it.
struct Pane {
    const char* refresh;
    const char* list;
    const char* count;
    int rows;
};
const Pane panes[] = {{"TL_Refresh", "LLocal", "TL_Count", 2},
                      {"TR_Refresh", "LRemote", "TR_Count", 6},
                      {"Toolbar_Refresh", "Services", "Toolbar_Count", 3}};
QMessageBox* shownBox() {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* box = qobject_cast<QMessageBox*>(w); box && box->isVisible()) return box;
    return nullptr;
}
// Runs action; body gets the modal dialog T it opens while its exec() runs,
// after its first display, and closes it. Returns how many such dialogs came.
template <typename T>
int whenModal(const std::function<void()>& action, const std::function<void(T*)>& body) {
    int count = 0;
    QPointer<T> busy;  // the dialog body works on; gone once its exec() returned
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto* dialog = qobject_cast<T*>(QApplication::activeModalWidget());
        if (dialog == nullptr || dialog == busy) return;
        busy = dialog;
        if (count++ == 0) {
            // Its first display: on the screen, the handlers that queued then run.
            if (!QTest::qWaitForWindowExposed(dialog)) qFatal("dialog never shown");
            QCoreApplication::processEvents();
            body(dialog);
        }
        // a further one is counted and closed
        if (dialog->isVisible()) static_cast<QDialog*>(dialog)->done(0);
    });
    poll.start(5);
    action();
    return count;
}
// The record windows a device window has open.
QList<BTRecord_Form*> recordWindows(QWidget* device) {
    QList<BTRecord_Form*> open;
    for (BTRecord_Form* window : device->findChildren<BTRecord_Form*>())
        if (window->isVisible()) open << window;
    return open;
}
// The ways a row of the services list opens: Return, keypad Enter, double-click.
enum OpenBy { ByReturn, ByEnter, ByDoubleClick };
void openRow(QTreeWidget* services, QTreeWidgetItem* row, OpenBy way) {
    if (way == ByDoubleClick) return doubleClick(services, row);
    services->setCurrentItem(row);
    QTest::keyClick(services, way == ByReturn ? Qt::Key_Return : Qt::Key_Enter,
                    way == ByReturn ? Qt::NoModifier : Qt::KeypadModifier);
}
// The top-level row of attribute id in a record window's tree.
QModelIndex attributeRow(const QTreeView* tree, quint16 id) {
    const QString shown = "0x" + QString("%1").arg(id, 4, 16, QLatin1Char('0')).toUpper();
    for (int row = 0; row < tree->model()->rowCount(); ++row)
        if (tree->model()->index(row, 0).data().toString() == shown)
            return tree->model()->index(row, 0);
    return {};
}
QString cell(const QModelIndex& row, int column) {
    return row.siblingAtColumn(column).data().toString();
}
// Asks for the context menu on the cell and picks the entry.
bool pickFromContextMenu(QAbstractItemView* view, const QModelIndex& cell, const QString& entry) {
    view->scrollTo(cell);
    const QPoint at = view->visualRect(cell).center();
    bool picked = false;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        if (menu == nullptr) return;
        for (QAction* action : menu->actions())
            if (action->text() == entry && action->isEnabled()) {
                picked = true;
                QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(action).center());
            }
        menu->close();
    });
    poll.start(5);
    // The request alone, as a long press or a pen gives it: no click has
    // made the cell current.
    QContextMenuEvent event(QContextMenuEvent::Mouse, at, view->viewport()->mapToGlobal(at));
    QApplication::sendEvent(view->viewport(), &event);
    return picked;
}
// A device whose texts a spreadsheet would misread: a formula, a tab, a line
// end, a comma, quotes and letters beyond ASCII.
const char* const awkwardName = "=cmd|' /C calc'!A0\tR&D, \"L\u00e9a\"\nphone";
}  // namespace

class WindowsTest : public QObject {
    Q_OBJECT
    std::unique_ptr<Corvale::BTNetwork> net;
    std::unique_ptr<BTNetwork_Form> form;
    std::unique_ptr<BTDevice_Form> device;
    QList<QUrl> opened;  // what the desktop's browser was asked to open

    static World& world() { return World::instance(); }
    // The engine object of a test: made once, after the world is set up.
    Corvale::BTNetwork& engine() {
        if (!net) net = std::make_unique<Corvale::BTNetwork>();
        return *net;
    }
    // The main window over two radios, and the scene's devices if asked.
    void open(bool withScene = false, bool inquired = true) {
        world().addRadio({address("00:1A:7D:DA:71:13"), "Desk radio", classWord(1, 1)});
        world().addRadio({address("00:1B:DC:0F:3E:A9"), "USB dongle", classWord(3, 0)});
        if (withScene)
            for (const auto& d : scene) world().addDevice({address(d.address), d.name, d.cod});
        form = std::make_unique<BTNetwork_Form>(engine());
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
        QTRY_COMPARE(headerImages(list("LLocal")), arrowAt(1));  // the first display ran
        if (withScene && inquired) inquire();
    }
    SortedList* list(const char* name) { return child<SortedList>(form.get(), name); }
    void inquire() {
        QSignalSpy done(form.get(), &BTNetwork_Form::inquiryCompleted);
        click(form.get(), "TR_Refresh");
        QVERIFY(done.wait(10000));
    }
    // What a worker (or a missing session) locks, locked with the marquee
    // moving, or usable: both panes of the main window; only the services
    // part of a device window, whose top stays usable.
    static void locked(QWidget* window, bool yes) {
        const bool main = window->objectName() == "BTNetwork_Form";
        for (const char* name : main ? QList<const char*>{"TLocal", "TRemote", "LLocal", "LRemote"}
                                     : QList<const char*>{"Toolbar", "Services"})
            QVERIFY2(child(window, name)->isEnabled() == !yes, name);
        if (!main) QVERIFY(child(window, "TopTool")->isEnabled());
        auto* bar = child<QProgressBar>(window, main ? "TR_Progress" : "Toolbar_Progress");
        QTRY_COMPARE(bar->isVisible(), yes);
        if (yes) QCOMPARE(bar->maximum(), 0);
    }
    // The world's phone as the engine's record, found by an inquiry.
    Corvale::BTDevice& phone() {
        world().addDevice({address("5C:F3:70:12:8A:41"),
                           "Mara's phone",
                           0x5A020C,
                           {service("Serial Port", "Debug console", 3, 0x01),
                            service("Audio Source", "", 25, 0x0A),
                            service("OBEX Object Push", "Push", 10, 0x05)}});
        if (!engine().DiscoverRemoteDevices()) qFatal("inquiry failed");
        return net->RemoteDevices().at(0);
    }
    void show(Corvale::BTDevice& record) {
        device = std::make_unique<BTDevice_Form>(record);
        device->show();
        QVERIFY(QTest::qWaitForWindowExposed(device.get()));
        QTRY_COMPARE(headerImages(child<SortedList>(device.get(), "Services")), arrowAt(3, 4));
    }
    // Mara's phone of the demo neighbourhood, its services discovered.
    Corvale::BTDevice& demoPhone() {
        Corvale::Sim::loadDemoNeighbourhood(world());
        if (!engine().DiscoverRemoteDevices()) qFatal("inquiry failed");
        Corvale::BTDevice& phone = net->RemoteDevices().at(0);
        if (!phone.DiscoverServices()) qFatal("service discovery failed");
        return phone;
    }
    // Opens the device window's service named name and returns its new record window.
    BTRecord_Form* openRecord(const QString& name) {
        auto* services = child<SortedList>(device.get(), "Services");
        const auto rows = services->findItems(name, Qt::MatchExactly, 0);
        if (rows.size() != 1) qFatal("no single service %s", qPrintable(name));
        const QList<BTRecord_Form*> before = recordWindows(device.get());
        openRow(services, rows.first(), ByReturn);
        if (!QTest::qWaitFor([&] { return recordWindows(device.get()).size() > before.size(); }))
            qFatal("no record window");
        for (BTRecord_Form* window : recordWindows(device.get()))
            if (!before.contains(window)) return window;
        return nullptr;
    }
    QString marks() {
        auto* flags = child<QListWidget>(device.get(), "COD_Services");
        QString shown;
        for (int i = 0; i < flags->count(); ++i)
            shown += flags->item(i)->checkState() == Qt::Checked ? 'X' : '.';
        return shown;
    }
    // The shown box's caption and text, answered.
    QString box() {
        if (!QTest::qWaitFor([] { return shownBox() != nullptr; })) return {};
        const QString shown = shownBox()->windowTitle() + ": " + shownBox()->text();
        QTest::mouseClick(shownBox()->button(QMessageBox::Ok), Qt::LeftButton);
        return shown;
    }

public slots:
    void openUrl(const QUrl& url) { opened << url; }

private slots:
    void initTestCase() {
        QDesktopServices::setUrlHandler(QStringLiteral("https"), this, "openUrl");
    }
    void cleanupTestCase() { QDesktopServices::unsetUrlHandler(QStringLiteral("https")); }
    void init() {
        while (baselib::isWinsockInitied()) baselib::WinsockClear();
        world().reset();
        QVERIFY(baselib::WinsockStart());
        Corvale::BTNetwork::setInquiryCache(false);
        Corvale::BTDevice::setInquiryCache(false);
    }
    void cleanup() {
        while (shownBox()) shownBox()->close();
        device.reset();
        form.reset();
        net.reset();
        QLocale::setDefault(QLocale::system());
    }

    void firstDisplay() {
        open(true, false);
        QCOMPARE(form->windowTitle(), "Ostrand Quillmere Tool (powered by Corvale engine)");
        const char* texts[][3] = {
            {"TL_Label", "text", "Local devices:"},
            {"TR_Label", "text", "Remote devices:"},
            {"TL_Count", "text", "2"},
            {"TR_Count", "text", "0"},  // no inquiry starts by itself
            {"TR_Refresh", "toolTip", "Refresh remote devices..."},
            {"TL_Refresh", "toolTip", "Refresh local devices..."},
            {"LRemote", "toolTip", "Double-click to get more details on this device..."}};
        for (const auto& t : texts)
            QCOMPARE(child<QObject>(form.get(), t[0])->property(t[1]).toString(), t[2]);
        QCOMPARE(column(list("LLocal"), 2), (QStringList{"Desk radio", "USB dongle"}));
        locked(form.get(), false);
        QVERIFY(shownBox() == nullptr);
    }

    void winsockDown() {
        baselib::WinsockClear();
        open();
        QCOMPARE(text(form.get(), "TL_Count"), "0");
        locked(form.get(), true);
        QCOMPARE(shownBox()->icon(), QMessageBox::Critical);
        QCOMPARE(box(), "Winsock error: Winsock library was not loaded: user interface disabled!");
        QVERIFY(form->close());
        Corvale::BTDevice record(Corvale::BTAddress(0x001122334455ULL));
        show(record);  // the device window the same way
        locked(device.get(), true);
        QVERIFY(box().startsWith("Winsock error: Winsock library was not loaded"));
        QVERIFY(device->close());
    }

    void sortEachColumn_data() {
        QTest::addColumn<int>("key");
        QTest::addColumn<QStringList>("names");  // ascending by that column
        QTest::newRow("major") << 1 << QStringList{"", "Alpha", "Zed", "alpha", "gamma", "Beta"};
        QTest::newRow("minor") << 2 << QStringList{"alpha", "Beta", "", "gamma", "Alpha", "Zed"};
        QTest::newRow("name") << 3 << QStringList{"", "alpha", "Alpha", "Beta", "gamma", "Zed"};
        QTest::newRow("address") << 4 << QStringList{"", "Beta", "Alpha", "alpha", "Zed", "gamma"};
        QTest::newRow("vendor") << 5 << QStringList{"gamma", "Alpha", "alpha", "Zed", "Beta", ""};
    }
    void sortEachColumn() {
        QFETCH(int, key);
        QFETCH(QStringList, names);
        const QStringList reversed(names.rbegin(), names.rend());
        open(true);
        // The first column is the initial key; another's first click sorts it ascending.
        if (key > 1) clickHeader(list("LRemote"), key - 1);
        QCOMPARE(column(list("LRemote"), 2), names);
        QCOMPARE(headerImages(list("LRemote")), arrowAt(key));
        clickHeader(list("LRemote"), key - 1);
        inquire();  // a refill keeps the key
        QCOMPARE(column(list("LRemote"), 2), reversed);
        QCOMPARE(headerImages(list("LRemote")), arrowAt(-key));
        clickHeader(list("LRemote"), key - 1);
        QCOMPARE(column(list("LRemote"), 2), names);
    }

    // The user's locale decides, and the C locale sorts as English does, not
    // by code points; ctest runs sortEachColumn under the C locales as well.
    void namesSortAsTheLocaleCollates_data() {
        QTest::addColumn<QLocale>("locale");
        QTest::addColumn<QStringList>("names");  // ascending
        const QStringList english{"alpha", "Ärla", "Beta", "Zed"};
        QTest::newRow("C") << QLocale::c() << english;
        QTest::newRow("en_US") << QLocale(QLocale::English, QLocale::UnitedStates) << english;
        QTest::newRow("sv_SE") << QLocale(QLocale::Swedish, QLocale::Sweden)
                               << QStringList{"alpha", "Beta", "Zed", "Ärla"};
    }
    void namesSortAsTheLocaleCollates() {
        QFETCH(QLocale, locale);
        QLocale::setDefault(locale);
        const char* names[] = {"Zed", "Ärla", "Beta", "alpha"};
        for (int i = 0; i < 4; ++i)
            world().addDevice({BTH_ADDR(0x100 + i), names[i], classWord(1, 1)});
        open();
        inquire();
        clickHeader(list("LRemote"), 2);
        QTEST(column(list("LRemote"), 2), "names");
    }

    void columnWidthSetByHandSurvivesRefresh() {
        open(true);
        QHeaderView* header = list("LRemote")->header();
        const int fitted = header->sectionSize(2);
        world().addDevice({address("00:00:00:00:0F:FF"), "A device name longer than the column",
                           classWord(1, 1)});
        inquire();  // fitted to the longer name as long as the user has not set a width
        QVERIFY(header->sectionSize(2) > fitted);
        // The user drags the right edge of "Device name" 30 pixels to the left.
        const int wide = header->sectionSize(2);
        QPoint at(header->sectionViewportPosition(2) + wide - 1, header->height() / 2);
        QTest::mousePress(header->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseMove(header->viewport(), at -= QPoint(30, 0));
        QTest::mouseRelease(header->viewport(), Qt::LeftButton, {}, at);
        QCOMPARE(header->sectionSize(2), wide - 30);
        inquire();
        QCOMPARE(header->sectionSize(2), wide - 30);
    }

    void doubleClickOpensTheFocusedRowsDevice() {
        open(true);
        QTreeWidget* remote = list("LRemote");
        clickHeader(remote, 2);
        clickHeader(remote, 2);
        for (int i = 0; i < remote->topLevelItemCount(); ++i) {
            QTreeWidgetItem* row = remote->topLevelItem(i);
            QString shown;
            const auto read = [&](BTDevice_Form* d) { shown = text(d, "TT_Address"); };
            QCOMPARE(whenModal<BTDevice_Form>([&] { doubleClick(remote, row); }, read), 1);
            QCOMPARE(shown, "(" + row->text(3) + ")");
        }
        remote->setCurrentItem(nullptr);  // no focused row in either list: nothing opens
        list("LLocal")->setCurrentItem(nullptr);
        const auto none = [&] {
            form->LRemote_DoubleClick();
            form->LLocal_DoubleClick();
        };
        QCOMPARE(whenModal<BTDevice_Form>(none, [](BTDevice_Form*) {}), 0);
        clickHeader(remote, 3);  // another column after a descending one: ascending
        QCOMPARE(headerImages(remote), arrowAt(4));
        QCOMPARE(form->localSorter().CurrentColumn, 1);
    }

    // A refresh locks its window, which refuses to close meanwhile, and fills
    // the list anew however often it runs; a failed one empties the list,
    // keeps the count and says why.
    void refreshLocksFillsOrFailsSayingWhy_data() {
        QTest::addColumn<int>("pane");  // local radios, remote devices, a device's services
        QTest::addColumn<int>("fault");
        QTest::addColumn<QString>("why");
        QTest::newRow("local radios") << 0 << 0 << "(21) The device is not ready.\r\n";
        // An exception that ends the work: the engine refuses a radio with the
        // null address. (A remote device with it never reaches the engine: the
        // platform layer drops it.)
        QTest::newRow("local null address") << 0 << 1 << "Device address is null.";
        QTest::newRow("remote devices")
            << 1 << 2 << "(10050) A socket operation encountered a dead network.\r\n";
        QTest::newRow("services") << 2 << 3
                                  << "(10064) A socket operation failed because the destination "
                                     "host was down.\r\n";
    }
    void refreshLocksFillsOrFailsSayingWhy() {
        QFETCH(int, pane);
        QFETCH(int, fault);
        QFETCH(QString, why);
        world().setInquiryDuration(std::chrono::milliseconds(400));
        world().setSdpDuration(std::chrono::milliseconds(200));  // each radio's own records too
        const Pane& p = panes[pane];
        if (pane == 2)
            show(phone());
        else
            open(true, false);
        QWidget* window = pane == 2 ? static_cast<QWidget*>(device.get()) : form.get();
        for (int round = 0; round < 2; ++round) {  // each device once, however often
            click(window, p.refresh);
            locked(window, true);
            QVERIFY(!window->close());  // refused, silently
            if (device) device->reject();
            QVERIFY(window->isVisible() && shownBox() == nullptr);
            QTRY_VERIFY(child<QAction>(window, p.refresh)->isEnabled());
            locked(window, false);
            QCOMPARE(text(window, p.count), QString::number(p.rows));
            QCOMPARE(child<QTreeWidget>(window, p.list)->topLevelItemCount(), p.rows);
        }
        QTest::keyClick(window, Qt::Key_Escape);  // closes neither window
        QVERIFY(window->isVisible());
        const std::function<void()> faults[] = {
            [] {
                world().failCall(Api::BluetoothFindFirstRadio,
                                 1 + world().count(Api::BluetoothFindFirstRadio), ERROR_NOT_READY);
            },
            [] { world().addRadio({.address = BTH_ADDR(0), .name = "ghost"}); },
            [] {
                world().failFrom(Api::WSALookupServiceBeginW,
                                 1 + world().count(Api::WSALookupServiceBeginW), WSAENETDOWN);
            },
            [] {
                world().failFrom(Api::WSALookupServiceBeginW,
                                 1 + world().count(Api::WSALookupServiceBeginW), WSAEHOSTDOWN);
            }};
        faults[fault]();
        click(window, p.refresh);
        QTRY_VERIFY(child<QAction>(window, p.refresh)->isEnabled());
        QCOMPARE(child<QTreeWidget>(window, p.list)->topLevelItemCount(), 0);
        QCOMPARE(text(window, p.count), QString::number(p.rows));
        QCOMPARE(box(), "Corvale error: " + why);
        QVERIFY(window->close());
    }

    void workEndingByAnyExceptionReportsItsText_data() {
        // The engine's own text and a work that returns: the refreshes'.
        QTest::addColumn<bool>("standard");  // a std::exception, or anything else
        QTest::addColumn<QString>("failure");
        QTest::newRow("std::exception") << true << "No memory here";
        QTest::newRow("anything else") << false << BackgroundWorker::UnknownFailure;
    }
    void workEndingByAnyExceptionReportsItsText() {
        QFETCH(bool, standard);
        QWidget window;
        BackgroundWorker worker(&window);
        std::optional<std::optional<QString>> ended;
        worker.start(
            [standard] {
                if (standard) throw std::runtime_error("No memory here");
                throw 42;
            },
            [&](const std::optional<QString>& failure) { ended = failure; });
        QVERIFY(worker.isRunning());
        QTRY_VERIFY(ended.has_value());
        QTEST(ended->value_or(QString()), "failure");
        QVERIFY(!worker.isRunning());
    }

    void engineTextEndsAtItsFirstNul() {
        const std::pair<std::wstring, QString> cut[] = {{std::wstring(L"Left\0Right", 10), "Left"},
                                                        {std::wstring(L"\0x", 2), ""},
                                                        {L" x\U0001F3A7 ", " x\U0001F3A7 "}};
        for (const auto& [engine, shown] : cut)
            QVERIFY(BTNetwork_Form::toStr(engine) == shown &&
                    BTDevice_Form::toStr(engine) == shown);
    }

    void cacheSwitchesAreTheEnginesOwn() {
        Corvale::BTNetwork::setInquiryCache(true);
        open(true, false);
        for (bool on : {false, true}) {  // the button shows the engine's switch from the start
            click(form.get(), "TR_Cache");
            QCOMPARE(Corvale::BTNetwork::getInquiryCache(), on);
            world().clearLog();
            inquire();
            QCOMPARE(world().calls(Api::WSALookupServiceBeginW).at(0).flags,
                     DWORD(on ? LUP_CONTAINERS : LUP_CONTAINERS | LUP_FLUSHCACHE));
        }
        Corvale::BTDevice::setInquiryCache(true);  // the device window's is another
        show(net->RemoteDevices().at(0));
        QVERIFY(child<QAction>(device.get(), "Toolbar_Cache")->isChecked());
        click(device.get(), "Toolbar_Cache");
        QVERIFY(!Corvale::BTDevice::getInquiryCache() && Corvale::BTNetwork::getInquiryCache());
    }

    void deviceIdentityAndReadOnlyMarks_data() {
        QTest::addColumn<uint>("cod");
        QTest::addColumn<int>("image");
        QTest::addColumn<QStringList>("classes");
        QTest::addColumn<QString>("marks");  // Limited, Positioning, ... Information
        // clang-format off
        QTest::newRow("phone") << 0x5A020Cu << 2 << QStringList{"Phone", "Smart phone"} << "..X.XX.X.";
        QTest::newRow("printer") << 0x0406C0u << 6 << QStringList{"Imaging", "Scanner / Printer"} << "...X.....";
        QTest::newRow("all") << 0xFF2104u << 1 << QStringList{"Computer", "Desktop"} << "XXXXXXXXX";
        QTest::newRow("reserved") << 0x81097Cu << 0 << QStringList{"(reserved)", "(reserved)"} << ".X......X";
        QTest::newRow("unclassified") << 0x003F00u << 0 << QStringList{"Unclassified", "(none)"} << "X........";
        // clang-format on
    }
    void deviceIdentityAndReadOnlyMarks() {
        QFETCH(uint, cod);
        QFETCH(QStringList, classes);
        Corvale::BTDevice record(Corvale::BTAddress(0x001234ABCDEFULL),
                                 Corvale::BTClassOfDevice(cod), std::wstring(L"Thing\0Hidden", 12));
        show(record);
        QCOMPARE(device->windowTitle(), "Device details...");
        auto* name = child<QToolButton>(device.get(), "TT_Name");
        QCOMPARE(name->text() + text(device.get(), "TT_Address"), "Thing(00:12:34:AB:CD:EF)");
        QTEST(imageIndex(name->icon()), "image");
        QCOMPARE(
            column(child<QTreeWidget>(device.get(), "Info"), 1),
            QStringList({"Thing", "00:12:34:AB:CD:EF"}) + classes + QStringList{"Camille Bauer"});
        QTEST(marks(), "marks");
        // The marks cannot be changed: on the check box or from code.
        auto* flags = child<QListWidget>(device.get(), "COD_Services");
        for (int i = 0; i < flags->count(); ++i) {
            const QRect r = flags->visualItemRect(flags->item(i));
            QTest::mouseClick(flags->viewport(), Qt::LeftButton, {},
                              {r.left() + 10, r.center().y()});
            QTEST(marks(), "marks");
            flags->item(i)->setCheckState(marks()[i] == 'X' ? Qt::Unchecked : Qt::Checked);
            QTEST(marks(), "marks");
        }
    }

    void servicesSurviveClosingAndReopening() {
        phone();
        open();
        inquire();
        QTreeWidget* remote = list("LRemote");
        const auto openPhone = [&] { doubleClick(remote, remote->topLevelItem(0)); };
        const int first = whenModal<BTDevice_Form>(openPhone, [&](BTDevice_Form* dialog) {
            QCOMPARE(text(dialog, "Toolbar_Count"), "0");
            QSignalSpy done(dialog, &BTDevice_Form::discoveryCompleted);
            click(dialog, "Toolbar_Refresh");
            QVERIFY(done.wait(10000));
            QVERIFY(dialog->close());
        });
        QCOMPARE(first, 1);
        const unsigned searches = world().count(Api::WSALookupServiceBeginW);
        QPointer<BTRecord_Form> record;
        const int second = whenModal<BTDevice_Form>(openPhone, [&](BTDevice_Form* dialog) {
            auto* list = child<SortedList>(dialog, "Services");
            QCOMPARE(text(dialog, "Toolbar_Count"), "3");  // at once, without asking again
            QCOMPARE(column(list, 0),
                     (QStringList{"Serial Port", "OBEX Object Push", "Audio Source"}));
            QCOMPARE(column(list, 1), (QStringList{"Debug console", "Push", ""}));
            QCOMPARE(column(list, 2).first(), "{00001101-0000-1000-8000-00805F9B34FB}");
            QCOMPARE(imageIndex(list->topLevelItem(0)->icon(0)), int(ImgService));
            clickHeader(list, 3);  // ports sort as text
            QCOMPARE(column(list, 3), (QStringList{"10", "25", "3"}));
            // A record window takes the mouse: the modal device window, its
            // owner, does not block it.
            openRow(list, list->topLevelItem(0), ByReturn);
            QTRY_COMPARE(recordWindows(dialog).size(), 1);
            record = recordWindows(dialog).first();
            QVERIFY(QTest::qWaitForWindowExposed(record));
            auto* tree = child<QTreeView>(record, "Attributes");
            const QModelIndex second = tree->model()->index(1, 0);
            const QPoint at = tree->viewport()->mapTo(record, tree->visualRect(second).center());
            QTest::mouseClick(record->windowHandle(), Qt::LeftButton, {}, at);
            QTRY_COMPARE(tree->currentIndex(), second);
        });
        QCOMPARE(second, 1);
        QCOMPARE(world().count(Api::WSALookupServiceBeginW), searches);
        QVERIFY(record.isNull());  // gone with its device window
    }

    void aboutFromBothWindows() {
        show(phone());  // the record stays: the main window runs no inquiry
        open();
        for (const auto& [window, button] :
             {std::pair<QWidget*, const char*>{form.get(), "TL_About"},
              {device.get(), "TT_About"}}) {
            const int boxes = whenModal<About_Form>(
                [&] { click(window, button); },
                [&](About_Form* about) {
                    QCOMPARE(about->parentWidget(), window);
                    QCOMPARE(about->windowTitle() + text(about, "label1"),
                             "About...Ostrand Quillmere Tool");
                    for (QLabel* label : about->findChildren<QLabel*>())
                        QVERIFY2(about->rect().contains(label->geometry()),
                                 qPrintable(label->objectName()));
                    auto* ok = child<QPushButton>(about, "button1");
                    QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(ok));
                    // Each link goes to the opener with the address it shows; the box stays.
                    const char* links[][2] = {{"linkLabel1", About_Form::MakerAddress},
                                              {"linkLabel2", About_Form::AuthorAddress}};
                    for (const auto& [name, address] : links) {
                        auto* label = child<QLabel>(about, name);
                        QVERIFY(label->text().contains(QLatin1String(address)));
                        opened.clear();
                        QTest::mouseClick(label, Qt::LeftButton, {}, label->rect().center());
                        QTRY_COMPARE(opened, QList<QUrl>{QUrl(QLatin1String(address))});
                    }
                    QTest::keyClick(about, Qt::Key_Escape);  // does nothing
                    QVERIFY(about->isVisible());
                    QTest::keyClick(ok, Qt::Key_Return);
                    QVERIFY(!about->isVisible() && about->result() == QDialog::Accepted);
                });
            QCOMPARE(boxes, 1);
            QVERIFY(window->findChildren<About_Form*>().isEmpty());  // disposed once closed
        }
    }

    void recordOpensForTheFocusedRowAfterAnySort_data() {
        QTest::addColumn<int>("key");  // the services list's sort key
        QTest::addColumn<int>("way");
        const char* ways[] = {"Return", "keypad Enter", "double-click"};
        for (int key : {3, -3, 1, -1, 2, -2, 4, -4})
            for (int way : {ByReturn, ByEnter, ByDoubleClick})
                QTest::addRow("key %d, %s", key, ways[way]) << key << way;
    }
    void recordOpensForTheFocusedRowAfterAnySort() {
        QFETCH(int, key);
        QFETCH(int, way);
        show(demoPhone());
        auto* services = child<SortedList>(device.get(), "Services");
        while (device->servicesSorter().CurrentColumn != key) clickHeader(services, qAbs(key) - 1);
        QVERIFY(services->topLevelItemCount() >= 8);
        for (int i = 0; i < services->topLevelItemCount(); ++i) {
            QTreeWidgetItem* row = services->topLevelItem(i);
            openRow(services, row, OpenBy(way));
            QTRY_COMPARE(recordWindows(device.get()).size(), 1);
            BTRecord_Form* record = recordWindows(device.get()).first();
            const Corvale::BTService& shown = record->service();
            QCOMPARE((QStringList{toStr(shown.Name()), toStr(shown.Comment()),
                                  toStr(shown.UUID().asString()), QString::number(shown.Port())}),
                     (QStringList{row->text(0), row->text(1), row->text(2), row->text(3)}));
            // Its tree: every attribute of the record.
            auto* tree = child<QTreeView>(record, "Attributes");
            QCOMPARE(tree->model()->rowCount(),
                     int(Corvale::BTRecord::Decode(shown.Record()).Attributes().size()));
            record->close();
            QTRY_VERIFY(recordWindows(device.get()).isEmpty());
        }
        QVERIFY(device->isVisible());
    }

    // A device's name, its service's name and comment and its record's texts
    // as a stranger's radio may send them: shown as they came, cut, never as
    // markup, in the device window and in the record window.
    void hostileTextsShowLiterally_data() {
        QTest::addColumn<QByteArray>("hostile");  // bytes of each text, UTF-8 or not
        QTest::addColumn<int>("cut");             // bytes cut off the record's end
        for (const auto& [what, text] : HostileTexts::all())
            QTest::newRow(what.c_str()) << QByteArray::fromStdString(text) << 0;
        QTest::newRow("ill-formed UTF-8")
            << QByteArray("\xC3\x28 caf\xE9 \xF0\x9F\x98 <b>x</b> \xED\xA0\x80") << 0;
        QTest::newRow("NUL inside") << QByteArray("left\0<b>right</b>", 17) << 0;
        QTest::newRow("title placeholder") << QByteArray("Modem [*] and [*][*]") << 0;
        QTest::newRow("64 KiB") << QByteArray(64 * 1024, 'W') << 0;
        QTest::newRow("cut record") << QByteArray("<i>Cut</i> short") << 6;
    }
    void hostileTextsShowLiterally() {
        QFETCH(QByteArray, hostile);
        QFETCH(int, cut);
        namespace Sdp = Corvale::Bt::Sdp;
        const std::string_view bytes(hostile.constData(), std::size_t(hostile.size()));
        Sdp::Bytes record = Sdp::record(
            {{0x0000, Sdp::uint32(0x00010000)},
             {0x0001, Sdp::sequence({Sdp::uuid16(0x1101)})},
             {0x0004, Sdp::sequence({Sdp::sequence({Sdp::uuid16(0x0100)}),
                                     Sdp::sequence({Sdp::uuid16(0x0003), Sdp::uint8(3)})})},
             {0x000A, Sdp::url(bytes)},
             {0x0100, Sdp::text(bytes)}});
        record.resize(record.size() - std::size_t(cut));
        const std::string sent = hostile.toStdString();
        world().addDevice({address("5C:F3:70:12:8A:41"),
                           "",
                           0x5A020C,
                           {{.name = sent, .comment = sent, .port = 3, .bytes = record}}});
        const QString text = QString::fromUtf8(hostile).section(QChar(0), 0, 0);
        Corvale::BTDevice phone(Corvale::BTAddress(0x5CF370128A41ULL),
                                Corvale::BTClassOfDevice(0x5A020C), text.toStdWString());
        QVERIFY(phone.DiscoverServices());
        show(phone);
        // Cells show the text as it came (ill-formed UTF-8 as the engine read
        // it); tool tips its first characters as they came, and not many more.
        auto* services = child<QTreeWidget>(device.get(), "Services");
        const Corvale::BTService& read = phone.Services().at(0);
        QCOMPARE(column(services, 0) + column(services, 1),
                 (QStringList{toStr(read.Name()), toStr(read.Comment())}));
        QCOMPARE(column(child<QTreeWidget>(device.get(), "Info"), 1).first(), text);
        for (int cell : {0, 1}) {
            const QString tip = toolTipText(services, services->model()->index(0, cell));
            QVERIFY2(text.startsWith(tip.left(6)) && tip.size() <= 400, qPrintable(tip.left(80)));
            // on one line, without the device's control characters
            QVERIFY(std::none_of(tip.begin(), tip.end(), [](QChar c) {
                return c.category() == QChar::Other_Control || c == QChar::LineSeparator;
            }));
        }
        // The name's button shows '&' and grabs no Alt key; About stays in view.
        auto* button = child<QToolButton>(device.get(), "TT_Name");
        QVERIFY(QKeySequence::mnemonic(button->text()).isEmpty());
        QVERIFY(child(device.get(), "TT_About_Button")->isVisible());
        const QString name = services->topLevelItem(0)->text(0);
        BTRecord_Form* window = openRecord(name);
        QVERIFY(QTest::qWaitForWindowExposed(window));
        const auto decoded = Corvale::BTRecord::Decode(window->service().Record());
        // The title, as the window system gets it: the name as the list shows
        // it, on one line, "[*]" as written, and not much more of it.
        const QString title = window->windowHandle()->title();
        QString start = name.left(20);
        for (QChar& c : start)
            if (c.category() == QChar::Other_Control || c == QChar::LineSeparator) c = u' ';
        QVERIFY2(title.startsWith("Service record") && title.contains(start) && title.size() < 120,
                 qPrintable(title.left(120)));
        for (QLabel* label : window->findChildren<QLabel*>())
            QVERIFY2(label->textFormat() == Qt::PlainText, qPrintable(label->objectName()));
        // Each text attribute read: its cell shows the record's text rendering,
        // cut; its tool tip shows the same as plain text; a copy gives it whole.
        auto* tree = child<QTreeView>(window, "Attributes");
        QCOMPARE(tree->model()->rowCount(), int(decoded.Attributes().size()));
        int texts = 0;
        for (quint16 id : {0x000A, 0x0100}) {
            const Corvale::BTAttribute* attribute = decoded.Find(id);
            if (attribute == nullptr) continue;
            ++texts;
            const QModelIndex row = attributeRow(tree, id);
            const QString whole = QString::fromStdString(
                Corvale::Inspect::valueText(decoded, decoded.Value(*attribute)));
            QCOMPARE(cell(row, 3), capped(whole, CellLength));
            const QString tip = toolTipText(tree, row.siblingAtColumn(3));
            QVERIFY2(whole.startsWith(tip.left(6)) && tip.size() <= 400, qPrintable(tip.left(80)));
            tree->setCurrentIndex(row);
            QTest::keyClick(tree, Qt::Key_C, Qt::ControlModifier);
            QCOMPARE(QGuiApplication::clipboard()->text(),
                     QString::fromStdString(Corvale::Inspect::attributeText(decoded, *attribute)));
        }
        QCOMPARE(texts, cut ? 1 : 2);
        // Where reading stopped, when it did, as a line of its own.
        auto* malformed = child<QLabel>(window, "Malformed");
        QCOMPARE(malformed->isVisible(), cut != 0);
        if (cut)
            QVERIFY(malformed->text().contains(QString::number(decoded.MalformedAt().value())));
    }

    void copyGivesTheRecordsText_data() {
        // The node: an attribute ID, then the rows below it; how it is copied.
        QTest::addColumn<QList<int>>("path");
        QTest::addColumn<QString>("how");
        QTest::newRow("attribute, Ctrl+C") << QList<int>{0x0004} << "Ctrl+C";
        QTest::newRow("sequence inside, Ctrl+C") << QList<int>{0x0004, 1} << "Ctrl+C";
        QTest::newRow("leaf, menu") << QList<int>{0x0004, 1, 1} << "Copy";
        QTest::newRow("whole record, menu") << QList<int>{0x0009, 0} << "Copy whole record";
        QTest::newRow("whole record, Ctrl+Shift+C") << QList<int>{0x0001} << "Ctrl+Shift+C";
    }
    void copyGivesTheRecordsText() {
        QFETCH(QList<int>, path);
        QFETCH(QString, how);
        show(demoPhone());
        BTRecord_Form* window = openRecord("Voice Gateway");
        const auto decoded = Corvale::BTRecord::Decode(window->service().Record());
        auto* tree = child<QTreeView>(window, "Attributes");
        const Corvale::BTAttribute* attribute = decoded.Find(quint16(path[0]));
        QVERIFY(attribute != nullptr);
        const Corvale::BTElement* element = &decoded.Value(*attribute);
        QModelIndex node = attributeRow(tree, quint16(path[0]));
        for (int i = 1; i < path.size(); ++i) {
            node = tree->model()->index(path[i], 0, node);
            element = &decoded.Children(*element)[std::size_t(path[i])];
        }
        QVERIFY(node.isValid());
        std::string expected = path.size() == 1
                                   ? Corvale::Inspect::attributeText(decoded, *attribute)
                                   : Corvale::Inspect::elementText(decoded, *element);
        if (how.contains("whole") || how.contains("Shift"))
            expected = Corvale::Inspect::recordText(decoded);
        QVERIFY(!expected.empty());
        QGuiApplication::clipboard()->clear();
        if (how.startsWith("Ctrl")) {
            tree->setCurrentIndex(node);
            QTest::keyClick(tree, Qt::Key_C,
                            how.contains("Shift") ? Qt::ControlModifier | Qt::ShiftModifier
                                                  : Qt::ControlModifier);
        } else {
            tree->setCurrentIndex(tree->model()->index(0, 0));  // the click picks the node
            QVERIFY(pickFromContextMenu(tree, node.siblingAtColumn(3), how));
        }
        QCOMPARE(QGuiApplication::clipboard()->text(), QString::fromStdString(expected));
        QCOMPARE(QGuiApplication::clipboard()->mimeData()->formats(), QStringList{"text/plain"});
    }

    // Every list copies its selected row under its captions, one line each,
    // with nothing a spreadsheet would run and no tab or line end of the
    // device's breaking a row.
    void copyGivesTheSelectedRowAsTabSeparatedText_data() {
        QTest::addColumn<QString>("list");
        QTest::addColumn<int>("row");
        QTest::addColumn<bool>("byMenu");
        QTest::addColumn<QString>("copied");
        const QString name = "'=cmd|' /C calc'!A0 R&D, \"L\u00e9a\" phone";
        QTest::newRow("remote devices, Ctrl+C")
            << "LRemote" << 0 << false
            << "Major device class\tMinor device class\tDevice name\tDevice address\tVendor\n"
               "Phone\tSmart phone\t" +
                   name + "\t5C:F3:70:12:8A:41\tCC&C Technologies, Inc\n";
        QTest::newRow("local radios, menu")
            << "LLocal" << 1 << true
            << "Major device class\tMinor device class\tDevice name\tDevice address\tVendor\n"
               "LAN\t(none)\tUSB dongle\t00:1B:DC:0F:3E:A9\tVencer Co., Ltd.\n";
        QTest::newRow("device fields, Ctrl+C")
            << "Info" << 0 << false << "Field\tValue\nDevice name\t" + name + "\n";
        QTest::newRow("vendor field, menu")
            << "Info" << 4 << true << "Field\tValue\nVendor\tCC&C Technologies, Inc\n";
        QTest::newRow("services, menu")
            << "Services" << 0 << true
            << "Service name\tComment\tService UUID\tPort\n'+SUM(A1)\tsee  below\t"
               "{00001101-0000-1000-8000-00805F9B34FB}\t3\n";
    }
    void copyGivesTheSelectedRowAsTabSeparatedText() {
        QFETCH(QString, list);
        QFETCH(int, row);
        QFETCH(bool, byMenu);
        world().addDevice({address("5C:F3:70:12:8A:41"),
                           awkwardName,
                           0x5A020C,
                           {service("+SUM(A1)", "see\r\nbelow", 3, 0x01)}});
        open();
        inquire();
        SortedList* shown = nullptr;
        if (list.startsWith('L')) {
            shown = this->list(qPrintable(list));
        } else {
            Corvale::BTDevice& phone = net->RemoteDevices().at(0);
            QVERIFY(phone.DiscoverServices());
            show(phone);
            shown = child<SortedList>(device.get(), qPrintable(list));
        }
        QGuiApplication::clipboard()->clear();
        shown->clearSelection();
        QTest::keyClick(shown, Qt::Key_C, Qt::ControlModifier);  // nothing selected, nothing copied
        QCOMPARE(QGuiApplication::clipboard()->text(), QString());
        QTreeWidgetItem* picked = shown->topLevelItem(row);
        if (byMenu) {
            QVERIFY(pickFromContextMenu(shown, shown->indexFromItem(picked, 1), "Copy"));
        } else {
            shown->setCurrentItem(picked);
            QTest::keyClick(shown, Qt::Key_C, Qt::ControlModifier);
        }
        QTEST(QGuiApplication::clipboard()->text(), "copied");
    }

    // Save as writes every radio, device and service the windows know, as
    // JSON or CSV by the file's type; a failed write changes nothing shown.
    void saveAsWritesEverythingKnown() {
        world().addDevice({address("5C:F3:70:12:8A:41"),
                           awkwardName,
                           0x5A020C,
                           {service("Serial Port", "Debug, \"console\"", 3, 0x01),
                            service("OBEX Object Push", "", 10, 0x05)}});
        open(true);
        Corvale::BTDevice& phone = net->RemoteDevices().at(0);
        QVERIFY(phone.DiscoverServices());
        QTemporaryDir dir;
        // Through the menu and the file dialog: CSV chosen, the name typed bare.
        const auto choose = [&](QFileDialog* dialog) {
            dialog->selectNameFilter("CSV (*.csv)");
            dialog->setDirectory(dir.path());
            child<QLineEdit>(dialog, "fileNameEdit")->setText("found");  // as a user types it
            static_cast<QDialog*>(dialog)->accept();                     // as the Save button does
        };
        QCOMPARE(whenModal<QFileDialog>(
                     [&] {
                         QVERIFY(pickFromContextMenu(
                             list("LRemote"), list("LRemote")->model()->index(0, 0), "Save as..."));
                     },
                     std::function<void(QFileDialog*)>(choose)),
                 1);
        QFile csvFile(dir.filePath("found.csv"));
        QVERIFY(csvFile.open(QIODevice::ReadOnly));
        // One line a record, each ended by CR LF; the device's line end stays
        // inside its quoted name, and a leading '=' is a spreadsheet's formula.
        const QStringList lines = QString::fromUtf8(csvFile.readAll()).split("\r\n");
        QCOMPARE(lines.size(), 1 + 2 + 7 + 2 + 1);  // header, radios, devices, services, end
        QCOMPARE(lines.filter(QRegularExpression("^radio,")).size(), 2);
        QCOMPARE(lines.filter(QRegularExpression("^device,")).size(), 7);
        QCOMPARE(lines[0],
                 "Kind,Address,Device name,Vendor,Class of Device,Major device class,"
                 "Minor device class,Service name,Comment,Service UUID,Port");
        QCOMPARE(lines[3],
                 "device,5C:F3:70:12:8A:41,\"'=cmd|' /C calc'!A0\tR&D, \"\"L\u00e9a\"\"\n"
                 "phone\",\"CC&C Technologies, Inc\",5898764,Phone,Smart phone,,,,");
        QCOMPARE(
            lines.mid(10),
            (QStringList{"service,5C:F3:70:12:8A:41,,,,,,Serial Port,\"Debug, \"\"console\"\"\","
                         "00001101-0000-1000-8000-00805f9b34fb,3",
                         "service,5C:F3:70:12:8A:41,,,,,,OBEX Object Push,,"
                         "00001105-0000-1000-8000-00805f9b34fb,10",
                         ""}));

        QVERIFY(form->saveTo(dir.filePath("found.json")));
        QFile jsonFile(dir.filePath("found.json"));
        QVERIFY(jsonFile.open(QIODevice::ReadOnly));
        QJsonParseError error;
        const QJsonObject json = QJsonDocument::fromJson(jsonFile.readAll(), &error).object();
        QCOMPARE(error.error, QJsonParseError::NoError);
        QCOMPARE(json["radios"].toArray().size(), 2);
        QCOMPARE(json["devices"].toArray().size(), 7);
        const QJsonArray services = json["services"].toArray();
        QCOMPARE(services.size(), 1);
        QCOMPARE(services[0]["address"].toString(), "5C:F3:70:12:8A:41");
        QCOMPARE(services[0]["services"].toArray().size(), 2);
        QVERIFY(services[0]["services"][0]["record"].isObject());

        // Into a folder that cannot exist (a file is in its place; root
        // writes into read-only folders): told, and the lists as they were.
        QFile blocker(dir.filePath("blocker"));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        const QStringList names = column(list("LRemote"), 2);
        QVERIFY(!form->saveTo(dir.filePath("blocker/found.json")));
        QVERIFY(box().startsWith("Save as: Could not save " +
                                 QDir::toNativeSeparators(dir.filePath("blocker/found.json"))));
        QCOMPARE(column(list("LRemote"), 2), names);
        QCOMPARE(text(form.get(), "TR_Count"), "7");
        QCOMPARE(text(form.get(), "TL_Count"), "2");
        locked(form.get(), false);
    }

    void recordWindowsKeepTheirServiceAndGoWithTheDeviceWindow() {
        show(demoPhone());
        QList<QPointer<BTRecord_Form>> opened;
        for (const char* name : {"Voice Gateway", "OBEX Object Push"}) opened << openRecord(name);
        QVERIFY(!opened[0]->isModal() && opened[0]->parentWidget() == device.get());
        // The same service again brings its window forward: no second one.
        auto* services = child<SortedList>(device.get(), "Services");
        openRow(services, services->findItems("Voice Gateway", Qt::MatchExactly).first(), ByReturn);
        QCOMPARE(recordWindows(device.get()).size(), 2);
        // It takes the keyboard, on the tree (a transient window counts as
        // active with its owner, so wait for the application's own word).
        QTRY_COMPARE(QApplication::activeWindow(), static_cast<QWidget*>(opened[0].data()));
        auto* tree = child<QTreeView>(opened[0], "Attributes");
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(tree));
        QCOMPARE(cell(tree->currentIndex(), 0), "0x0000");
        QCOMPARE(toolTipText(tree, tree->currentIndex().siblingAtColumn(3)), "");  // shown whole
        QTest::keyClick(tree, Qt::Key_Down);  // ServiceClassIDList, open
        const QModelIndex classes = tree->currentIndex();
        QCOMPARE(cell(classes, 0), "0x0001");
        QVERIFY(tree->isExpanded(classes));
        QTest::keyClick(tree, Qt::Key_Left);
        QVERIFY(!tree->isExpanded(classes));
        QTest::keyClick(tree, Qt::Key_Right);
        QVERIFY(tree->isExpanded(classes));
        QTest::keyClick(tree, Qt::Key_Right);  // to its first class
        QCOMPARE(tree->currentIndex().parent(), classes);
        QCOMPARE(cell(tree->currentIndex(), 2), "uuid16");
        const auto values = [tree] {
            QStringList shown;
            for (int row = 0; row < tree->model()->rowCount(); ++row)
                shown << cell(tree->model()->index(row, 3), 3);
            return shown;
        };
        const QStringList before = values();
        // The phone now publishes one other service; a Refresh replaces them
        // all, and the record windows go on showing their own.
        world().setDevices({{address("5C:F3:70:12:8A:41"),
                             "Mara's phone",
                             0x5A020C,
                             {service("Serial Port", "Debug console", 3, 0x01)}}});
        QSignalSpy done(device.get(), &BTDevice_Form::discoveryCompleted);
        click(device.get(), "Toolbar_Refresh");
        QVERIFY(done.wait(10000));
        QCOMPARE(text(device.get(), "Toolbar_Count"), "1");
        QVERIFY(opened[0]->isVisible() && opened[1]->isVisible());
        QCOMPARE(toStr(opened[0]->service().Name()), "Voice Gateway");
        opened[0]->repaint();
        QCOMPARE(values(), before);
        // Escape closes a record window, never the device window.
        QTest::keyClick(tree, Qt::Key_Escape);
        QTRY_VERIFY(opened[0].isNull());
        QVERIFY(device->isVisible());
        // The device window closes: its other record window closes too.
        QVERIFY(device->close());
        QTRY_VERIFY(opened[1].isNull());
    }

    void serviceWithoutRecordSaysSo() {
        world().addDevice(
            {address("5C:F3:70:12:8A:41"), "", 0x5A020C, {{.name = "Bare", .port = 3}}});
        Corvale::BTDevice phone(Corvale::BTAddress(0x5CF370128A41ULL));
        QVERIFY(phone.DiscoverServices());
        QVERIFY(phone.Services().at(0).Record().empty());
        show(phone);
        auto* services = child<SortedList>(device.get(), "Services");
        openRow(services, services->topLevelItem(0), ByDoubleClick);
        QCOMPARE(box(),
                 "Service record: The search gave no record bytes for this service: there are no "
                 "attributes to show.");
        QVERIFY(device->findChildren<BTRecord_Form*>().isEmpty());
    }
};

QTEST_MAIN(WindowsTest)
#include "tst_windows.moc"
