// Name-space lookups in NS_BTH (device inquiry and SDP service search) and
// service registration, over the backend.
//
// As on Windows, WSALookupServiceNextW packs one whole result into the
// caller's buffer: the WSAQUERYSETW at its start, and everything it points to
// (socket addresses, class GUID, blob, strings) behind it in the same buffer.
// A result that does not fit is kept for the next call and the caller learns
// the size it needs.
#include "handle_table.h"
#include "internal.h"

#include <corvale/bt/address.h>
#include <corvale/compat/handles.h>
#include <corvale/compat/utf.h>

#include <algorithm>
#include <cstring>
#include <cwchar>
#include <limits>
#include <optional>

namespace Corvale::Compat {

namespace {
// Windows' WSA_INVALID_HANDLE is the Win32 ERROR_INVALID_HANDLE.
constexpr DWORD kInvalidHandle = ERROR_INVALID_HANDLE;

// The most of a caller's text that is copied into the call log.
constexpr std::size_t kLoggedContext = 256;

struct Lookup {
    std::mutex mutex;  // one fetch at a time per lookup
    bool inquiry = false;
    std::unique_ptr<Query<DeviceResult>> devices;
    std::unique_ptr<Query<ServiceResult>> services;
    // A fetched result that did not fit the caller's buffer yet.
    std::optional<DeviceResult> pendingDevice;
    std::optional<ServiceResult> pendingService;
    bool finished = false;  // the backend reported WSA_E_NO_MORE
    GUID restriction{};
};

HandleTable<Lookup>& lookups() {
    static HandleTable<Lookup> table;
    return table;
}

int fail(DWORD code) {
    WSASetLastError(static_cast<int>(code));
    return SOCKET_ERROR;
}

// "XX:XX:XX:XX:XX:XX", or the same in parentheses as Windows writes it.
// Anything else (other lengths, separators or digits) is refused.
std::optional<BTH_ADDR> parseAddress(const wchar_t* text) {
    std::wstring_view s(text, wcsnlen(text, 20));
    if (s.size() == 19 && s.front() == L'(' && s.back() == L')') s = s.substr(1, 17);
    return Bt::parseAddress(s);
}

// What the caller passed, for the backend's log. Reads only what is there:
// the fields of a query set too small to hold them are not looked at.
void describe(CallInfo& call, const WSAQUERYSETW* q) {
    if (q == nullptr) return;
    call.size = q->dwSize;
    if (q->dwSize < sizeof(WSAQUERYSETW)) return;
    if (q->lpszContext != nullptr)
        call.context.assign(q->lpszContext, wcsnlen(q->lpszContext, kLoggedContext));
    call.hasBlob = q->lpBlob != nullptr;
    if (call.hasBlob && q->lpBlob->pBlobData != nullptr && q->lpBlob->cbSize > sizeof(ULONG))
        call.inquiryLength = q->lpBlob->pBlobData[sizeof(ULONG)];
    if (q->lpServiceClassId != nullptr) call.classId = *q->lpServiceClassId;
}

// ---------------------------------------------------------------- packing

std::size_t alignUp(std::size_t offset, std::size_t alignment) {
    return (offset + alignment - 1) / alignment * alignment;
}

// One result as it will stand in the caller's buffer, before it is written.
struct Packed {
    std::optional<std::wstring> name;
    std::optional<std::wstring> comment;
    bool address = false;
    SOCKADDR_BTH remote{};
    std::optional<GUID> classId;
    const std::vector<BYTE>* blob = nullptr;

    // Offsets of each part, from the start of the buffer.
    std::size_t csaAt = 0, localAt = 0, remoteAt = 0, guidAt = 0, blobAt = 0, blobDataAt = 0,
                nameAt = 0, commentAt = 0, total = 0;

    void layout() {
        std::size_t at = sizeof(WSAQUERYSETW);
        if (address) {
            csaAt = at = alignUp(at, alignof(CSADDR_INFO));
            at += sizeof(CSADDR_INFO);
            localAt = at = alignUp(at, 8);
            at += sizeof(SOCKADDR_BTH);
            remoteAt = at = alignUp(at, 8);
            at += sizeof(SOCKADDR_BTH);
        }
        if (classId) {
            guidAt = at = alignUp(at, alignof(GUID));
            at += sizeof(GUID);
        }
        if (blob != nullptr) {
            blobAt = at = alignUp(at, alignof(BLOB));
            at += sizeof(BLOB);
            blobDataAt = at;
            at += blob->size();
        }
        if (name) {
            nameAt = at = alignUp(at, alignof(wchar_t));
            at += (name->size() + 1) * sizeof(wchar_t);
        }
        if (comment) {
            commentAt = at = alignUp(at, alignof(wchar_t));
            at += (comment->size() + 1) * sizeof(wchar_t);
        }
        total = at;
    }

