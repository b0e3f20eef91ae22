#include <corvale/BTService.h>

#include <utility>

namespace Corvale {

BTService::BTService() = default;

BTService::BTService(const BTUUID& serviceUuid, std::uint32_t servicePort)
    : uuid(serviceUuid), port(servicePort) {}

BTService::BTService(const BTUUID& serviceUuid, const std::wstring& serviceName,
                     std::uint32_t servicePort)
    : uuid(serviceUuid), name(serviceName), port(servicePort) {}

BTService::BTService(const BTUUID& serviceUuid, const std::wstring& serviceName,
                     const std::wstring& serviceComment, std::uint32_t servicePort)
    : uuid(serviceUuid), name(serviceName), comment(serviceComment), port(servicePort) {}

BTService::BTService(const BTUUID& serviceUuid, const std::wstring& serviceName,
                     const std::wstring& serviceComment, std::uint32_t servicePort,
                     std::vector<std::uint8_t> serviceRecord)
    : uuid(serviceUuid),
      name(serviceName),
      comment(serviceComment),
      port(servicePort),
      record(std::move(serviceRecord)) {}

BTService::BTService(const BTService& other) = default;
BTService& BTService::operator=(const BTService& other) = default;
BTService::~BTService() = default;

}  // namespace Corvale
