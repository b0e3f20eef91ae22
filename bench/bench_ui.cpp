// The front end's hot paths on the offscreen platform, against the simulated
// world: filling and sorting a long remote list, re-sorting it on a header
// click, how long the window thread goes without turning its event loop
// during a fill, an inquiry, a local refresh, a service discovery and the
// opening of record windows, hovering hostile tool tips, and start to first
// display.
#include <corvale/Corvale.h>
#include <corvale/bt/sdp.h>
#include <corvale/sim/World.h>
#include <quillmere/BTDevice_Form.h>
#include <quillmere/BTNetwork_Form.h>
#include <quillmere/BTRecord_Form.h>
#include <quillmere/SortedList.h>

#include "../tests/ui/HostileTexts.h"

#include <benchmark/benchmark.h>

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QTimer>
#include <QToolTip>
#include <QTreeView>

#include <chrono>
#include <memory>
#include <random>

namespace {

using Corvale::Sim::World;

// n devices with varied names, classes and addresses; the same every run.
std::vector<Corvale::Sim::Device> crowd(std::size_t n) {
    static const char* const words[] = {"Kitchen", "office", "Mara's", "Lea's", "speaker",
                                        "Phone",   "tag",    "band",   "Car",   "keyboard",
                                        "mouse",   "TV",     "laptop", "Zed",   "alpha"};
    static const unsigned majors[] = {1, 2, 3, 4, 5, 6, 0, 31};
    std::mt19937 random(1234);
    std::vector<Corvale::Sim::Device> devices;
    devices.reserve(n);
    for (std::size_t i = 0; i < n; ++i) {
        std::string name = std::string(words[random() % std::size(words)]) + " " +
                           words[random() % std::size(words)] + " " +
                           std::to_string(random() % 10000);
        if (i % 50 == 0) name.clear();
        const unsigned major = majors[random() % std::size(majors)];
        devices.push_back(
            {.address = BTH_ADDR(0x001000000000ULL + random() % 0xFFFFFFFFFULL),
             .name = name,
             .classOfDevice = ULONG(0x200000 | (major << 8) | ((random() % 8) << 2))});
    }
    return devices;
}

void freshWorld(std::vector<Corvale::Sim::Device> devices) {
    while (baselib::isWinsockInitied()) baselib::WinsockClear();
    World& world = World::instance();
    world.reset();
    world.setLogging(false);
    world.setDevices(std::move(devices));
    baselib::WinsockStart();
}

// Spins the event loop until done() or 30 s.
template <typename F>
void spinUntil(F done) {
    QElapsedTimer t;
    t.start();
    while (!done() && t.elapsed() < 30000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

struct Window {
    std::unique_ptr<Corvale::BTNetwork> net;
    std::unique_ptr<Quillmere::BTNetwork_Form> form;
    Quillmere::SortedList* remote = nullptr;

    void open() {
        form.reset();
        net = std::make_unique<Corvale::BTNetwork>();
        form = std::make_unique<Quillmere::BTNetwork_Form>(*net);
        form->show();
        remote = form->findChild<Quillmere::SortedList*>(QStringLiteral("LRemote"));
        spinUntil([&] { return !remote->headerItem()->icon(0).isNull(); });
    }
    void inquire() {
        bool done = false;
        QMetaObject::Connection c = QObject::connect(
            form.get(), &Quillmere::BTNetwork_Form::inquiryCompleted, [&] { done = true; });
        form->findChild<QAction*>(QStringLiteral("TR_Refresh"))->trigger();
        spinUntil([&] { return done; });
        QObject::disconnect(c);
    }
};

// The engine alone: a fresh BTNetwork's inquiry of n devices.
void BM_EngineInquiry(benchmark::State& state) {
    freshWorld(crowd(std::size_t(state.range(0))));
    for (auto _ : state) {
        state.PauseTiming();
        Corvale::BTNetwork net;
        state.ResumeTiming();
        benchmark::DoNotOptimize(net.DiscoverRemoteDevices());
    }
}
BENCHMARK(BM_EngineInquiry)->Arg(10000)->Unit(benchmark::kMillisecond);

// Refresh on the remote pane to the refilled, sorted list: the engine's
// inquiry (above) plus the window's clear, fill and one sort.
void BM_WindowInquiryFillSort(benchmark::State& state) {
    freshWorld(crowd(std::size_t(state.range(0))));
    Window w;
    for (auto _ : state) {
        state.PauseTiming();
        w.open();
        state.ResumeTiming();
        w.inquire();
        state.PauseTiming();
        if (w.remote->topLevelItemCount() != state.range(0)) state.SkipWithError("rows missing");
        state.ResumeTiming();
    }
}
BENCHMARK(BM_WindowInquiryFillSort)->Arg(10000)->Unit(benchmark::kMillisecond)->UseRealTime();

// A header click on "Device name" with 10,000 rows: sort and arrow, then the
// repaint the click causes.
void BM_HeaderClickResort(benchmark::State& state) {
    freshWorld(crowd(std::size_t(state.range(0))));
    Window w;
    w.open();
    w.inquire();
    for (auto _ : state) {
        w.form->LRemote_ColumnClick(2);
        QCoreApplication::processEvents();
    }
}
BENCHMARK(BM_HeaderClickResort)->Arg(10000)->Unit(benchmark::kMillisecond)->UseRealTime();

// The longest time between two turns of the window thread's event loop,
// from start() until done() holds. A 1 ms timer marks every turn.
template <typename Start, typename Done>
double longestGapMs(Start start, Done done) {
    QElapsedTimer clock;
    qint64 last = 0, worst = 0;
    QTimer tick;
    tick.setTimerType(Qt::PreciseTimer);
    tick.setInterval(1);
    QObject::connect(&tick, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        worst = qMax(worst, now - last);
        last = now;
    });
    clock.start();
    tick.start();
    // What start() itself keeps the window thread counts: a slow call made
    // right in the click handler is a gap too.
    last = clock.nsecsElapsed();
    start();
    spinUntil(done);
    worst = qMax(worst, clock.nsecsElapsed() - last);  // up to the end, turned or not
    tick.stop();
    return double(worst) / 1e6;
}

// The demo neighbourhood with the demo's timing.
void demoWorld() {
    using namespace std::chrono_literals;
    freshWorld({});
    World& world = World::instance();
    Corvale::Sim::loadDemoNeighbourhood(world);
    world.setInquiryDuration(3000ms);
}

// The same measure with nothing running: what the machine itself costs (a
// loaded machine preempts the window thread now and then).
void BM_IdleEventLoopGap(benchmark::State& state) {
    double worst = 0;
    for (auto _ : state) {
        QElapsedTimer t;
        worst = qMax(worst, longestGapMs([&] { t.start(); }, [&] { return t.elapsed() > 3000; }));
    }
    state.counters["longest_gap_ms"] = worst;
}
BENCHMARK(BM_IdleEventLoopGap)->Iterations(3)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_InquiryEventLoopGap(benchmark::State& state) {
    demoWorld();
    Window w;
    double worst = 0;
    for (auto _ : state) {
        w.open();
        bool done = false;
        QObject::connect(w.form.get(), &Quillmere::BTNetwork_Form::inquiryCompleted,
                         [&] { done = true; });
        worst =
            qMax(worst,
                 longestGapMs(
                     [&] { w.form->findChild<QAction*>(QStringLiteral("TR_Refresh"))->trigger(); },
                     [&] { return done; }));
    }
    state.counters["longest_gap_ms"] = worst;
}
BENCHMARK(BM_InquiryEventLoopGap)->Iterations(3)->Unit(benchmark::kMillisecond)->UseRealTime();

// The window's own fill of 10,000 rows as the window thread lives it: the
// longest gap during a Refresh of the remote pane is its completion (clear,
// fill, one sort, column fitting); the inquiry itself runs on the worker.
void BM_FillEventLoopGap(benchmark::State& state) {
    freshWorld(crowd(std::size_t(state.range(0))));
    Window w;
    double worst = 0;
    for (auto _ : state) {
        w.open();
        bool done = false;
        QObject::connect(w.form.get(), &Quillmere::BTNetwork_Form::inquiryCompleted,
                         [&] { done = true; });
        worst =
            qMax(worst,
                 longestGapMs(
                     [&] { w.form->findChild<QAction*>(QStringLiteral("TR_Refresh"))->trigger(); },
                     [&] { return done; }));
    }
    state.counters["longest_gap_ms"] = worst;
}
BENCHMARK(BM_FillEventLoopGap)
    ->Arg(10000)
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// Refresh on the local pane, the way the BlueZ probe measures it: press it,
// then turn the event loop until its button can be pressed again. The demo's
// SDP delay stands for reading each radio's own records over the air.
void BM_LocalRefreshEventLoopGap(benchmark::State& state) {
    demoWorld();
    Window w;
    w.open();
    World::instance().setSdpDuration(std::chrono::milliseconds(1200));
    QAction* refresh = w.form->findChild<QAction*>(QStringLiteral("TL_Refresh"));
    double worst = 0;
    for (auto _ : state) {
        bool started = false;
        worst = qMax(worst, longestGapMs(
                                [&] {
                                    refresh->trigger();
                                    started = true;
                                },
                                [&] { return started && refresh->isEnabled(); }));
    }
    state.counters["longest_gap_ms"] = worst;
}
BENCHMARK(BM_LocalRefreshEventLoopGap)->Iterations(3)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ServiceDiscoveryEventLoopGap(benchmark::State& state) {
    demoWorld();
    World::instance().setSdpDuration(std::chrono::milliseconds(1200));
    Corvale::BTNetwork net;
    net.DiscoverRemoteDevices();
    // The device with the most records of the neighbourhood.
    std::size_t best = 0;
    double worst = 0;
    for (auto _ : state) {
        for (std::size_t i = 0; i < net.RemoteDevices().size(); ++i) {
            Quillmere::BTDevice_Form form(net.RemoteDevices()[i]);
            form.show();
            bool done = false;
            QObject::connect(&form, &Quillmere::BTDevice_Form::discoveryCompleted,
                             [&] { done = true; });
            worst = qMax(
                worst,
                longestGapMs(
                    [&] { form.findChild<QAction*>(QStringLiteral("Toolbar_Refresh"))->trigger(); },
                    [&] { return done; }));
            best = qMax(best, net.RemoteDevices()[i].Services().size());
        }
    }
    state.counters["longest_gap_ms"] = worst;
    state.counters["most_services"] = double(best);
}
BENCHMARK(BM_ServiceDiscoveryEventLoopGap)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// Opening a service's record window from the device window, as the window
// thread lives it: from Enter on the service's row (decoding, the tree, the
// summaries) to the record window's first paint, one window after another.
// Arg 0: the demo keyboard's HID record (a report descriptor of several KiB);
// arg 1: each service of a device with 50 (the demo's records in turn);
// arg 2: a hostile record of 60,000 elements and a 64 KiB text.
void BM_RecordWindowEventLoopGap(benchmark::State& state) {
    demoWorld();
    std::string wanted = "Keystone K3 Keyboard";
    if (state.range(0) == 1) {
        std::vector<Corvale::Sim::Record> records;
        // Those a search lists: with a port (L2CAP in their protocols).
        for (const Corvale::Sim::Device& d : World::instance().devices())
            for (const Corvale::Sim::Record& r : d.records)
                if (r.port) records.push_back(r);
        std::vector<Corvale::Sim::Record> fifty;
        for (std::size_t i = 0; i < 50; ++i) {
            fifty.push_back(records[i % records.size()]);
            std::string name = fifty.back().name.value_or("Service");
            name.append(" ").append(std::to_string(i));
            fifty.back().name = std::move(name);
        }
        freshWorld({{.address = Corvale::Sim::address("00:11:22:33:44:55"),
                     .name = "Fifty services",
                     .classOfDevice = 0x5A020C,
                     .records = fifty}});
        wanted = "Fifty services";
    } else if (state.range(0) == 2) {
        namespace Sdp = Corvale::Bt::Sdp;
        std::vector<Sdp::Bytes> pairs;
        for (int i = 0; i < 30000; ++i)
            pairs.push_back(Sdp::sequence({Sdp::uint8(std::uint8_t(i))}));
        const std::string text(64 * 1024, 'W');
        const Sdp::Bytes bytes = Sdp::record(
            {{0x0000, Sdp::uint32(0x00010000)},
             {0x0001, Sdp::sequence({Sdp::uuid16(0x1101)})},
             {0x0004, Sdp::sequence({Sdp::sequence({Sdp::uuid16(0x0100)}),
                                     Sdp::sequence({Sdp::uuid16(0x0003), Sdp::uint8(3)})})},
             {0x0100, Sdp::text(text)},
             {0x0200, Sdp::sequence(pairs)}});
        freshWorld({{.address = Corvale::Sim::address("00:11:22:33:44:55"),
                     .name = "Huge record",
                     .classOfDevice = 0x5A020C,
                     .records = {{.name = "Keystone huge", .port = 3, .bytes = bytes}}}});
        wanted = "Huge record";
    }
    Corvale::BTNetwork net;
    net.DiscoverRemoteDevices();
    Corvale::BTDevice* device = nullptr;
    for (Corvale::BTDevice& d : net.RemoteDevices())
        if (d.Name() == std::wstring(wanted.begin(), wanted.end())) device = &d;
    if (device == nullptr || !device->DiscoverServices()) return state.SkipWithError("no device");
    Quillmere::BTDevice_Form form(*device);
    form.show();
    auto* services = form.findChild<Quillmere::SortedList*>(QStringLiteral("Services"));
    spinUntil([&] { return services->topLevelItemCount() == int(device->Services().size()); });
    double worst = 0;
    std::size_t opened = 0, largest = 0;
    for (auto _ : state) {
        for (int row = 0; row < services->topLevelItemCount(); ++row) {
            QTreeWidgetItem* item = services->topLevelItem(row);
            if (state.range(0) == 0 && !item->text(0).startsWith(QStringLiteral("Keystone")))
                continue;
            services->setCurrentItem(item);
            Quillmere::BTRecord_Form* window = nullptr;
            bool painted = false;
            worst = qMax(worst, longestGapMs(
                                    [&] {
                                        QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return,
                                                        Qt::NoModifier);
                                        QCoreApplication::sendEvent(services, &enter);
                                        window = form.findChild<Quillmere::BTRecord_Form*>();
                                    },
                                    [&] {
                                        if (window == nullptr) return true;
                                        auto* tree = window->findChild<QTreeView*>();
                                        if (!painted && window->isVisible()) {
                                            tree->viewport()->repaint();
                                            painted = true;
                                        }
                                        return painted;
                                    }));
            if (window == nullptr) return state.SkipWithError("no record window");
            largest = qMax(largest, window->service().Record().size());
            ++opened;
            delete window;
        }
    }
    state.counters["longest_gap_ms"] = worst;
    state.counters["windows"] = double(opened);
    state.counters["largest_record_bytes"] = double(largest);
}
BENCHMARK(BM_RecordWindowEventLoopGap)
    ->Arg(0)
    ->Arg(1)
    ->Arg(2)
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// Resting the mouse on every cell of the services list of a device whose
// services are named and described with the hostile texts: the longest time
// one hover (the tool tip's help event, the tip laid out, shown and painted)
// keeps the window thread, and the time to open and paint the window.
void BM_HostileToolTipHover(benchmark::State& state) {
    freshWorld({});
    std::vector<Corvale::Sim::Record> records;
    for (const auto& [what, text] : HostileTexts::all())
        records.push_back({.name = text, .comment = text, .port = ULONG(records.size() + 1)});
    World::instance().addDevice({.address = Corvale::Sim::address("00:11:22:33:44:55"),
                                 .name = HostileTexts::nestedTables(13),
                                 .classOfDevice = 0x5A020C,
                                 .records = records});
    Corvale::BTNetwork net;
    net.DiscoverRemoteDevices();
    Corvale::BTDevice& device = net.RemoteDevices().at(0);
    if (!device.DiscoverServices()) state.SkipWithError("service discovery failed");
    double worstHover = 0, worstOpen = 0;
    std::size_t hovers = 0;
    for (auto _ : state) {
        QElapsedTimer opening;
        opening.start();
        Quillmere::BTDevice_Form form(device);
        form.show();
        auto* list = form.findChild<Quillmere::SortedList*>(QStringLiteral("Services"));
        spinUntil([&] { return list->topLevelItemCount() == int(device.Services().size()); });
        form.repaint();
        worstOpen = qMax(worstOpen, double(opening.nsecsElapsed()) / 1e6);
        for (int row = 0; row < list->topLevelItemCount(); ++row) {
            for (int column = 0; column < list->columnCount(); ++column) {
                QTreeWidgetItem* item = list->topLevelItem(row);
                list->scrollToItem(item);
                const QPoint at = list->visualRect(list->indexFromItem(item, column)).center();
                QHelpEvent hover(QEvent::ToolTip, at, list->viewport()->mapToGlobal(at));
                QElapsedTimer t;
                t.start();
                QApplication::sendEvent(list->viewport(), &hover);
                // The tip on the screen: laid out, then painted.
                for (QWidget* tip : QApplication::topLevelWidgets())
                    if (tip->inherits("QTipLabel") && tip->isVisible()) tip->repaint();
                worstHover = qMax(worstHover, double(t.nsecsElapsed()) / 1e6);
                ++hovers;
                QToolTip::hideText();
            }
        }
    }
    state.counters["longest_hover_ms"] = worstHover;
    state.counters["open_and_paint_ms"] = worstOpen;
    state.counters["hovers"] = double(hovers);
}
BENCHMARK(BM_HostileToolTipHover)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

// What quillmere-demo does from main() to its first display, in process:
// the world, the session, the BTNetwork (radios and their services), the
// window, until the first display has filled the lists.
void BM_StartToFirstDisplay(benchmark::State& state) {
    for (auto _ : state) {
        while (baselib::isWinsockInitied()) baselib::WinsockClear();
        World& world = World::instance();
        world.reset();
        Corvale::Sim::loadDemoNeighbourhood(world);
        world.setInquiryDuration(std::chrono::milliseconds(3000));
        world.setLogging(false);
        baselib::WinsockStart();
        Window w;
        w.open();
        QCoreApplication::processEvents();
        state.PauseTiming();
        w.form.reset();
        w.net.reset();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_StartToFirstDisplay)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