    // Writes the result into buf, which holds at least total bytes. Every
    // write is a copy of bytes, so nothing here depends on buf's alignment.
    void write(BYTE* buf) const {
        std::memset(buf, 0, total);
        WSAQUERYSETW q{};
        q.dwSize = sizeof(WSAQUERYSETW);
        q.dwNameSpace = NS_BTH;
        if (address) {
            SOCKADDR_BTH local{};
            local.addressFamily = AF_BTH;
            std::memcpy(buf + localAt, &local, sizeof local);
            std::memcpy(buf + remoteAt, &remote, sizeof remote);
            CSADDR_INFO csa{};
            csa.LocalAddr.lpSockaddr = reinterpret_cast<LPSOCKADDR>(buf + localAt);
            csa.LocalAddr.iSockaddrLength = sizeof(SOCKADDR_BTH);
            csa.RemoteAddr.lpSockaddr = reinterpret_cast<LPSOCKADDR>(buf + remoteAt);
            csa.RemoteAddr.iSockaddrLength = sizeof(SOCKADDR_BTH);
            csa.iSocketType = SOCK_STREAM;
            csa.iProtocol = BTHPROTO_RFCOMM;
            std::memcpy(buf + csaAt, &csa, sizeof csa);
            q.dwNumberOfCsAddrs = 1;
            q.lpcsaBuffer = reinterpret_cast<LPCSADDR_INFO>(buf + csaAt);
        }
        if (classId) {
            std::memcpy(buf + guidAt, &*classId, sizeof(GUID));
            q.lpServiceClassId = reinterpret_cast<LPGUID>(buf + guidAt);
        }
        if (blob != nullptr) {
            if (!blob->empty()) std::memcpy(buf + blobDataAt, blob->data(), blob->size());
            BLOB b{};
            b.cbSize = static_cast<ULONG>(blob->size());
            b.pBlobData = buf + blobDataAt;
            std::memcpy(buf + blobAt, &b, sizeof b);
            q.lpBlob = reinterpret_cast<LPBLOB>(buf + blobAt);
        }
        if (name) {
            std::memcpy(buf + nameAt, name->c_str(), (name->size() + 1) * sizeof(wchar_t));
            q.lpszServiceInstanceName = reinterpret_cast<LPWSTR>(buf + nameAt);
        }
        if (comment) {
            std::memcpy(buf + commentAt, comment->c_str(), (comment->size() + 1) * sizeof(wchar_t));
            q.lpszComment = reinterpret_cast<LPWSTR>(buf + commentAt);
        }
        std::memcpy(buf, &q, sizeof q);
    }
};

// An inquiry result has no comment and no blob here: the device information
// blob of Windows carries nothing the backend does not already report.
Packed pack(const DeviceResult& r, DWORD flags) {
    Packed p;
    if ((flags & LUP_RETURN_NAME) && r.name) p.name = fromUtf8(*r.name);
    if ((flags & LUP_RETURN_ADDR) && r.address) {
        p.address = true;
        p.remote.addressFamily = AF_BTH;
        p.remote.btAddr = *r.address;
    }
    // The class of device travels in Data1 of the class GUID, as on Windows.
    if ((flags & LUP_RETURN_TYPE) && r.classOfDevice) p.classId = GUID{*r.classOfDevice, 0, 0, {}};
    p.layout();
    return p;
}

Packed pack(const ServiceResult& r, DWORD flags, const GUID& restriction) {
    Packed p;
    if ((flags & LUP_RETURN_NAME) && r.name) p.name = fromUtf8(*r.name);
    if ((flags & LUP_RETURN_COMMENT) && r.comment) p.comment = fromUtf8(*r.comment);
    if ((flags & LUP_RETURN_ADDR) && r.port) {
        p.address = true;
        p.remote.addressFamily = AF_BTH;
        p.remote.btAddr = r.device;
        p.remote.serviceClassId = restriction;
        p.remote.port = *r.port;
    }
    if (flags & LUP_RETURN_TYPE) p.classId = restriction;
    if ((flags & LUP_RETURN_BLOB) && r.record) p.blob = &*r.record;
    p.layout();
    return p;
}

// The result the caller gets next: the one kept from a call whose buffer was
// too small, else the backend's next one that `wanted` accepts. Returns 0 with
// it in `pending`, or the code the call fails with (WSA_E_NO_MORE at the end).
template <typename Result, typename Wanted>
DWORD nextResult(Query<Result>& query, std::optional<Result>& pending, bool& finished,
                 Wanted wanted) {
    while (!pending) {
        if (finished) return WSA_E_NO_MORE;
        Result result;
        const DWORD code = query.next(result);
        if (code == WSA_E_NO_MORE) finished = true;
        if (code != 0) return code;
        if (wanted(result)) pending = std::move(result);
    }
    return 0;
}

// Delivers a packed result, or tells the caller the size it needs.
int deliver(const Packed& p, LPDWORD length, LPWSAQUERYSETW out, bool& delivered) {
    delivered = false;
    if (out == nullptr || *length < p.total) {
        *length =
            static_cast<DWORD>(std::min<std::size_t>(p.total, std::numeric_limits<DWORD>::max()));
        return fail(WSAEFAULT);
    }
    p.write(reinterpret_cast<BYTE*>(out));
    delivered = true;
    return 0;
}
}  // namespace

OpenHandles openHandles() {
    OpenHandles counts;
    counts.lookups = lookups().size();
    radioHandleCounts(counts.radioFinds, counts.radios);
    return counts;
}

void closeAllHandles() {
    lookups().clear();
    closeRadioHandles();
}

std::uintptr_t nextHandleValue() {
    // Far from small integers and from where the heap puts things, and a
    // multiple of 16 so that it looks like nothing else the caller holds.
    static std::atomic<std::uintptr_t> next{0x5C000000};
    return next.fetch_add(16);
}

}  // namespace Corvale::Compat

