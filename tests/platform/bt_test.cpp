// The SDP encoder against the layout the Bluetooth Core Specification gives. (The
// other shared primitives are checked through the engine's value classes and
// the compat layer's text conversion, which stand on them.)
#include "sdp_test_support.h"

using namespace sdptest;
namespace Bt = Corvale::Bt;

namespace {

// Each element as the Bluetooth Core Specification lays it out: the descriptor (type
// in the upper five bits, size index in the lower three), then a length field
// when the size is not fixed, then the value, big-endian.
TEST(SdpEncoder, WritesEachElementAsTheCoreSpecificationLaysItOut) {
    const GUID custom = {
        0x12345678, 0x9ABC, 0xDEF0, {0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88}};
    const Bytes text300 = text(std::string(300, 'x')), text70k = text(std::string(70000, 'y'));
    const std::pair<Bytes, Bytes> cases[] = {
        {nil(), {0x00}},
        {boolean(true), {0x28, 0x01}},
        {uint8(0xFE), {0x08, 0xFE}},
        {uint16(0x1234), {0x09, 0x12, 0x34}},
        {uint32(0xDEADBEEF), {0x0A, 0xDE, 0xAD, 0xBE, 0xEF}},
        {uint64(0x0102030405060708), {0x0B, 1, 2, 3, 4, 5, 6, 7, 8}},
        {int8(-128), {0x10, 0x80}},
        {int16(-32767), {0x11, 0x80, 0x01}},
        {int32(-2), {0x12, 0xFF, 0xFF, 0xFF, 0xFE}},
        {int64(-0x7FFFFFFFFFFFFFFF), {0x13, 0x80, 0, 0, 0, 0, 0, 0, 1}},
        {fixed(Type::Uint, k16), cat({{0x0C}, k16})},
        {fixed(Type::Int, {k16.data(), 3}), {}},  // no such size
        {uuid16(0x1101), {0x19, 0x11, 0x01}},
        {uuid32(0x00011105), {0x1A, 0x00, 0x01, 0x11, 0x05}},
        {uuid(Bt::onBase<GUID>(0x0100)), {0x19, 0x01, 0x00}},
        {uuid(Bt::onBase<GUID>(0x00011105)), {0x1A, 0x00, 0x01, 0x11, 0x05}},
        {uuid(custom),
         {0x1C, 0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC, 0xDE, 0xF0, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66,
          0x77, 0x88}},
        {text("abc"), {0x25, 0x03, 'a', 'b', 'c'}},
        {Bytes(text300.begin(), text300.begin() + 3), {0x26, 0x01, 0x2C}},
        {Bytes(text70k.begin(), text70k.begin() + 5), {0x27, 0x00, 0x01, 0x11, 0x70}},
        {text("", LengthField::Bits32), {0x27, 0, 0, 0, 0}},
        {url("uv", LengthField::Bits16), {0x46, 0x00, 0x02, 'u', 'v'}},
        {octets(Bytes{0x00, 0xFF}), {0x25, 0x02, 0x00, 0xFF}},
        {sequence({}), {0x35, 0x00}},
        {sequence({uint8(1), nil()}), {0x35, 0x03, 0x08, 0x01, 0x00}},
        {alternative({nil()}, LengthField::Bits16), {0x3E, 0x00, 0x01, 0x00}},
        {record({{0x0001, uint8(2)}, {0x0000, nil()}}),
         {0x35, 0x09, 0x09, 0x00, 0x01, 0x08, 0x02, 0x09, 0x00, 0x00, 0x00}},
    };
    for (const auto& [written, expected] : cases) EXPECT_EQ(written, expected);
    EXPECT_EQ(text300.size(), 303u);
    EXPECT_EQ(text70k.size(), 70005u);
}

}  // namespace
