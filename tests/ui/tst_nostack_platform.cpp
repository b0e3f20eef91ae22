// quillmere's platform where no Bluetooth stack is there: the session starts,
// every Bluetooth call fails, and the user reads why in the error box.
#include <quillmere/BTDevice_Form.h>
#include <quillmere/BTNetwork_Form.h>

#include <QtTest>
#include <QtWidgets>

class NoStackTest : public QObject {
    Q_OBJECT
    // Clicks a strip's button and reads the error box it brings, answered.
    static QString boxAfter(QWidget* window, const char* name) {
        auto* action = window->findChild<QAction*>(QLatin1String(name));
        QTest::mouseClick(qobject_cast<QToolBar*>(action->parent())->widgetForAction(action),
                          Qt::LeftButton);
        QMessageBox* box = nullptr;
        if (!QTest::qWaitFor([&] { return (box = window->findChild<QMessageBox*>()) != nullptr; }))
            return {};
        const QString shown = box->windowTitle() + ": " + box->text();
        delete box;
        return shown;
    }

private slots:
    void windowsOpenAndShowWhyNothingIsFound() {
        QVERIFY(baselib::WinsockStart());
        Corvale::BTNetwork net;
        Quillmere::BTNetwork_Form form(net);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        // The first display has run once the lists show their sort arrows.
        auto* local = form.findChild<QTreeWidget*>(QStringLiteral("LLocal"));
        QTRY_VERIFY(!local->headerItem()->icon(0).isNull());
        QVERIFY(form.findChild<QMessageBox*>() == nullptr);  // the session is up: no Winsock box
        QCOMPARE(boxAfter(&form, "TL_Refresh"),
                 "Corvale error: (1060) The specified service does not exist as an installed "
                 "service.\r\n");
        QVERIFY(net.LocalDevices().empty());
        QCOMPARE(boxAfter(&form, "TR_Refresh"),
                 "Corvale error: (10108) No such service is known. The service cannot be found in "
                 "the specified name space.\r\n");
        Corvale::BTDevice record(Corvale::BTAddress(0x001122334455ULL));
        Quillmere::BTDevice_Form details(record);
        details.show();
        QVERIFY(boxAfter(&details, "Toolbar_Refresh").startsWith("Corvale error: (10108) "));
        QVERIFY(details.close() && form.close());
        baselib::WinsockClear();
    }
};

QTEST_MAIN(NoStackTest)
#include "tst_nostack_platform.moc"
