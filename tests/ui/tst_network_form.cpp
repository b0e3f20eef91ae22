// The main window driven as a user drives it: first display, sorting,
// opening devices, the remote inquiry, the local refresh, failures.
#include "UiTestSupport.h"

#include <quillmere/BTDevice_Form.h>
#include <quillmere/BTNetwork_Form.h>

#include <QLocale>
#include <QProgressBar>
#include <QSignalSpy>
#include <QToolButton>

#include <memory>

using namespace UiTest;
using Corvale::Sim::address;
using Corvale::Sim::Api;
using Quillmere::BTNetwork_Form;

namespace {

// The neighbourhood of the sorting tests: every column has one known order.
// "Alpha" comes into range before "alpha", so an order that ignores case
// (or keeps arrival order for equal texts) puts them the wrong way round.
struct Row {
    const char* name;
    const char* major;
    const char* minor;
    const char* address;
};
const Row sortScene[] = {
    {"Beta", "Phone", "Cellular", "00:00:00:00:00:03"},
    {"Alpha", "Computer", "Notebook", "00:00:00:00:00:0A"},
    {"", "Audio", "Headset", "00:00:00:00:00:01"},
    {"gamma", "Peripheral", "Keyboard / Unclassified", "00:00:00:00:01:00"},
    {"Zed", "Imaging", "Printer", "00:00:00:00:00:B2"},
    {"alpha", "LAN", "(none)", "00:00:00:00:00:2C"},
};
const ULONG sortClasses[] = {classWord(2, 1),    classWord(1, 3),    classWord(4, 1),
                             classWord(5, 0x10), classWord(6, 0x20), classWord(3, 0)};

}  // namespace

class NetworkFormTest : public QObject {
    Q_OBJECT
    std::unique_ptr<Corvale::BTNetwork> net;
    std::unique_ptr<BTNetwork_Form> form;

    // Builds the engine object and the window over what the world holds now,
    // shows it and waits for its first display.
    void open() {
        net = std::make_unique<Corvale::BTNetwork>();
        form = std::make_unique<BTNetwork_Form>(*net);
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
        // The first display runs once the window is up.
        QTRY_COMPARE(headerImages(list("LLocal")).value(0), int(Quillmere::ImgSortAscending));
    }
    Quillmere::SortedList* list(const char* name) {
        return child<Quillmere::SortedList>(form.get(), name);
    }
    QAction* action(const char* name) { return child<QAction>(form.get(), name); }
    QString label(const char* name) { return child<QLabel>(form.get(), name)->text(); }
    QProgressBar* progress() { return child<QProgressBar>(form.get(), "TR_Progress"); }

    // A remote inquiry as the user starts it, waited for.
    void inquire() {
        QSignalSpy done(form.get(), &BTNetwork_Form::inquiryCompleted);
        click(action("TR_Refresh"));
        QVERIFY(done.wait(10000));
    }

    void twoRadios(World& world) {
        world.addRadio({.address = address("00:1A:7D:DA:71:13"),
                        .name = "Desk radio",
                        .classOfDevice = classWord(1, 1),
                        .records = {service("Serial Port", "console", 3, 0x1101)}});
        world.addRadio({.address = address("00:1B:DC:0F:3E:A9"),
                        .name = "USB dongle",
                        .classOfDevice = classWord(3, 0)});
    }

    void sortSceneDevices(World& world) {
        for (std::size_t i = 0; i < std::size(sortScene); ++i)
            world.addDevice({.address = address(sortScene[i].address),
                             .name = std::string(sortScene[i].name),
                             .classOfDevice = sortClasses[i]});
    }

private slots:
    void initTestCase() {
        // Collation follows the user's locale; the tests name one.
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    }

    void init() {
        freshWorld();
        startSession();
    }

    void cleanup() {
        closeMessageBoxes();
        form.reset();
        net.reset();
    }

