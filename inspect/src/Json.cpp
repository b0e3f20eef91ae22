#include <corvale/inspect/Json.h>

namespace Corvale::Inspect {

// Not yet: the renderings return empty documents.
Json recordJson(const BTRecord&) {
    return Json::object();
}
Json attributeJson(const BTRecord&, const BTAttribute&) {
    return Json::object();
}
Json elementJson(const BTRecord&, const BTElement&) {
    return Json::object();
}
std::string uuidJsonText(const BTUUID&) {
    return {};
}

std::string jsonText(const Json& document, int indent) {
    std::string text =
        document.dump(indent < 0 ? -1 : indent, ' ', false, Json::error_handler_t::replace);
    if (indent >= 0) text += '\n';
    return text;
}

}  // namespace Corvale::Inspect
