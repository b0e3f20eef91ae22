// The fault sweep: for each engine operation, every platform call it makes is
// made to fail at every position in turn. Whatever fails, nothing crashes or
// leaks (the asan build runs this too), the result and the error text are the
// designed ones, and no list loses a record it should keep.
#include "sim_support.h"

#include <map>
#include <optional>

namespace {
using namespace simtest;
using Corvale::BTAddress;
using Corvale::BTDevice;
using Corvale::BTNetwork;
using Corvale::BTService;
using Corvale::BTUUID;

constexpr BTH_ADDR kRadio1 = 0x001A7DDA7113, kRadio2 = 0x001BDC0F3EA9, kRadio3 = 0x00000000D4D4;
constexpr BTH_ADDR kA = 0x0000000000A1, kB = 0x0000000000B2, kC = 0x0000000000C3;

constexpr Api kAllApis[] = {
    Api::WSAStartup,
    Api::WSACleanup,
    Api::WSALookupServiceBeginW,
    Api::WSALookupServiceNextW,
    Api::WSALookupServiceEnd,
    Api::WSASetServiceW,
    Api::BluetoothFindFirstRadio,
    Api::BluetoothFindNextRadio,
    Api::BluetoothFindRadioClose,
    Api::BluetoothGetRadioInfo,
};

// A code with a system text, of the family the call reports.
DWORD codeFor(Api api) {
    switch (api) {
        case Api::BluetoothFindFirstRadio:
        case Api::BluetoothFindNextRadio:
        case Api::BluetoothFindRadioClose:
        case Api::BluetoothGetRadioInfo:
            return ERROR_GEN_FAILURE;
        default:
            return WSAENETDOWN;
    }
}

const std::wstring kEarlierError = L"(earlier failure)";

struct Snapshot {
    std::vector<std::wstring> names;
    std::vector<std::vector<std::wstring>> services;
    bool operator==(const Snapshot&) const = default;
};

Snapshot snapshot(const std::vector<BTDevice>& list) {
    Snapshot s;
    for (const auto& d : list) {
        s.names.push_back(d.Name());
        s.services.push_back(serviceNames(d));
    }
    return s;
}

// Hooks seen by the remote inquiry.
class Watched : public BTNetwork {
public:
    mutable std::string hooks;
    void OnNewDevice(const BTDevice&) const override { hooks += 'N'; }
    void OnDeleteDevice(const BTDevice&) const override { hooks += 'D'; }
};

// How many services each of several lookups delivers when the fetch at
// position n (counting from 1 over all of them) fails. records[k] is the
// number of records of lookup k; each lookup makes one more fetch at its end.
std::vector<std::size_t> servicesWhenFetchFails(const std::vector<std::size_t>& records,
                                                unsigned n) {
    std::vector<std::size_t> out;
    unsigned start = 1;
    for (std::size_t r : records) {
        const unsigned calls = static_cast<unsigned>(r) + 1;
        if (n >= start && n < start + calls)
            out.push_back(std::min<std::size_t>(r, n - start));
        else
            out.push_back(r);
        start += calls;
    }
    return out;
}

void setError() {
    // Any text the operation must leave alone when it does not fail.
    baselib::setError(ERROR_CANCELLED);
}

class SweepTest : public SimTest {
protected:
    // Runs body once clean to learn how often it uses each call, then once
    // per (call, position) with that use failing.
    template <typename Setup, typename Run>
    void sweep(Setup setup, Run run) {
        std::map<Api, unsigned> uses;
        {
            world().reset();
            ASSERT_TRUE(baselib::WinsockStart());
            auto state = setup();
            std::map<Api, unsigned> before;
            for (Api api : kAllApis) before[api] = world().count(api);
            run(*state, std::nullopt, 0u);
            for (Api api : kAllApis) uses[api] = world().count(api) - before[api];
        }
        unsigned cases = 0;
        for (Api api : kAllApis) {
            for (unsigned n = 1; n <= uses[api]; ++n) {
                SCOPED_TRACE(std::string(Corvale::Compat::apiName(api)) + " use " +
                             std::to_string(n));
                world().reset();
                ASSERT_TRUE(baselib::WinsockStart());
                auto state = setup();
                world().failCall(api, world().count(api) + n, codeFor(api));
                run(*state, api, n);
                ++cases;
            }
        }
        EXPECT_GT(cases, 0u);
        world().reset();
    }
};

// ------------------------------------------------------- DiscoverLocalDevices

struct LocalState {
    std::optional<Network> network;
    Snapshot before;
};

TEST_F(SweepTest, DiscoverLocalDevices) {
    auto setup = [] {
        world().addRadio(radio(kRadio1, "R1", 0x1C0104, {record("a", 1), record("b", 2)}));
        world().addRadio(radio(kRadio2, "R2", 0x1C0104, {record("c", 3)}));
        auto s = std::make_unique<LocalState>();
        s->network.emplace();
        s->before = snapshot(s->network->LocalDevices());
        EXPECT_EQ(s->before.names.size(), 2u);
        setError();
        return s;
    };
    auto run = [](LocalState& s, std::optional<Api> failed, unsigned n) {
        BTNetwork& network = *s.network;
        const bool ok = network.DiscoverLocalDevices();
        const Snapshot after = snapshot(network.LocalDevices());
        const std::wstring error = baselib::getError();
        Corvale::Compat::OpenHandles expectOpen{};
        if (!failed) {
            EXPECT_TRUE(ok);
            EXPECT_EQ(after, s.before);
            EXPECT_EQ(error, errorText(ERROR_CANCELLED));
        } else if (*failed == Api::BluetoothFindFirstRadio) {
            EXPECT_FALSE(ok);
            EXPECT_EQ(error, errorText(ERROR_GEN_FAILURE));
            EXPECT_EQ(after, s.before);  // the old radios stay
        } else if (*failed == Api::BluetoothGetRadioInfo) {
            EXPECT_FALSE(ok);
            EXPECT_EQ(error, errorText(ERROR_GEN_FAILURE));
            ASSERT_EQ(after.names.size(), n - 1);
            for (std::size_t i = 0; i < n - 1; ++i) EXPECT_EQ(after.names[i], s.before.names[i]);
        } else if (*failed == Api::BluetoothFindNextRadio) {
            // A failing "next" reads as the end of the radios.
            EXPECT_TRUE(ok);
            EXPECT_EQ(after.names, std::vector<std::wstring>(s.before.names.begin(),
                                                             s.before.names.begin() + n));
            EXPECT_EQ(error, errorText(ERROR_CANCELLED));
        } else if (*failed == Api::BluetoothFindRadioClose) {
            EXPECT_TRUE(ok);
            EXPECT_EQ(after, s.before);
            expectOpen.radioFinds = 1;  // the platform refused to close it
        } else if (*failed == Api::WSALookupServiceBeginW) {
            // A radio's services failing is not a failure of local discovery.
            EXPECT_TRUE(ok);
            EXPECT_EQ(error, errorText(WSAENETDOWN));
            EXPECT_EQ(after.names, s.before.names);
            EXPECT_TRUE(after.services[n - 1].empty());
            EXPECT_EQ(after.services[2 - n], s.before.services[2 - n]);
        } else if (*failed == Api::WSALookupServiceNextW) {
            EXPECT_TRUE(ok);
            EXPECT_EQ(error, errorText(WSAENETDOWN));
            const auto kept = servicesWhenFetchFails({2, 1}, n);
            ASSERT_EQ(after.services.size(), 2u);
            for (std::size_t i = 0; i < 2; ++i) {
                ASSERT_EQ(after.services[i].size(), kept[i]);
                for (std::size_t j = 0; j < kept[i]; ++j)
                    EXPECT_EQ(after.services[i][j], s.before.services[i][j]);
            }
        } else if (*failed == Api::WSALookupServiceEnd) {
            EXPECT_TRUE(ok);  // its result is not looked at
            EXPECT_EQ(after, s.before);
            expectOpen.lookups = 1;
        } else {
            ADD_FAILURE() << "a call the design does not name";
        }
        EXPECT_EQ(world().openHandles(), expectOpen);
    };
    sweep(setup, run);
}

// ------------------------------------------------------ DiscoverRemoteDevices

struct RemoteState {
    Watched network;
    Snapshot before;
};

TEST_F(SweepTest, DiscoverRemoteDevices) {
    auto setup = [] {
        auto s = std::make_unique<RemoteState>();
        world().setDevices({device(kA, "A", 0x5A020C, {record("spp", 3)}), device(kB, "B")});
        EXPECT_TRUE(s->network.DiscoverRemoteDevices());
        EXPECT_TRUE(s->network.RemoteDevices()[0].DiscoverServices());
        s->before = snapshot(s->network.RemoteDevices());
        s->network.hooks.clear();
        // Now A is matched, C is new, B is matched, and nothing vanishes.
        world().setDevices({device(kA, "A"), device(kC, "C"), device(kB, "B")});
        setError();
        return s;
    };
    auto run = [](RemoteState& s, std::optional<Api> failed, unsigned n) {
        const bool ok = s.network.DiscoverRemoteDevices();
        const Snapshot after = snapshot(s.network.RemoteDevices());
        const std::wstring error = baselib::getError();
        Corvale::Compat::OpenHandles expectOpen{};
        const Snapshot fresh{{L"A", L"C", L"B"}, {{L"spp"}, {}, {}}};
        if (!failed) {
            EXPECT_TRUE(ok);
            EXPECT_EQ(after, fresh);
            EXPECT_EQ(s.network.hooks, "N");
        } else if (*failed == Api::WSALookupServiceBeginW) {
            EXPECT_FALSE(ok);
            EXPECT_EQ(error, errorText(WSAENETDOWN));
            EXPECT_EQ(after, s.before);
            EXPECT_EQ(s.network.hooks, "");
        } else if (*failed == Api::WSALookupServiceNextW) {
            // Part-way: the previous list exactly as it was; C may have been
            // announced (it is the second report), nothing was deleted.
            EXPECT_FALSE(ok);
            EXPECT_EQ(error, errorText(WSAENETDOWN));
            EXPECT_EQ(after, s.before);
            EXPECT_EQ(s.network.hooks, n > 2 ? "N" : "");
        } else if (*failed == Api::WSALookupServiceEnd) {
            EXPECT_TRUE(ok);  // the code was read before the lookup was ended
            EXPECT_EQ(after, fresh);
            expectOpen.lookups = 1;
        } else {
            ADD_FAILURE() << "a call the design does not name";
        }
        EXPECT_EQ(world().openHandles(), expectOpen);
    };
    sweep(setup, run);
}

// ----------------------------------------------------------- DiscoverServices

struct ServicesState {
    BTDevice device{BTAddress(kA), L"A"};
};

TEST_F(SweepTest, DiscoverServices) {
    auto setup = [] {
        auto s = std::make_unique<ServicesState>();
        world().setDevices({device(kA, "A", 0x5A020C, {record("old", 1)})});
        EXPECT_TRUE(s->device.DiscoverServices());
        world().setDevices(
            {device(kA, "A", 0x5A020C, {record("p", 1), record("q", 2), record("r", 3)})});
        setError();
        return s;
    };
    auto run = [](ServicesState& s, std::optional<Api> failed, unsigned n) {
        const bool ok = s.device.DiscoverServices();
        const auto services = serviceNames(s.device);
        const std::wstring error = baselib::getError();
        Corvale::Compat::OpenHandles expectOpen{};
        const std::vector<std::wstring> all = {L"p", L"q", L"r"};
        if (!failed) {
            EXPECT_TRUE(ok);
            EXPECT_EQ(services, all);
        } else if (*failed == Api::WSALookupServiceBeginW) {
            EXPECT_FALSE(ok);
            EXPECT_EQ(error, errorText(WSAENETDOWN));
            EXPECT_EQ(services, std::vector<std::wstring>{L"old"});
        } else if (*failed == Api::WSALookupServiceNextW) {
            EXPECT_FALSE(ok);
            EXPECT_EQ(error, errorText(WSAENETDOWN));
            EXPECT_EQ(services, std::vector<std::wstring>(all.begin(), all.begin() + (n - 1)));
        } else if (*failed == Api::WSALookupServiceEnd) {
            EXPECT_TRUE(ok);
            EXPECT_EQ(services, all);
            expectOpen.lookups = 1;
        } else {
            ADD_FAILURE() << "a call the design does not name";
        }
        EXPECT_EQ(world().openHandles(), expectOpen);
    };
    sweep(setup, run);
}

// ------------------------------------------------------------- PublishService

struct PublishState {
    std::optional<Network> network;
};

TEST_F(SweepTest, PublishService) {
    auto setup = [] {
        world().addRadio(radio(kRadio1, "R1"));
        world().addRadio(radio(kRadio2, "R2"));
        world().addRadio(radio(kRadio3, "R3"));
        auto s = std::make_unique<PublishState>();
        s->network.emplace();
        setError();
        return s;
    };
    auto run = [](PublishState& s, std::optional<Api> failed, unsigned n) {
        const BTService service(BTUUID(0x1101u), L"Corvale serial", L"", 9);
        const bool ok = s.network->PublishService(service, true);
        const auto radios = world().radios();
        ASSERT_EQ(radios.size(), 3u);
        if (!failed) {
            EXPECT_TRUE(ok);
            for (const auto& r : radios) EXPECT_EQ(r.records.size(), 1u);
        } else if (*failed == Api::WSASetServiceW) {
            EXPECT_FALSE(ok);
            EXPECT_EQ(baselib::getError(), errorText(WSAENETDOWN));
            EXPECT_EQ(world().count(Api::WSASetServiceW), n);  // the radios after are not tried
            for (std::size_t i = 0; i < 3; ++i)
                EXPECT_EQ(radios[i].records.size(), i + 1 < n ? 1u : 0u) << "radio " << i;
        } else {
            ADD_FAILURE() << "a call the design does not name";
        }
        EXPECT_EQ(world().openHandles(), Corvale::Compat::OpenHandles{});
    };
    sweep(setup, run);
}

}  // namespace
