// The Win32 Bluetooth surface that the engine uses, declared for systems
// without Windows. Names, field names, values and layouts follow the Windows
// SDK headers (winsock2.h, ws2bth.h, bluetoothapis.h, bthsdpdef.h), with
// exact-width integers: DWORD and ULONG are 32 bits, BTH_ADDR 64 bits.
// Wide text is wchar_t (UTF-32 here, UTF-16 on Windows). Names that Windows
// shares with POSIX (SOCK_STREAM, struct sockaddr) come from the
// system's own headers, so this header and those mix in any order.
//
// Only what the engine, its tests and its platforms need is declared; the
// implementation lives in the compat library and reaches the Bluetooth
// surroundings through corvale/compat/backend.h.
#pragma once

#include <corvale/compat/wintypes.h>

#include <sys/socket.h>

#include <cstdarg>
#include <cstddef>
#include <cstdint>

// ---------------------------------------------------------------- base types
typedef BYTE *LPBYTE, *PBYTE;
typedef char CHAR;
typedef std::uint16_t WORD;
typedef std::int16_t SHORT;
typedef std::uint32_t UINT, *LPDWORD, *PULONG;
typedef std::int32_t LONG, INT;
typedef int BOOL;
typedef std::int64_t LONGLONG;
typedef wchar_t WCHAR, *LPWSTR, *PWSTR;
typedef const wchar_t *LPCWSTR, *PCWSTR;
typedef void *LPVOID, *HANDLE, **LPHANDLE, *HLOCAL;
typedef const void* LPCVOID;
typedef GUID* LPGUID;
typedef const GUID* LPCGUID;

#ifndef TRUE
#define TRUE 1
#endif
#ifndef FALSE
#define FALSE 0
#endif

#define MAKEWORD(low, high) ((WORD)(((BYTE)(low)) | ((WORD)((BYTE)(high))) << 8))
#define LOBYTE(w) ((BYTE)((w)&0xff))
#define HIBYTE(w) ((BYTE)(((w) >> 8) & 0xff))

// ------------------------------------------------------------- error codes
// Win32 codes used by the layer.
#define ERROR_SUCCESS 0L
#define NO_ERROR 0L
#define ERROR_INVALID_FUNCTION 1L
#define ERROR_FILE_NOT_FOUND 2L
#define ERROR_ACCESS_DENIED 5L
#define ERROR_INVALID_HANDLE 6L
#define ERROR_NOT_ENOUGH_MEMORY 8L
#define ERROR_INVALID_DATA 13L
#define ERROR_OUTOFMEMORY 14L
#define ERROR_NOT_READY 21L
#define ERROR_GEN_FAILURE 31L
#define ERROR_NOT_SUPPORTED 50L
#define ERROR_INVALID_PARAMETER 87L
#define ERROR_SEM_TIMEOUT 121L
#define ERROR_INSUFFICIENT_BUFFER 122L
#define ERROR_NO_MORE_ITEMS 259L
#define ERROR_SERVICE_DOES_NOT_EXIST 1060L
#define ERROR_SERVICE_NOT_ACTIVE 1062L
#define ERROR_DEVICE_NOT_CONNECTED 1167L
#define ERROR_NOT_FOUND 1168L
#define ERROR_CANCELLED 1223L
#define ERROR_RETRY 1237L
#define ERROR_TIMEOUT 1460L
#define ERROR_INVALID_USER_BUFFER 1784L

// Winsock codes used by the layer.
#define WSAEINTR 10004L
#define WSAEACCES 10013L
#define WSAEFAULT 10014L
#define WSAEINVAL 10022L
#define WSAEOPNOTSUPP 10045L
#define WSAEAFNOSUPPORT 10047L
#define WSAEADDRNOTAVAIL 10049L
#define WSAENETDOWN 10050L
#define WSAENETUNREACH 10051L
#define WSAECONNABORTED 10053L
#define WSAECONNRESET 10054L
#define WSAENOBUFS 10055L
#define WSAETIMEDOUT 10060L
#define WSAECONNREFUSED 10061L
#define WSAEHOSTDOWN 10064L
#define WSAEHOSTUNREACH 10065L
#define WSASYSNOTREADY 10091L
#define WSAVERNOTSUPPORTED 10092L
#define WSANOTINITIALISED 10093L
#define WSAENOMORE 10102L
#define WSAECANCELLED 10103L
#define WSASERVICE_NOT_FOUND 10108L
#define WSATYPE_NOT_FOUND 10109L
#define WSA_E_NO_MORE 10110L
#define WSA_E_CANCELLED 10111L
#define WSAHOST_NOT_FOUND 11001L

