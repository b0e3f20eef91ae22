// The seam between the compat layer (which implements the Win32 surface of
// winapi.h) and whatever really knows the Bluetooth surroundings: the
// simulated world, BlueZ, or a platform without any Bluetooth stack.
//
// Exactly one backend is linked into each program: its library defines
// Corvale::Compat::backend(). The compat layer owns every Win32-visible
// detail (handles, last-error values, packing results into the caller's
// buffer, text conversion); a backend only answers plain questions with plain
// values and Win32/Winsock error codes. Every code a backend returns must be
// one of the codes of messages.h, so that the user gets its text.
//
// Text from backends is UTF-8 as received from the outside world; the compat
// layer converts it to wide text, replacing invalid sequences, so a backend
// never has to trust or repair what a remote device sent.
#pragma once

#include <corvale/compat/winapi.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace Corvale::Compat {

// Which Win32 function the compat layer is entering. Passed to
// Backend::onCall so that a backend can log calls or fail one on purpose.
enum class Api {
    WSAStartup,
    WSACleanup,
    WSALookupServiceBeginW,
    WSALookupServiceNextW,
    WSALookupServiceEnd,
    WSASetServiceW,
    BluetoothFindFirstRadio,
    BluetoothFindNextRadio,
    BluetoothFindRadioClose,
    BluetoothGetRadioInfo,
};

const char* apiName(Api api);

// What a call received, as far as it is worth logging.
struct CallInfo {
    explicit CallInfo(Api which) : api(which) {}
    Api api{};
    DWORD flags = 0;                     // control flags, or the set-service operation
    DWORD size = 0;                      // dwSize of the structure, or the buffer length on entry
    std::wstring context;                // lpszContext of a lookup
    bool hasBlob = false;                // the query set carried a blob
    std::optional<GUID> classId;         // lpServiceClassId
    std::optional<UCHAR> inquiryLength;  // the length byte of an inquiry's BTH_QUERY_DEVICE
};

struct RadioInfo {
    BTH_ADDR address = 0;
    std::string name;  // UTF-8; cut to 247 characters when handed out
    ULONG classOfDevice = 0;
    USHORT lmpSubversion = 0;
    USHORT manufacturer = 0;
    DWORD infoError = 0;  // non-zero: BluetoothGetRadioInfo fails with it
};

// One device of an inquiry. A result without an address, or with the null
// address (48 bits of zero), is passed over by the compat layer: no device
// has it, and the caller never sees it.
struct DeviceResult {
    std::optional<BTH_ADDR> address;
    std::optional<std::string> name;  // UTF-8
    std::optional<ULONG> classOfDevice;
};

// One SDP record of a service search.
struct ServiceResult {
    std::optional<std::string> name;     // UTF-8
    std::optional<std::string> comment;  // UTF-8
    std::optional<ULONG> port;
    std::optional<std::vector<BYTE>> record;  // the raw record bytes
    BTH_ADDR device = 0;                      // written into the SOCKADDR_BTH
};

struct InquiryParams {
    bool flushCache = false;  // LUP_FLUSHCACHE was given
    UCHAR length = 0;         // BTH_QUERY_DEVICE.length, 0: the default inquiry
};

struct ServiceSearchParams {
    BTH_ADDR device = 0;  // parsed from lpszContext
    GUID restriction{};   // lpServiceClassId
    bool flushCache = false;
};

struct ServiceRegistration {
    bool publish = true;  // false: delete
    BTH_ADDR radio = 0;   // the local radio, from the socket address
    GUID serviceClassId{};
    std::string name;     // UTF-8
    std::string comment;  // UTF-8
    ULONG port = 0;       // BT_PORT_ANY when the caller let us choose
    INT socketType = 0;
    INT protocol = 0;
};

// A running lookup. next() answers 0 with one result, WSA_E_NO_MORE at the
// end, or another code on failure. It may block (a real radio inquires).
template <typename Result>
class Query {
public:
    virtual ~Query() = default;
    virtual DWORD next(Result& out) = 0;
};

// A lookup whose results were all gathered when it began, handed out in order.
template <typename Result>
class ListQuery : public Query<Result> {
public:
    explicit ListQuery(std::vector<Result> items) : results(std::move(items)) {}

    DWORD next(Result& out) override {
        if (position >= results.size()) return WSA_E_NO_MORE;
        out = std::move(results[position++]);
        return 0;
    }

private:
    std::vector<Result> results;
    std::size_t position = 0;
};

class Backend {
public:
    virtual ~Backend() = default;

    // Entered at the start of every Win32 call of the table above, before any
    // argument is looked at. Non-zero fails the call with that code.
    virtual DWORD onCall(const CallInfo& call) {
        (void)call;
        return 0;
    }

    // WSAStartup: 0 and the version in use, or a Winsock code.
    virtual DWORD startup(WORD requested, WORD& version) {
        version = requested;
        return 0;
    }

    // The local radios, in the order the system enumerates them.
    virtual DWORD radios(std::vector<RadioInfo>& out) = 0;

    virtual DWORD inquire(const InquiryParams& params,
                          std::unique_ptr<Query<DeviceResult>>& out) = 0;

    virtual DWORD searchServices(const ServiceSearchParams& params,
                                 std::unique_ptr<Query<ServiceResult>>& out) = 0;

    virtual DWORD setService(const ServiceRegistration& registration) = 0;
};

// Defined by the backend library linked into the program.
Backend& backend();

}  // namespace Corvale::Compat
