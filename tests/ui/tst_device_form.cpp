// The device window: identity, the read-only service-class list, service
// discovery on its worker, failures, and what survives closing it.
#include "UiTestSupport.h"

#include <quillmere/BTDevice_Form.h>
#include <quillmere/BTNetwork_Form.h>

#include <QListWidget>
#include <QLocale>
#include <QProgressBar>
#include <QSignalSpy>
#include <QStyle>
#include <QToolButton>

#include <memory>

using namespace UiTest;
using Corvale::Sim::address;
using Corvale::Sim::Api;
using Quillmere::BTDevice_Form;

class DeviceFormTest : public QObject {
    Q_OBJECT
    std::unique_ptr<Corvale::BTNetwork> net;
    std::unique_ptr<BTDevice_Form> form;

    // The world's devices as engine records, by an inquiry of the engine.
    Corvale::BTDevice& inquired(std::size_t index) {
        net = std::make_unique<Corvale::BTNetwork>();
        if (!net->DiscoverRemoteDevices()) qFatal("inquiry failed");
        return net->RemoteDevices().at(index);
    }
    void open(Corvale::BTDevice& device) {
        form = std::make_unique<BTDevice_Form>(device);
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
        QTRY_COMPARE(headerImages(services()).value(2), int(Quillmere::ImgSortAscending));
    }
    Quillmere::SortedList* services() {
        return child<Quillmere::SortedList>(form.get(), "Services");
    }
    QListWidget* flags() { return child<QListWidget>(form.get(), "COD_Services"); }
    QAction* action(const char* name) { return child<QAction>(form.get(), name); }
    QString label(const char* name) { return child<QLabel>(form.get(), name)->text(); }
    QProgressBar* progress() { return child<QProgressBar>(form.get(), "Toolbar_Progress"); }
    QList<bool> checks() {
        QList<bool> marks;
        for (int i = 0; i < flags()->count(); ++i)
            marks << (flags()->item(i)->checkState() == Qt::Checked);
        return marks;
    }
    void discover() {
        QSignalSpy done(form.get(), &BTDevice_Form::discoveryCompleted);
        click(action("Toolbar_Refresh"));
        QVERIFY(done.wait(10000));
    }
    void phoneWithThreeServices(World& world) {
        world.addDevice({.address = address("5C:F3:70:12:8A:41"),
                         .name = std::string("Mara's phone"),
                         .classOfDevice = 0x5A020C,
                         .records = {service("Serial Port", "Debug console", 3, 0x1101),
                                     service("Audio Source", "", 25, 0x110A),
                                     service("OBEX Object Push", "Push", 10, 0x1105)}});
    }

private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }
    void init() {
        freshWorld();
        startSession();
    }
    void cleanup() {
        closeMessageBoxes();
        form.reset();
        net.reset();
    }

    void identity_data() {
        QTest::addColumn<uint>("cod");
        QTest::addColumn<int>("image");
        QTest::addColumn<QString>("major");
        QTest::addColumn<QString>("minor");
        QTest::newRow("smart phone") << 0x5A020Cu << 2 << "Phone"
                                     << "Smart phone";
        QTest::newRow("headset") << 0x200404u << 4 << "Audio"
                                 << "Headset";
        QTest::newRow("keyboard") << 0x002540u << 5 << "Peripheral"
                                  << "Keyboard / Unclassified";
        QTest::newRow("printer") << 0x0406C0u << 6 << "Imaging"
                                 << "Scanner / Printer";
        QTest::newRow("no service bit: held as 0") << 0x000104u << 0 << "Miscellaneous"
                                                   << "(none)";
        QTest::newRow("reserved major") << 0x20097Cu << 0 << "(reserved)"
                                        << "(reserved)";
        QTest::newRow("unclassified") << 0x003F00u << 0 << "Unclassified"
                                      << "(none)";
    }
    void identity() {
        QFETCH(uint, cod);
        QFETCH(int, image);
        QFETCH(QString, major);
        QFETCH(QString, minor);
        World::instance().addDevice({.address = address("00:12:34:AB:CD:EF"),
                                     .name = std::string("Thing"),
                                     .classOfDevice = ULONG(cod)});
        open(inquired(0));
        QCOMPARE(form->windowTitle(), QStringLiteral("Device details..."));
        auto* name = child<QToolButton>(form.get(), "TT_Name");
        QCOMPARE(name->text(), QStringLiteral("Thing"));
        QCOMPARE(imageIndex(name->icon()), image);
        QCOMPARE(label("TT_Address"), QStringLiteral("(00:12:34:AB:CD:EF)"));
        QTreeWidget* info = child<QTreeWidget>(form.get(), "Info");
        QCOMPARE(columnTexts(info, 0), (QStringList{"Device name", "Device address",
                                                    "Major device class", "Minor device class"}));
        QCOMPARE(columnTexts(info, 1), (QStringList{"Thing", "00:12:34:AB:CD:EF", major, minor}));
        QCOMPARE(label("Toolbar_Count"), QStringLiteral("0"));
        QCOMPARE(services()->topLevelItemCount(), 0);
        QCOMPARE(headerImages(services()), (QList<int>{-1, -1, Quillmere::ImgSortAscending, -1}));
    }

    void nameWithEmbeddedNulShowsTheFirstPart() {
        Corvale::BTDevice device(Corvale::BTAddress(0x001122334455ULL),
                                 Corvale::BTClassOfDevice(0x5A020C),
                                 std::wstring(L"Visible\0Hidden", 14));
        open(device);
        QCOMPARE(child<QToolButton>(form.get(), "TT_Name")->text(), QStringLiteral("Visible"));
        QCOMPARE(child<QTreeWidget>(form.get(), "Info")->topLevelItem(0)->text(1),
                 QStringLiteral("Visible"));
    }

    void serviceClassMarks_data() {
        QTest::addColumn<uint>("cod");
        QTest::addColumn<QList<bool>>("marks");
        const bool o = false, X = true;
        QTest::newRow("phone") << 0x5A020Cu << QList<bool>{o, o, X, o, X, X, o, X, o};
        QTest::newRow("limited only") << 0x002540u << QList<bool>{X, o, o, o, o, o, o, o, o};
        QTest::newRow("rendering") << 0x0406C0u << QList<bool>{o, o, o, X, o, o, o, o, o};
        QTest::newRow("all") << 0xFF2104u << QList<bool>{X, X, X, X, X, X, X, X, X};
        QTest::newRow("reserved bits only: held as 0") << 0x00C100u << QList<bool>(9, o);
        QTest::newRow("positioning, information")
            << 0x810104u << QList<bool>{o, X, o, o, o, o, o, o, X};
    }
    void serviceClassMarks() {
        QFETCH(uint, cod);
        QFETCH(QList<bool>, marks);
        World::instance().addDevice(
            {.address = address("00:12:34:AB:CD:EF"), .classOfDevice = ULONG(cod)});
        open(inquired(0));
        QCOMPARE(flags()->count(), 9);
        QCOMPARE(flags()->item(0)->text(), QStringLiteral("Limited discover"));
        QCOMPARE(flags()->item(3)->text(), QStringLiteral("Rendering (printing, speakers)"));
        QCOMPARE(flags()->item(8)->text(), QStringLiteral("Information"));
        QCOMPARE(flags()->toolTip(), QStringLiteral("Device capabilities (Class Of Device)"));
        QCOMPARE(checks(), marks);
    }

    void serviceClassMarksCannotBeChanged() {
        World::instance().addDevice(
            {.address = address("00:12:34:AB:CD:EF"), .classOfDevice = 0x5A020C});
        open(inquired(0));
        const QList<bool> before = checks();
        QListWidget* list = flags();
        for (int i = 0; i < list->count(); ++i) {
            QListWidgetItem* item = list->item(i);
            // On the check box, on the text, by keyboard, and from code.
            const QRect r = list->visualItemRect(item);
            QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                              QPoint(r.left() + 10, r.center().y()));
            QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, r.center());
            list->setCurrentItem(item);
            QTest::keyClick(list, Qt::Key_Space);
            item->setCheckState(item->checkState() == Qt::Checked ? Qt::Unchecked : Qt::Checked);
            QCOMPARE(checks(), before);
        }
    }

    void discoveryFillsRecordAndSurvivesReopening() {
        World& world = World::instance();
        phoneWithThreeServices(world);
        net = std::make_unique<Corvale::BTNetwork>();
        Quillmere::BTNetwork_Form main(*net);
        main.show();
        QVERIFY(QTest::qWaitForWindowExposed(&main));
        QSignalSpy inquired(&main, &Quillmere::BTNetwork_Form::inquiryCompleted);
        click(child<QAction>(&main, "TR_Refresh"));
        QVERIFY(inquired.wait(10000));
        QTreeWidget* remote = child<QTreeWidget>(&main, "LRemote");
        QCOMPARE(remote->topLevelItemCount(), 1);

        // First opening: nothing known yet; Refresh finds three services.
        WhenModal<BTDevice_Form> first([&](BTDevice_Form* dialog) {
            QCOMPARE(child<QLabel>(dialog, "Toolbar_Count")->text(), QStringLiteral("0"));
            QSignalSpy done(dialog, &BTDevice_Form::discoveryCompleted);
            click(child<QAction>(dialog, "Toolbar_Refresh"));
            QVERIFY(done.wait(10000));
            QCOMPARE(child<QLabel>(dialog, "Toolbar_Count")->text(), QStringLiteral("3"));
            QCOMPARE(child<QTreeWidget>(dialog, "Services")->topLevelItemCount(), 3);
            QVERIFY(dialog->close());
        });
        doubleClick(remote, remote->topLevelItem(0));
        QVERIFY(first.ran());
        QCOMPARE(net->RemoteDevices().at(0).Services().size(), std::size_t(3));

        // Second opening: shown at once, without asking the device again.
        const unsigned searches = world.count(Api::WSALookupServiceBeginW);
        WhenModal<BTDevice_Form> second([&](BTDevice_Form* dialog) {
            QTreeWidget* list = child<QTreeWidget>(dialog, "Services");
            QCOMPARE(child<QLabel>(dialog, "Toolbar_Count")->text(), QStringLiteral("3"));
            // Sorted by UUID, ascending.
            QCOMPARE(columnTexts(list, 0),
                     (QStringList{"Serial Port", "OBEX Object Push", "Audio Source"}));
            QCOMPARE(columnTexts(list, 2).first(),
                     QStringLiteral("{00001101-0000-1000-8000-00805F9B34FB}"));
            QCOMPARE(columnTexts(list, 1), (QStringList{"Debug console", "Push", ""}));
            QCOMPARE(imageIndex(list->topLevelItem(0)->icon(0)), int(Quillmere::ImgService));
        });
        doubleClick(remote, remote->topLevelItem(0));
        QVERIFY(second.ran());
        QCOMPARE(world.count(Api::WSALookupServiceBeginW), searches);
    }

    void portSortsAsText() {
        phoneWithThreeServices(World::instance());
        open(inquired(0));
        discover();
        clickHeader(services(), 3);
        QCOMPARE(columnTexts(services(), 3), (QStringList{"10", "25", "3"}));
        QCOMPARE(headerImages(services()), (QList<int>{-1, -1, -1, Quillmere::ImgSortAscending}));
        clickHeader(services(), 3);
        QCOMPARE(columnTexts(services(), 3), (QStringList{"3", "25", "10"}));
        QCOMPARE(headerImages(services()), (QList<int>{-1, -1, -1, Quillmere::ImgSortDescending}));
    }

    void discoveryLocksRefusesCloseAndUnlocks() {
        World& world = World::instance();
        phoneWithThreeServices(world);
        world.setSdpDuration(std::chrono::milliseconds(400));
        open(inquired(0));
        QSignalSpy done(form.get(), &BTDevice_Form::discoveryCompleted);
        click(action("Toolbar_Refresh"));

        QVERIFY(!child<QWidget>(form.get(), "Toolbar")->isEnabled());
        QVERIFY(!services()->isEnabled());
        QVERIFY(child<QWidget>(form.get(), "TopTool")->isEnabled());
        QVERIFY(child<QWidget>(form.get(), "TopPanel")->isEnabled());
        QTRY_VERIFY(progress()->isVisible());
        QCOMPARE(progress()->maximum(), 0);
        QVERIFY(!form->close());
        QTest::keyClick(form.get(), Qt::Key_Escape);
        form->reject();
        QVERIFY(form->isVisible());

        QVERIFY(done.wait(10000));
        QVERIFY(child<QWidget>(form.get(), "Toolbar")->isEnabled());
        QVERIFY(services()->isEnabled());
        QTRY_VERIFY(!progress()->isVisible());
        QCOMPARE(label("Toolbar_Count"), QStringLiteral("3"));
        // Escape never closes it; the close box does.
        QTest::keyClick(form.get(), Qt::Key_Escape);
        QVERIFY(form->isVisible());
        QVERIFY(form->close());
    }

    void failedDiscoveryEmptiesListKeepsCount() {
        World& world = World::instance();
        phoneWithThreeServices(world);
        open(inquired(0));
        discover();
        QCOMPARE(label("Toolbar_Count"), QStringLiteral("3"));
        world.failFrom(Api::WSALookupServiceBeginW, world.count(Api::WSALookupServiceBeginW) + 1,
                       WSAEHOSTDOWN);
        discover();
        QCOMPARE(services()->topLevelItemCount(), 0);
        QCOMPARE(label("Toolbar_Count"), QStringLiteral("3"));
        QTRY_COMPARE(messageBoxes().size(), 1);
        QMessageBox* box = messageBoxes().first();
        QCOMPARE(box->windowTitle(), QStringLiteral("Corvale error"));
        QCOMPARE(box->icon(), QMessageBox::Critical);
        QCOMPARE(box->text(), QString::fromWCharArray(baselib::getError().c_str()));
        QVERIFY(box->text().startsWith(QStringLiteral("(10064) ")));
        QVERIFY(form->canClose());
        // Refresh works again afterwards.
        closeMessageBoxes();
        world.clearFaults();
        discover();
        QCOMPARE(services()->topLevelItemCount(), 3);
    }

    void cacheSwitchIsTheEnginesAndSeparate() {
        World::instance().addDevice(
            {.address = address("00:12:34:AB:CD:EF"), .classOfDevice = 0x5A020C});
        Corvale::BTDevice& device = inquired(0);
        open(device);
        QVERIFY(!action("Toolbar_Cache")->isChecked());
        QCOMPARE(action("Toolbar_Cache")->toolTip(),
                 QStringLiteral("Use system cache for services inquiry..."));
        click(action("Toolbar_Cache"));
        QVERIFY(Corvale::BTDevice::getInquiryCache());
        QVERIFY(!Corvale::BTNetwork::getInquiryCache());
        form.reset();
        // A new window shows the switch as it was left.
        open(device);
        QVERIFY(action("Toolbar_Cache")->isChecked());
        click(action("Toolbar_Cache"));
        QVERIFY(!Corvale::BTDevice::getInquiryCache());
    }

    void winsockDown() {
        World& world = World::instance();
        world.addDevice({.address = address("00:12:34:AB:CD:EF"), .classOfDevice = 0x5A020C});
        Corvale::BTDevice& device = inquired(0);
        baselib::WinsockClear();
        open(device);
        QTRY_COMPARE(messageBoxes().size(), 1);
        QCOMPARE(messageBoxes().first()->windowTitle(), QStringLiteral("Winsock error"));
        QCOMPARE(messageBoxes().first()->text(),
                 QStringLiteral("Winsock library was not loaded: user interface disabled!"));
        QVERIFY(!child<QWidget>(form.get(), "Toolbar")->isEnabled());
        QVERIFY(!services()->isEnabled());
        QVERIFY(child<QWidget>(form.get(), "TopTool")->isEnabled());
        QTRY_VERIFY(progress()->isVisible());
        closeMessageBoxes();
        QVERIFY(form->close());
    }
};

QTEST_MAIN(DeviceFormTest)
#include "tst_device_form.moc"
