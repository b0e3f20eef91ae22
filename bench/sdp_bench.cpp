// ServiceClassUUID (the compat layer's decoder underneath) against
// libbluetooth's sdp_extract_pdu + sdp_get_service_classes, on the same
// records, in one run.
#include "sdp_bench_records.h"

#include <benchmark/benchmark.h>
#include <corvale/Corvale.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

const std::vector<sdpbench::Record>& theRecords() {
    static const std::vector<sdpbench::Record> all = sdpbench::records();
    return all;
}

void ours(benchmark::State& state, std::size_t which) {
    const auto& bytes = theRecords()[which].bytes;
    for (auto _ : state) {
        Corvale::BTUUID uuid =
            Corvale::ServiceClassUUID(bytes.data(), static_cast<ULONG>(bytes.size()));
        benchmark::DoNotOptimize(uuid);
    }
    state.SetItemsProcessed(state.iterations());
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(bytes.size()));
}

void bluez(benchmark::State& state, std::size_t which) {
    const auto& bytes = theRecords()[which].bytes;
    std::uint8_t uuid[16];
    for (auto _ : state) {
        sdpbench::bluezFirstClass(bytes, uuid);
        benchmark::DoNotOptimize(uuid);
    }
    state.SetItemsProcessed(state.iterations());
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(bytes.size()));
}

// Both sides must find the same class on every record, or the race means
// nothing.
void checkAgreement() {
    for (const auto& r : theRecords()) {
        const GUID g =
            Corvale::ServiceClassUUID(r.bytes.data(), static_cast<ULONG>(r.bytes.size())).guid();
        std::uint8_t mine[16];
        for (int i = 0; i < 4; ++i) mine[i] = static_cast<std::uint8_t>(g.Data1 >> (24 - 8 * i));
        mine[4] = static_cast<std::uint8_t>(g.Data2 >> 8);
        mine[5] = static_cast<std::uint8_t>(g.Data2);
        mine[6] = static_cast<std::uint8_t>(g.Data3 >> 8);
        mine[7] = static_cast<std::uint8_t>(g.Data3);
        std::memcpy(mine + 8, g.Data4, 8);
        std::uint8_t theirs[16];
        sdpbench::bluezFirstClass(r.bytes, theirs);
        if (std::memcmp(mine, theirs, 16) != 0) {
            std::fprintf(stderr, "ServiceClassUUID and libbluetooth disagree on %s\n",
                         r.name.c_str());
            std::exit(1);
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    checkAgreement();
    for (std::size_t i = 0; i < theRecords().size(); ++i) {
        const auto& r = theRecords()[i];
        char ourName[128], theirName[128];
        std::snprintf(ourName, sizeof ourName, "ServiceClassUUID/%s/%zuB", r.name.c_str(),
                      r.bytes.size());
        std::snprintf(theirName, sizeof theirName, "libbluetooth/%s/%zuB", r.name.c_str(),
                      r.bytes.size());
        benchmark::RegisterBenchmark(ourName, ours, i);
        benchmark::RegisterBenchmark(theirName, bluez, i);
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
