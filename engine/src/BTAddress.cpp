#include <corvale/BTAddress.h>

namespace Corvale {

std::wstring BTAddress::asString() const {
    return Bt::addressText<wchar_t>(value());
}

}  // namespace Corvale
