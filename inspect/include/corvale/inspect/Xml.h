// A decoded SDP record in BlueZ's service-record XML, the form bluetoothd's
// RegisterProfile takes as its ServiceRecord option, so that a record read
// from a device can be published again. Written by the one XML writer of the
// project (corvale_bt), which escapes or hex-encodes whatever XML cannot
// carry as it is.
#pragma once

#include <corvale/BTRecord.h>

#include <string>

namespace Corvale::Inspect {

// The attributes that were read, in record order. A record that stopped
// early gives what was read before the damage.
std::string recordXml(const BTRecord& record);

}  // namespace Corvale::Inspect
