#include <corvale/inspect/Documents.h>

namespace Corvale::Inspect {

// Not yet: the documents are empty objects.
Json deviceJson(const BTDevice&) {
    return Json::object();
}
Json radiosJson(const std::vector<BTDevice>&) {
    return Json::object();
}
Json devicesJson(const std::vector<BTDevice>&) {
    return Json::object();
}
Json serviceJson(const BTService&) {
    return Json::object();
}
Json servicesJson(const BTDevice&) {
    return Json::object();
}

}  // namespace Corvale::Inspect
