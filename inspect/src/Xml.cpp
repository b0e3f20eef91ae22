#include <corvale/inspect/Xml.h>

namespace Corvale::Inspect {

// Not yet: waits for the one XML writer in corvale_bt.
std::string recordXml(const BTRecord&) {
    return {};
}

}  // namespace Corvale::Inspect
