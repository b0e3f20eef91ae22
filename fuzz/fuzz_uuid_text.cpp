// The UUID text parser on arbitrary wide text: both constructors must agree,
// and whatever was parsed must survive a round trip through asString.
#include <corvale/Corvale.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    // The first byte picks how the rest becomes text: one character per byte
    // (mostly ASCII, where the digits are), or raw wchar_t values.
    std::wstring text;
    if (data[0] & 1) {
        for (std::size_t i = 1; i < size; ++i) text.push_back(static_cast<wchar_t>(data[i]));
    } else {
        for (std::size_t i = 1; i + sizeof(wchar_t) <= size; i += sizeof(wchar_t)) {
            wchar_t c;
            std::memcpy(&c, data + i, sizeof c);
            text.push_back(c);
        }
    }
    // The pointer form stops at the first NUL; compare on the same text.
    const std::wstring upToNul(text.c_str());

    const Corvale::BTUUID fromString(upToNul);
    const Corvale::BTUUID fromPointer(upToNul.c_str());
    if (!(fromString == fromPointer)) std::abort();
    (void)Corvale::BTUUID(text);

    const std::wstring shown = fromString.asString();
    if (shown.size() != 38 || shown.front() != L'{' || shown.back() != L'}') std::abort();
    if (!(Corvale::BTUUID(shown) == fromString)) std::abort();
    if (!(Corvale::BTUUID(shown.c_str()) == fromString)) std::abort();
    return 0;
}
