// The About box, opened from both windows, and its links.
#include "UiTestSupport.h"

#include <quillmere/About_Form.h>
#include <quillmere/BTDevice_Form.h>
#include <quillmere/BTNetwork_Form.h>

#include <QDesktopServices>
#include <QPushButton>
#include <QUrl>

#include <memory>

using namespace UiTest;
using Quillmere::About_Form;

// Stands in for the desktop's browser: records what it was asked to open.
class UrlCatcher : public QObject {
    Q_OBJECT
public:
    QList<QUrl> opened;
public slots:
    void open(const QUrl& url) { opened << url; }
};

class AboutFormTest : public QObject {
    Q_OBJECT
    UrlCatcher catcher;

    // Everything a user sees and does in the box; true when it all held.
    static void checkBox(About_Form* about, UrlCatcher& catcher) {
        QCOMPARE(about->windowTitle(), QStringLiteral("About..."));
        QCOMPARE(child<QLabel>(about, "label1")->text(), QStringLiteral("Ostrand Quillmere Tool"));
        QVERIFY(child<QLabel>(about, "label1")->font().bold());
        auto* ok = child<QPushButton>(about, "button1");
        QCOMPARE(ok->text(), QStringLiteral("OK"));
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(ok));
        // Not resizable.
        QCOMPARE(about->minimumSize(), about->maximumSize());
        // Every text is inside the box.
        for (QLabel* label : about->findChildren<QLabel*>())
            QVERIFY2(about->rect().contains(label->geometry()), qPrintable(label->objectName()));

        // Each link goes to the desktop's opener with the address it shows;
        // the box stays open.
        const struct {
            const char* name;
            const char* address;
        } links[] = {{"linkLabel1", About_Form::MakerAddress},
                     {"linkLabel2", About_Form::AuthorAddress}};
        for (const auto& link : links) {
            QLabel* label = child<QLabel>(about, link.name);
            QVERIFY(label->text().contains(QLatin1String(link.address)));
            catcher.opened.clear();
            QTest::mouseClick(label, Qt::LeftButton, {}, label->rect().center());
            QTRY_COMPARE(catcher.opened.size(), 1);
            QCOMPARE(catcher.opened.first(), QUrl(QLatin1String(link.address)));
            QVERIFY(about->isVisible());
        }

        // Escape does nothing; Enter on the focused OK closes the box.
        QTest::keyClick(about, Qt::Key_Escape);
        QVERIFY(about->isVisible());
        ok->setFocus();
        QTest::keyClick(ok, Qt::Key_Return);
        QVERIFY(!about->isVisible());
        QCOMPARE(about->result(), int(QDialog::Accepted));
    }

private slots:
    void initTestCase() {
        QDesktopServices::setUrlHandler(QStringLiteral("https"), &catcher, "open");
        QDesktopServices::setUrlHandler(QStringLiteral("http"), &catcher, "open");
    }
    void cleanupTestCase() {
        QDesktopServices::unsetUrlHandler(QStringLiteral("https"));
        QDesktopServices::unsetUrlHandler(QStringLiteral("http"));
    }
    void init() {
        freshWorld();
        startSession();
    }

    void fromNetworkWindow() {
        Corvale::BTNetwork net;
        Quillmere::BTNetwork_Form form(net);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        WhenModal<About_Form> box([&](About_Form* about) {
            QCOMPARE(about->parentWidget(), static_cast<QWidget*>(&form));
            checkBox(about, catcher);
        });
        click(child<QAction>(&form, "TL_About"));
        QVERIFY(box.ran());
        // Disposed once closed.
        QVERIFY(form.findChildren<About_Form*>().isEmpty());
    }

    void fromDeviceWindow() {
        Corvale::BTDevice device(Corvale::BTAddress(0x001122334455ULL),
                                 Corvale::BTClassOfDevice(0x5A020C), L"Phone");
        Quillmere::BTDevice_Form form(device);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        WhenModal<About_Form> box([&](About_Form* about) {
            QCOMPARE(about->parentWidget(), static_cast<QWidget*>(&form));
            checkBox(about, catcher);
        });
        click(child<QAction>(&form, "TT_About"));
        QVERIFY(box.ran());
        QVERIFY(form.findChildren<About_Form*>().isEmpty());
    }

    void closeBoxCloses() {
        About_Form about;
        about.show();
        QVERIFY(QTest::qWaitForWindowExposed(&about));
        QVERIFY(about.close());
        QVERIFY(!about.isVisible());
    }
};

QTEST_MAIN(AboutFormTest)
#include "tst_about_form.moc"