#define SOCKET_ERROR (-1)

// ------------------------------------------------------- Winsock session
#define WSADESCRIPTION_LEN 256
#define WSASYS_STATUS_LEN 128

typedef struct WSAData {
    WORD wVersion;
    WORD wHighVersion;
    char szDescription[WSADESCRIPTION_LEN + 1];
    char szSystemStatus[WSASYS_STATUS_LEN + 1];
    unsigned short iMaxSockets;
    unsigned short iMaxUdpDg;
    char* lpVendorInfo;
} WSADATA, *LPWSADATA;

// --------------------------------------------- name-space lookup structures
typedef struct sockaddr SOCKADDR, *PSOCKADDR, *LPSOCKADDR;

typedef struct _SOCKET_ADDRESS {
    LPSOCKADDR lpSockaddr;
    INT iSockaddrLength;
} SOCKET_ADDRESS, *PSOCKET_ADDRESS, *LPSOCKET_ADDRESS;

typedef struct _CSADDR_INFO {
    SOCKET_ADDRESS LocalAddr;
    SOCKET_ADDRESS RemoteAddr;
    INT iSocketType;
    INT iProtocol;
} CSADDR_INFO, *PCSADDR_INFO, *LPCSADDR_INFO;

typedef struct _BLOB {
    ULONG cbSize;
    BYTE* pBlobData;
} BLOB, *LPBLOB;

typedef struct _WSAVersion {
    DWORD dwVersion;
    int ecHow;
} WSAVERSION, *LPWSAVERSION;

typedef struct _AFPROTOCOLS {
    INT iAddressFamily;
    INT iProtocol;
} AFPROTOCOLS, *LPAFPROTOCOLS;

typedef struct _WSAQuerySetW {
    DWORD dwSize;
    LPWSTR lpszServiceInstanceName;
    LPGUID lpServiceClassId;
    LPWSAVERSION lpVersion;
    LPWSTR lpszComment;
    DWORD dwNameSpace;
    LPGUID lpNSProviderId;
    LPWSTR lpszContext;
    DWORD dwNumberOfProtocols;
    LPAFPROTOCOLS lpafpProtocols;
    LPWSTR lpszQueryString;
    DWORD dwNumberOfCsAddrs;
    LPCSADDR_INFO lpcsaBuffer;
    DWORD dwOutputFlags;
    LPBLOB lpBlob;
} WSAQUERYSETW, *PWSAQUERYSETW, *LPWSAQUERYSETW;

typedef enum _WSAESETSERVICEOP {
    RNRSERVICE_REGISTER = 0,
    RNRSERVICE_DEREGISTER = 1,
    RNRSERVICE_DELETE = 2
} WSAESETSERVICEOP;

#define NS_BTH 16
#define AF_BTH 32
#define BTHPROTO_RFCOMM 0x0003
#define BTHPROTO_L2CAP 0x0100

#define LUP_DEEP 0x0001
#define LUP_CONTAINERS 0x0002
#define LUP_NOCONTAINERS 0x0004
#define LUP_RETURN_NAME 0x0010
#define LUP_RETURN_TYPE 0x0020
#define LUP_RETURN_VERSION 0x0040
#define LUP_RETURN_COMMENT 0x0080
#define LUP_RETURN_ADDR 0x0100
#define LUP_RETURN_BLOB 0x0200
#define LUP_RETURN_ALIASES 0x0400
#define LUP_RETURN_QUERY_STRING 0x0800
#define LUP_FLUSHCACHE 0x1000
#define LUP_RES_SERVICE 0x8000
#define LUP_RETURN_ALL 0x0FF0

// ------------------------------------------------------- Bluetooth sockets
typedef ULONG BTH_LAP;

#define BT_PORT_ANY ((ULONG)-1)
#define BTH_MAX_NAME_SIZE 248
#define BLUETOOTH_MAX_NAME_SIZE 248

#pragma pack(push, 1)
typedef struct _SOCKADDR_BTH {
    USHORT addressFamily;
    BTH_ADDR btAddr;
    GUID serviceClassId;
    ULONG port;
} SOCKADDR_BTH, *PSOCKADDR_BTH;
#pragma pack(pop)
static_assert(sizeof(SOCKADDR_BTH) == 30, "SOCKADDR_BTH is 30 bytes on every platform");

