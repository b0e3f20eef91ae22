// How long a refresh of the local radios holds up the network window's
// thread, on the BlueZ platform against the real stack (tools/bluez/e2e.sh
// runs it in its guest, where both virtual radios read each other's records),
// and what the same thread's event loop does when nothing runs, in the same
// guest: an emulated machine has pauses of its own.
//
// The main window is built as quillmere builds it, on the offscreen platform;
// a 1 ms timer marks each turn of the window thread's event loop, and every
// event the thread handles is timed, so that a long gap can be put down to
// the event that filled it. First an idle stretch, then kRefreshes presses
// of TL_Refresh, each followed until the action is enabled again and then by
// a short idle pause; in between, the cost of repainting the whole window
// with nothing else running. Prints, besides a line per refresh:
//
//   E2E: idle: longest event-loop gap <n> ms in <n> ms ...
//   E2E: local refresh: longest event-loop gap <n> ms, refresh <n> ms, ...
//
// the second with the worst of the refreshes and their medians.
#include <corvale/Corvale.h>
#include <quillmere/BTNetwork_Form.h>

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QMessageBox>
#include <QMetaEnum>
#include <QPointer>
#include <QThread>
#include <QTimer>
#include <QWidget>

#include <time.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr qint64 kBound = 60000;  // ms for the whole run
constexpr qint64 kIdle = 3000;    // ms of the idle stretch
constexpr qint64 kPause = 500;    // ms of idle after each refresh
constexpr int kRefreshes = 5;
constexpr qint64 kReported = 10;  // ms: events at least this long are listed

QElapsedTimer gClock;

// One event the window thread handled, and how long it took.
struct Handled {
    qint64 at = 0;  // ms since the start of the period
    qint64 took = 0;
    qint64 onCpu = 0;  // ms of it that the thread ran
    std::string what;
};

// The CPU time of the calling thread: what it ran, not what it waited for
// while other threads (or, in a virtual machine, the host) had the CPU.
qint64 threadCpuNs() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<qint64>(t.tv_sec) * 1000000000 + t.tv_nsec;
}

// Times every event the window thread dispatches from its event loop
// (nested dispatches count within their outer one).
class TimedApplication final : public QApplication {
public:
    using QApplication::QApplication;

    bool notify(QObject* receiver, QEvent* event) override {
        if (depth_ > 0 || QThread::currentThread() != thread())
            return QApplication::notify(receiver, event);
        // Read before the dispatch: it may delete the receiver (a deferred
        // delete does), and the event goes with the dispatch's caller.
        const QEvent::Type type = event->type();
        const QMetaObject* meta = receiver->metaObject();
        const QPointer<QObject> alive(receiver);
        ++depth_;
        const qint64 begin = gClock.nsecsElapsed(), cpuBegin = threadCpuNs();
        const bool result = QApplication::notify(receiver, event);
        const qint64 took = (gClock.nsecsElapsed() - begin) / 1000000;
        const qint64 onCpu = (threadCpuNs() - cpuBegin) / 1000000;
        --depth_;
        if (took >= kReported) {
            const char* name = QMetaEnum::fromType<QEvent::Type>().valueToKey(type);
            std::string what = name != nullptr ? name : std::to_string(type);
            what += " to ";
            what += meta->className();
            if (alive && !alive->objectName().isEmpty())
                what += " " + alive->objectName().toStdString();
            handled.push_back({begin / 1000000 - periodStart, took, onCpu, std::move(what)});
        }
        return result;
    }

    // Starts a period: what is handled is counted from now.
    void startPeriod() {
        handled.clear();
        periodStart = gClock.elapsed();
    }

    std::vector<Handled> handled;
    qint64 periodStart = 0;

private:
    int depth_ = 0;
};

// The gaps between turns of the event loop within one period.
struct Gaps {
    qint64 last = 0, longest = 0, longestAt = 0, over16 = 0;
    void start() { last = gClock.elapsed(), longest = 0, longestAt = 0, over16 = 0; }
    void tick(qint64 periodStart) {
        const qint64 now = gClock.elapsed(), gap = now - last;
        if (gap > longest) longest = gap, longestAt = last - periodStart;
        over16 += gap > 16;
        last = now;
    }
};

std::string listed(const std::vector<Handled>& handled) {
    if (handled.empty()) return "none";
    std::string out;
    for (const Handled& h : handled)
        out += (out.empty() ? "" : "; ") + h.what + " " + std::to_string(h.took) + " ms (" +
               std::to_string(h.onCpu) + " ms on the CPU) at +" + std::to_string(h.at) + " ms";
    return out;
}

}  // namespace

