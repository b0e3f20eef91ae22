// The result buffer of a name-space lookup: a fixed block for the common
// case, and one larger fetch when the platform says a single result needs it.
#pragma once

#include <corvale/platform/bluetooth_api.h>

#include <cstring>
#include <memory>

namespace Corvale::detail {

// A result over this size fails the lookup as the platform reported it. It
// is what the platforms can deliver, with margin: one SDP record is at most
// the 256 KiB of attribute lists that the BlueZ SDP client accepts per
// search; its name and comment come from inside it, at most one wide
// character (4 bytes here, 2 on Windows) per byte, so up to 1 MiB more; the
// rest of a result takes well under 1 KiB. A bound stays, so that what a
// platform claims to need never makes the engine allocate without limit.
inline constexpr DWORD kLargestResult = 2 * 1024 * 1024;

template <DWORD FixedSize>
class LookupBuffer {
public:
    // Fetches the next result. Returns the platform's result: 0 with a result
    // in result(), else non-zero with the code in WSAGetLastError().
    //
    // A result that does not fit the fixed block (WSAEFAULT with the size it
    // needs) is fetched once more into a block of that size, as long as that
    // is at most kLargestResult; the platform keeps such a result for a retry.
    INT next(HANDLE lookup, DWORD flags) {
        current = fixed.bytes;
        DWORD length = FixedSize;
        std::memset(fixed.bytes, 0, FixedSize);
        INT rc = WSALookupServiceNextW(lookup, flags, &length, result());
        if (rc == 0) return 0;
        const int code = WSAGetLastError();
        if (code != WSAEFAULT || length <= FixedSize || length > kLargestResult) return rc;

        large.reset(new (std::nothrow) Block[(length + sizeof(Block) - 1) / sizeof(Block)]);
        if (!large) {
            WSASetLastError(code);
            return rc;
        }
        current = reinterpret_cast<BYTE*>(large.get());
        const DWORD size = length;
        std::memset(current, 0, size);
        return WSALookupServiceNextW(lookup, flags, &length, result());
    }

    LPWSAQUERYSETW result() { return reinterpret_cast<LPWSAQUERYSETW>(current); }

private:
    union Block {
        WSAQUERYSETW set;
        BYTE bytes[sizeof(WSAQUERYSETW)];
        void* align;
    };
    struct alignas(WSAQUERYSETW) Fixed {
        BYTE bytes[FixedSize];
    };
    Fixed fixed;
    std::unique_ptr<Block[]> large;
    BYTE* current = fixed.bytes;
};

}  // namespace Corvale::detail
