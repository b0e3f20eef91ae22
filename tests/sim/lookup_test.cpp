// The compat layer's name-space lookups and radio enumeration, called as the
// engine calls them: argument checks, the packing of each result into the
// caller's buffer, the buffer-too-small protocol and the handle checks.
#include "sim_support.h"

#include <cstdint>
#include <cstring>
#include <cwchar>

namespace {
using namespace simtest;

constexpr DWORD kInquiryNext = LUP_RETURN_NAME | LUP_RETURN_TYPE | LUP_RETURN_ADDR;
constexpr DWORD kServiceNext = kInquiryNext | LUP_RETURN_COMMENT | LUP_RETURN_BLOB;
GUID l2cap = Corvale::L2CAP_PROTOCOL_UUID;

// A buffer aligned as the engine's is, that tells whether a range lies in it.
struct Buffer {
    explicit Buffer(std::size_t size) : words(size / 8 + 1), size(size) {}
    LPWSAQUERYSETW set() { return reinterpret_cast<LPWSAQUERYSETW>(words.data()); }
    bool holds(const void* p, std::size_t length) const {
        const auto begin = reinterpret_cast<std::uintptr_t>(words.data());
        const auto at = reinterpret_cast<std::uintptr_t>(p);
        return at >= begin && at + length <= begin + size;
    }
    // Fetches into the whole buffer; returns 0 or the error code.
    int next(HANDLE h, DWORD flags) {
        DWORD length = static_cast<DWORD>(size);
        return WSALookupServiceNextW(h, flags, &length, set()) == 0 ? 0 : WSAGetLastError();
    }
    std::vector<std::uint64_t> words;
    std::size_t size;
};

// A search of the device with this address text, else an inquiry.
WSAQUERYSETW querySet(const wchar_t* context = nullptr) {
    WSAQUERYSETW q{};
    q.dwSize = sizeof q;
    q.dwNameSpace = NS_BTH;
    if (context != nullptr) {
        q.lpszContext = const_cast<wchar_t*>(context);
        q.lpServiceClassId = &l2cap;
    }
    return q;
}

HANDLE beginLookup(const wchar_t* context = nullptr) {
    WSAQUERYSETW q = querySet(context);
    HANDLE h = nullptr;
    EXPECT_EQ(WSALookupServiceBeginW(&q, context ? LUP_FLUSHCACHE : LUP_CONTAINERS, &h), 0);
    return h;
}

// Begins and ends at once; returns 0 or the error code of the begin.
int beginCode(WSAQUERYSETW* q, bool withHandle = true) {
    HANDLE h = nullptr;
    const DWORD flags = q && q->lpszContext ? 0 : LUP_CONTAINERS;
    if (WSALookupServiceBeginW(q, flags, withHandle ? &h : nullptr) != 0) return WSAGetLastError();
    EXPECT_EQ(WSALookupServiceEnd(h), 0);
    return 0;
}

TEST_F(SimTest, BeginRefusesWhatItCannotServeAndOpensNothing) {
    world().addDevice(device(kPhone, "Phone"));
    auto search = [](const wchar_t* text) {
        WSAQUERYSETW q = querySet(text);
        return beginCode(&q);
    };
    // The address text in either case, or in parentheses as Windows writes it.
    for (auto text : {L"5c:f3:70:12:8a:41", L"(5C:F3:70:12:8A:41)"}) EXPECT_EQ(search(text), 0);
    for (auto text : {L"", L"5C-F3-70-12-8A-41", L"5C:F3:70:12:8A:41:00", L"5C:F3:70:12:8A:4G",
                      L"(5C:F3:70:12:8A:41"})
        EXPECT_EQ(search(text), WSAEINVAL) << text;
    EXPECT_EQ(search(L"00:00:00:00:00:01"), WSASERVICE_NOT_FOUND);  // nothing in range there
    WSAQUERYSETW q = querySet(L"5C:F3:70:12:8A:41");
    q.lpServiceClassId = nullptr;
    EXPECT_EQ(beginCode(&q), WSAEINVAL);
    q = querySet();
    q.dwNameSpace = 12;
    EXPECT_EQ(beginCode(&q), WSAEINVAL);
    EXPECT_EQ(beginCode(nullptr), WSAEFAULT);
    EXPECT_EQ(beginCode(&q, false), WSAEFAULT);
    baselib::WinsockClear();
    q = querySet();
    EXPECT_EQ(beginCode(&q), WSANOTINITIALISED);
    EXPECT_TRUE(noHandlesOpen());
}

TEST_F(SimTest, ResultIsPackedWholeIntoABufferOfTheSizeItReported) {
    world().addDevice(device(kPhone, std::string(600, 'n'), 0x5A020C));
    world().addDevice(Device{.address = kA});  // no name, no class
    HANDLE h = beginLookup();
    Buffer buf(8192);
    DWORD length = 0;
    EXPECT_EQ(WSALookupServiceNextW(h, kInquiryNext, &length, nullptr), SOCKET_ERROR);
    EXPECT_EQ(WSAGetLastError(), WSAEFAULT);
    const DWORD needed = length;
    length = needed - 1;
    EXPECT_EQ(WSALookupServiceNextW(h, kInquiryNext, &length, buf.set()), SOCKET_ERROR);
    EXPECT_EQ(WSAGetLastError(), WSAEFAULT);
    EXPECT_EQ(length, needed);
    EXPECT_EQ(WSALookupServiceNextW(h, kInquiryNext, nullptr, buf.set()), SOCKET_ERROR);
    EXPECT_EQ(WSAGetLastError(), WSAEFAULT);
    // Exactly the size needed is enough, and it is still the first result.
    length = needed;
    ASSERT_EQ(WSALookupServiceNextW(h, kInquiryNext, &length, buf.set()), 0);
    const WSAQUERYSETW& r = *buf.set();
    EXPECT_EQ(std::wstring(r.lpszServiceInstanceName), std::wstring(600, L'n'));
    EXPECT_TRUE(buf.holds(r.lpszServiceInstanceName, 601 * sizeof(wchar_t)));
    ASSERT_TRUE(buf.holds(r.lpServiceClassId, sizeof(GUID)));  // the class word is Data1
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(r.lpServiceClassId) % alignof(GUID), 0u);
    EXPECT_EQ(r.lpServiceClassId->Data1, 0x5A020Cu);
    ASSERT_EQ(r.dwNumberOfCsAddrs, 1u);
    ASSERT_TRUE(buf.holds(r.lpcsaBuffer, sizeof(CSADDR_INFO)));
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(r.lpcsaBuffer) % alignof(CSADDR_INFO), 0u);
    const auto* remote = reinterpret_cast<const char*>(r.lpcsaBuffer->RemoteAddr.lpSockaddr);
    const auto* local = reinterpret_cast<const char*>(r.lpcsaBuffer->LocalAddr.lpSockaddr);
    EXPECT_TRUE(buf.holds(remote, 30) && buf.holds(local, 30));
    EXPECT_TRUE(remote >= local + 30 || local >= remote + 30);  // no overlap
    SOCKADDR_BTH address;
    std::memcpy(&address, remote, sizeof address);
    EXPECT_EQ(+address.addressFamily, AF_BTH);
    EXPECT_EQ(+address.btAddr, kPhone);
    // What a result lacks stays null even when it is asked for.
    ASSERT_EQ(buf.next(h, LUP_RETURN_ALL), 0);
    EXPECT_EQ(buf.set()->lpszServiceInstanceName, nullptr);
    EXPECT_EQ(buf.set()->lpServiceClassId, nullptr);
    ASSERT_NE(buf.set()->lpcsaBuffer, nullptr);
    for (int i = 0; i < 2; ++i) EXPECT_EQ(buf.next(h, kInquiryNext), WSA_E_NO_MORE);
    EXPECT_EQ(WSALookupServiceEnd(h), 0);
}

