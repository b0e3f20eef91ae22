// Text conversion at the platform edge: the shared conversions of corvale_bt,
// under the names the compat layer has always used. What a remote device or a
// system service sends is untrusted: invalid UTF-8 (bad bytes, overlong forms,
// surrogates, truncated sequences) becomes U+FFFD instead of failing.
#pragma once

#include <corvale/bt/utf8.h>

namespace Corvale::Compat {

using Bt::fromUtf8;
using Bt::toUtf8;

}  // namespace Corvale::Compat
