#include <corvale/inspect/Text.h>

namespace Corvale::Inspect {

// Not yet: the renderings return nothing.
std::string recordText(const BTRecord&) {
    return {};
}
std::vector<std::string> summaryLines(const BTRecord&) {
    return {};
}
std::string attributeText(const BTRecord&, const BTAttribute&) {
    return {};
}
std::string elementText(const BTRecord&, const BTElement&) {
    return {};
}
std::string valueText(const BTRecord&, const BTElement&) {
    return {};
}
std::string stopText(const BTRecord&) {
    return {};
}
std::string escapedText(std::string_view) {
    return {};
}

}  // namespace Corvale::Inspect