    void firstDisplay() {
        World& world = World::instance();
        twoRadios(world);
        sortSceneDevices(world);
        open();

        QCOMPARE(form->windowTitle(),
                 QStringLiteral("Ostrand Quillmere Tool (powered by Corvale engine)"));
        QCOMPARE(label("TL_Label"), QStringLiteral("Local devices:"));
        QCOMPARE(label("TR_Label"), QStringLiteral("Remote devices:"));
        QCOMPARE(label("TL_Count"), QStringLiteral("2"));
        // No inquiry starts by itself.
        QCOMPARE(label("TR_Count"), QStringLiteral("0"));
        QCOMPARE(list("LRemote")->topLevelItemCount(), 0);
        QCOMPARE(world.count(Api::WSALookupServiceBeginW), 2u);  // the radios' own services

        QTreeWidget* local = list("LLocal");
        QCOMPARE(local->topLevelItemCount(), 2);
        QCOMPARE(local->headerItem()->text(0), QStringLiteral("Major device class"));
        QCOMPARE(local->headerItem()->text(3), QStringLiteral("Device address"));
        QCOMPARE(columnTexts(local, 2), (QStringList{"Desk radio", "USB dongle"}));
        QCOMPARE(columnTexts(local, 1), (QStringList{"Desktop", "(none)"}));
        QCOMPARE(columnTexts(local, 3), (QStringList{"00:1A:7D:DA:71:13", "00:1B:DC:0F:3E:A9"}));
        QCOMPARE(imageIndex(local->topLevelItem(0)->icon(0)), 1);

        // The ascending arrow on the first column of both lists, nowhere else.
        const QList<int> arrows{Quillmere::ImgSortAscending, -1, -1, -1};
        QCOMPARE(headerImages(local), arrows);
        QCOMPARE(headerImages(list("LRemote")), arrows);

        QVERIFY(!action("TR_Cache")->isChecked());
        QCOMPARE(action("TR_Refresh")->toolTip(), QStringLiteral("Refresh remote devices..."));
        QCOMPARE(action("TL_Refresh")->toolTip(), QStringLiteral("Refresh local devices..."));
        QCOMPARE(action("TL_About")->iconText(), QStringLiteral("About..."));
        QCOMPARE(list("LRemote")->toolTip(),
                 QStringLiteral("Double-click to get more details on this device..."));
        QTRY_VERIFY(!progress()->isVisible());
        QVERIFY(messageBoxes().isEmpty());
    }

    void rowImages_data() {
        QTest::addColumn<int>("major");
        QTest::addColumn<int>("image");
        QTest::newRow("miscellaneous") << 0 << 0;
        for (int major = 1; major <= 6; ++major) QTest::addRow("major %d", major) << major << major;
        QTest::newRow("reserved 7") << 7 << 0;
        QTest::newRow("reserved 30") << 30 << 0;
        QTest::newRow("unclassified") << 31 << 0;
    }
    void rowImages() {
        QFETCH(int, major);
        QFETCH(int, image);
        World::instance().addDevice({.address = address("00:00:00:00:00:42"),
                                     .name = std::string("thing"),
                                     .classOfDevice = classWord(unsigned(major), 0)});
        open();
        inquire();
        QCOMPARE(list("LRemote")->topLevelItemCount(), 1);
        QCOMPARE(imageIndex(list("LRemote")->topLevelItem(0)->icon(0)), image);
    }

    void winsockDown() {
        World& world = freshWorld();
        twoRadios(world);
        world.failCall(Api::WSAStartup, 1, WSASYSNOTREADY);
        QVERIFY(!baselib::WinsockStart());
        open();

        QCOMPARE(label("TL_Count"), QStringLiteral("0"));
        QCOMPARE(label("TR_Count"), QStringLiteral("0"));
        QCOMPARE(list("LLocal")->topLevelItemCount(), 0);
        QCOMPARE(headerImages(list("LRemote")).value(0), int(Quillmere::ImgSortAscending));

        QTRY_COMPARE(messageBoxes().size(), 1);
        QMessageBox* box = messageBoxes().first();
        QCOMPARE(box->windowTitle(), QStringLiteral("Winsock error"));
        QCOMPARE(box->text(),
                 QStringLiteral("Winsock library was not loaded: user interface disabled!"));
        QCOMPARE(box->icon(), QMessageBox::Critical);
        QCOMPARE(box->standardButtons(), QMessageBox::StandardButtons(QMessageBox::Ok));

        for (const char* name : {"TLocal", "TRemote", "LLocal", "LRemote"})
            QVERIFY2(!child<QWidget>(form.get(), name)->isEnabled(), name);
        QTRY_VERIFY(progress()->isVisible());
        QCOMPARE(progress()->maximum(), 0);

        // After the box, the disabled window still closes.
        closeMessageBoxes();
        QVERIFY(form->close());
        QVERIFY(!form->isVisible());
    }

