// What VendorName costs per address: registered blocks (most of them MA-L),
// addresses no registry lists (every width searched in vain), and MA-S
// blocks inside the IEEE Registration Authority's 70:B3:D5. Each case walks
// 4,096 different addresses, so neither the branch predictor nor the cache
// sees one key again and again.
#include <corvale/BTVendor.h>

#include <benchmark/benchmark.h>

#include <cstdint>
#include <random>
#include <vector>

namespace {
using Corvale::BTAddress;

constexpr std::size_t kAddresses = 4096;

// Random addresses whose lookup finds an owner (`listed`) or does not.
std::vector<BTAddress> Addresses(bool listed) {
    std::mt19937_64 random(listed ? 1 : 2);
    std::vector<BTAddress> addresses;
    while (addresses.size() < kAddresses) {
        const BTAddress address(random() & 0xFFFFFFFFFFFF);
        if (Corvale::VendorName(address).has_value() == listed) addresses.push_back(address);
    }
    return addresses;
}

void Lookups(benchmark::State& state, const std::vector<BTAddress>& addresses) {
    std::size_t at = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(Corvale::VendorName(addresses[at]));
        at = (at + 1) % addresses.size();
    }
    state.SetItemsProcessed(state.iterations());
}

void BM_VendorListed(benchmark::State& state) {
    Lookups(state, Addresses(true));
}
BENCHMARK(BM_VendorListed);

void BM_VendorUnlisted(benchmark::State& state) {
    Lookups(state, Addresses(false));
}
BENCHMARK(BM_VendorUnlisted);

void BM_VendorMaS(benchmark::State& state) {
    std::mt19937_64 random(3);
    std::vector<BTAddress> addresses;
    for (std::size_t i = 0; i < kAddresses; ++i)
        addresses.emplace_back(0x70B3D5000000 | (random() & 0xFFFFFF));
    Lookups(state, addresses);
}
BENCHMARK(BM_VendorMaS);

}  // namespace

BENCHMARK_MAIN();
