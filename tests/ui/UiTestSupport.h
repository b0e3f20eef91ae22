// Driving the Quillmere windows the way a user does, on the offscreen
// platform, against the simulated world.
#pragma once

#include <corvale/Corvale.h>
#include <corvale/sim/World.h>
#include <quillmere/Bridge.h>
#include <quillmere/SortedList.h>

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QPointer>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QTreeWidget>

#include <functional>
#include <string>
#include <vector>

namespace UiTest {

using Corvale::Sim::World;

// A fresh world and a fresh Winsock session for every test.
inline World& freshWorld() {
    while (baselib::isWinsockInitied()) baselib::WinsockClear();
    World& world = World::instance();
    world.reset();
    Corvale::BTNetwork::setInquiryCache(false);
    Corvale::BTDevice::setInquiryCache(false);
    return world;
}

inline void startSession() {
    QVERIFY(baselib::WinsockStart());
}

// A minimal SDP record: ServiceClassIDList with one 16-bit class and a
// protocol list that names L2CAP, which service discovery asks for.
inline std::vector<BYTE> sdpRecord(std::uint16_t serviceClass) {
    const BYTE hi = BYTE(serviceClass >> 8), lo = BYTE(serviceClass & 0xFF);
    return {0x35, 0x12,                                                   // sequence of 18 bytes
            0x09, 0x00, 0x01, 0x35, 0x03, 0x19, hi,   lo,                 // 0x0001: {uuid16}
            0x09, 0x00, 0x04, 0x35, 0x05, 0x35, 0x03, 0x19, 0x01, 0x00};  // 0x0004: {{L2CAP}}
}

inline Corvale::Sim::Record service(const std::string& name, const std::string& comment, ULONG port,
                                    std::uint16_t serviceClass) {
    return Corvale::Sim::Record{
        .name = name, .comment = comment, .port = port, .bytes = sdpRecord(serviceClass)};
}

// The class word of a major/minor class that the engine keeps (one service
// class bit set: without any, the engine stores 0).
inline ULONG classWord(unsigned major, unsigned minor, unsigned serviceBits = 0x200000) {
    return ULONG(serviceBits | (major << 8) | (minor << 2));
}

template <typename T>
T* child(QObject* parent, const char* name) {
    T* found = parent->findChild<T*>(QLatin1String(name));
    if (found == nullptr) qWarning("no child %s", name);
    return found;
}

// Clicks the tool button of an action as a user would.
inline void click(QAction* action) {
    QVERIFY(action != nullptr);
    QWidget* button = nullptr;
    for (QObject* o : action->associatedObjects())
        if (auto* strip = qobject_cast<QToolBar*>(o)) button = strip->widgetForAction(action);
    QVERIFY(button != nullptr);
    QTest::mouseClick(button, Qt::LeftButton);
}

inline void clickHeader(QTreeWidget* list, int column) {
    QHeaderView* header = list->header();
    const int x = header->sectionViewportPosition(column) + header->sectionSize(column) / 2;
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, QPoint(x, header->height() / 2));
}

inline void doubleClick(QTreeWidget* list, QTreeWidgetItem* row) {
    list->scrollToItem(row);
    const QPoint at = list->visualItemRect(row).center();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
}

// The texts of one column, top to bottom.
inline QStringList columnTexts(const QTreeWidget* list, int column) {
    QStringList texts;
    for (int i = 0; i < list->topLevelItemCount(); ++i)
        texts << list->topLevelItem(i)->text(column);
    return texts;
}

// Which list image a header or row shows: its index, or -1 for none, -2 for
// a picture that is none of them.
inline int imageIndex(const QIcon& icon) {
    if (icon.isNull()) return -1;
    const QList<QIcon>& images = Quillmere::listImages();
    const QImage shown = icon.pixmap(16, 16).toImage();
    for (int i = 0; i < images.size(); ++i)
        if (images[i].pixmap(16, 16).toImage() == shown) return i;
    return -2;
}

inline QList<int> headerImages(const QTreeWidget* list) {
    QList<int> images;
    for (int i = 0; i < list->columnCount(); ++i) images << imageIndex(list->headerItem()->icon(i));
    return images;
}

// The message boxes showing now.
inline QList<QMessageBox*> messageBoxes() {
    QList<QMessageBox*> boxes;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* box = qobject_cast<QMessageBox*>(w); box && box->isVisible()) boxes << box;
    return boxes;
}

inline void closeMessageBoxes() {
    for (QMessageBox* box : messageBoxes()) {
        QTest::mouseClick(box->button(QMessageBox::Ok), Qt::LeftButton);
    }
    QApplication::processEvents();
}

// Runs body on the modal dialog of type T that the next action opens, while
// its exec() runs, once its first display is done. Whatever happens in body
// (a failed check returns from it early), the dialog is closed afterwards so
// exec() returns. Returns false when no such dialog came up in time.
template <typename T>
class WhenModal {
public:
    explicit WhenModal(std::function<void(T*)> body, int timeoutMs = 5000)
        : body(std::move(body)), deadline(timeoutMs) {
        poll.setInterval(5);
        QObject::connect(&poll, &QTimer::timeout, [this] { tick(); });
        poll.start();
        elapsed.start();
    }
    bool ran() const { return done; }
    int count() const { return seen; }

private:
    void tick() {
        auto* dialog = qobject_cast<T*>(QApplication::activeModalWidget());
        if (dialog == nullptr) {
            if (elapsed.elapsed() > deadline) poll.stop();
            return;
        }
        poll.stop();
        ++seen;
        // Let the window's first-display handler run.
        QTest::qWait(20);
        QPointer<T> guard(dialog);
        body(dialog);
        done = true;
        if (guard && guard->isVisible()) guard->done(0);
    }
    std::function<void(T*)> body;
    int deadline;
    QTimer poll;
    QElapsedTimer elapsed;
    bool done = false;
    int seen = 0;
};

}  // namespace UiTest