    void sortEachColumn_data() {
        QTest::addColumn<int>("column");
        QTest::addColumn<QStringList>("ascendingNames");
        // Locale collation: "alpha" before "Alpha" before "Beta"; empty first.
        QTest::newRow("major") << 0 << QStringList{"", "Alpha", "Zed", "alpha", "gamma", "Beta"};
        QTest::newRow("minor") << 1 << QStringList{"alpha", "Beta", "", "gamma", "Alpha", "Zed"};
        QTest::newRow("name") << 2 << QStringList{"", "alpha", "Alpha", "Beta", "gamma", "Zed"};
        QTest::newRow("address") << 3 << QStringList{"", "Beta", "Alpha", "alpha", "Zed", "gamma"};
    }
    void sortEachColumn() {
        QFETCH(int, column);
        QFETCH(QStringList, ascendingNames);
        sortSceneDevices(World::instance());
        open();
        inquire();
        QTreeWidget* remote = list("LRemote");
        QCOMPARE(remote->topLevelItemCount(), 6);

        QList<int> up(4, -1), down(4, -1);
        up[column] = Quillmere::ImgSortAscending;
        down[column] = Quillmere::ImgSortDescending;
        QStringList descendingNames(ascendingNames.rbegin(), ascendingNames.rend());

        // The first column is the initial sort column: its first click flips
        // it; any other column's first click sorts it ascending.
        if (column == 0) {
            QCOMPARE(columnTexts(remote, 2), ascendingNames);
            clickHeader(remote, column);
            QCOMPARE(columnTexts(remote, 2), descendingNames);
            QCOMPARE(headerImages(remote), down);
            clickHeader(remote, column);
            QCOMPARE(columnTexts(remote, 2), ascendingNames);
            QCOMPARE(headerImages(remote), up);
            return;
        }
        clickHeader(remote, column);
        QCOMPARE(columnTexts(remote, 2), ascendingNames);
        QCOMPARE(headerImages(remote), up);
        QCOMPARE(form->remoteSorter().CurrentColumn, column + 1);
        clickHeader(remote, column);
        QCOMPARE(columnTexts(remote, 2), descendingNames);
        QCOMPARE(headerImages(remote), down);
        QCOMPARE(form->remoteSorter().CurrentColumn, -(column + 1));
        clickHeader(remote, column);
        QCOMPARE(columnTexts(remote, 2), ascendingNames);
        QCOMPARE(headerImages(remote), up);

        // A refill keeps the key: a new inquiry comes back in the same order.
        clickHeader(remote, column);
        inquire();
        QCOMPARE(columnTexts(remote, 2), descendingNames);
        QCOMPARE(headerImages(remote), down);
    }

    void anotherColumnAfterDescendingSortsAscending() {
        sortSceneDevices(World::instance());
        open();
        inquire();
        QTreeWidget* remote = list("LRemote");
        clickHeader(remote, 2);
        clickHeader(remote, 2);
        QCOMPARE(form->remoteSorter().CurrentColumn, -3);
        clickHeader(remote, 3);
        QCOMPARE(form->remoteSorter().CurrentColumn, 4);
        QCOMPARE(headerImages(remote), (QList<int>{-1, -1, -1, Quillmere::ImgSortAscending}));
        // The local list keeps its own key.
        QCOMPARE(form->localSorter().CurrentColumn, 1);
    }

    void doubleClickAfterDescendingSortOpensThatRow() {
        sortSceneDevices(World::instance());
        open();
        inquire();
        QTreeWidget* remote = list("LRemote");
        clickHeader(remote, 2);
        clickHeader(remote, 2);  // names descending: rows far from engine order
        QCOMPARE(columnTexts(remote, 2).first(), QStringLiteral("Zed"));

        for (int i = 0; i < remote->topLevelItemCount(); ++i) {
            QTreeWidgetItem* row = remote->topLevelItem(i);
            const QString name = row->text(2), addr = row->text(3);
            QString shownName, shownAddress;
            WhenModal<Quillmere::BTDevice_Form> inspect([&](Quillmere::BTDevice_Form* dialog) {
                shownName = child<QToolButton>(dialog, "TT_Name")->text();
                shownAddress = child<QLabel>(dialog, "TT_Address")->text();
            });
            doubleClick(remote, row);
            QVERIFY(inspect.ran());
            QCOMPARE(shownName, name);
            QCOMPARE(shownAddress, QStringLiteral("(") + addr + QStringLiteral(")"));
        }
    }

