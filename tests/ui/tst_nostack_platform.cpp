// quillmere's platform where no Bluetooth stack is there: the session starts,
// every Bluetooth call fails, and the user reads why in the error box.
#include <corvale/Corvale.h>
#include <quillmere/BTNetwork_Form.h>

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QSignalSpy>
#include <QTest>
#include <QToolBar>
#include <QTreeWidget>

namespace {
QMessageBox* shownBox() {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* box = qobject_cast<QMessageBox*>(w); box && box->isVisible()) return box;
    return nullptr;
}
void click(QWidget* form, const char* name) {
    auto* action = form->findChild<QAction*>(QLatin1String(name));
    QVERIFY(action != nullptr);
    auto* strip = qobject_cast<QToolBar*>(action->parent());
    QVERIFY(strip != nullptr);
    QTest::mouseClick(strip->widgetForAction(action), Qt::LeftButton);
}
}  // namespace

class NoStackTest : public QObject {
    Q_OBJECT
private slots:
    void engineCallsFailWithReadableText() {
        QVERIFY(baselib::WinsockStart());
        Corvale::BTNetwork net;
        QVERIFY(net.LocalDevices().empty());
        QVERIFY(!net.DiscoverLocalDevices());
        QCOMPARE(QString::fromStdWString(baselib::getError()),
                 QStringLiteral("(1060) The specified service does not exist as an installed "
                                "service.\r\n"));
        QVERIFY(!net.DiscoverRemoteDevices());
        QCOMPARE(QString::fromStdWString(baselib::getError()),
                 QStringLiteral("(10108) No such service is known. The service cannot be found "
                                "in the specified name space.\r\n"));
        Corvale::BTDevice device(Corvale::BTAddress(0x001122334455ULL));
        QVERIFY(!device.DiscoverServices());
        QVERIFY(
            QString::fromStdWString(baselib::getError()).startsWith(QStringLiteral("(10108) ")));
        baselib::WinsockClear();
    }

    void windowOpensAndShowsWhyNothingIsFound() {
        QVERIFY(baselib::WinsockStart());
        {
            Corvale::BTNetwork net;
            Quillmere::BTNetwork_Form form(net);
            form.show();
            QVERIFY(QTest::qWaitForWindowExposed(&form));
            // The session is up: no Winsock box, the window is usable.
            QTest::qWait(50);
            QVERIFY(shownBox() == nullptr);
            QCOMPARE(form.findChild<QLabel*>(QStringLiteral("TL_Count"))->text(),
                     QStringLiteral("0"));

            click(&form, "TL_Refresh");
            QTRY_VERIFY(shownBox() != nullptr);
            QCOMPARE(shownBox()->windowTitle(), QStringLiteral("Corvale error"));
            QVERIFY(shownBox()->text().startsWith(QStringLiteral("(1060) ")));
            shownBox()->close();

            QSignalSpy done(&form, &Quillmere::BTNetwork_Form::inquiryCompleted);
            click(&form, "TR_Refresh");
            QVERIFY(done.wait(5000));
            QTRY_VERIFY(shownBox() != nullptr);
            QVERIFY(shownBox()->text().startsWith(QStringLiteral("(10108) No such service")));
            shownBox()->close();
            QVERIFY(form.close());
        }
        baselib::WinsockClear();
    }
};

QTEST_MAIN(NoStackTest)
#include "tst_nostack_platform.moc"
