// The engine's inventory of the Bluetooth world around the machine: the
// local radios and the remote devices found by the last inquiry.
#pragma once

#include <corvale/BTDevice.h>

#include <cstdint>
#include <memory>
#include <vector>

namespace Corvale {

class BTNetwork {
public:
    // Discovers the local radios (and their services) when the Winsock
    // session is up; the remote list starts empty.
    BTNetwork();
    ~BTNetwork();
    BTNetwork(const BTNetwork&) = delete;
    BTNetwork& operator=(const BTNetwork&) = delete;

    // The lists themselves, not copies. A successful DiscoverRemoteDevices
    // replaces the remote list object: re-read RemoteDevices() after it.
    std::vector<BTDevice>& LocalDevices() { return localList; }
    std::vector<BTDevice>& RemoteDevices() { return *remoteList; }

    bool DiscoverLocalDevices();
    bool DiscoverRemoteDevices();

    // Registers (publish) or withdraws a service on every local radio.
    bool PublishService(const BTService& service, bool publish);

    // Notifications of a remote inquiry; empty here, for derived classes.
    virtual void OnNewDevice(const BTDevice& device) const;
    virtual void OnDeleteDevice(const BTDevice& device) const;

    static bool getInquiryCache();
    static void setInquiryCache(const bool value);

    // How long later inquiries run, in the platform's unit of 1.28 s (the
    // length of BTH_QUERY_DEVICE): 1 to 255 is handed to the platform, which
    // may refuse what it cannot do (BlueZ takes at most 48); 0, or anything
    // above 255, leaves the platform's default inquiry. 0 at start; the
    // windows never change it, the command line's --length does.
    static std::uint32_t getInquiryTimeout();
    static void setInquiryTimeout(std::uint32_t units);

private:
    std::vector<BTDevice> localList;
    std::unique_ptr<std::vector<BTDevice>> remoteList;

    static bool InquiryCache;
    static std::uint32_t InquiryTimeout;
};

}  // namespace Corvale
