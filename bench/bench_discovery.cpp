// What the platform layer and the engine cost per inquiry result and per SDP
// record, on the simulated world with its timing and call log off. Each case
// has a "radio" twin that asks the simulated world alone (the backend, as the
// layer asks it), so that the layer and engine's share is the difference.
#include <corvale/Corvale.h>
#include <corvale/bt/sdp.h>
#include <corvale/compat/backend.h>
#include <corvale/sim/World.h>

#include <benchmark/benchmark.h>

#include <memory>
#include <optional>
#include <string>

namespace {
using namespace Corvale;
using Sim::World;

// A realistic SDP record: Serial Port with name and description (78 bytes).
const std::vector<BYTE> kSerialRecord = [] {
    using namespace Bt::Sdp;
    return record(
        {{0x0000, uint32(0x00010005)},
         {0x0001, sequence({uuid16(0x1101)})},
         {0x0004, sequence({sequence({uuid16(0x0100)}), sequence({uuid16(0x0003), uint8(5)})})},
         {0x0005, sequence({uuid16(0x1002)})},
         {0x0006, sequence({uint16(0x656E), uint16(0x006A), uint16(0x0100)})},
         {0x0100, text("Serial Port")},
         {0x0101, text("")}});
}();

void scene(std::size_t devices, std::size_t records) {
    World& world = World::instance();
    world.reset();
    world.setLogging(false);
    std::vector<Sim::Device> list;
    for (std::size_t i = 0; i < devices; ++i) {
        Sim::Device d;
        d.address = 0x100000000000 + i;
        d.name = "Device number " + std::to_string(i);
        d.classOfDevice = 0x5A020C;
        for (std::size_t r = 0; r < records; ++r)
            d.records.push_back(
                Sim::Record{"Serial Port", "", static_cast<ULONG>(r % 30 + 1), kSerialRecord});
        list.push_back(std::move(d));
    }
    world.setDevices(std::move(list));
}

// The engine's BTNetwork has no virtual destructor; a final class of it may be
// deleted through its own type.
class Network final : public BTNetwork {};

struct Session {
    Session() { baselib::WinsockStart(); }
    ~Session() { baselib::WinsockClear(); }
};

// An inquiry into an empty list: every result is a new device.
void BM_InquiryNewDevices(benchmark::State& state) {
    const auto n = static_cast<std::size_t>(state.range(0));
    scene(n, 0);
    Session session;
    for (auto _ : state) {
        state.PauseTiming();
        auto network = std::make_unique<Network>();
        state.ResumeTiming();
        if (!network->DiscoverRemoteDevices()) state.SkipWithError("inquiry failed");
        benchmark::DoNotOptimize(network->RemoteDevices().data());
        state.PauseTiming();
        network.reset();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * n));
}
BENCHMARK(BM_InquiryNewDevices)->Arg(100)->Arg(1000);

// The simulated radio alone: the same inquiry as the layer asks the backend.
void BM_InquiryRadioOnly(benchmark::State& state) {
    const auto n = static_cast<std::size_t>(state.range(0));
    scene(n, 0);
    Compat::Backend& radio = Compat::backend();
    for (auto _ : state) {
        std::unique_ptr<Compat::Query<Compat::DeviceResult>> query;
        radio.inquire(Compat::InquiryParams{true, 0}, query);
        Compat::DeviceResult result;
        while (query->next(result) == 0) benchmark::DoNotOptimize(result);
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * n));
}
BENCHMARK(BM_InquiryRadioOnly)->Arg(100)->Arg(1000);

// An inquiry into a list that already holds every device: each result is
// matched by the linear search over the previous list.
void BM_InquiryKnownDevices(benchmark::State& state) {
    const auto n = static_cast<std::size_t>(state.range(0));
    scene(n, 0);
    Session session;
    BTNetwork network;
    network.DiscoverRemoteDevices();
    for (auto _ : state)
        if (!network.DiscoverRemoteDevices()) state.SkipWithError("inquiry failed");
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * n));
}
BENCHMARK(BM_InquiryKnownDevices)->Arg(100)->Arg(1000)->Arg(4000);

// Service discovery on a device with many records.
void BM_ServicesPerRecord(benchmark::State& state) {
    const auto n = static_cast<std::size_t>(state.range(0));
    scene(1, n);
    Session session;
    BTDevice device(BTAddress(0x100000000000));
    for (auto _ : state)
        if (!device.DiscoverServices()) state.SkipWithError("search failed");
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * n));
}
BENCHMARK(BM_ServicesPerRecord)->Arg(10)->Arg(200);

void BM_ServicesRadioOnly(benchmark::State& state) {
    const auto n = static_cast<std::size_t>(state.range(0));
    scene(1, n);
    Compat::Backend& radio = Compat::backend();
    Compat::ServiceSearchParams params;
    params.device = 0x100000000000;
    params.restriction = L2CAP_PROTOCOL_UUID;
    for (auto _ : state) {
        std::unique_ptr<Compat::Query<Compat::ServiceResult>> query;
        radio.searchServices(params, query);
        Compat::ServiceResult result;
        while (query->next(result) == 0) benchmark::DoNotOptimize(result);
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * n));
}
BENCHMARK(BM_ServicesRadioOnly)->Arg(10)->Arg(200);

}  // namespace

BENCHMARK_MAIN();
