// The compat layer's message table: the system texts that FormatMessageW
// gives for every Win32 and Winsock code the layer (and any backend) can
// produce, worded and terminated ("\r\n") as Windows words them.
#pragma once

#include <corvale/compat/winapi.h>

#include <span>

namespace Corvale::Compat {

struct Message {
    DWORD code;
    const wchar_t* text;
};

// The whole table, sorted by code.
std::span<const Message> messageTable();

// The text for a code, or nullptr when the table has none.
const wchar_t* messageText(DWORD code);

}  // namespace Corvale::Compat
