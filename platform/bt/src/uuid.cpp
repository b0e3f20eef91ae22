#include <corvale/bt/uuid.h>

namespace Corvale::Bt {

std::string uuidText(const UuidBytes& bytes) {
    constexpr char kDigits[] = "0123456789abcdef";
    std::string s;
    s.reserve(36);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (i == 4 || i == 6 || i == 8 || i == 10) s += '-';
        s += kDigits[bytes[i] >> 4];
        s += kDigits[bytes[i] & 0xF];
    }
    return s;
}

}  // namespace Corvale::Bt
