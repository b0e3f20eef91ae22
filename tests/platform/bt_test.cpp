// The shared Bluetooth primitives: address text both ways, the GUID helpers,
// and the SDP encoder against the layout the Core Specification gives.
#include "sdp_test_support.h"

#include <corvale/bt/address.h>

#include <optional>
#include <string_view>

using namespace sdptest;
namespace Bt = Corvale::Bt;

namespace {

// Exactly "XX:XX:XX:XX:XX:XX" in either case, in narrow and in wide text;
// the text form is upper case and always six pairs of the low 48 bits.
TEST(Address, ParsesOnlyTheTextFormAndPrintsItBack) {
    const std::pair<std::string_view, std::optional<std::uint64_t>> cases[] = {
        {"00:10:DC:E9:6A:1B", 0x0010DCE96A1B},
        {"5c:f3:70:12:8a:41", 0x5CF370128A41},
        {"FF:FF:FF:FF:FF:FF", 0xFFFFFFFFFFFF},
        {"00:00:00:00:00:00", 0},
        {"", std::nullopt},
        {"00:10:DC:E9:6A:1", std::nullopt},
        {"00:10:DC:E9:6A:1B:", std::nullopt},
        {"00-10-DC-E9-6A-1B", std::nullopt},
        {"00:10:DC:E9:6A:1G", std::nullopt},
        {"(00:10:DC:E9:6A:1B)", std::nullopt},
        {" 0:10:DC:E9:6A:1B", std::nullopt},
        {"0x:10:DC:E9:6A:1B", std::nullopt},
    };
    for (const auto& [text, value] : cases) {
        SCOPED_TRACE(text);
        EXPECT_EQ(Bt::parseAddress(text), value);
        const std::wstring wide(text.begin(), text.end());
        EXPECT_EQ(Bt::parseAddress(std::wstring_view(wide)), value);
        if (!value) continue;
        std::string upper(text);
        for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        EXPECT_EQ(Bt::addressText<char>(*value), upper);
        EXPECT_EQ(Bt::addressText<wchar_t>(*value | 0xABCD000000000000),
                  std::wstring(upper.begin(), upper.end()));
    }
}

TEST(Guid, ShortFormsLieOnTheBaseUuidAndEveryByteCounts) {
    const GUID base = Bt::onBase<GUID>(0);
    EXPECT_EQ(Corvale::BTUUID(base).asString(), L"{00000000-0000-1000-8000-00805F9B34FB}");
    EXPECT_EQ(Bt::shortForm(Bt::onBase<GUID>(0x1101)), 0x1101u);
    EXPECT_EQ(Bt::shortForm(Bt::onBase<GUID>(0xFFFFFFFF)), 0xFFFFFFFFu);
    // Any other byte changed: no short form, and not the same GUID.
    const Bt::UuidBytes bytes = Bt::uuidBytes(base);
    for (std::size_t i = 0; i < 16; ++i) {
        Bt::UuidBytes changed = bytes;
        changed[i] ^= 0x40;
        const GUID other = Bt::guidFromBytes<GUID>(changed.data());
        EXPECT_FALSE(Bt::sameGuid(other, base)) << i;
        EXPECT_EQ(Bt::shortForm(other).has_value(), i < 4) << i;
        EXPECT_EQ(Bt::uuidBytes(other), changed) << i;
    }
}

// Each element as the Core Specification lays it out: the descriptor (type
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
