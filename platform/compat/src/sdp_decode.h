// The SDP data-element decoder behind the BluetoothSdp* calls: the encoding of
// the Bluetooth Core Specification, Vol 3, Part B, section 3.
//
// Every byte comes from a remote device: headers are read by the shared
// reader, which believes no size until it has checked it against the bytes
// really present, and container nesting is bounded so that a hostile record
// can neither overrun a buffer nor exhaust the stack.
#pragma once

#include <corvale/bt/sdp_header.h>
#include <corvale/compat/winapi.h>

#include <cstddef>
#include <cstdint>

namespace Corvale::Compat::Sdp {

using Type = Bt::Sdp::Type;

// Containers may nest this deep (the outermost one counts as level 1). Real
// records use four or five levels; the bound keeps the work per element finite.
inline constexpr unsigned kMaxDepth = 32;

using Bt::Sdp::Header;
using Bt::Sdp::isContainer;
using Bt::Sdp::readHeader;

namespace detail {

inline std::uint64_t bigEndian(const std::uint8_t* p, std::size_t n) {
    std::uint64_t v = 0;
    for (std::size_t i = 0; i < n; ++i) v = (v << 8) | p[i];
    return v;
}

}  // namespace detail

// Checks one whole element at bytes[0..available), containers included down
// to kMaxDepth levels counted from `depth` (the level the element sits at),
// and fills `out` as Windows does; `size` becomes the element's total size.
// Nothing is written on failure.
bool decode(const std::uint8_t* bytes, std::size_t available, unsigned depth, SDP_ELEMENT_DATA& out,
            std::size_t& size);

}  // namespace Corvale::Compat::Sdp
