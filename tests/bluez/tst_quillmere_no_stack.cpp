// quillmere on the BlueZ platform on a machine without bluetoothd (no system
// bus at all, as in a container): the window opens at once, and a refresh of
// either pane shows the specific error text in a message box instead of
// hanging.
#include <corvale/Corvale.h>
#include <quillmere/BTNetwork_Form.h>

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QSignalSpy>
#include <QTest>
#include <QToolBar>

#include <cstdlib>
#include <memory>

using Quillmere::BTNetwork_Form;

namespace {

QList<QMessageBox*> messageBoxes() {
    QList<QMessageBox*> boxes;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* box = qobject_cast<QMessageBox*>(w); box && box->isVisible()) boxes << box;
    return boxes;
}

void closeMessageBoxes() {
    for (QMessageBox* box : messageBoxes())
        QTest::mouseClick(box->button(QMessageBox::Ok), Qt::LeftButton);
    QApplication::processEvents();
}

void click(QWidget* form, const char* name) {
    auto* action = form->findChild<QAction*>(QLatin1String(name));
    QVERIFY(action != nullptr);
    QWidget* button = nullptr;
    for (QObject* o : action->associatedObjects())
        if (auto* strip = qobject_cast<QToolBar*>(o)) button = strip->widgetForAction(action);
    QVERIFY(button != nullptr);
    QTest::mouseClick(button, Qt::LeftButton);
}

const QString kNotStarted = QStringLiteral("(1062) The service has not been started.");

}  // namespace

class NoStackTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        // Where the system bus would be, there is none.
        ::setenv("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=/nonexistent/quillmere-test-bus", 1);
        QVERIFY(baselib::WinsockStart());
    }

    void refreshOfEitherPaneShowsTheErrorText() {
        QElapsedTimer opening;
        opening.start();
        Corvale::BTNetwork net;
        BTNetwork_Form form(net);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        // "At once": sooner than the bound of a single D-Bus call (5 s) would allow.
        QVERIFY2(opening.elapsed() < 4000, qPrintable(QString::number(opening.elapsed())));
        closeMessageBoxes();
        QVERIFY(net.LocalDevices().empty());

        click(&form, "TL_Refresh");
        QTRY_COMPARE(messageBoxes().size(), 1);
        QCOMPARE(messageBoxes().first()->windowTitle(), QStringLiteral("Corvale error"));
        QVERIFY2(messageBoxes().first()->text().startsWith(kNotStarted),
                 qPrintable(messageBoxes().first()->text()));
        closeMessageBoxes();

        QSignalSpy done(&form, &BTNetwork_Form::inquiryCompleted);
        click(&form, "TR_Refresh");
        QVERIFY(done.wait(5000));
        QTRY_COMPARE(messageBoxes().size(), 1);
        QVERIFY2(messageBoxes().first()->text().startsWith(kNotStarted),
                 qPrintable(messageBoxes().first()->text()));
        closeMessageBoxes();
        QVERIFY(form.canClose());
        QVERIFY(form.close());
    }

    void cleanupTestCase() { baselib::WinsockClear(); }
};

QTEST_MAIN(NoStackTest)
#include "tst_quillmere_no_stack.moc"
