#include <corvale/BTService.h>

namespace Corvale {

BTService::BTService() = default;

BTService::BTService(const BTUUID& uuid, std::uint32_t port) : uuid(uuid), port(port) {}

BTService::BTService(const BTUUID& uuid, const std::wstring& name, std::uint32_t port)
    : uuid(uuid), name(name), port(port) {}

BTService::BTService(const BTUUID& uuid, const std::wstring& name, const std::wstring& comment,
                     std::uint32_t port)
    : uuid(uuid), name(name), comment(comment), port(port) {}

BTService::BTService(const BTService& other) = default;
BTService& BTService::operator=(const BTService& other) = default;
BTService::~BTService() = default;

}  // namespace Corvale
