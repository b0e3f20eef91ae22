// Our SDP decoder and ServiceClassUUID against libbluetooth, on records of
// every size class under every record header that fits: libbluetooth must
// read the whole record and write each attribute back as it stands, our
// decoder must give back every byte and find each attribute by its ID, and
// ServiceClassUUID must agree with the class list libbluetooth reads.
#include "bluez_reference.h"
#include "sdp_crosscheck_records.h"

using namespace sdptest;

namespace {

TEST(CrossCheck, DecoderAndServiceClassAgreeWithLibbluetooth) {
    for (const auto& [name, atLeast, attributes] : kCrossCheckRecords) {
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
