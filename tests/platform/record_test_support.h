// Helpers of the decoded-record tests: the inverse of the decoder (the tree
// written back with the one SDP encoder, each container and text with the
// length field it came with, so a decoder that loses, moves or mislabels
// anything cannot give the original bytes back), and the shape every decoded
// tree must have, whatever the bytes were.
#pragma once

#include "sdp_test_support.h"

#include <corvale/BTRecord.h>

#include <span>

namespace sdptest {

using Corvale::BTAttribute;
using Corvale::BTElement;
using Corvale::BTElementType;
using Corvale::BTRecord;
using Corvale::BTRecordStop;

inline BTRecord decode(const Bytes& bytes) {
    return BTRecord::Decode(bytes);
}

// The length field of the variable-sized element whose descriptor is `d`.
inline LengthField lengthField(std::uint8_t d) {
    return kLengths[std::min(d & 7, 7) - 5];
}

// Every element written back from its decoded fields under the descriptor
// its type stands for (in BTElementType order; a text or container keeps the
// length field it came with): numbers big-endian, a signed one only when its
// 64-bit form is the sign extension of what the element can hold.
inline Bytes encode(const BTRecord& r, const BTElement& e) {
    constexpr std::uint8_t kDescriptor[] = {0x00, 0x08, 0x09, 0x0A, 0x0B, 0x0C, 0x10,
                                            0x11, 0x12, 0x13, 0x14, 0x19, 0x1A, 0x1C,
                                            0x20, 0x28, 0x30, 0x38, 0x40};
    const std::uint8_t d = kDescriptor[static_cast<int>(e.type)];
    if (e.isText() || e.isContainer()) {
        Bytes body;
        if (e.isText()) body.assign(r.Text(e).begin(), r.Text(e).end());
        for (const BTElement& c : r.Children(e)) body = cat({body, encode(r, c)});
        return variable(static_cast<Type>(d >> 3), body, lengthField(r.Bytes()[e.offset]));
    }
    const int width = d == 0 ? 0 : 1 << (d & 7);
    if (width == 16) return cat({{d}, Bytes(e.wide.begin(), e.wide.end())});
    Bytes out = {d};
    for (int i = width - 1; i >= 0; --i)
        out.push_back(static_cast<std::uint8_t>(e.number >> 8 * i));
    const int unused = 64 - 8 * width;
    if (e.isSigned()) {
        EXPECT_EQ(e.asSigned(), static_cast<std::int64_t>(e.number << unused) >> unused);
    } else if (width > 0 && width < 8) {
        EXPECT_EQ(e.number >> 8 * width, 0u);
    }
    return out;
}

// The attribute pairs written back, without the record's own header.
inline Bytes encodePairs(const BTRecord& r) {
    Bytes body;
    for (const BTAttribute& a : r.Attributes())
        body = cat({body, uint16(a.id), encode(r, r.Value(a))});
    return body;
}

inline std::vector<std::uint16_t> ids(const BTRecord& r) {
    std::vector<std::uint16_t> out;
    for (const BTAttribute& a : r.Attributes()) out.push_back(a.id);
    return out;
}

// What every decoded tree holds to, however damaged its bytes: each element
// lies inside the bytes and inside its container, a container's children
// follow each other without a gap from its header on, a text fills its
// element to the end, nesting and size stay in their bounds. Read to the
// end, the attributes and every container's children fill their bytes
// exactly; stopped early, nothing in the tree starts at or after the stop.
inline void expectSoundTree(const BTRecord& r) {
    const std::size_t n = r.Bytes().size();
    const auto stop = r.MalformedAt();
    EXPECT_EQ(stop.has_value(), r.Stop() != BTRecordStop::None);
    if (stop) {
        EXPECT_LE(*stop, n);
    }
    EXPECT_LE(r.Elements().size(), BTRecord::kMaxElements);
    std::size_t reached = 0;
    const auto check = [&](auto& self, const BTElement& e, unsigned level) -> void {
        ++reached;
        ASSERT_LE(std::size_t{e.offset} + e.size, n);
        ASSERT_GT(e.size, 0u);
        if (stop) {
            EXPECT_LT(e.offset, *stop);
        }
        if (e.isText()) {
            EXPECT_EQ(std::size_t{e.first} + e.count, std::size_t{e.offset} + e.size);
            EXPECT_EQ(r.Text(e).size(), e.count);
        }
        if (!e.isContainer()) return;
        EXPECT_LE(level, BTRecord::kMaxDepth);
        std::size_t at = e.offset + 1u + (1u << ((r.Bytes()[e.offset] & 7) - 5));
        for (const BTElement& c : r.Children(e)) {
            EXPECT_EQ(c.offset, at);
            self(self, c, level + 1);
            at = c.offset + std::size_t{c.size};
        }
        EXPECT_LE(at, std::size_t{e.offset} + e.size);
        if (!stop) {
            EXPECT_EQ(at, std::size_t{e.offset} + e.size);
        }
    };
    // The record's own header: a sequence with a length field.
    std::size_t at = n > 0 && (r.Bytes()[0] & 7) >= 5 ? 1u + (1u << ((r.Bytes()[0] & 7) - 5)) : 0;
    for (const BTAttribute& a : r.Attributes()) {
        ASSERT_LT(a.value, r.Elements().size());
        const BTElement& v = r.Value(a);
        EXPECT_GE(v.offset, at + 3);
        check(check, v, 2);
        at = v.offset + std::size_t{v.size};
    }
    if (!stop) {
        EXPECT_EQ(at, n);
    }
    // The children of one container are stored next to each other, so every
    // element but the orphans of a cut walk is reached exactly once.
    EXPECT_LE(reached, r.Elements().size());
}

}  // namespace sdptest
