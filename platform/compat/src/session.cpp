// Winsock session and the per-thread last-error values.
#include "internal.h"

#include <atomic>
#include <cstring>

namespace Corvale::Compat {

namespace {
thread_local int tWsaLastError = 0;
thread_local DWORD tLastError = 0;
std::atomic<int> gStartups{0};
}  // namespace

bool winsockStarted() {
    return gStartups.load() > 0;
}

const char* apiName(Api api) {
    switch (api) {
        case Api::WSAStartup:
            return "WSAStartup";
        case Api::WSACleanup:
            return "WSACleanup";
        case Api::WSALookupServiceBeginW:
            return "WSALookupServiceBeginW";
        case Api::WSALookupServiceNextW:
            return "WSALookupServiceNextW";
        case Api::WSALookupServiceEnd:
            return "WSALookupServiceEnd";
        case Api::WSASetServiceW:
            return "WSASetServiceW";
        case Api::BluetoothFindFirstRadio:
            return "BluetoothFindFirstRadio";
        case Api::BluetoothFindNextRadio:
            return "BluetoothFindNextRadio";
        case Api::BluetoothFindRadioClose:
            return "BluetoothFindRadioClose";
        case Api::BluetoothGetRadioInfo:
            return "BluetoothGetRadioInfo";
    }
    return "?";
}

DWORD enter(const CallInfo& call) {
    return backend().onCall(call);
}

}  // namespace Corvale::Compat

using namespace Corvale::Compat;

extern "C" int WSAGetLastError(void) {
    return tWsaLastError;
}
extern "C" void WSASetLastError(int iError) {
    tWsaLastError = iError;
}
extern "C" DWORD GetLastError(void) {
    return tLastError;
}
extern "C" void SetLastError(DWORD dwErrCode) {
    tLastError = dwErrCode;
}

extern "C" int WSAStartup(WORD wVersionRequested, LPWSADATA lpWSAData) {
    CallInfo call(Api::WSAStartup);
    call.flags = wVersionRequested;
    if (DWORD code = enter(call)) return static_cast<int>(code);
    // WSAStartup reports its failure as its result, not through the last error.
    if (lpWSAData == nullptr) return WSAEFAULT;
    // Version 1.0 and below do not exist; 2.2 is the highest there is.
    const BYTE major = LOBYTE(wVersionRequested), minor = HIBYTE(wVersionRequested);
    if (major < 1 || (major == 1 && minor < 1)) return WSAVERNOTSUPPORTED;
    WORD version = wVersionRequested;
    if (major > 2 || (major == 2 && minor > 2)) version = MAKEWORD(2, 2);
    if (DWORD code = backend().startup(version, version)) return static_cast<int>(code);
    std::memset(lpWSAData, 0, sizeof(*lpWSAData));
    lpWSAData->wVersion = version;
    lpWSAData->wHighVersion = MAKEWORD(2, 2);
    std::strcpy(lpWSAData->szDescription, "WinSock 2.0");
    std::strcpy(lpWSAData->szSystemStatus, "Running");
    ++gStartups;
    return 0;
}

extern "C" int WSACleanup(void) {
    CallInfo call(Api::WSACleanup);
    if (DWORD code = enter(call)) {
        WSASetLastError(static_cast<int>(code));
        return SOCKET_ERROR;
    }
    int current = gStartups.load();
    while (current > 0 && !gStartups.compare_exchange_weak(current, current - 1)) {
    }
    if (current <= 0) {
        WSASetLastError(WSANOTINITIALISED);
        return SOCKET_ERROR;
    }
    return 0;
}
