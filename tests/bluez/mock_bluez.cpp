#include "mock_bluez.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <stdexcept>
#include <thread>

extern char** environ;

namespace mockbluez {

namespace {

std::string gAddress;

// Where the template lives: next to this source, handed over by the build.
const char* templatePath() {
    return CORVALE_BLUEZ_TEMPLATE;
}

}  // namespace

void PrivateBus::SetUp() {
    // --fork: the daemon is ready once the parent has printed and exited.
    FILE* p =
        ::popen("dbus-daemon --session --fork --nopidfile --print-address=1 --print-pid=1", "r");
    ASSERT_NE(p, nullptr);
    char line[512];
    std::string address, pid;
    if (std::fgets(line, sizeof line, p)) address = line;
    if (std::fgets(line, sizeof line, p)) pid = line;
    ::pclose(p);
    while (!address.empty() && address.back() == '\n') address.pop_back();
    ASSERT_FALSE(address.empty()) << "dbus-daemon did not start";
    pid_ = static_cast<pid_t>(std::atoi(pid.c_str()));
    gAddress = address;
    ::setenv("DBUS_SYSTEM_BUS_ADDRESS", address.c_str(), 1);
}

void PrivateBus::TearDown() {
    if (pid_ > 0) ::kill(pid_, SIGTERM);
}

const std::string& PrivateBus::address() {
    return gAddress;
}

MockBluez::~MockBluez() {
    stop();
}

Corvale::Bluez::Dbus::Connection& MockBluez::bus() {
    if (!bus_) {
        Corvale::Bluez::Dbus::Failure failure;
        if (Corvale::Bluez::Dbus::Connection::openSystem(std::chrono::seconds(10), bus_, failure) <
            0)
            throw std::runtime_error("cannot reach the private bus");
    }
    return *bus_;
}

void MockBluez::start() {
    ::setenv("DBUS_SYSTEM_BUS_ADDRESS", PrivateBus::address().c_str(), 1);
    const char* argv[] = {"/usr/bin/python3", "-m",           "dbusmock", "--system",
                          "--template",       templatePath(), nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    const int r =
        ::posix_spawn(&pid_, argv[0], &actions, nullptr, const_cast<char**>(argv), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (r != 0) throw std::runtime_error("cannot start python3 -m dbusmock");

    // Ready when org.bluez has an owner.
    for (int i = 0; i < 300; ++i) {
        Corvale::Bluez::Dbus::Message reply;
        Corvale::Bluez::Dbus::Failure failure;
        if (bus().call(
                "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
                "NameHasOwner",
                [](sd_bus_message* m) { return sd_bus_message_append(m, "s", "org.bluez"); }, reply,
                failure) == 0) {
            int has = 0;
            if (sd_bus_message_read(reply.get(), "b", &has) > 0 && has) return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    throw std::runtime_error("the mock bluetoothd did not come up");
}

bool MockBluez::running() {
    if (pid_ <= 0) return false;
    int status = 0;
    if (::waitpid(pid_, &status, WNOHANG) == pid_) {
        pid_ = -1;
        return false;
    }
    return true;
}

void MockBluez::stop() {
    if (pid_ > 0) {
        ::kill(pid_, SIGTERM);
        int status = 0;
        ::waitpid(pid_, &status, 0);
        pid_ = -1;
    }
}

void MockBluez::call(const char* path, const char* interface, const char* member,
                     const std::function<int(sd_bus_message*)>& append,
                     Corvale::Bluez::Dbus::Message* reply) {
    Corvale::Bluez::Dbus::Message local;
    Corvale::Bluez::Dbus::Failure failure;
    if (bus().call("org.bluez", path, interface, member, append, reply ? *reply : local, failure) <
        0)
        throw std::runtime_error(std::string("mock call ") + member + " failed: " + failure.name +
                                 " " + failure.message);
}

std::string MockBluez::addRadio(const std::string& hci, const std::string& address,
                                const std::string& alias, std::uint32_t cls, bool powered) {
    Corvale::Bluez::Dbus::Message reply;
    call(
        "/", "org.bluez.Mock", "AddRadio",
        [&](sd_bus_message* m) {
            return sd_bus_message_append(m, "sssub", hci.c_str(), address.c_str(), alias.c_str(),
                                         cls, powered ? 1 : 0);
        },
        &reply);
    const char* path = nullptr;
    sd_bus_message_read(reply.get(), "s", &path);
    return path ? path : "";
}

void MockBluez::addInRange(const std::string& hci, const std::string& address,
                           const std::string& name, int cls) {
    call("/", "org.bluez.Mock", "AddInRange", [&](sd_bus_message* m) {
        return sd_bus_message_append(m, "sssi", hci.c_str(), address.c_str(), name.c_str(), cls);
    });
}

std::string MockBluez::addKnown(const std::string& hci, const std::string& address,
                                const std::string& name, int cls) {
    Corvale::Bluez::Dbus::Message reply;
    call(
        "/", "org.bluez.Mock", "AddKnown",
        [&](sd_bus_message* m) {
            return sd_bus_message_append(m, "sssi", hci.c_str(), address.c_str(), name.c_str(),
                                         cls);
        },
        &reply);
    const char* path = nullptr;
    sd_bus_message_read(reply.get(), "s", &path);
    return path ? path : "";
}

void MockBluez::vanishDuringDiscovery(unsigned delayMs) {
    call("/", "org.bluez.Mock", "VanishDuringDiscovery",
         [&](sd_bus_message* m) { return sd_bus_message_append(m, "u", delayMs); });
}

void MockBluez::retype(const std::string& path, const std::string& interface,
                       const std::string& name) {
    call("/", "org.bluez.Mock", "Retype", [&](sd_bus_message* m) {
        return sd_bus_message_append(m, "sss", path.c_str(), interface.c_str(), name.c_str());
    });
}

void MockBluez::replace(const std::string& path, const std::string& interface,
                        const std::string& method, const std::string& in, const std::string& out,
                        const std::string& code) {
    call("/", "org.bluez.Mock", "Replace", [&](sd_bus_message* m) {
        return sd_bus_message_append(m, "ssssss", path.c_str(), interface.c_str(), method.c_str(),
                                     in.c_str(), out.c_str(), code.c_str());
    });
}

std::vector<Call> MockBluez::calls(const std::string& path, const std::string& method) {
    Corvale::Bluez::Dbus::Message reply;
    call(
        path.c_str(), "org.freedesktop.DBus.Mock", "GetMethodCalls",
        [&](sd_bus_message* m) { return sd_bus_message_append(m, "s", method.c_str()); }, &reply);
    std::vector<Call> out;
    sd_bus_message* m = reply.get();
    if (sd_bus_message_enter_container(m, 'a', "(tav)") <= 0) throw std::runtime_error("a(tav)");
    while (sd_bus_message_enter_container(m, 'r', "tav") > 0) {
        std::uint64_t when = 0;
        sd_bus_message_read(m, "t", &when);
        sd_bus_message_enter_container(m, 'a', "v");
        Call c;
        char type = 0;
        const char* contents = nullptr;
        while (sd_bus_message_peek_type(m, &type, &contents) > 0 && contents != nullptr) {
            Arg arg;
            arg.type = contents;
            sd_bus_message_enter_container(m, 'v', contents);
            if (arg.type == "s" || arg.type == "o") {
                const char* s = nullptr;
                sd_bus_message_read_basic(m, contents[0], &s);
                arg.text = s ? s : "";
            } else if (arg.type == "a{sv}") {
                Corvale::Bluez::Dbus::readProperties(m, arg.dict);
            } else {
                sd_bus_message_skip(m, contents);
            }
            sd_bus_message_exit_container(m);
            c.push_back(std::move(arg));
        }
        sd_bus_message_exit_container(m);
        sd_bus_message_exit_container(m);
        out.push_back(std::move(c));
    }
    sd_bus_message_exit_container(m);
    return out;
}

}  // namespace mockbluez
