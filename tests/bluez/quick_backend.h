// The test programs' backend(): the real BlueZ backend with a quick inquiry
// clock (one length unit is 40 ms, so a default inquiry takes 320 ms instead
// of 10.24 s), and a transport the test can set for service searches.
#pragma once

#include <corvale/bluez/bluez_backend.h>

#include <functional>
#include <memory>

namespace quickbackend {

inline constexpr std::chrono::milliseconds kUnit{40};

// Makes the transport of the next service searches; empty: the L2CAP one.
void setTransport(std::function<std::unique_ptr<Corvale::Bluez::SdpTransport>()> make);

}  // namespace quickbackend