    void doubleClickWithoutFocusedRowOpensNothing() {
        sortSceneDevices(World::instance());
        open();
        inquire();
        QTreeWidget* remote = list("LRemote");
        remote->setCurrentItem(nullptr);
        WhenModal<Quillmere::BTDevice_Form> watch([](Quillmere::BTDevice_Form*) {}, 300);
        form->LRemote_DoubleClick();
        // A double-click below the last row hits no row either.
        const QPoint empty(10, remote->viewport()->height() - 3);
        QVERIFY(remote->itemAt(empty) == nullptr);
        QTest::mouseDClick(remote->viewport(), Qt::LeftButton, {}, empty);
        QTest::qWait(350);
        QCOMPARE(watch.count(), 0);

        // Empty local list: nothing to open there either.
        form->LLocal_DoubleClick();
        QVERIFY(QApplication::activeModalWidget() == nullptr);
    }

    void inquiryLocksRefusesCloseAndUnlocks() {
        World& world = World::instance();
        twoRadios(world);
        sortSceneDevices(world);
        world.setInquiryDuration(std::chrono::milliseconds(400));
        open();

        QSignalSpy done(form.get(), &BTNetwork_Form::inquiryCompleted);
        click(action("TR_Refresh"));
        for (const char* name : {"TLocal", "TRemote", "LLocal", "LRemote"})
            QVERIFY2(!child<QWidget>(form.get(), name)->isEnabled(), name);
        QTRY_VERIFY(progress()->isVisible());
        QCOMPARE(progress()->minimum(), 0);
        QCOMPARE(progress()->maximum(), 0);  // a moving marquee
        QVERIFY(!form->canClose());
        // Closing is refused silently, however it is asked for.
        QVERIFY(!form->close());
        QVERIFY(form->isVisible());
        QVERIFY(messageBoxes().isEmpty());

        QVERIFY(done.wait(10000));
        for (const char* name : {"TLocal", "TRemote", "LLocal", "LRemote"})
            QVERIFY2(child<QWidget>(form.get(), name)->isEnabled(), name);
        QTRY_VERIFY(!progress()->isVisible());
        QCOMPARE(label("TR_Count"), QStringLiteral("6"));
        QVERIFY(form->close());
    }

    void failedInquiryEmptiesListKeepsCountShowsError() {
        World& world = World::instance();
        sortSceneDevices(world);
        open();
        inquire();
        QCOMPARE(label("TR_Count"), QStringLiteral("6"));

        world.failFrom(Api::WSALookupServiceBeginW, world.count(Api::WSALookupServiceBeginW) + 1,
                       WSAENETDOWN);
        QSignalSpy done(form.get(), &BTNetwork_Form::inquiryCompleted);
        click(action("TR_Refresh"));
        QVERIFY(done.wait(10000));
        QCOMPARE(list("LRemote")->topLevelItemCount(), 0);
        QCOMPARE(label("TR_Count"), QStringLiteral("6"));

        QTRY_COMPARE(messageBoxes().size(), 1);
        QMessageBox* box = messageBoxes().first();
        QCOMPARE(box->windowTitle(), QStringLiteral("Corvale error"));
        QCOMPARE(box->icon(), QMessageBox::Critical);
        const QString expected = QString::fromWCharArray(baselib::getError().c_str());
        QVERIFY(expected.startsWith(QStringLiteral("(10050) ")));
        QCOMPARE(box->text(), expected);
        // The window was unlocked before the box came.
        QVERIFY(child<QWidget>(form.get(), "LRemote")->isEnabled());
        QVERIFY(form->canClose());
    }

