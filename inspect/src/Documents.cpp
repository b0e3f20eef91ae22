#include <corvale/BTVendor.h>
#include <corvale/bt/utf8.h>
#include <corvale/inspect/Documents.h>
#include <corvale/inspect/Table.h>

namespace Corvale::Inspect {

namespace {

// The registered owner of the address's block, or null.
Json vendorJson(const BTAddress& address) {
    const auto vendor = VendorName(address);
    return vendor ? Json(std::string(*vendor)) : Json(nullptr);
}

}  // namespace

Json deviceJson(const BTDevice& device) {
    const BTClassOfDevice& cod = device.COD();
    Json services = Json::array();
    if (cod.getServices() != 0) {
        // The service texts one per line: none of them holds a line end.
        const std::string joined = Bt::toUtf8(cod.strServices(L"\n"));
        for (std::size_t at = 0; at <= joined.size();) {
            const std::size_t end = std::min(joined.find('\n', at), joined.size());
            services.push_back(joined.substr(at, end - at));
            at = end + 1;
        }
    }
    Json j = Json::object();
    j["address"] = Bt::toUtf8(device.Address().asString());
    j["name"] = Bt::toUtf8(device.Name());
    j["vendor"] = vendorJson(device.Address());
    j["class"] = cod.value();
    j["major"] = Bt::toUtf8(cod.strMajor());
    j["minor"] = Bt::toUtf8(cod.strMinor());
    j["services"] = std::move(services);
    return j;
}

namespace {

Json list(const char* key, const std::vector<BTDevice>& devices) {
    Json items = Json::array();
    for (const BTDevice& d : devices) items.push_back(deviceJson(d));
    Json j = Json::object();
    j[key] = std::move(items);
    return j;
}

}  // namespace

Json radiosJson(const std::vector<BTDevice>& radios) {
    return list("radios", radios);
}

Json devicesJson(const std::vector<BTDevice>& devices) {
    return list("devices", devices);
}

Json serviceJson(const BTService& service) {
    Json j = Json::object();
    j["name"] = Bt::toUtf8(service.Name());
    j["comment"] = Bt::toUtf8(service.Comment());
    j["port"] = service.Port();
    j["class"] = uuidJsonText(service.UUID());
    j["record"] =
        service.Record().empty() ? Json(nullptr) : recordJson(BTRecord::Decode(service.Record()));
    return j;
}

Json servicesJson(const BTDevice& device) {
    Json services = Json::array();
    for (const BTService& s : device.Services()) services.push_back(serviceJson(s));
    Json j = Json::object();
    j["address"] = Bt::toUtf8(device.Address().asString());
    j["vendor"] = vendorJson(device.Address());
    j["services"] = std::move(services);
    return j;
}

Json inventoryJson(const std::vector<BTDevice>& radios, const std::vector<BTDevice>& devices) {
    Json services = Json::array();
    for (const auto* group : {&radios, &devices})
        for (const BTDevice& d : *group)
            if (!d.Services().empty()) services.push_back(servicesJson(d));
    Json j = Json::object();
    j["radios"] = std::move(radiosJson(radios)["radios"]);
    j["devices"] = std::move(devicesJson(devices)["devices"]);
    j["services"] = std::move(services);
    return j;
}

std::string inventoryCsv(const std::vector<BTDevice>& radios,
                         const std::vector<BTDevice>& devices) {
    std::string csv = csvLine({"Kind", "Address", "Device name", "Vendor", "Class of Device",
                               "Major device class", "Minor device class", "Service name",
                               "Comment", "Service UUID", "Port"});
    const auto deviceLines = [&csv](const char* kind, const std::vector<BTDevice>& group) {
        for (const BTDevice& d : group) {
            const BTClassOfDevice& cod = d.COD();
            csv += csvLine({kind, Bt::toUtf8(d.Address().asString()), Bt::toUtf8(d.Name()),
                            std::string(VendorName(d.Address()).value_or("")),
                            std::to_string(cod.value()), Bt::toUtf8(cod.strMajor()),
                            Bt::toUtf8(cod.strMinor()), "", "", "", ""});
        }
    };
    deviceLines("radio", radios);
    deviceLines("device", devices);
    for (const auto* group : {&radios, &devices})
        for (const BTDevice& d : *group)
            for (const BTService& s : d.Services())
                csv += csvLine({"service", Bt::toUtf8(d.Address().asString()), "", "", "", "", "",
                                Bt::toUtf8(s.Name()), Bt::toUtf8(s.Comment()),
                                uuidJsonText(s.UUID()), std::to_string(s.Port())});
    return csv;
}

}  // namespace Corvale::Inspect
