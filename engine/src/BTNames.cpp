#include <corvale/BTNames.h>

namespace Corvale {

// Not yet: the tables.
std::optional<std::string_view> UuidName(const BTUUID&) {
    return std::nullopt;
}

std::optional<std::string> AttributeName(const BTRecord&, std::uint16_t) {
    return std::nullopt;
}

}  // namespace Corvale