typedef struct _BTH_QUERY_DEVICE {
    ULONG LAP;
    UCHAR length;
} BTH_QUERY_DEVICE, *PBTH_QUERY_DEVICE;

// ------------------------------------------------------- Bluetooth radios
typedef HANDLE HBLUETOOTH_RADIO_FIND;

typedef struct _BLUETOOTH_ADDRESS {
    union {
        BTH_ADDR ullLong;
        BYTE rgBytes[6];
    };
} BLUETOOTH_ADDRESS;

typedef struct _BLUETOOTH_FIND_RADIO_PARAMS {
    DWORD dwSize;
} BLUETOOTH_FIND_RADIO_PARAMS;

typedef struct _BLUETOOTH_RADIO_INFO {
    DWORD dwSize;
    BLUETOOTH_ADDRESS address;
    WCHAR szName[BLUETOOTH_MAX_NAME_SIZE];
    ULONG ulClassofDevice;
    USHORT lmpSubversion;
    USHORT manufacturer;
} BLUETOOTH_RADIO_INFO, *PBLUETOOTH_RADIO_INFO;

// ------------------------------------------------------------------- SDP
typedef HANDLE HBLUETOOTH_CONTAINER_ELEMENT;

typedef enum _SDP_TYPE {
    SDP_TYPE_NIL = 0x00,
    SDP_TYPE_UINT = 0x01,
    SDP_TYPE_INT = 0x02,
    SDP_TYPE_UUID = 0x03,
    SDP_TYPE_STRING = 0x04,
    SDP_TYPE_BOOLEAN = 0x05,
    SDP_TYPE_SEQUENCE = 0x06,
    SDP_TYPE_ALTERNATIVE = 0x07,
    SDP_TYPE_URL = 0x08,
    SDP_TYPE_CONTAINER = 0x20
} SDP_TYPE;

typedef enum _SDP_SPECIFICTYPE {
    SDP_ST_NONE = 0x0000,
    SDP_ST_UINT8 = 0x0010,
    SDP_ST_UINT16 = 0x0110,
    SDP_ST_UINT32 = 0x0210,
    SDP_ST_UINT64 = 0x0310,
    SDP_ST_UINT128 = 0x0410,
    SDP_ST_INT8 = 0x0020,
    SDP_ST_INT16 = 0x0120,
    SDP_ST_INT32 = 0x0220,
    SDP_ST_INT64 = 0x0320,
    SDP_ST_INT128 = 0x0420,
    SDP_ST_UUID16 = 0x0130,
    SDP_ST_UUID32 = 0x0220,
    SDP_ST_UUID128 = 0x0430
} SDP_SPECIFICTYPE;

typedef struct _SDP_LARGE_INTEGER_16 {
    ULONGLONG LowPart;
    LONGLONG HighPart;
} SDP_LARGE_INTEGER_16;

typedef struct _SDP_ULARGE_INTEGER_16 {
    ULONGLONG LowPart;
    ULONGLONG HighPart;
} SDP_ULARGE_INTEGER_16;

typedef struct _SDP_ELEMENT_DATA {
    SDP_TYPE type;
    SDP_SPECIFICTYPE specificType;
    union {
        SDP_LARGE_INTEGER_16 int128;
        LONGLONG int64;
        LONG int32;
        SHORT int16;
        CHAR int8;
        SDP_ULARGE_INTEGER_16 uint128;
        ULONGLONG uint64;
        ULONG uint32;
        USHORT uint16;
        UCHAR uint8;
        UCHAR booleanVal;
        GUID uuid128;
        ULONG uuid32;
        USHORT uuid16;
        // For strings, URLs, sequences and alternatives: the bytes of the
        // element. For strings and URLs, value points at the text itself; for
        // sequences and alternatives, at the whole element, header included,
        // so it can be handed straight to BluetoothSdpGetContainerElementData.
        struct {
            LPBYTE value;
            ULONG length;
        } string;
        struct {
            LPBYTE value;
            ULONG length;
        } url;
        struct {
            LPBYTE value;
            ULONG length;
        } sequence;
        struct {
            LPBYTE value;
            ULONG length;
        } alternative;
    } data;
} SDP_ELEMENT_DATA, *PSDP_ELEMENT_DATA;

