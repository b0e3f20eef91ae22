// Robustness: the fault sweep, and devices that send what no well-behaved
// device sends. Whatever happens, nothing crashes, hangs or leaks (the asan
// build runs these too).
#include "sim_support.h"

#include <algorithm>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <tuple>

namespace {
using namespace simtest;

// The sweep: for each engine operation, every platform call it makes is made
// to fail at every position in turn. The operation reports the failure (or
// carries on where the failure does not concern it) with the failed call's
// error text, and no list loses a record it should keep.
//
// A fetch fails with WSAENOMORE, the code easily taken for the end of the
// results (WSA_E_NO_MORE); the radio calls with a Win32 code.
DWORD codeFor(Api api) {
    if (api == Api::WSALookupServiceNextW) return WSAENOMORE;
    return api >= Api::BluetoothFindFirstRadio ? ERROR_GEN_FAILURE : WSAENETDOWN;
}

using Act = std::function<std::pair<bool, std::string>()>;

// A run is told as "ok" or "failed", the picture of what the operation left
// behind, and "!" when the error text is the failed call's (without "!" the
// text must be left as it was).
struct Operation {
    const char* name;
    std::function<Act()> prepare;  // builds the scene; returns the operation to run on it
    std::string clean;
    // For each call the operation makes: the run when its nth use fails.
    std::map<Api, std::vector<std::string>> failing;
};

std::vector<Operation> operations() {
    return {
        {"DiscoverLocalDevices",
         [] {
             world().addRadio(radio(kR1, "R1", {record("a", 1), record("b", 2)}));
             world().addRadio(radio(kR2, "R2", {record("c", 3)}));
             auto n = std::make_shared<Network>();
             return [n] {
                 return std::pair{n->DiscoverLocalDevices(), picture(n->LocalDevices())};
             };
         },
         "ok R1[a b] R2[c]",
         // The old radios stay when the enumeration cannot start; a failing
         // "next" reads as the end of the radios.
         {{Api::BluetoothFindFirstRadio, {"failed R1[a b] R2[c] !"}},
          {Api::BluetoothFindNextRadio, {"ok R1[a b]", "ok R1[a b] R2[c]"}},
          {Api::BluetoothFindRadioClose, {"ok R1[a b] R2[c]"}},
          {Api::BluetoothGetRadioInfo, {"failed !", "failed R1[a b] !"}},
          // A radio's services failing is not a failure of local discovery.
          {Api::WSALookupServiceBeginW, {"ok R1 R2[c] !", "ok R1[a b] R2 !"}},
          {Api::WSALookupServiceNextW,
           {"ok R1 R2[c] !", "ok R1[a] R2[c] !", "ok R1[a b] R2[c] !", "ok R1[a b] R2 !",
            "ok R1[a b] R2[c] !"}},
          {Api::WSALookupServiceEnd, {"ok R1[a b] R2[c]", "ok R1[a b] R2[c]"}}}},
        {"DiscoverRemoteDevices",
         [] {
             world().setDevices({device(kA, "A", 0x5A020C, {record("spp", 3)}), device(kB, "B")});
             auto n = std::make_shared<Network>();
             EXPECT_TRUE(n->DiscoverRemoteDevices());
             EXPECT_TRUE(n->RemoteDevices()[0].DiscoverServices());
             n->hooks.clear();
             // A is matched, C is new, B is matched, and nothing vanishes.
             world().setDevices({device(kA, "A"), device(kC, "C"), device(kB, "B")});
             return [n] {
                 const bool ok = n->DiscoverRemoteDevices();
                 return std::pair{ok, picture(n->RemoteDevices()) + " |" + n->hooks};
             };
         },
         "ok A[spp] C B |+C",
         {{Api::WSALookupServiceBeginW, {"failed A[spp] B | !"}},
          // Part-way: the previous list exactly as it was; C may have been
          // announced, nothing was deleted.
          {Api::WSALookupServiceNextW,
           {"failed A[spp] B | !", "failed A[spp] B | !", "failed A[spp] B |+C !",
            "failed A[spp] B |+C !"}},
          {Api::WSALookupServiceEnd, {"ok A[spp] C B |+C"}}}},
        {"DiscoverServices",
         [] {
             world().setDevices({device(kA, "A", 0x5A020C, {record("old", 1)})});
             auto d = std::make_shared<BTDevice>(BTAddress(kA), L"A");
             EXPECT_TRUE(d->DiscoverServices());
             world().setDevices(
                 {device(kA, "A", 0x5A020C, {record("p", 1), record("q", 2), record("r", 3)})});
             return [d] { return std::pair{d->DiscoverServices(), picture({*d})}; };
         },
         "ok A[p q r]",
         {{Api::WSALookupServiceBeginW, {"failed A[old] !"}},
          {Api::WSALookupServiceNextW,
           {"failed A !", "failed A[p] !", "failed A[p q] !", "failed A[p q r] !"}},
          {Api::WSALookupServiceEnd, {"ok A[p q r]"}}}},
        {"PublishService",
         [] {
             for (BTH_ADDR a : {kR1, kR2, kPhone}) world().addRadio(radio(a, "R"));
             auto n = std::make_shared<Network>();
             return [n] {
                 const bool ok =
                     n->PublishService(BTService(BTUUID(0x1101u), L"Serial", L"", 9), true);
                 std::string counts;  // records per radio: those after a refusal are not tried
                 for (const auto& r : world().radios()) counts += std::to_string(r.records.size());
                 return std::pair{ok, counts};
             };
         },
         "ok 111",
         {{Api::WSASetServiceW, {"failed 000 !", "failed 100 !", "failed 110 !"}}}},
    };
}

TEST_F(SimTest, EveryCallFailingAtEveryPositionIsReportedAndKeepsWhatTheListsHeld) {
    for (const Operation& op : operations()) {
        // The clean run first, then each use of each call failing in turn.
        std::vector<std::tuple<std::optional<Api>, unsigned, std::string>> runs{
            {std::nullopt, 0, op.clean}};
        for (const auto& [api, told] : op.failing)
            for (unsigned n = 1; n <= told.size(); ++n) runs.emplace_back(api, n, told[n - 1]);
        for (const auto& [api, n, want] : runs) {
            SCOPED_TRACE(std::string(op.name) + " failing " + (api ? Compat::apiName(*api) : "-") +
                         " use " + std::to_string(n));
            world().reset();
            const Act act = op.prepare();
            world().clearLog();
            if (api) world().failCall(*api, world().count(*api) + n, codeFor(*api));
            baselib::setError(ERROR_CANCELLED);
            const auto [ok, picture] = act();
            const std::wstring error = baselib::getError();
            const char* mark = api && error == errorText(codeFor(*api)) ? " !"
                               : error == errorText(ERROR_CANCELLED)    ? ""
                                                                        : " (another error text)";
            EXPECT_EQ(
                std::string(ok ? "ok" : "failed") + (picture.empty() ? "" : " ") + picture + mark,
                want);
            // Only a handle whose closing the platform refused stays open.
            EXPECT_EQ(world().openHandles(),
                      (Compat::OpenHandles{.lookups = api == Api::WSALookupServiceEnd,
                                           .radioFinds = api == Api::BluetoothFindRadioClose}));
            if (api) continue;
            // Every call of the clean run is in the table, as often as it is used.
            std::map<Api, std::size_t> used, swept;
            for (const auto& call : world().calls()) ++used[call.api];
            for (const auto& [called, told] : op.failing) swept[called] = told.size();
            EXPECT_EQ(used, swept);
        }
    }
    world().reset();
}

// The engine and the platform layer turn what a hostile device sends into
// safe values.
TEST_F(SimTest, HostileDevicesBecomeSafeRecords) {
    std::vector<Record> many;
    for (ULONG i = 0; i < 200; ++i) many.push_back(record("svc " + std::to_string(i), i));
    const std::vector<Record> big = {record("HID", 17, classRecord(0x1124, 60 * 1024))};
    const struct {
        const char* what;
        std::optional<std::string> name;  // as the device sent it
        std::wstring shownName;
        std::optional<ULONG> cod = 0x5A020C;
        std::uint32_t shownCod = 0x5A020C;
        std::vector<Record> records = {};
        BTUUID uuid = BTUUID();  // of every service
        unsigned copies = 1;
    } cases[] = {
        {"248-byte name", std::string(248, 'x'), std::wstring(248, L'x')},
        {"invalid UTF-8", "\xFF\xFEzz", L"\uFFFD\uFFFDzz"},
        {"overlong slash", "\xC0\xAF", L"\uFFFD\uFFFD"},
        {"cut short", "ab\xE2\x82", L"ab\uFFFD"},
        {"embedded NUL", std::string("ab\0cd", 5), L"ab"},
        {"control characters", "a\x01\x1B[31mb\x7F", L"a\x01\x1B[31mb\x7F"},
        {"bidi override", "\xE2\x80\xAEpwn", L"\u202Epwn"},
        {"nothing at all", std::nullopt, L"", std::nullopt, 0, {Record{}}},
        {"class with every bit set", "c", L"c", 0xFFFFFFFF, 0},
        {"class with format bits", "c", L"c", 0x5A020D, 0},
        {"1,000 devices", "dev", L"dev", 0x5A020C, 0x5A020C, {}, BTUUID(), 1000},
        {"200 records", "busy", L"busy", 0x5A020C, 0x5A020C, many},
        {"a record of 60 KiB", "hid", L"hid", 0x002540, 0x002540, big, BTUUID(0x1124u)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<Device> crowd;
        for (unsigned i = 0; i < c.copies; ++i)
            crowd.push_back({0x100000000000 + i, c.name, c.cod, c.records});
        world().setDevices(crowd);
        Network network;
        ASSERT_TRUE(network.DiscoverRemoteDevices()) << baselib::getError().c_str();
        EXPECT_EQ(std::count(network.hooks.begin(), network.hooks.end(), '+'), c.copies);
        // Again, reversed: every device is matched, none is new or gone.
        std::reverse(crowd.begin(), crowd.end());
        world().setDevices(crowd);
        network.hooks.clear();
        ASSERT_TRUE(network.DiscoverRemoteDevices());
        EXPECT_EQ(network.hooks, "");
        ASSERT_EQ(network.RemoteDevices().size(), c.copies);
        for (const auto& d : network.RemoteDevices()) {
            EXPECT_EQ(d.Name(), c.shownName);
            EXPECT_EQ(d.COD().value(), c.shownCod);
        }
        BTDevice& first = network.RemoteDevices()[0];
        ASSERT_TRUE(first.DiscoverServices()) << baselib::getError().c_str();
        ASSERT_EQ(first.Services().size(), c.records.size());
        for (std::size_t i = 0; i < c.records.size(); ++i) {
            const BTService& s = first.Services()[i];
            EXPECT_EQ(Compat::toUtf8(s.Name()), c.records[i].name.value_or(""));
            EXPECT_EQ(s.Port(), c.records[i].port.value_or(0));
            EXPECT_EQ(s.UUID(), c.uuid);
            EXPECT_EQ(s.Record(), c.records[i].bytes.value_or(std::vector<BYTE>{}));
        }
        EXPECT_TRUE(noHandlesOpen());
    }
}

}  // namespace