// Every combination of the return flags gives exactly the parts asked for.
TEST_F(SimTest, ServiceResultCarriesWhatIsAskedForAndNothingElse) {
    const std::vector<BYTE> bytes = Bt::Sdp::sequence({Bt::Sdp::uuid16(0x0100)});
    const Record r{.name = "Serial Port", .comment = "Debug console", .port = 7, .bytes = bytes};
    world().addDevice(device(kPhone, "Phone", 0x5A020C, {r}));
    for (DWORD flags = 0; flags <= kServiceNext; ++flags) {
        if ((flags & ~kServiceNext) != 0) continue;
        HANDLE h = beginLookup(L"5C:F3:70:12:8A:41");
        Buffer buf(4096);
        ASSERT_EQ(buf.next(h, flags), 0);
        const WSAQUERYSETW& q = *buf.set();
        EXPECT_EQ((q.lpszServiceInstanceName ? LUP_RETURN_NAME : 0) |
                      (q.lpszComment ? LUP_RETURN_COMMENT : 0) |
                      (q.lpcsaBuffer ? LUP_RETURN_ADDR : 0) |
                      (q.lpServiceClassId ? LUP_RETURN_TYPE : 0) | (q.lpBlob ? LUP_RETURN_BLOB : 0),
                  flags);
        EXPECT_TRUE(!q.lpBlob || (q.lpBlob->cbSize == 5 && buf.holds(q.lpBlob->pBlobData, 5) &&
                                  std::memcmp(q.lpBlob->pBlobData, bytes.data(), 5) == 0));
        EXPECT_EQ(WSALookupServiceEnd(h), 0);
    }
}

