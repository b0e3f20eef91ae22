#include <corvale/bt/sdp.h>

namespace Corvale::Bt::Sdp {

namespace {

std::uint8_t descriptor(Type type, unsigned sizeIndex) {
    return static_cast<std::uint8_t>(static_cast<unsigned>(type) << 3 | sizeIndex);
}

// The descriptor and `width` big-endian bytes of `value`.
Bytes number(Type type, unsigned sizeIndex, std::uint64_t value, unsigned width) {
    Bytes out;
    out.reserve(1 + width);
    out.push_back(descriptor(type, sizeIndex));
    for (unsigned i = width; i-- > 0;) out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
    return out;
}

std::span<const std::uint8_t> bytesOf(std::string_view s) {
    return {reinterpret_cast<const std::uint8_t*>(s.data()), s.size()};
}

Bytes container(Type type, const std::vector<Bytes>& items, LengthField length) {
    std::size_t size = 0;
    for (const Bytes& item : items) size += item.size();
    Bytes body;
    body.reserve(size);
    for (const Bytes& item : items) body.insert(body.end(), item.begin(), item.end());
    return variable(type, body, length);
}

}  // namespace

Bytes nil() {
    return {descriptor(Type::Nil, 0)};
}
Bytes boolean(bool value) {
    return number(Type::Boolean, 0, value ? 1 : 0, 1);
}
Bytes uint8(std::uint8_t value) {
    return number(Type::Uint, 0, value, 1);
}
Bytes uint16(std::uint16_t value) {
    return number(Type::Uint, 1, value, 2);
}
Bytes uint32(std::uint32_t value) {
    return number(Type::Uint, 2, value, 4);
}
Bytes uint64(std::uint64_t value) {
    return number(Type::Uint, 3, value, 8);
}
Bytes int8(std::int8_t value) {
    return number(Type::Int, 0, static_cast<std::uint8_t>(value), 1);
}
Bytes int16(std::int16_t value) {
    return number(Type::Int, 1, static_cast<std::uint16_t>(value), 2);
}
Bytes int32(std::int32_t value) {
    return number(Type::Int, 2, static_cast<std::uint32_t>(value), 4);
}
Bytes int64(std::int64_t value) {
    return number(Type::Int, 3, static_cast<std::uint64_t>(value), 8);
}

Bytes fixed(Type type, std::span<const std::uint8_t> value) {
    unsigned sizeIndex = 0;
    while (sizeIndex <= 4 && value.size() != std::size_t{1} << sizeIndex) ++sizeIndex;
    if (sizeIndex > 4) return {};
    Bytes out{descriptor(type, sizeIndex)};
    out.insert(out.end(), value.begin(), value.end());
    return out;
}

Bytes uuid16(std::uint16_t value) {
    return number(Type::Uuid, 1, value, 2);
}
Bytes uuid32(std::uint32_t value) {
    return number(Type::Uuid, 2, value, 4);
}
Bytes uuid128(const UuidBytes& value) {
    return fixed(Type::Uuid, value);
}

Bytes variable(Type type, std::span<const std::uint8_t> body, LengthField length) {
    const std::size_t n = body.size();
    if (length == LengthField::Shortest)
        length = n <= 0xFF     ? LengthField::Bits8
                 : n <= 0xFFFF ? LengthField::Bits16
                               : LengthField::Bits32;
    const unsigned width = length == LengthField::Bits8 ? 1 : length == LengthField::Bits16 ? 2 : 4;
    Bytes out = number(type, width == 1 ? 5 : width == 2 ? 6 : 7, n, width);
    out.reserve(out.size() + n);
    out.insert(out.end(), body.begin(), body.end());
    return out;
}

Bytes text(std::string_view utf8, LengthField length) {
    return variable(Type::Text, bytesOf(utf8), length);
}
Bytes octets(std::span<const std::uint8_t> data, LengthField length) {
    return variable(Type::Text, data, length);
}
Bytes url(std::string_view address, LengthField length) {
    return variable(Type::Url, bytesOf(address), length);
}
Bytes sequence(const std::vector<Bytes>& items, LengthField length) {
    return container(Type::Sequence, items, length);
}
Bytes alternative(const std::vector<Bytes>& items, LengthField length) {
    return container(Type::Alternative, items, length);
}

Bytes record(const std::vector<Attribute>& attributes, LengthField length) {
    std::vector<Bytes> items;
    items.reserve(attributes.size() * 2);
    for (const Attribute& a : attributes) {
        items.push_back(uint16(a.id));
        items.push_back(a.value);
    }
    return sequence(items, length);
}

}  // namespace Corvale::Bt::Sdp
