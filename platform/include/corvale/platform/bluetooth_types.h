// The few platform types that the engine's public headers name: GUID,
// BTH_ADDR, BYTE, ULONG and DWORD. Code that uses the engine sees these and
// nothing else of the platform (no helper macros such as TRUE, MAKEWORD,
// ERROR_* or LUP_*, no socket names), so it can include system and library
// headers before or after the engine's in any order.
//
// The engine's own sources, and code that calls the platform, include
// corvale/platform/bluetooth_api.h for the whole surface.
#pragma once

#ifdef _WIN32
// The SDK's own definitions: GUID from its standalone header, the rest
// declared exactly as the SDK declares them (declaring the same type again is
// harmless when the SDK's headers come later).
#include <guiddef.h>
typedef unsigned char BYTE;
typedef unsigned long DWORD;
typedef unsigned long ULONG;
typedef unsigned long long BTH_ADDR;
#else
#include <corvale/compat/wintypes.h>
#endif
