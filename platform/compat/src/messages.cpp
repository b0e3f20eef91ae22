#include <corvale/compat/messages.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <new>

namespace Corvale::Compat {

namespace {

// Wording and line ending as the system's message table has them.
constexpr Message kMessages[] = {
    {ERROR_SUCCESS, L"The operation completed successfully.\r\n"},
    {ERROR_INVALID_FUNCTION, L"Incorrect function.\r\n"},
    {ERROR_FILE_NOT_FOUND, L"The system cannot find the file specified.\r\n"},
    {ERROR_ACCESS_DENIED, L"Access is denied.\r\n"},
    {ERROR_INVALID_HANDLE, L"The handle is invalid.\r\n"},
    {ERROR_NOT_ENOUGH_MEMORY,
     L"Not enough memory resources are available to process this command.\r\n"},
    {ERROR_INVALID_DATA, L"The data is invalid.\r\n"},
    {ERROR_OUTOFMEMORY,
     L"Not enough memory resources are available to complete this operation.\r\n"},
    {ERROR_NOT_READY, L"The device is not ready.\r\n"},
    {ERROR_GEN_FAILURE, L"A device attached to the system is not functioning.\r\n"},
    {ERROR_NOT_SUPPORTED, L"The request is not supported.\r\n"},
    {ERROR_INVALID_PARAMETER, L"The parameter is incorrect.\r\n"},
    {ERROR_SEM_TIMEOUT, L"The semaphore timeout period has expired.\r\n"},
    {ERROR_INSUFFICIENT_BUFFER, L"The data area passed to a system call is too small.\r\n"},
    {ERROR_NO_MORE_ITEMS, L"No more data is available.\r\n"},
    {ERROR_SERVICE_DOES_NOT_EXIST,
     L"The specified service does not exist as an installed service.\r\n"},
    {ERROR_SERVICE_NOT_ACTIVE, L"The service has not been started.\r\n"},
    {ERROR_DEVICE_NOT_CONNECTED, L"The device is not connected.\r\n"},
    {ERROR_NOT_FOUND, L"Element not found.\r\n"},
    {ERROR_CANCELLED, L"The operation was canceled by the user.\r\n"},
    {ERROR_RETRY, L"The operation could not be completed. A retry should be performed.\r\n"},
    {ERROR_TIMEOUT, L"This operation returned because the timeout period expired.\r\n"},
    {ERROR_INVALID_USER_BUFFER,
     L"The supplied user buffer is not valid for the requested operation.\r\n"},
    {WSAEINTR, L"A blocking operation was interrupted by a call to WSACancelBlockingCall.\r\n"},
    {WSAEACCES,
     L"An attempt was made to access a socket in a way forbidden by its access permissions.\r\n"},
    {WSAEFAULT,
     L"The system detected an invalid pointer address in attempting to use a pointer argument in a "
     L"call.\r\n"},
    {WSAEINVAL, L"An invalid argument was supplied.\r\n"},
    {WSAEOPNOTSUPP,
     L"The attempted operation is not supported for the type of object referenced.\r\n"},
    {WSAEAFNOSUPPORT, L"An address incompatible with the requested protocol was used.\r\n"},
    {WSAEADDRNOTAVAIL, L"The requested address is not valid in its context.\r\n"},
    {WSAENETDOWN, L"A socket operation encountered a dead network.\r\n"},
    {WSAENETUNREACH, L"A socket operation was attempted to an unreachable network.\r\n"},
    {WSAECONNABORTED,
     L"An established connection was aborted by the software in your host machine.\r\n"},
    {WSAECONNRESET, L"An existing connection was forcibly closed by the remote host.\r\n"},
    {WSAENOBUFS,
     L"An operation on a socket could not be performed because the system lacked sufficient buffer "
     L"space or because a queue was full.\r\n"},
    {WSAETIMEDOUT,
     L"A connection attempt failed because the connected party did not properly respond after a "
     L"period of time, or established connection failed because connected host has failed to "
     L"respond.\r\n"},
    {WSAECONNREFUSED,
     L"No connection could be made because the target machine actively refused it.\r\n"},
    {WSAEHOSTDOWN, L"A socket operation failed because the destination host was down.\r\n"},
    {WSAEHOSTUNREACH, L"A socket operation was attempted to an unreachable host.\r\n"},
    {WSASYSNOTREADY,
     L"WSAStartup cannot function at this time because the underlying system it uses to provide "
     L"network services is currently unavailable.\r\n"},
    {WSAVERNOTSUPPORTED, L"The Windows Sockets version requested is not supported.\r\n"},
    {WSANOTINITIALISED,
     L"Either the application has not called WSAStartup, or WSAStartup failed.\r\n"},
    {WSAENOMORE, L"No more results can be returned by the WSALookupServiceNext function.\r\n"},
    {WSAECANCELLED,
     L"A call to WSALookupServiceEnd was made while this call was still processing. The call has "
     L"been canceled.\r\n"},
    {WSASERVICE_NOT_FOUND,
     L"No such service is known. The service cannot be found in the specified name space.\r\n"},
    {WSATYPE_NOT_FOUND, L"The specified class was not found.\r\n"},
    {WSA_E_NO_MORE, L"No more results can be returned by the WSALookupServiceNext function.\r\n"},
    {WSA_E_CANCELLED,
     L"A call to WSALookupServiceEnd was made while this call was still processing. The call has "
     L"been canceled.\r\n"},
    {WSAHOST_NOT_FOUND, L"No such host is known.\r\n"},
};

static_assert(std::is_sorted(std::begin(kMessages), std::end(kMessages),
                             [](const Message& a, const Message& b) { return a.code < b.code; }),
              "the message table is kept sorted by code");

}  // namespace

std::span<const Message> messageTable() {
    return kMessages;
}

const wchar_t* messageText(DWORD code) {
    auto it = std::lower_bound(std::begin(kMessages), std::end(kMessages), code,
                               [](const Message& m, DWORD c) { return m.code < c; });
    if (it == std::end(kMessages) || it->code != code) return nullptr;
    return it->text;
}

}  // namespace Corvale::Compat

