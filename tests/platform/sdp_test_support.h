// Turns what our decoder delivers into the plain model of sdp_model.h.
#pragma once

#include "sdp_model.h"

#include <corvale/Corvale.h>
#include <gtest/gtest.h>

namespace sdptest {

// Turns what our decoder delivered into the model, walking containers with
// the container calls. A walk that does not end in ERROR_NO_MORE_ITEMS fails
// the test.
inline Node fromDecoder(const SDP_ELEMENT_DATA& e) {
    Node n;
    switch (e.type) {
        case SDP_TYPE_NIL:
            n.type = 0;
            EXPECT_EQ(e.specificType, SDP_ST_NONE);
            break;
        case SDP_TYPE_UINT:
        case SDP_TYPE_INT: {
            const bool isUint = e.type == SDP_TYPE_UINT;
            n.type = isUint ? 1 : 2;
            n.width = 1 << ((e.specificType >> 8) & 0xF);
            EXPECT_EQ(e.specificType & 0xFF, isUint ? 0x10 : 0x20);
            const auto sx = [](std::int64_t v) { return static_cast<std::uint64_t>(v); };
            switch (n.width) {
                case 1:
                    n.low = isUint ? e.data.uint8 : sx(static_cast<signed char>(e.data.int8));
                    break;
                case 2:
                    n.low = isUint ? e.data.uint16 : sx(e.data.int16);
                    break;
                case 4:
                    n.low = isUint ? e.data.uint32 : sx(e.data.int32);
                    break;
                case 8:
                    n.low = isUint ? e.data.uint64 : sx(e.data.int64);
                    break;
                case 16:
                    n.high = isUint ? e.data.uint128.HighPart : sx(e.data.int128.HighPart);
                    n.low = isUint ? e.data.uint128.LowPart : e.data.int128.LowPart;
                    break;
                default:
                    ADD_FAILURE() << "integer width " << n.width;
            }
            // Narrow signed values are kept sign-extended, so that the model
            // holds the number, not its encoding.
            break;
        }
        case SDP_TYPE_UUID:
            n.type = 3;
            if (e.specificType == SDP_ST_UUID16) {
                n.width = 2;
                n.low = e.data.uuid16;
            } else if (e.specificType == SDP_ST_UUID32) {
                n.width = 4;
                n.low = e.data.uuid32;
            } else if (e.specificType == SDP_ST_UUID128) {
                n.width = 16;
                const GUID& g = e.data.uuid128;
                n.high = std::uint64_t{g.Data1} << 32 | std::uint64_t{g.Data2} << 16 | g.Data3;
                for (int i = 0; i < 8; ++i) n.low = n.low << 8 | g.Data4[i];
            } else {
                ADD_FAILURE() << "UUID specific type " << e.specificType;
            }
            break;
        case SDP_TYPE_STRING:
        case SDP_TYPE_URL:
            n.type = e.type == SDP_TYPE_STRING ? 4 : 8;
            EXPECT_EQ(e.specificType, SDP_ST_NONE);
            n.bytes.assign(reinterpret_cast<const char*>(e.data.string.value),
                           e.data.string.length);
            break;
        case SDP_TYPE_BOOLEAN:
            n.type = 5;
            n.width = 1;
            n.low = e.data.booleanVal;
            break;
        case SDP_TYPE_SEQUENCE:
        case SDP_TYPE_ALTERNATIVE: {
            n.type = e.type == SDP_TYPE_SEQUENCE ? 6 : 7;
            // The container's own header byte names the same type.
            n.descriptor = e.data.sequence.value[0];
            EXPECT_EQ(n.descriptor >> 3, n.type);
            HBLUETOOTH_CONTAINER_ELEMENT cursor = nullptr;
            SDP_ELEMENT_DATA child{};
            DWORD rc;
            while ((rc = BluetoothSdpGetContainerElementData(
                        e.data.sequence.value, e.data.sequence.length, &cursor, &child)) ==
                   ERROR_SUCCESS)
                n.children.push_back(fromDecoder(child));
            EXPECT_EQ(rc, static_cast<DWORD>(ERROR_NO_MORE_ITEMS));
            break;
        }
        default:
            ADD_FAILURE() << "unexpected SDP_TYPE " << e.type;
    }
    return n;
}

}  // namespace sdptest