    void inquiryEndingByExceptionStillCompletes() {
        World& world = World::instance();
        sortSceneDevices(world);
        open();
        inquire();
        QCOMPARE(label("TR_Count"), QStringLiteral("6"));
        // A device reported with the null address: the engine throws "Device
        // address is null." on the worker. The completion still runs, goes
        // on with the earlier result and shows the engine's list as it is.
        world.setDevices({{.address = BTH_ADDR(0), .name = std::string("ghost")}});
        inquire();
        QVERIFY(form->canClose());
        QVERIFY(list("LRemote")->isEnabled());
        QTRY_VERIFY(!progress()->isVisible());
        QCOMPARE(list("LRemote")->topLevelItemCount(), 6);
        QCOMPARE(label("TR_Count"), QStringLiteral("6"));
        QVERIFY(messageBoxes().isEmpty());
        // Destroying the window after such an end is quiet.
        form.reset();
    }

    void localRefreshShowsEachRadioOnce() {
        twoRadios(World::instance());
        open();
        click(action("TL_Refresh"));
        click(action("TL_Refresh"));
        QCOMPARE(list("LLocal")->topLevelItemCount(), 2);
        QCOMPARE(label("TL_Count"), QStringLiteral("2"));
        QVERIFY(messageBoxes().isEmpty());
    }

    void failedLocalRefreshEmptiesListKeepsCount() {
        World& world = World::instance();
        twoRadios(world);
        open();
        world.failCall(Api::BluetoothFindFirstRadio, world.count(Api::BluetoothFindFirstRadio) + 1,
                       ERROR_NOT_READY);
        click(action("TL_Refresh"));
        QCOMPARE(list("LLocal")->topLevelItemCount(), 0);
        QCOMPARE(label("TL_Count"), QStringLiteral("2"));
        QTRY_COMPARE(messageBoxes().size(), 1);
        QCOMPARE(messageBoxes().first()->windowTitle(), QStringLiteral("Corvale error"));
        QCOMPARE(messageBoxes().first()->text(),
                 QStringLiteral("(21) The device is not ready.\r\n"));
    }

    void cacheSwitchFollowsButtonAndReachesInquiry() {
        World& world = World::instance();
        sortSceneDevices(world);
        Corvale::BTNetwork::setInquiryCache(true);
        open();
        // The button shows the engine's switch as the window is built.
        QVERIFY(action("TR_Cache")->isChecked());

        click(action("TR_Cache"));
        QVERIFY(!action("TR_Cache")->isChecked());
        QVERIFY(!Corvale::BTNetwork::getInquiryCache());
        world.clearLog();
        inquire();
        QCOMPARE(world.calls(Api::WSALookupServiceBeginW).at(0).flags,
                 DWORD(LUP_CONTAINERS | LUP_FLUSHCACHE));

        click(action("TR_Cache"));
        QVERIFY(action("TR_Cache")->isChecked());
        QVERIFY(Corvale::BTNetwork::getInquiryCache());
        world.clearLog();
        inquire();
        QCOMPARE(world.calls(Api::WSALookupServiceBeginW).at(0).flags, DWORD(LUP_CONTAINERS));
        // The device window's switch is another one.
        QVERIFY(!Corvale::BTDevice::getInquiryCache());
    }

    void toStrCutsAtFirstNul_data() {
        QTest::addColumn<QString>("shown");
        QTest::addColumn<int>("which");
        QTest::newRow("plain") << QStringLiteral("Headset") << 0;
        QTest::newRow("embedded NUL") << QStringLiteral("Left") << 1;
        QTest::newRow("leading NUL") << QString() << 2;
        QTest::newRow("empty") << QString() << 3;
        QTest::newRow("outside the BMP") << QString::fromUtf8("x\xF0\x9F\x8E\xA7y") << 4;
        QTest::newRow("spaces kept") << QStringLiteral("  two  ") << 5;
    }
    void toStrCutsAtFirstNul() {
        QFETCH(QString, shown);
        QFETCH(int, which);
        const std::wstring texts[] = {L"Headset",
                                      std::wstring(L"Left\0Right", 10),
                                      std::wstring(L"\0hidden", 7),
                                      std::wstring(),
                                      L"x\U0001F3A7y",
                                      L"  two  "};
        QCOMPARE(BTNetwork_Form::toStr(texts[which]), shown);
        QCOMPARE(Quillmere::BTDevice_Form::toStr(texts[which]), shown);
    }
};

QTEST_MAIN(NetworkFormTest)
#include "tst_network_form.moc"