// Called by BluetoothSdpEnumAttributes for each attribute of a record: its ID
// and its value's whole element (header included). FALSE stops the walk.
typedef BOOL (*PFN_BLUETOOTH_ENUM_ATTRIBUTES_CALLBACK)(ULONG uAttribId, LPBYTE pValueStream,
                                                       ULONG cbStreamSize, LPVOID pvParam);

// ------------------------------------------------------- FormatMessage
#define FORMAT_MESSAGE_ALLOCATE_BUFFER 0x00000100
#define FORMAT_MESSAGE_IGNORE_INSERTS 0x00000200
#define FORMAT_MESSAGE_FROM_STRING 0x00000400
#define FORMAT_MESSAGE_FROM_HMODULE 0x00000800
#define FORMAT_MESSAGE_FROM_SYSTEM 0x00001000
#define FORMAT_MESSAGE_ARGUMENT_ARRAY 0x00002000
#define FORMAT_MESSAGE_MAX_WIDTH_MASK 0x000000FF

// -------------------------------------------------------------- functions
// Every function is implemented by the compat layer (see backend.h for the
// seam behind them). Last-error values are kept per thread, as on Windows.
extern "C" {
int WSAStartup(WORD wVersionRequested, LPWSADATA lpWSAData);
int WSACleanup(void);
int WSAGetLastError(void);
void WSASetLastError(int iError);

INT WSALookupServiceBeginW(LPWSAQUERYSETW lpqsRestrictions, DWORD dwControlFlags,
                           LPHANDLE lphLookup);
INT WSALookupServiceNextW(HANDLE hLookup, DWORD dwControlFlags, LPDWORD lpdwBufferLength,
                          LPWSAQUERYSETW lpqsResults);
INT WSALookupServiceEnd(HANDLE hLookup);
INT WSASetServiceW(LPWSAQUERYSETW lpqsRegInfo, WSAESETSERVICEOP essoperation, DWORD dwControlFlags);

HBLUETOOTH_RADIO_FIND BluetoothFindFirstRadio(const BLUETOOTH_FIND_RADIO_PARAMS* pbtfrp,
                                              HANDLE* phRadio);
BOOL BluetoothFindNextRadio(HBLUETOOTH_RADIO_FIND hFind, HANDLE* phRadio);
BOOL BluetoothFindRadioClose(HBLUETOOTH_RADIO_FIND hFind);
DWORD BluetoothGetRadioInfo(HANDLE hRadio, PBLUETOOTH_RADIO_INFO pRadioInfo);

DWORD BluetoothSdpGetAttributeValue(LPBYTE pRecordStream, ULONG cbRecordLength,
                                    USHORT usAttributeId, PSDP_ELEMENT_DATA pAttributeData);
DWORD BluetoothSdpGetContainerElementData(LPBYTE pContainerStream, ULONG cbContainerLength,
                                          HBLUETOOTH_CONTAINER_ELEMENT* pElement,
                                          PSDP_ELEMENT_DATA pData);
DWORD BluetoothSdpGetElementData(LPBYTE pSdpStream, ULONG cbSdpStreamLength,
                                 PSDP_ELEMENT_DATA pData);
// TRUE when the walk reached the record's end or the callback stopped it;
// FALSE with ERROR_INVALID_PARAMETER for a null stream or callback, and with
// ERROR_INVALID_DATA when the record is damaged: the attributes before the
// damage have then been handed to the callback, in order.
BOOL BluetoothSdpEnumAttributes(LPBYTE pSDPStream, ULONG cbStreamSize,
                                PFN_BLUETOOTH_ENUM_ATTRIBUTES_CALLBACK pfnCallback, LPVOID pvParam);

DWORD GetLastError(void);
void SetLastError(DWORD dwErrCode);
DWORD FormatMessageW(DWORD dwFlags, LPCVOID lpSource, DWORD dwMessageId, DWORD dwLanguageId,
                     LPWSTR lpBuffer, DWORD nSize, va_list* Arguments);
HLOCAL LocalFree(HLOCAL hMem);
// Releases a radio handle from BluetoothFindFirstRadio/BluetoothFindNextRadio,
// which on Windows is the caller's to close. Any other handle: FALSE with
// ERROR_INVALID_HANDLE.
BOOL CloseHandle(HANDLE hObject);
}
