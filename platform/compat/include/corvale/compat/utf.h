// Text conversion at the platform edge. What a remote device or a system
// service sends is untrusted: invalid UTF-8 (bad bytes, overlong forms,
// surrogates, truncated sequences) becomes U+FFFD instead of failing.
#pragma once

#include <string>
#include <string_view>

namespace Corvale::Compat {

std::wstring fromUtf8(std::string_view utf8);
std::string toUtf8(std::wstring_view wide);

}  // namespace Corvale::Compat