using namespace Corvale::Compat;

extern "C" INT WSALookupServiceBeginW(LPWSAQUERYSETW lpqsRestrictions, DWORD dwControlFlags,
                                      LPHANDLE lphLookup) {
    CallInfo call(Api::WSALookupServiceBeginW);
    call.flags = dwControlFlags;
    describe(call, lpqsRestrictions);
    if (DWORD code = enter(call)) return fail(code);

    if (!winsockStarted()) return fail(WSANOTINITIALISED);
    if (lpqsRestrictions == nullptr || lphLookup == nullptr) return fail(WSAEFAULT);
    const WSAQUERYSETW& q = *lpqsRestrictions;
    if (q.dwSize < sizeof(WSAQUERYSETW)) return fail(WSAEINVAL);
    if (q.dwNameSpace != NS_BTH) return fail(WSAEINVAL);

    auto lookup = std::make_shared<Lookup>();
    const bool flush = (dwControlFlags & LUP_FLUSHCACHE) != 0;
    if (dwControlFlags & LUP_CONTAINERS) {
        InquiryParams params;
        params.flushCache = flush;
        if (q.lpBlob != nullptr) {
            // A BTH_QUERY_DEVICE: the 4-byte LAP and the 1-byte length.
            if (q.lpBlob->pBlobData == nullptr || q.lpBlob->cbSize < sizeof(ULONG) + 1)
                return fail(WSAEINVAL);
            params.length = q.lpBlob->pBlobData[sizeof(ULONG)];
        }
        lookup->inquiry = true;
        if (DWORD code = backend().inquire(params, lookup->devices)) return fail(code);
        if (!lookup->devices) return fail(WSASERVICE_NOT_FOUND);
    } else {
        if (q.lpszContext == nullptr || q.lpServiceClassId == nullptr) return fail(WSAEINVAL);
        const std::optional<BTH_ADDR> device = parseAddress(q.lpszContext);
        if (!device) return fail(WSAEINVAL);
        ServiceSearchParams params;
        params.device = *device;
        params.restriction = *q.lpServiceClassId;
        params.flushCache = flush;
        lookup->restriction = params.restriction;
        if (DWORD code = backend().searchServices(params, lookup->services)) return fail(code);
        if (!lookup->services) return fail(WSASERVICE_NOT_FOUND);
    }
    *lphLookup = lookups().add(std::move(lookup));
    return 0;
}

