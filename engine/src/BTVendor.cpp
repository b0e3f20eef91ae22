// Lookup in the vendor table that the build generates from the IEEE
// registries (cmake/CorvaleVendorTable.cmake): one sorted key array per block
// width, names deduplicated into one pool.
#include <corvale/BTVendor.h>

#include <cstdint>
#include <iterator>

namespace Corvale {

namespace {

// A name in kVendorPool, in four bytes (the generator checks that it fits).
struct VendorNameRef {
    std::uint32_t offset : 24;
    std::uint32_t length : 8;
};
static_assert(sizeof(VendorNameRef) == 4);

#include "VendorTable.inc"

static_assert(std::size(kVendor24Keys) == std::size(kVendor24Names));
static_assert(std::size(kVendor28Keys) == std::size(kVendor28Names));
static_assert(std::size(kVendor36Keys) == std::size(kVendor36Names));

// Whether `key` is in `keys`, and where. The halving is branch-free (the
// compiler makes the choice a conditional move): lookups of random addresses
// would mispredict half of a branching search's steps.
template <typename Key, std::size_t N>
const Key* Search(const Key (&keys)[N], Key key) {
    static_assert(N > 0);
    const Key* base = keys;
    for (std::size_t n = N; n > 1;) {
        const std::size_t half = n / 2;
        base = base[half] <= key ? base + half : base;
        n -= half;
    }
    return *base == key ? base : nullptr;
}

// The owner of block `key` in one width's table, if listed.
template <typename Key, std::size_t N>
std::optional<std::string_view> Find(const Key (&keys)[N], const VendorNameRef (&names)[N],
                                     Key key) {
    const Key* found = Search(keys, key);
    if (!found) return std::nullopt;
    const VendorNameRef& name = names[found - std::begin(keys)];
    return std::string_view(reinterpret_cast<const char*>(kVendorPool) + name.offset, name.length);
}

}  // namespace

std::optional<std::string_view> VendorName(const BTAddress& address) {
    const std::uint64_t value = address.value();
    const auto block = static_cast<std::uint32_t>(value >> 24);
    // Most addresses are in a 24-bit block with nothing smaller inside.
    if (Search(kVendorParents, block)) {
        if (auto name =
                Find(kVendor36Keys, kVendor36Names, static_cast<std::uint64_t>(value >> 12)))
            return name;
        if (auto name =
                Find(kVendor28Keys, kVendor28Names, static_cast<std::uint32_t>(value >> 20)))
            return name;
    }
    return Find(kVendor24Keys, kVendor24Names, block);
}

}  // namespace Corvale
