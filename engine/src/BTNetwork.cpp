#include <corvale/BTNetwork.h>
#include <corvale/baselib.h>

#include "LookupBuffer.h"

#include <cwchar>

namespace Corvale {

bool BTNetwork::InquiryCache = false;
std::uint32_t BTNetwork::InquiryTimeout = 0;

BTNetwork::BTNetwork() {
    if (baselib::isWinsockInitied()) DiscoverLocalDevices();
    remoteList = std::make_unique<std::vector<BTDevice>>();
}

BTNetwork::~BTNetwork() = default;

void BTNetwork::OnNewDevice(const BTDevice&) const {}

void BTNetwork::OnDeleteDevice(const BTDevice&) const {}

bool BTNetwork::getInquiryCache() {
    return InquiryCache;
}

void BTNetwork::setInquiryCache(const bool value) {
    InquiryCache = value;
}

std::uint32_t BTNetwork::getInquiryTimeout() {
    return InquiryTimeout;
}

void BTNetwork::setInquiryTimeout(std::uint32_t units) {
    InquiryTimeout = units;
}

namespace {
// Closes a radio enumeration however it is left, the null-address exception
// included.
struct RadioFind {
    HBLUETOOTH_RADIO_FIND h;
    ~RadioFind() { BluetoothFindRadioClose(h); }
};

// The handle of the radio being read. Each radio handle that the enumeration
// hands out is the caller's to close (closing the enumeration does not release
// it); it is closed once the radio's information and services are read, and
// on every way out of the loop.
struct RadioHandle {
    HANDLE h = nullptr;
    ~RadioHandle() { close(); }
    void close() {
        if (h != nullptr) CloseHandle(h);
        h = nullptr;
    }
};

struct Lookup {
    HANDLE h;
    ~Lookup() { WSALookupServiceEnd(h); }
};
}  // namespace

bool BTNetwork::DiscoverLocalDevices() {
    BLUETOOTH_FIND_RADIO_PARAMS params{};
    params.dwSize = sizeof(BLUETOOTH_FIND_RADIO_PARAMS);
    HANDLE radio = nullptr;
    HBLUETOOTH_RADIO_FIND find = BluetoothFindFirstRadio(&params, &radio);
    if (find == nullptr) {
        baselib::setError(GetLastError());
        return false;
    }
    RadioFind closer{find};
    RadioHandle current{radio};  // closed before the enumeration is
    localList.clear();

    DWORD code = ERROR_SUCCESS;
    for (;;) {
        BLUETOOTH_RADIO_INFO info{};
        info.dwSize = sizeof(BLUETOOTH_RADIO_INFO);
        code = BluetoothGetRadioInfo(current.h, &info);
        if (code != ERROR_SUCCESS) break;

        // szName is zero-terminated by the platform; never read past its end.
        const std::size_t nameLength = wcsnlen(info.szName, BLUETOOTH_MAX_NAME_SIZE);
        localList.push_back(BTDevice(BTAddress(info.address.ullLong),
                                     BTClassOfDevice(info.ulClassofDevice),
                                     std::wstring(info.szName, nameLength)));
        // A radio's own services; a failure only leaves its text behind.
        localList.back().DiscoverServices();
        current.close();

        if (BluetoothFindNextRadio(find, &radio) != TRUE) break;
        current.h = radio;
    }

    if (code != ERROR_SUCCESS) {
        baselib::setError(code);
        return false;
    }
    return true;
}

bool BTNetwork::DiscoverRemoteDevices() {
    BTH_QUERY_DEVICE device{};
    BLOB blob{};
    WSAQUERYSETW query{};
    query.dwSize = sizeof(WSAQUERYSETW);
    query.dwNameSpace = NS_BTH;
    if (InquiryTimeout >= 1 && InquiryTimeout <= 255) {
        device.LAP = 0;
        device.length = static_cast<UCHAR>(InquiryTimeout);
        // LAP and length, not the padded size of the structure.
        blob.cbSize = sizeof(ULONG) + sizeof(UCHAR);
        blob.pBlobData = reinterpret_cast<BYTE*>(&device);
        query.lpBlob = &blob;
    }
    const DWORD beginFlags = InquiryCache ? LUP_CONTAINERS : LUP_CONTAINERS | LUP_FLUSHCACHE;

    HANDLE handle = nullptr;
    if (WSALookupServiceBeginW(&query, beginFlags, &handle) != 0) {
        baselib::setError(static_cast<DWORD>(WSAGetLastError()));
        return false;
    }

    std::vector<BTDevice>& previous = *remoteList;
    // Which records of the previous list this inquiry has taken over. The
    // previous list itself is left as it is until the inquiry has succeeded,
    // so a failure part-way loses nothing the user's windows had filled in.
    std::vector<bool> taken(previous.size(), false);
    auto fresh = std::make_unique<std::vector<BTDevice>>();
    int code = 0;
    {
        Lookup end{handle};
        constexpr DWORD nextFlags = LUP_RETURN_NAME | LUP_RETURN_TYPE | LUP_RETURN_ADDR;
        detail::LookupBuffer<2048> buffer;
        while (buffer.next(handle, nextFlags) == 0) {
            const WSAQUERYSETW& r = *buffer.result();
            BTH_ADDR raw = 0;
            if (r.lpcsaBuffer != nullptr && r.lpcsaBuffer->RemoteAddr.lpSockaddr != nullptr)
                raw = reinterpret_cast<const SOCKADDR_BTH*>(r.lpcsaBuffer->RemoteAddr.lpSockaddr)
                          ->btAddr;
            const BTAddress address(raw);

            // The first record of the previous list, not taken yet, with this address.
            std::size_t match = previous.size();
            for (std::size_t i = 0; i < previous.size(); ++i) {
                if (!taken[i] && previous[i].Address() == address) {
                    match = i;
                    break;
                }
            }
            if (match < previous.size()) {
                fresh->push_back(previous[match]);
                taken[match] = true;
                continue;
            }
            std::wstring name = r.lpszServiceInstanceName ? r.lpszServiceInstanceName : L"";
            const std::uint32_t cod = r.lpServiceClassId ? r.lpServiceClassId->Data1 : 0;
            fresh->push_back(BTDevice(address, BTClassOfDevice(cod), name));
            OnNewDevice(fresh->back());
        }
        code = WSAGetLastError();
    }

    if (code != WSA_E_NO_MORE) {
        baselib::setError(static_cast<DWORD>(code));
        return false;
    }
    for (std::size_t i = 0; i < previous.size(); ++i)
        if (!taken[i]) OnDeleteDevice(previous[i]);
    remoteList = std::move(fresh);
    return true;
}

bool BTNetwork::PublishService(const BTService& service, bool publish) {
    GUID uuid = service.UUID().guid();
    std::wstring name = service.Name();
    std::wstring comment = service.Comment();
    const ULONG port = service.Port() == 0 ? BT_PORT_ANY : service.Port();

    for (const BTDevice& radio : localList) {
        SOCKADDR_BTH address{};
        address.addressFamily = AF_BTH;
        address.btAddr = radio.Address().value();
        address.serviceClassId = uuid;
        address.port = port;

        CSADDR_INFO csa{};
        csa.LocalAddr.lpSockaddr = reinterpret_cast<LPSOCKADDR>(&address);
        csa.LocalAddr.iSockaddrLength = sizeof(SOCKADDR_BTH);
        csa.RemoteAddr = csa.LocalAddr;
        csa.iSocketType = SOCK_STREAM;
        csa.iProtocol = BTHPROTO_RFCOMM;

        WSAQUERYSETW query{};
        query.dwSize = sizeof(WSAQUERYSETW);
        query.lpszServiceInstanceName = name.data();
        query.lpServiceClassId = &uuid;
        query.lpszComment = comment.data();
        query.dwNameSpace = NS_BTH;
        query.dwNumberOfCsAddrs = 1;
        query.lpcsaBuffer = &csa;

        if (WSASetServiceW(&query, publish ? RNRSERVICE_REGISTER : RNRSERVICE_DELETE, 0) != 0) {
            baselib::setError(static_cast<DWORD>(WSAGetLastError()));
            return false;
        }
    }
    return true;
}

}  // namespace Corvale
