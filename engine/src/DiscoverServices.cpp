#include <corvale/BTDevice.h>
#include <corvale/baselib.h>

#include "LookupBuffer.h"

#include <utility>
#include <vector>

namespace Corvale {

bool BTDevice::DiscoverServices() {
    std::wstring context = address.asString();
    GUID restriction = L2CAP_PROTOCOL_UUID;

    WSAQUERYSETW query{};
    query.dwSize = sizeof(WSAQUERYSETW);
    query.lpServiceClassId = &restriction;
    query.dwNameSpace = NS_BTH;
    query.lpszContext = context.data();

    HANDLE lookup = nullptr;
    const DWORD beginFlags = InquiryCache ? 0 : LUP_FLUSHCACHE;
    if (WSALookupServiceBeginW(&query, beginFlags, &lookup) != 0) {
        baselib::setError(static_cast<DWORD>(WSAGetLastError()));
        return false;
    }

    // End the lookup however we leave, an allocation failure included.
    struct End {
        HANDLE h;
        ~End() { WSALookupServiceEnd(h); }
    };
    int code = 0;
    {
        End end{lookup};
        services.clear();

        constexpr DWORD nextFlags = LUP_RETURN_NAME | LUP_RETURN_TYPE | LUP_RETURN_COMMENT |
                                    LUP_RETURN_ADDR | LUP_RETURN_BLOB;
        // The fixed block lives in this frame: a result costs no heap allocation.
        detail::LookupBuffer<4096> buffer;
        while (buffer.next(lookup, nextFlags) == 0) {
            const WSAQUERYSETW& r = *buffer.result();
            std::wstring serviceName = r.lpszServiceInstanceName ? r.lpszServiceInstanceName : L"";
            std::wstring comment = r.lpszComment ? r.lpszComment : L"";
            std::uint32_t port = 0;
            if (r.lpcsaBuffer != nullptr && r.lpcsaBuffer->RemoteAddr.lpSockaddr != nullptr)
                port = reinterpret_cast<const SOCKADDR_BTH*>(r.lpcsaBuffer->RemoteAddr.lpSockaddr)
                           ->port;
            BTUUID uuid;
            // The record as received, for every view of it later.
            std::vector<std::uint8_t> record;
            if (r.lpBlob != nullptr && r.lpBlob->pBlobData != nullptr) {
                uuid = ServiceClassUUID(r.lpBlob->pBlobData, r.lpBlob->cbSize);
                record.assign(r.lpBlob->pBlobData, r.lpBlob->pBlobData + r.lpBlob->cbSize);
            }
            services.push_back(BTService(uuid, serviceName, comment, port, std::move(record)));
        }
        // Read before the lookup is closed, so that closing cannot change it.
        code = WSAGetLastError();
    }

    if (code == WSA_E_NO_MORE) return true;
    baselib::setError(static_cast<DWORD>(code));
    return false;
}

}  // namespace Corvale
