// Feeds arbitrary bytes to the SDP decoder the way the engine and a careful
// caller would: attribute lookup, a full recursive walk of every container,
// a cursor made of input bytes, and ServiceClassUUID. Besides the sanitizers,
// the walk checks that every pointer handed out lies inside the input.
#include <corvale/Corvale.h>
#include <corvale/platform/bluetooth_api.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

const BYTE* gBegin = nullptr;
const BYTE* gEnd = nullptr;

void requireInside(const BYTE* p, ULONG length) {
    if (p < gBegin || p > gEnd || length > static_cast<std::size_t>(gEnd - p)) std::abort();
}

void walk(const SDP_ELEMENT_DATA& element, unsigned depth) {
    if (depth > 64) std::abort();  // the decoder's own bound must stop this long before
    switch (element.type) {
        case SDP_TYPE_STRING:
        case SDP_TYPE_URL:
            requireInside(element.data.string.value, element.data.string.length);
            return;
        case SDP_TYPE_SEQUENCE:
        case SDP_TYPE_ALTERNATIVE:
            break;
        default:
            return;
    }
    requireInside(element.data.sequence.value, element.data.sequence.length);
    HBLUETOOTH_CONTAINER_ELEMENT cursor = nullptr;
    SDP_ELEMENT_DATA child{};
    DWORD rc;
    ULONG children = 0;
    while ((rc = BluetoothSdpGetContainerElementData(
                element.data.sequence.value, element.data.sequence.length, &cursor, &child)) ==
           ERROR_SUCCESS) {
        // Every child takes at least one byte, so the walk must end.
        if (++children > element.data.sequence.length) std::abort();
        walk(child, depth + 1);
    }
    if (rc != ERROR_NO_MORE_ITEMS && rc != ERROR_INVALID_PARAMETER) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // An exact-size copy, so that reading one byte too far is caught.
    std::vector<BYTE> record(data, data + size);
    BYTE* bytes = record.empty() ? nullptr : record.data();
    const auto length = static_cast<ULONG>(record.size());
    gBegin = bytes;
    gEnd = bytes + record.size();

    SDP_ELEMENT_DATA element{};
    if (BluetoothSdpGetElementData(bytes, length, &element) == ERROR_SUCCESS) walk(element, 0);

    const DWORD rc = BluetoothSdpGetAttributeValue(bytes, length, 0x0001, &element);
    if (rc == ERROR_SUCCESS)
        walk(element, 0);
    else if (rc != ERROR_FILE_NOT_FOUND && rc != ERROR_INVALID_PARAMETER)
        std::abort();

    // A cursor made of input bytes must be refused or lead somewhere inside.
    if (size >= 8) {
        std::uintptr_t raw = 0;
        std::memcpy(&raw, data, sizeof raw < 8 ? sizeof raw : 8);
        auto cursor = reinterpret_cast<HBLUETOOTH_CONTAINER_ELEMENT>(raw);
        if (BluetoothSdpGetContainerElementData(bytes, length, &cursor, &element) == ERROR_SUCCESS)
            walk(element, 0);
    }

    (void)Corvale::ServiceClassUUID(bytes, length);
    return 0;
}