using Corvale::Compat::messageText;

extern "C" DWORD FormatMessageW(DWORD dwFlags, LPCVOID lpSource, DWORD dwMessageId,
                                DWORD dwLanguageId, LPWSTR lpBuffer, DWORD nSize,
                                va_list* Arguments) {
    (void)lpSource;
    (void)dwLanguageId;
    (void)Arguments;
    // Only the system table exists here; a message from a string or a module
    // has no source to come from.
    if (!(dwFlags & FORMAT_MESSAGE_FROM_SYSTEM) ||
        (dwFlags & (FORMAT_MESSAGE_FROM_STRING | FORMAT_MESSAGE_FROM_HMODULE))) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    if (lpBuffer == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    const wchar_t* text = messageText(dwMessageId);
    if (text == nullptr) {
        SetLastError(317);  // ERROR_MR_MID_NOT_FOUND, as the system reports it
        return 0;
    }
    const std::size_t length = std::wcslen(text);
    if (dwFlags & FORMAT_MESSAGE_ALLOCATE_BUFFER) {
        // lpBuffer is really an LPWSTR*; the caller frees with LocalFree.
        auto* copy = static_cast<wchar_t*>(std::malloc((length + 1) * sizeof(wchar_t)));
        if (copy == nullptr) {
            SetLastError(ERROR_NOT_ENOUGH_MEMORY);
            return 0;
        }
        std::wmemcpy(copy, text, length + 1);
        *reinterpret_cast<LPWSTR*>(lpBuffer) = copy;
        return static_cast<DWORD>(length);
    }
    if (nSize < length + 1) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    std::wmemcpy(lpBuffer, text, length + 1);
    return static_cast<DWORD>(length);
}

extern "C" HLOCAL LocalFree(HLOCAL hMem) {
    std::free(hMem);
    return nullptr;
}
