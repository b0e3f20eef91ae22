// The JSON documents of the command-line tool, which copy and export reuse:
// radios and devices found by an inquiry, and a device's services with their
// decoded records. Engine texts (wide) are written as UTF-8; each object is
// built in one place, so fields can be added later without changing the
// others.
#pragma once

#include <corvale/BTDevice.h>
#include <corvale/BTService.h>
#include <corvale/inspect/Json.h>

#include <vector>

namespace Corvale::Inspect {

// {"address": "AA:BB:CC:DD:EE:FF", "name": "...", "vendor": "..." or null,
//  "class": <number>, "major": "...", "minor": "...", "services": ["...", ...]}:
// vendor is the registered owner of the address's block (VendorName), services
// are the Class of Device's service texts (none: an empty list).
Json deviceJson(const BTDevice& device);

// {"radios": [device, ...]} and {"devices": [device, ...]}.
Json radiosJson(const std::vector<BTDevice>& radios);
Json devicesJson(const std::vector<BTDevice>& devices);

// {"name": "...", "comment": "...", "port": <number>, "class": UUID text,
//  "record": RECORD}; "record" is null when the lookup gave no record bytes.
Json serviceJson(const BTService& service);

// {"address": "...", "vendor": "..." or null, "services": [service, ...]}.
Json servicesJson(const BTDevice& device);

}  // namespace Corvale::Inspect
