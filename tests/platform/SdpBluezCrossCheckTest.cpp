// Our SDP decoder and ServiceClassUUID against libbluetooth, on records of
// every size class under every record header that fits: libbluetooth must
// read the whole record and write each attribute back as it stands, our
// decoder must give back every byte and find each attribute by its ID, and
// ServiceClassUUID must agree with the class list libbluetooth reads.
#include "bluez_reference.h"
#include "sdp_test_support.h"

using namespace sdptest;

namespace {

const std::uint64_t kBaseLow = 0x800000805F9B34FBull;

// Every element of the table but the texts with 32-bit lengths, which
// libbluetooth's parser misreads; and ten levels of containers of every size.
Bytes everyElement() {
    std::vector<std::pair<std::uint16_t, Bytes>> attributes = {
        {0x0001, seq({uuid32(0x00011105), uuid128(0x123456789ABCDEF0ull, 1), uuid16(0x1106)})}};
    std::uint16_t id = 0x0300;
    for (const auto& [bytes, type, specificType] : kElements)
        if (bytes[0] != 0x27 && bytes[0] != 0x47) attributes.emplace_back(id++, bytes);
    Bytes deep = uuid16(0x1101);
    for (int i = 0; i < 10; ++i) deep = sized(6 + i % 2, 1 << (i % 3), cat({deep, u8(i)}));
    attributes.emplace_back(0x0400, deep);
    return pairs(attributes);
}

const std::tuple<const char*, std::size_t, Bytes> kRecords[] = {
    {"EveryElement", 256, everyElement()},
    // The class list starts with a 128-bit UUID; 0x1101 comes in two widths.
    {"Over255Bytes", 256,
     pairs({{0x0001, seq({uuid128(0x123456789ABCDEF0ull, 0x1122334455667788ull), uuid16(0x1101),
                          uuid128(0x0000110100001000ull, kBaseLow)})},
            {0x0100, text(std::string(255, 'a'))},
            {0x0101, sized(8, 2, Bytes(300, 'u'))}})},
    // One class in three widths counts once, at its last place: 0x1203 wins.
    {"Over65535Bytes", 65536,
     pairs(
         {{0x0001, seq({uuid16(0x1112), uuid32(0x1203), uuid128(0x0000111200001000ull, kBaseLow)})},
          {0x0100, text(std::string(30000, 'b'))},
          {0x0101, sized(6, 4, cat({text(std::string(40000, 'c')), uuid16(0x1101)}))}})},
    {"NoClassList", 0, pairs({{0x0000, u32(0x00010001)}})},
};

TEST(CrossCheck, DecoderAndServiceClassAgreeWithLibbluetooth) {
    for (const auto& [name, atLeast, attributes] : kRecords) {
        ASSERT_GE(attributes.size(), atLeast) << name;
        for (int prefix : {1, 2, 4}) {
            if (attributes.size() >> (8 * prefix) != 0) continue;
            SCOPED_TRACE(::testing::Message() << name << ", length field " << prefix);
            Bytes bytes = sized(6, prefix, attributes);
            SDP_ELEMENT_DATA rec{}, id{}, value{}, looked{};
            ASSERT_EQ(element(bytes, rec), kOk);
            EXPECT_EQ(reencode(rec), bytes);
            HBLUETOOTH_CONTAINER_ELEMENT cursor = nullptr;
            while (child(bytes, cursor, id) == kOk) {
                ASSERT_EQ(child(bytes, cursor, value), kOk);
                ASSERT_EQ(attribute(bytes, id.data.uint16, looked), kOk) << id.data.uint16;
                EXPECT_EQ(reencode(looked), reencode(value)) << id.data.uint16;
            }

            const BluezParse parse = bluezParse(bytes);
            EXPECT_EQ(parse.scanned, bytes.size());
            EXPECT_EQ(parse.attributes, attributes);
            // Each UUID counts once, at its last place, and the first wins.
            const auto list = parse.classes.value_or(std::vector<std::string>{});
            const auto first = std::find_if(list.begin(), list.end(), [&](const std::string& u) {
                return std::count(&u, std::to_address(list.end()), u) == 1;
            });
            EXPECT_EQ(classOf(bytes), first == list.end()
                                          ? kNullClass
                                          : std::wstring(first->begin(), first->end()));
        }
    }
}

}  // namespace
