// The one platform header of the engine.
//
// On Windows the engine talks to the system's own Winsock 2 and Bluetooth API.
// Everywhere else it talks to our compat layer, which declares the same names
// (types, constants and functions) and implements them over a backend chosen
// at link time (the simulated world, BlueZ, or "no Bluetooth stack").
// Engine code is therefore the same text on every platform.
#pragma once

#ifdef _WIN32
// windows.h without its min and max macros (they break std::min/std::max and
// Qt's headers) and without the old winsock.h, which clashes with winsock2.h.
#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
// The SDK declares some of the UUIDs that the engine defines itself (in
// namespace Corvale, BTUUID.h) as global extern GUIDs that no import library
// defines. Renamed while the headers are read, they cannot make a use under
// "using namespace Corvale" ambiguous, nor leave an undefined reference.
#define L2CAP_PROTOCOL_UUID Corvale_Sdk_L2CAP_PROTOCOL_UUID
#define Bluetooth_Base_UUID Corvale_Sdk_Bluetooth_Base_UUID
#define UUID_NULL Corvale_Sdk_UUID_NULL
// clang-format off
#include <winsock2.h>
#include <ws2bth.h>
#include <windows.h>
#include <bluetoothapis.h>
#include <bthsdpdef.h>
// clang-format on
#undef L2CAP_PROTOCOL_UUID
#undef Bluetooth_Base_UUID
#undef UUID_NULL
#else
#include <corvale/compat/winapi.h>
#endif
