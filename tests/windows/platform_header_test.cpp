// The one platform header, built on Windows (the SDK's own headers) and over
// the compat layer (our declarations): both must give the engine the same
// names, values and exact widths, and neither may get in the way of code that
// uses the engine. The same source runs in both builds.
#include <corvale/BTUUID.h>
#include <corvale/platform/bluetooth_api.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstddef>
#include <cstdint>
#include <string>

// Code that uses the engine may bring its names in whole. The SDK declares
// some of the same UUID names globally; an unqualified use must still name
// the engine's one (this file does not compile otherwise).
using namespace Corvale;

namespace {

TEST(PlatformHeader, EngineUuidNamesResolveToTheEngine) {
    EXPECT_EQ(BTUUID(L2CAP_PROTOCOL_UUID), BTUUID(0x0100u));
    EXPECT_EQ(BTUUID(Bluetooth_Base_UUID), BTUUID(0x0000u));
    EXPECT_EQ(BTUUID(UUID_NULL), BTUUID());
    EXPECT_EQ(BTUUID(L2CAP_PROTOCOL_UUID).asString(), L"{00000100-0000-1000-8000-00805F9B34FB}");
}

// windows.h must not define min and max as macros.
TEST(PlatformHeader, StdMinAndMaxAreUsable) {
    EXPECT_EQ(std::min(3, 4), 3);
    EXPECT_EQ(std::max<DWORD>(3, 4), 4u);
}

TEST(PlatformHeader, ExactWidths) {
    EXPECT_EQ(sizeof(DWORD), 4u);
    EXPECT_EQ(sizeof(ULONG), 4u);
    EXPECT_EQ(sizeof(USHORT), 2u);
    EXPECT_EQ(sizeof(BTH_ADDR), 8u);
    EXPECT_EQ(sizeof(GUID), 16u);
    EXPECT_EQ(sizeof(SOCKADDR_BTH), 30u);
    EXPECT_EQ(sizeof(BLUETOOTH_FIND_RADIO_PARAMS), 4u);
    // 520 bytes on Windows, where WCHAR is 2 bytes: the name is the only
    // field whose size follows the width of wide text.
    EXPECT_EQ(offsetof(BLUETOOTH_RADIO_INFO, szName), 16u);
    EXPECT_EQ(sizeof(BLUETOOTH_RADIO_INFO), 16u + BLUETOOTH_MAX_NAME_SIZE * sizeof(WCHAR) + 8u);
#ifdef _WIN32
    EXPECT_EQ(sizeof(BLUETOOTH_RADIO_INFO), 520u);
#endif
}

struct Constant {
    const char* name;
    std::uint64_t value;     // as the header gives it
    std::uint64_t expected;  // as Windows publishes it
};

class PlatformConstant : public ::testing::TestWithParam<Constant> {};

TEST_P(PlatformConstant, HasThePublishedValue) {
    EXPECT_EQ(GetParam().value, GetParam().expected) << GetParam().name;
}

#define CONSTANT(name, expected)                            \
    Constant {                                              \
#name, static_cast < std::uint64_t>(name), expected \
    }

INSTANTIATE_TEST_SUITE_P(
    Values, PlatformConstant,
    ::testing::Values(CONSTANT(NS_BTH, 16), CONSTANT(AF_BTH, 32), CONSTANT(BTHPROTO_RFCOMM, 3),
                      CONSTANT(SOCK_STREAM, 1), CONSTANT(BT_PORT_ANY, 0xFFFFFFFFu),
                      CONSTANT(BLUETOOTH_MAX_NAME_SIZE, 248), CONSTANT(LUP_CONTAINERS, 0x0002),
                      CONSTANT(LUP_RETURN_NAME, 0x0010), CONSTANT(LUP_RETURN_TYPE, 0x0020),
                      CONSTANT(LUP_RETURN_COMMENT, 0x0080), CONSTANT(LUP_RETURN_ADDR, 0x0100),
                      CONSTANT(LUP_RETURN_BLOB, 0x0200), CONSTANT(LUP_FLUSHCACHE, 0x1000),
                      CONSTANT(RNRSERVICE_REGISTER, 0), CONSTANT(RNRSERVICE_DELETE, 2),
                      CONSTANT(ERROR_SUCCESS, 0), CONSTANT(ERROR_NO_MORE_ITEMS, 259),
                      CONSTANT(ERROR_INSUFFICIENT_BUFFER, 122),
                      CONSTANT(ERROR_INVALID_PARAMETER, 87), CONSTANT(WSAEFAULT, 10014),
                      CONSTANT(WSANOTINITIALISED, 10093), CONSTANT(WSASERVICE_NOT_FOUND, 10108),
                      CONSTANT(WSA_E_NO_MORE, 10110), CONSTANT(SDP_TYPE_UUID, 3),
                      CONSTANT(SDP_TYPE_STRING, 4), CONSTANT(SDP_TYPE_SEQUENCE, 6),
                      CONSTANT(SDP_TYPE_ALTERNATIVE, 7), CONSTANT(SDP_ST_UUID16, 0x0130),
                      CONSTANT(SDP_ST_UUID32, 0x0220), CONSTANT(SDP_ST_UUID128, 0x0430),
                      CONSTANT(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS |
                                   FORMAT_MESSAGE_FROM_SYSTEM,
                               0x1300)),
    [](const ::testing::TestParamInfo<Constant>& info) {
        std::string name;
        for (const char* p = info.param.name; *p && *p != ' '; ++p)
            name += (std::isalnum(static_cast<unsigned char>(*p)) ? *p : '_');
        return name;
    });

}  // namespace
