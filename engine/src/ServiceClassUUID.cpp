#include <corvale/BTService.h>
#include <corvale/platform/bluetooth_api.h>

#include <algorithm>
#include <cstring>
#include <tuple>
#include <vector>

namespace Corvale {

namespace {
// Each UUID of the list counts once, at the place of its last occurrence, and
// the first of those wins: the answer is the earliest UUID that does not occur
// again after it. A device decides how long the list is, so a long list is not
// searched once per UUID: sorted by value and then by place, each run of equal
// UUIDs ends with its last occurrence, and the earliest of those ends is the
// answer, in O(n log n). The short lists of real records are searched
// directly. `list` is not empty.
std::size_t firstOfLastOccurrences(const std::vector<BTUUID>& list) {
    constexpr std::size_t kSearched = 32;
    const std::size_t n = list.size();
    if (n <= kSearched) {
        for (std::size_t i = 0;; ++i)
            if (std::find(list.begin() + static_cast<std::ptrdiff_t>(i) + 1, list.end(), list[i]) ==
                list.end())
                return i;
    }
    // Each UUID's 16 bytes as two numbers (any order of values will do), and
    // its place.
    struct Key {
        std::uint64_t high, low;
        std::size_t place;
        bool sameValue(const Key& k) const { return high == k.high && low == k.low; }
    };
    std::vector<Key> keys(n);
    for (std::size_t i = 0; i < n; ++i) {
        std::memcpy(&keys[i].high, &list[i].guid(), 8);
        std::memcpy(&keys[i].low, reinterpret_cast<const char*>(&list[i].guid()) + 8, 8);
        keys[i].place = i;
    }
    std::sort(keys.begin(), keys.end(), [](const Key& a, const Key& b) {
        return std::tie(a.high, a.low, a.place) < std::tie(b.high, b.low, b.place);
    });
    std::size_t first = n;
    for (std::size_t i = 0; i < n; ++i)
        if (i + 1 == n || !keys[i].sameValue(keys[i + 1])) first = std::min(first, keys[i].place);
    return first;
}
}  // namespace

BTUUID ServiceClassUUID(const BYTE* record, ULONG length) {
    if (record == nullptr) return BTUUID();
    // The platform's parser never writes through the stream pointers.
    auto* bytes = const_cast<LPBYTE>(record);

    SDP_ELEMENT_DATA list{};
    if (BluetoothSdpGetAttributeValue(bytes, length, 0x0001, &list) != ERROR_SUCCESS)
        return BTUUID();
    // Only a sequence or an alternative carries a child list; anything else
    // gives the service no class.
    if (list.type != SDP_TYPE_SEQUENCE && list.type != SDP_TYPE_ALTERNATIVE) return BTUUID();

    std::vector<BTUUID> classes;
    HBLUETOOTH_CONTAINER_ELEMENT cursor = nullptr;
    SDP_ELEMENT_DATA child{};
    // The normal end and an error both end the walk; what was read still counts.
    while (BluetoothSdpGetContainerElementData(list.data.sequence.value, list.data.sequence.length,
                                               &cursor, &child) == ERROR_SUCCESS) {
        if (child.type != SDP_TYPE_UUID) continue;  // nested sequences are not entered
        BTUUID uuid;
        switch (child.specificType) {
            case SDP_ST_UUID16:
                uuid = BTUUID(static_cast<std::uint32_t>(child.data.uuid16));
                break;
            case SDP_ST_UUID32:
                uuid = BTUUID(static_cast<std::uint32_t>(child.data.uuid32));
                break;
            case SDP_ST_UUID128:
                uuid = BTUUID(child.data.uuid128);
                break;
            default:
                continue;
        }
        classes.push_back(uuid);
    }
    return classes.empty() ? BTUUID() : classes[firstOfLastOccurrences(classes)];
}

}  // namespace Corvale
