#include <corvale/BTService.h>
#include <corvale/platform/bluetooth_api.h>

#include <algorithm>
#include <vector>

namespace Corvale {

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
        // Each UUID counts once, at the place of its last occurrence.
        auto same = std::find(classes.begin(), classes.end(), uuid);
        if (same != classes.end()) classes.erase(same);
        classes.push_back(uuid);
    }
    return classes.empty() ? BTUUID() : classes.front();
}

}  // namespace Corvale
