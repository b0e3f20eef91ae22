// How long a refresh of the local radios holds up the network window's
// thread, on the BlueZ platform against the real stack (tools/bluez/e2e.sh
// runs it in its guest, where both virtual radios read each other's records).
// The main window is built as quillmere builds it, on the offscreen platform;
// a 1 ms timer records the longest gap of the window thread's event loop
// while the TL_Refresh action runs, until the action is enabled again (60 s
// at most). Prints one line:
//
//   E2E: local refresh: longest event-loop gap <n> ms, refresh <n> ms, ...
#include <corvale/Corvale.h>
#include <quillmere/BTNetwork_Form.h>

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QTimer>
#include <QWidget>

#include <algorithm>
#include <cstdio>

int main(int argc, char** argv) {
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    (void)baselib::WinsockStart();
    QApplication app(argc, argv);
    Corvale::BTNetwork net;
    Quillmere::BTNetwork_Form form(net);
    form.show();
    auto* refresh = form.findChild<QAction*>(QStringLiteral("TL_Refresh"));
    if (refresh == nullptr) {
        std::printf("E2E: FAILED: the window has no TL_Refresh action\n");
        return 1;
    }

    QElapsedTimer clock;
    clock.start();
    qint64 last = 0, longest = 0, ticks = 0;
    QTimer tick;
    tick.setTimerType(Qt::PreciseTimer);
    QObject::connect(&tick, &QTimer::timeout, [&] {
        const qint64 now = clock.elapsed();
        longest = std::max(longest, now - last);
        last = now;
        ++ticks;
        // A message box would wait for a click that never comes: say what
        // it said and close it.
        if (QWidget* modal = QApplication::activeModalWidget()) {
            std::printf("E2E: a dialog appeared: %s\n", qPrintable(modal->windowTitle()));
            modal->close();
        }
    });
    tick.start(1);

    constexpr qint64 kBound = 60000;
    // Settle first: the window's first paint is not the refresh's.
    while (ticks < 50 && clock.elapsed() < kBound) app.processEvents(QEventLoop::WaitForMoreEvents);
    qint64 started = -1, done = -1;
    QTimer::singleShot(0, refresh, [&] {
        longest = 0;
        last = started = clock.elapsed();
        refresh->trigger();
    });
    while (clock.elapsed() < kBound) {
        app.processEvents(QEventLoop::WaitForMoreEvents);
        if (started >= 0 && refresh->isEnabled()) {
            done = clock.elapsed();
            break;
        }
    }
    // The last stretch counts too, in case the refresh ended in one.
    longest = std::max(longest, clock.elapsed() - last);
    if (done < 0) {
        std::printf("E2E: FAILED: the local refresh did not end within %lld s\n", kBound / 1000);
        return 1;
    }
    for (const QMessageBox* box : form.findChildren<QMessageBox*>())
        if (box->isVisible()) std::printf("E2E: the window says: %s\n", qPrintable(box->text()));
    std::size_t services = 0;
    for (const Corvale::BTDevice& radio : net.LocalDevices()) services += radio.Services().size();
    std::printf(
        "E2E: local refresh: longest event-loop gap %lld ms, refresh %lld ms, %zu radios, %zu "
        "services\n",
        static_cast<long long>(longest), static_cast<long long>(done - started),
        net.LocalDevices().size(), services);
    return 0;
}
