// The Win32 types that the engine's public headers name, for systems without
// Windows, with the SDK's names, widths and layout: DWORD and ULONG are 32
// bits, BTH_ADDR 64 bits, GUID 16 bytes. Only types: the rest of the surface
// (constants, structures, functions) is in winapi.h.
#pragma once

#include <cstdint>

typedef std::uint8_t BYTE, UCHAR;
typedef std::uint16_t USHORT;
typedef std::uint32_t DWORD, ULONG;
typedef std::uint64_t ULONGLONG;
typedef ULONGLONG BTH_ADDR;

typedef struct _GUID {
    ULONG Data1;
    USHORT Data2;
    USHORT Data3;
    UCHAR Data4[8];
} GUID;
