// quillmere on the BlueZ platform on a machine without bluetoothd (no system
// bus at all, as in a container): the window opens, and a refresh of either
// pane shows the specific error text in a message box instead of hanging.
#include <corvale/Corvale.h>
#include <quillmere/BTNetwork_Form.h>

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QMessageBox>
#include <QTest>

#include <cstdlib>

namespace {

QMessageBox* shownBox() {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* box = qobject_cast<QMessageBox*>(w); box && box->isVisible()) return box;
    return nullptr;
}

}  // namespace

class NoStackTest : public QObject {
    Q_OBJECT

private slots:
    void refreshOfEitherPaneShowsTheErrorText() {
        ::setenv("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=/nonexistent/quillmere-test-bus", 1);
        QVERIFY(baselib::WinsockStart());
        Corvale::BTNetwork net;
        Quillmere::BTNetwork_Form form(net);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        if (QMessageBox* box = shownBox()) box->button(QMessageBox::Ok)->click();
        QVERIFY(net.LocalDevices().empty());
        for (const char* refresh : {"TL_Refresh", "TR_Refresh"}) {
            auto* action = form.findChild<QAction*>(QLatin1String(refresh));
            QVERIFY(action != nullptr);
            action->trigger();
            QTRY_VERIFY(shownBox() != nullptr);
            QCOMPARE(shownBox()->windowTitle(), QStringLiteral("Corvale error"));
            QVERIFY2(shownBox()->text().startsWith("(1062) The service has not been started."),
                     qPrintable(shownBox()->text()));
            shownBox()->button(QMessageBox::Ok)->click();
            QTRY_VERIFY(shownBox() == nullptr);
        }
        QVERIFY(form.canClose());
        QVERIFY(form.close());
        baselib::WinsockClear();
    }
};

QTEST_MAIN(NoStackTest)
#include "tst_quillmere_no_stack.moc"