// Radio handles are the caller's to close and outlive their enumeration; a
// stale or foreign handle of any kind is refused, not followed.
TEST_F(SimTest, HandlesAreCheckedAndLookupsDoNotMix) {
    world().addDevice(device(kPhone, "Phone", 0x5A020C, {record("A", 1), record("B", 2)}));
    world().addRadio(radio(kR1, std::string(300, 'r')));
    HANDLE inquiry = beginLookup(), search = beginLookup(L"5C:F3:70:12:8A:41");
    HANDLE stale = beginLookup();
    ASSERT_EQ(WSALookupServiceEnd(stale), 0);
    BLUETOOTH_FIND_RADIO_PARAMS params{sizeof params};
    HANDLE radioHandle = nullptr, next = nullptr;
    HBLUETOOTH_RADIO_FIND find = BluetoothFindFirstRadio(&params, &radioHandle);
    ASSERT_NE(find, nullptr);
    int local = 0;
    Buffer buf(4096);
    BLUETOOTH_RADIO_INFO info{};
    info.dwSize = sizeof info;
    for (HANDLE h : {stale, HANDLE{}, HANDLE(find), radioHandle, HANDLE(&local), HANDLE(1)}) {
        EXPECT_EQ(buf.next(h, kInquiryNext), ERROR_INVALID_HANDLE);
        EXPECT_EQ(WSALookupServiceEnd(h), SOCKET_ERROR);
        EXPECT_EQ(WSAGetLastError(), ERROR_INVALID_HANDLE);
        if (h == find || h == radioHandle) continue;
        EXPECT_FALSE(BluetoothFindNextRadio(h, &next));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
        EXPECT_FALSE(BluetoothFindRadioClose(h));
        EXPECT_EQ(BluetoothGetRadioInfo(h, &info), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    }
    // Two live lookups each go on where they were.
    const std::pair<HANDLE, const wchar_t*> order[] = {
        {search, L"A"}, {inquiry, L"Phone"}, {search, L"B"}};
    for (const auto& [h, name] : order) {
        ASSERT_EQ(buf.next(h, kServiceNext), 0);
        EXPECT_STREQ(buf.set()->lpszServiceInstanceName, name);
    }
    EXPECT_EQ(WSALookupServiceEnd(inquiry), 0);
    EXPECT_EQ(WSALookupServiceEnd(search), 0);
    EXPECT_TRUE(BluetoothFindRadioClose(find));
    EXPECT_FALSE(BluetoothFindRadioClose(find));

    std::wmemset(info.szName, L'x', BLUETOOTH_MAX_NAME_SIZE);
    ASSERT_EQ(BluetoothGetRadioInfo(radioHandle, &info), static_cast<DWORD>(ERROR_SUCCESS));
    EXPECT_EQ(info.address.ullLong, kR1);
    EXPECT_EQ(std::wstring(info.szName), std::wstring(247, L'r'));  // and its terminating zero
    EXPECT_TRUE(CloseHandle(radioHandle));
    EXPECT_FALSE(CloseHandle(radioHandle));
    EXPECT_EQ(BluetoothGetRadioInfo(radioHandle, &info), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_TRUE(noHandlesOpen());
}

}  // namespace