int main(int argc, char** argv) {
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    (void)baselib::WinsockStart();
    gClock.start();
    TimedApplication app(argc, argv);
    Corvale::BTNetwork net;
    Quillmere::BTNetwork_Form form(net);
    form.show();
    auto* refresh = form.findChild<QAction*>(QStringLiteral("TL_Refresh"));
    if (refresh == nullptr) {
        std::printf("E2E: FAILED: the window has no TL_Refresh action\n");
        return 1;
    }

    Gaps gaps;
    qint64 ticks = 0;
    QTimer tick;
    tick.setTimerType(Qt::PreciseTimer);
    QObject::connect(&tick, &QTimer::timeout, [&] {
        gaps.tick(app.periodStart);
        ++ticks;
        // A message box would wait for a click that never comes: say what
        // it said and close it.
        if (QWidget* modal = QApplication::activeModalWidget()) {
            std::printf("E2E: a dialog appeared: %s\n", qPrintable(modal->windowTitle()));
            modal->close();
        }
    });
    tick.start(1);
    const auto runFor = [&](qint64 ms) {
        const qint64 end = std::min(gClock.elapsed() + ms, kBound);
        while (gClock.elapsed() < end) app.processEvents(QEventLoop::WaitForMoreEvents);
    };

    // Settle first: the window's first paint is not the refresh's.
    while (ticks < 50 && gClock.elapsed() < kBound)
        app.processEvents(QEventLoop::WaitForMoreEvents);
    app.startPeriod();
    gaps.start();
    runFor(kIdle);
    std::printf(
        "E2E: idle: longest event-loop gap %lld ms in %lld ms (at +%lld ms), %lld gaps "
        "over 16 ms; events of %lld ms or more: %s\n",
        static_cast<long long>(gaps.longest), static_cast<long long>(kIdle),
        static_cast<long long>(gaps.longestAt), static_cast<long long>(gaps.over16),
        static_cast<long long>(kReported), listed(app.handled).c_str());

    // What painting the whole window costs on this machine, with nothing
    // else running: as it is, and locked (every control disabled), which is
    // what a refresh has it repaint at the press and at the end.
    std::vector<double> paints, paintsOnCpu;  // ms
    for (int i = 0; i < 5; ++i) {
        for (bool enabled : {false, true}) {
            form.setEnabled(enabled);
            const qint64 begin = gClock.nsecsElapsed(), cpuBegin = threadCpuNs();
            form.repaint();
            paints.push_back(static_cast<double>(gClock.nsecsElapsed() - begin) / 1e6);
            paintsOnCpu.push_back(static_cast<double>(threadCpuNs() - cpuBegin) / 1e6);
            runFor(50);
        }
    }
    std::sort(paints.begin(), paints.end());
    std::sort(paintsOnCpu.begin(), paintsOnCpu.end());
    std::printf(
        "E2E: idle: whole-window repaint %.1f ms median, %.1f ms max (on the CPU: %.1f ms "
        "median, %.1f ms max; %zu repaints, half of them locked)\n",
        paints[paints.size() / 2], paints.back(), paintsOnCpu[paintsOnCpu.size() / 2],
        paintsOnCpu.back(), paints.size());

    std::vector<qint64> refreshGaps, refreshTimes;
    for (int round = 1; round <= kRefreshes; ++round) {
        qint64 started = -1, done = -1;
        QTimer::singleShot(0, refresh, [&] {
            app.startPeriod();
            gaps.start();
            started = gClock.elapsed();
            refresh->trigger();
        });
        while (gClock.elapsed() < kBound) {
            app.processEvents(QEventLoop::WaitForMoreEvents);
            if (started >= 0 && refresh->isEnabled()) {
                done = gClock.elapsed();
                break;
            }
        }
        // The last stretch counts too, in case the refresh ended in one.
        gaps.tick(app.periodStart);
        if (done < 0) {
            std::printf("E2E: FAILED: the local refresh did not end within %lld s\n",
                        static_cast<long long>(kBound / 1000));
            return 1;
        }
        std::printf(
            "E2E: local refresh %d: longest event-loop gap %lld ms (at +%lld ms), "
            "refresh %lld ms; events of %lld ms or more: %s\n",
            round, static_cast<long long>(gaps.longest), static_cast<long long>(gaps.longestAt),
            static_cast<long long>(done - started), static_cast<long long>(kReported),
            listed(app.handled).c_str());
        refreshGaps.push_back(gaps.longest);
        refreshTimes.push_back(done - started);
        runFor(kPause);
    }

    for (const QMessageBox* box : form.findChildren<QMessageBox*>())
        if (box->isVisible()) std::printf("E2E: the window says: %s\n", qPrintable(box->text()));
    std::size_t services = 0;
    for (const Corvale::BTDevice& radio : net.LocalDevices()) services += radio.Services().size();
    std::sort(refreshGaps.begin(), refreshGaps.end());
    std::sort(refreshTimes.begin(), refreshTimes.end());
    std::printf(
        "E2E: local refresh: longest event-loop gap %lld ms, refresh %lld ms (worst of %d; "
        "medians %lld ms and %lld ms), %zu radios, %zu services\n",
        static_cast<long long>(refreshGaps.back()), static_cast<long long>(refreshTimes.back()),
        kRefreshes, static_cast<long long>(refreshGaps[refreshGaps.size() / 2]),
        static_cast<long long>(refreshTimes[refreshTimes.size() / 2]), net.LocalDevices().size(),
        services);
    return 0;
}
