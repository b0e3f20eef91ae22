// The companies that own blocks of device addresses, from the IEEE registries
// (MA-L, MA-M, MA-S and the old IAB blocks) as they stood when the engine was
// built: a table compiled in, nothing read at run time.
#pragma once

#include <corvale/BTAddress.h>

#include <optional>
#include <string_view>

namespace Corvale {

// The registered owner of the address's block; none when no registry lists it.
// The most specific block wins: an address in a 36-bit MA-S block gets that
// block's owner, not the IEEE Registration Authority that holds the enclosing
// 24-bit block. The name is UTF-8 as the registry writes it ("Private" where
// the owner asked not to be named). Meaningful for public addresses only: a
// random address's first bits name no one.
std::optional<std::string_view> VendorName(const BTAddress& address);

}  // namespace Corvale
