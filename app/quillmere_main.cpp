// The entry of quillmere and of quillmere-demo: start the Winsock session,
// bring up the windowing, run the network window over the one BTNetwork of
// the run, and tear down in a fixed order. quillmere-demo is the same program
// on the simulated world, filled with a neighbourhood of made-up devices.
#include <corvale/BTNetwork.h>
#include <corvale/baselib.h>
#include <quillmere/BTNetwork_Form.h>

#include <QApplication>

#include <cstdio>
#include <cstdlib>

#ifdef QUILLMERE_DEMO
#include <corvale/sim/World.h>

#include <chrono>
#endif

#if defined(__unix__) && !defined(__APPLE__)
// Whether the window has anywhere to open. Without a display Qt aborts the
// program with a message about its xcb plugin, which tells a user over SSH
// or in a container nothing; a platform chosen in QT_QPA_PLATFORM is the
// user's to judge.
static bool desktopSessionNamed() {
    for (const char* name : {"QT_QPA_PLATFORM", "WAYLAND_DISPLAY", "DISPLAY"}) {
        const char* value = std::getenv(name);
        if (value != nullptr && *value != '\0') return true;
    }
    return false;
}
#endif

int main(int argc, char** argv) {
#if defined(__unix__) && !defined(__APPLE__)
    if (!desktopSessionNamed()) {
        std::fputs(
            "The window needs a desktop session (X11 or Wayland), and none was found: "
            "DISPLAY and WAYLAND_DISPLAY are not set.\n"
#ifdef QUILLMERE_DEMO
            "corvale-demo shows the same neighbourhood in the console: corvale-demo radios, "
            "corvale-demo scan.\n",
#else
            "corvale shows the same in the console: corvale radios, corvale scan.\n",
#endif
            stderr);
        return 1;
    }
#endif
#ifdef QUILLMERE_DEMO
    {
        using namespace std::chrono_literals;
        Corvale::Sim::World& world = Corvale::Sim::World::instance();
        Corvale::Sim::loadDemoNeighbourhood(world);
        // Slow enough to see the progress bar, as with a real radio.
        world.setInquiryDuration(3000ms);
        world.setLogging(false);
    }
#endif
    // A session that does not start is the window's to report.
    (void)baselib::WinsockStart();

    // The program takes no arguments: the windowing sees none either.
    int qtArgc = argc > 0 ? 1 : 0;
    QApplication app(qtArgc, argv);

    {
        Corvale::BTNetwork net;
#ifdef QUILLMERE_DEMO
        // The local radios' own records were read at once, as from a local
        // radio; a remote device takes its time to answer.
        Corvale::Sim::World::instance().setSdpDuration(std::chrono::milliseconds(1200));
#endif
        {
            Quillmere::BTNetwork_Form form(net);
#ifdef QUILLMERE_DEMO
            form.setWindowTitle(form.windowTitle() + QStringLiteral(" - demo"));
#endif
            form.show();
            app.exec();
        }
        // The session ends before the engine object goes.
        baselib::WinsockClear();
    }
    return 0;
}
