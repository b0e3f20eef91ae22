// The one platform header of the engine.
//
// On Windows the engine talks to the system's own Winsock 2 and Bluetooth API.
// Everywhere else it talks to our compat layer, which declares the same names
// (types, constants and functions) and implements them over a backend chosen
// at link time (the simulated world, BlueZ, or "no Bluetooth stack").
// Engine code is therefore the same text on every platform.
#pragma once

#ifdef _WIN32
// clang-format off
#include <winsock2.h>
#include <ws2bth.h>
#include <windows.h>
#include <bluetoothapis.h>
#include <bthsdpdef.h>
// clang-format on
#else
#include <corvale/compat/winapi.h>
#endif