extern "C" INT WSALookupServiceNextW(HANDLE hLookup, DWORD dwControlFlags, LPDWORD lpdwBufferLength,
                                     LPWSAQUERYSETW lpqsResults) {
    CallInfo call(Api::WSALookupServiceNextW);
    call.flags = dwControlFlags;
    if (lpdwBufferLength != nullptr) call.size = *lpdwBufferLength;
    if (DWORD code = enter(call)) return fail(code);

    if (!winsockStarted()) return fail(WSANOTINITIALISED);
    std::shared_ptr<Lookup> lookup = lookups().find(hLookup);
    if (!lookup) return fail(kInvalidHandle);
    if (lpdwBufferLength == nullptr) return fail(WSAEFAULT);

    std::lock_guard lock(lookup->mutex);
    bool delivered = false;
    if (lookup->inquiry) {
        // No device has the null address: a result without one, or with
        // one whose 48 bits are all zero, is passed over here, so that it
        // can neither hide the devices after it nor reach a caller as one.
        const auto hasAddress = [](const DeviceResult& r) {
            return r.address && (*r.address & Corvale::Bt::kAddressMask) != 0;
        };
        if (DWORD code =
                nextResult(*lookup->devices, lookup->pendingDevice, lookup->finished, hasAddress))
            return fail(code);
        const int rc = deliver(pack(*lookup->pendingDevice, dwControlFlags), lpdwBufferLength,
                               lpqsResults, delivered);
        if (delivered) lookup->pendingDevice.reset();
        return rc;
    }
    if (DWORD code = nextResult(*lookup->services, lookup->pendingService, lookup->finished,
                                [](const ServiceResult&) { return true; }))
        return fail(code);
    const int rc = deliver(pack(*lookup->pendingService, dwControlFlags, lookup->restriction),
                           lpdwBufferLength, lpqsResults, delivered);
    if (delivered) lookup->pendingService.reset();
    return rc;
}

extern "C" INT WSALookupServiceEnd(HANDLE hLookup) {
    CallInfo call(Api::WSALookupServiceEnd);
    if (DWORD code = enter(call)) return fail(code);
    if (!winsockStarted()) return fail(WSANOTINITIALISED);
    // The query is destroyed when the last fetch still running on it returns.
    if (!lookups().take(hLookup)) return fail(kInvalidHandle);
    return 0;
}

extern "C" INT WSASetServiceW(LPWSAQUERYSETW lpqsRegInfo, WSAESETSERVICEOP essoperation,
                              DWORD dwControlFlags) {
    (void)dwControlFlags;
    CallInfo call(Api::WSASetServiceW);
    call.flags = static_cast<DWORD>(essoperation);
    describe(call, lpqsRegInfo);
    if (DWORD code = enter(call)) return fail(code);

    if (!winsockStarted()) return fail(WSANOTINITIALISED);
    if (lpqsRegInfo == nullptr) return fail(WSAEFAULT);
    const WSAQUERYSETW& q = *lpqsRegInfo;
    if (q.dwSize < sizeof(WSAQUERYSETW) || q.dwNameSpace != NS_BTH) return fail(WSAEINVAL);

    ServiceRegistration reg;
    switch (essoperation) {
        case RNRSERVICE_REGISTER:
            reg.publish = true;
            break;
        case RNRSERVICE_DEREGISTER:
        case RNRSERVICE_DELETE:
            reg.publish = false;
            break;
        default:
            return fail(WSAEINVAL);
    }
    if (q.lpServiceClassId == nullptr) return fail(WSAEINVAL);
    // The radio is the local address of the first (and only) CSADDR_INFO.
    if (q.dwNumberOfCsAddrs < 1 || q.lpcsaBuffer == nullptr) return fail(WSAEINVAL);
    const CSADDR_INFO& csa = q.lpcsaBuffer[0];
    if (csa.LocalAddr.lpSockaddr == nullptr ||
        csa.LocalAddr.iSockaddrLength < static_cast<INT>(sizeof(SOCKADDR_BTH)))
        return fail(WSAEINVAL);
    SOCKADDR_BTH local{};
    std::memcpy(&local, csa.LocalAddr.lpSockaddr, sizeof local);
    if (local.addressFamily != AF_BTH) return fail(WSAEAFNOSUPPORT);

    reg.radio = local.btAddr;
    reg.serviceClassId = *q.lpServiceClassId;
    if (q.lpszServiceInstanceName != nullptr) reg.name = toUtf8(q.lpszServiceInstanceName);
    if (q.lpszComment != nullptr) reg.comment = toUtf8(q.lpszComment);
    reg.port = local.port;
    reg.socketType = csa.iSocketType;
    reg.protocol = csa.iProtocol;
    if (DWORD code = backend().setService(reg)) return fail(code);
    return 0;
}
