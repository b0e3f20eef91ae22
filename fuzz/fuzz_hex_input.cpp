// `decode --hex` on arbitrary text (dumps captured elsewhere are outside
// input): it never reads past the text, never gives more than its bound, and
// whatever it accepts comes back unchanged when written out again as plain
// hex pairs and read a second time.
#include "input.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    std::string error;
    const auto bytes = CorvaleCli::parseHex(text, error);
    if (!bytes) {
        if (error.empty()) std::abort();  // a refusal always says why
        return 0;
    }
    if (bytes->size() > CorvaleCli::kMaxInputBytes) std::abort();
    static constexpr char digits[] = "0123456789abcdef";
    std::string again;
    for (const unsigned char b : *bytes) {
        again += digits[b >> 4];
        again += digits[b & 15];
        again += ' ';
    }
    std::string error2;
    const auto reread = CorvaleCli::parseHex(again, error2);
    if (!reread || *reread != *bytes) std::abort();
    return 0;
}
