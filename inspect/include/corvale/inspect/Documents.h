// The JSON documents of the command-line tool, which copy and export reuse:
// radios and devices found by an inquiry, and a device's services with their
// decoded records. Engine texts (wide) are written as UTF-8; each object is
// built in one place, so fields can be added later without changing the
// others.
#pragma once

#include <corvale/BTDevice.h>
#include <corvale/BTService.h>
#include <corvale/inspect/Json.h>

#include <string>
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

// Everything known of a machine's neighbourhood, as the windows save it:
// {"radios": [device, ...], "devices": [device, ...], "services": [services
// document, ...]}, with a services document (servicesJson) for each radio and
// device that has services read, radios first.
Json inventoryJson(const std::vector<BTDevice>& radios, const std::vector<BTDevice>& devices);

// The same as a CSV file (Table.h): a header line, then one line per radio
// ("radio" in the first column), per device ("device") and per service read
// ("service", with its device's address). Records stay in the JSON form.
std::string inventoryCsv(const std::vector<BTDevice>& radios, const std::vector<BTDevice>& devices);

}  // namespace Corvale::Inspect
