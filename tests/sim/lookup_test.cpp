// The compat layer's name-space lookups, called as the engine calls them:
// argument checks, the packing of each result into the caller's buffer, the
// buffer-too-small protocol and the handle checks.
#include "sim_support.h"

#include <cstdint>
#include <cstring>
#include <vector>

namespace {
using namespace simtest;

constexpr BTH_ADDR kPhone = 0x5CF370128A41;
constexpr BTH_ADDR kRadio = 0x001A7DDA7113;
constexpr DWORD kInquiryNext = LUP_RETURN_NAME | LUP_RETURN_TYPE | LUP_RETURN_ADDR;
constexpr DWORD kServiceNext =
    LUP_RETURN_NAME | LUP_RETURN_TYPE | LUP_RETURN_COMMENT | LUP_RETURN_ADDR | LUP_RETURN_BLOB;

// A copy of a field of a packed structure, so that no reference binds to it.
template <typename T>
T unpacked(T value) {
    return value;
}

WSAQUERYSETW inquirySet() {
    WSAQUERYSETW q{};
    q.dwSize = sizeof q;
    q.dwNameSpace = NS_BTH;
    return q;
}

// A buffer aligned as the engine's is, that tells whether a pointer lies in it.
struct Buffer {
    explicit Buffer(std::size_t size) : words((size + 7) / 8 + 1), size(size) {}
    LPWSAQUERYSETW set() { return reinterpret_cast<LPWSAQUERYSETW>(words.data()); }
    bool holds(const void* p, std::size_t length) const {
        auto begin = reinterpret_cast<std::uintptr_t>(words.data());
        auto at = reinterpret_cast<std::uintptr_t>(p);
        return at >= begin && at + length <= begin + size;
    }
    std::vector<std::uint64_t> words;
    std::size_t size;
};

class LookupTest : public SimTest {
protected:
    HANDLE beginInquiry(DWORD flags = LUP_CONTAINERS | LUP_FLUSHCACHE) {
        WSAQUERYSETW q = inquirySet();
        HANDLE h = nullptr;
        EXPECT_EQ(WSALookupServiceBeginW(&q, flags, &h), 0) << WSAGetLastError();
        return h;
    }
    HANDLE beginSearch(const wchar_t* context, GUID restriction = Corvale::L2CAP_PROTOCOL_UUID) {
        WSAQUERYSETW q = inquirySet();
        q.lpszContext = const_cast<wchar_t*>(context);
        q.lpServiceClassId = &restriction;
        HANDLE h = nullptr;
        EXPECT_EQ(WSALookupServiceBeginW(&q, LUP_FLUSHCACHE, &h), 0) << WSAGetLastError();
        return h;
    }
};

// ------------------------------------------------------------ begin checks

TEST_F(LookupTest, BeginWithoutWinsockIsNotInitialised) {
    baselib::WinsockClear();
    WSAQUERYSETW q = inquirySet();
    HANDLE h = nullptr;
    EXPECT_EQ(WSALookupServiceBeginW(&q, LUP_CONTAINERS, &h), SOCKET_ERROR);
    EXPECT_EQ(WSAGetLastError(), WSANOTINITIALISED);
    EXPECT_TRUE(noHandlesOpen());
}

struct BadBegin {
    const char* what;
    DWORD nameSpace;
    DWORD sizeDelta;  // subtracted from dwSize
    bool nullSet;
    bool nullHandle;
    int expected;
};

class BeginRefusal : public LookupTest, public ::testing::WithParamInterface<BadBegin> {};

TEST_P(BeginRefusal, FailsWithItsCodeAndOpensNothing) {
    const BadBegin& c = GetParam();
    WSAQUERYSETW q = inquirySet();
    q.dwNameSpace = c.nameSpace;
    q.dwSize -= c.sizeDelta;
    HANDLE h = nullptr;
    EXPECT_EQ(WSALookupServiceBeginW(c.nullSet ? nullptr : &q, LUP_CONTAINERS,
                                     c.nullHandle ? nullptr : &h),
              SOCKET_ERROR);
    EXPECT_EQ(WSAGetLastError(), c.expected) << c.what;
    EXPECT_EQ(h, nullptr);
    EXPECT_TRUE(noHandlesOpen());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BeginRefusal,
    ::testing::Values(BadBegin{"other name space", 12, 0, false, false, WSAEINVAL},
                      BadBegin{"all name spaces", 0, 0, false, false, WSAEINVAL},
                      BadBegin{"short dwSize", NS_BTH, 4, false, false, WSAEINVAL},
                      BadBegin{"no query set", NS_BTH, 0, true, false, WSAEFAULT},
                      BadBegin{"no handle", NS_BTH, 0, false, true, WSAEFAULT}));

struct ContextCase {
    const wchar_t* text;
    bool accepted;
};

class ContextText : public LookupTest, public ::testing::WithParamInterface<ContextCase> {};

TEST_P(ContextText, IsParsedStrictly) {
    world().addDevice(device(kPhone, "Phone", 0x5A020C, {record("SPP", 3)}));
    WSAQUERYSETW q = inquirySet();
    q.lpszContext = const_cast<wchar_t*>(GetParam().text);
    GUID l2cap = Corvale::L2CAP_PROTOCOL_UUID;
    q.lpServiceClassId = &l2cap;
    HANDLE h = nullptr;
    const int rc = WSALookupServiceBeginW(&q, LUP_FLUSHCACHE, &h);
    if (GetParam().accepted) {
        ASSERT_EQ(rc, 0) << WSAGetLastError();
        EXPECT_EQ(WSALookupServiceEnd(h), 0);
    } else {
        EXPECT_EQ(rc, SOCKET_ERROR);
        EXPECT_EQ(WSAGetLastError(), WSAEINVAL);
    }
    EXPECT_TRUE(noHandlesOpen());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ContextText,
    ::testing::Values(
        ContextCase{L"5C:F3:70:12:8A:41", true}, ContextCase{L"5c:f3:70:12:8a:41", true},
        ContextCase{L"(5C:F3:70:12:8A:41)", true}, ContextCase{L"", false},
        ContextCase{L"5C:F3:70:12:8A", false}, ContextCase{L"5C:F3:70:12:8A:41:00", false},
        ContextCase{L"5C-F3-70-12-8A-41", false}, ContextCase{L"5C:F3:70:12:8A:4G", false},
        ContextCase{L"5C:F3:70:12:8A:411", false}, ContextCase{L" 5C:F3:70:12:8A:41", false},
        ContextCase{L"(5C:F3:70:12:8A:41", false}, ContextCase{L"5CF370128A41", false}));

TEST_F(LookupTest, ServiceSearchNeedsContextAndClass) {
    world().addDevice(device(kPhone, "Phone"));
    WSAQUERYSETW q = inquirySet();
    HANDLE h = nullptr;
    EXPECT_EQ(WSALookupServiceBeginW(&q, 0, &h), SOCKET_ERROR);  // no context
    EXPECT_EQ(WSAGetLastError(), WSAEINVAL);
    q.lpszContext = const_cast<wchar_t*>(L"5C:F3:70:12:8A:41");
    EXPECT_EQ(WSALookupServiceBeginW(&q, 0, &h), SOCKET_ERROR);  // no class
    EXPECT_EQ(WSAGetLastError(), WSAEINVAL);
    EXPECT_TRUE(noHandlesOpen());
}

TEST_F(LookupTest, SearchOnAnAddressOutOfRangeFindsNoService) {
    WSAQUERYSETW q = inquirySet();
    q.lpszContext = const_cast<wchar_t*>(L"00:00:00:00:00:01");
    GUID l2cap = Corvale::L2CAP_PROTOCOL_UUID;
    q.lpServiceClassId = &l2cap;
    HANDLE h = nullptr;
    EXPECT_EQ(WSALookupServiceBeginW(&q, 0, &h), SOCKET_ERROR);
    EXPECT_EQ(WSAGetLastError(), WSASERVICE_NOT_FOUND);
}

TEST_F(LookupTest, InquiryBlobMustHoldLapAndLength) {
    WSAQUERYSETW q = inquirySet();
    BTH_QUERY_DEVICE query{0, 8};
    BLOB blob{4, reinterpret_cast<BYTE*>(&query)};
    q.lpBlob = &blob;
    HANDLE h = nullptr;
    EXPECT_EQ(WSALookupServiceBeginW(&q, LUP_CONTAINERS, &h), SOCKET_ERROR);
    EXPECT_EQ(WSAGetLastError(), WSAEINVAL);
    blob.pBlobData = nullptr;
    blob.cbSize = 5;
    EXPECT_EQ(WSALookupServiceBeginW(&q, LUP_CONTAINERS, &h), SOCKET_ERROR);
    EXPECT_EQ(WSAGetLastError(), WSAEINVAL);
    blob.pBlobData = reinterpret_cast<BYTE*>(&query);
    ASSERT_EQ(WSALookupServiceBeginW(&q, LUP_CONTAINERS, &h), 0);
    EXPECT_EQ(WSALookupServiceEnd(h), 0);

    const auto begins = world().calls(Api::WSALookupServiceBeginW);
    ASSERT_EQ(begins.size(), 3u);
    EXPECT_TRUE(begins[2].hasBlob);
    EXPECT_EQ(begins[2].blobSize, 5u);
    ASSERT_EQ(begins[2].blob.size(), 5u);
    EXPECT_EQ(begins[2].blob[4], 8);
}

// ----------------------------------------------------------------- packing

TEST_F(LookupTest, DeviceResultIsPackedWholeIntoTheCallersBuffer) {
    world().addDevice(device(kPhone, "Mara's phone", 0x5A020C));
    HANDLE h = beginInquiry();
    Buffer buf(2048);
    DWORD length = 2048;
    ASSERT_EQ(WSALookupServiceNextW(h, kInquiryNext, &length, buf.set()), 0);
    const WSAQUERYSETW& r = *buf.set();
    EXPECT_EQ(r.dwSize, sizeof(WSAQUERYSETW));
    EXPECT_EQ(r.dwNameSpace, static_cast<DWORD>(NS_BTH));

    ASSERT_NE(r.lpszServiceInstanceName, nullptr);
    EXPECT_STREQ(r.lpszServiceInstanceName, L"Mara's phone");
    EXPECT_TRUE(buf.holds(r.lpszServiceInstanceName, (12 + 1) * sizeof(wchar_t)));
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(r.lpszServiceInstanceName) % alignof(wchar_t), 0u);

    ASSERT_NE(r.lpServiceClassId, nullptr);
    EXPECT_TRUE(buf.holds(r.lpServiceClassId, sizeof(GUID)));
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(r.lpServiceClassId) % alignof(GUID), 0u);
    EXPECT_EQ(r.lpServiceClassId->Data1, 0x5A020Cu);

    ASSERT_EQ(r.dwNumberOfCsAddrs, 1u);
    ASSERT_NE(r.lpcsaBuffer, nullptr);
    EXPECT_TRUE(buf.holds(r.lpcsaBuffer, sizeof(CSADDR_INFO)));
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(r.lpcsaBuffer) % alignof(CSADDR_INFO), 0u);
    const CSADDR_INFO& csa = *r.lpcsaBuffer;
    ASSERT_NE(csa.RemoteAddr.lpSockaddr, nullptr);
    ASSERT_NE(csa.LocalAddr.lpSockaddr, nullptr);
    EXPECT_EQ(csa.RemoteAddr.iSockaddrLength, 30);
    EXPECT_TRUE(buf.holds(csa.RemoteAddr.lpSockaddr, 30));
    EXPECT_TRUE(buf.holds(csa.LocalAddr.lpSockaddr, 30));
    SOCKADDR_BTH remote;
    std::memcpy(&remote, csa.RemoteAddr.lpSockaddr, sizeof remote);
    EXPECT_EQ(unpacked(remote.addressFamily), AF_BTH);
    EXPECT_EQ(unpacked(remote.btAddr), kPhone);
    SOCKADDR_BTH local;
    std::memcpy(&local, csa.LocalAddr.lpSockaddr, sizeof local);
    EXPECT_EQ(unpacked(local.addressFamily), AF_BTH);
    // The two socket addresses do not overlap each other or the CSADDR_INFO.
    EXPECT_NE(csa.RemoteAddr.lpSockaddr, csa.LocalAddr.lpSockaddr);
    EXPECT_EQ(r.lpBlob, nullptr);
    EXPECT_EQ(r.lpszComment, nullptr);

    EXPECT_EQ(WSALookupServiceNextW(h, kInquiryNext, &length, buf.set()), SOCKET_ERROR);
    EXPECT_EQ(WSAGetLastError(), WSA_E_NO_MORE);
    EXPECT_EQ(WSALookupServiceEnd(h), 0);
    EXPECT_TRUE(noHandlesOpen());
}

TEST_F(LookupTest, ServiceResultCarriesPortRestrictionAndRawRecord) {
    Record r = record("Serial Port", 7);
    r.comment = "Debug console";
    // Cut short inside a UUID: malformed, so no restriction rules it out.
    r.bytes = std::vector<BYTE>{0x35, 0x05, 0x09, 0x00, 0x01, 0x19, 0x01};
    world().addDevice(device(kPhone, "Phone", 0x5A020C, {r}));
    HANDLE h = beginSearch(L"5C:F3:70:12:8A:41");
    Buffer buf(4096);
    DWORD length = 4096;
    ASSERT_EQ(WSALookupServiceNextW(h, kServiceNext, &length, buf.set()), 0);
    const WSAQUERYSETW& q = *buf.set();
    EXPECT_STREQ(q.lpszServiceInstanceName, L"Serial Port");
    EXPECT_STREQ(q.lpszComment, L"Debug console");
    ASSERT_NE(q.lpBlob, nullptr);
    EXPECT_TRUE(buf.holds(q.lpBlob, sizeof(BLOB)));
    ASSERT_EQ(q.lpBlob->cbSize, 7u);
    EXPECT_TRUE(buf.holds(q.lpBlob->pBlobData, 7));
    EXPECT_EQ(std::vector<BYTE>(q.lpBlob->pBlobData, q.lpBlob->pBlobData + 7), *r.bytes);
    ASSERT_NE(q.lpServiceClassId, nullptr);
    EXPECT_EQ(std::memcmp(q.lpServiceClassId, &Corvale::L2CAP_PROTOCOL_UUID, sizeof(GUID)), 0);
    SOCKADDR_BTH remote;
    ASSERT_NE(q.lpcsaBuffer, nullptr);
    std::memcpy(&remote, q.lpcsaBuffer->RemoteAddr.lpSockaddr, sizeof remote);
    EXPECT_EQ(unpacked(remote.port), 7u);
    EXPECT_EQ(unpacked(remote.btAddr), kPhone);
    EXPECT_EQ(WSALookupServiceEnd(h), 0);
}

// Which parts a result carries for each LUP_RETURN_* flag.
struct FlagCase {
    DWORD flags;
    bool name, comment, address, type, blob;
};

class ReturnFlags : public LookupTest, public ::testing::WithParamInterface<FlagCase> {};

TEST_P(ReturnFlags, OnlyTheAskedPartsAreReturned) {
    const FlagCase& c = GetParam();
    Record r = record("Name", 3, {0x35, 0x03, 0x19, 0x01, 0x00});  // (L2CAP)
    r.comment = "Comment";
    world().addDevice(device(kPhone, "Phone", 0x5A020C, {r}));
    HANDLE h = beginSearch(L"5C:F3:70:12:8A:41");
    Buffer buf(4096);
    DWORD length = 4096;
    ASSERT_EQ(WSALookupServiceNextW(h, c.flags, &length, buf.set()), 0);
    const WSAQUERYSETW& q = *buf.set();
    EXPECT_EQ(q.lpszServiceInstanceName != nullptr, c.name);
    EXPECT_EQ(q.lpszComment != nullptr, c.comment);
    EXPECT_EQ(q.lpcsaBuffer != nullptr, c.address);
    EXPECT_EQ(q.dwNumberOfCsAddrs, c.address ? 1u : 0u);
    EXPECT_EQ(q.lpServiceClassId != nullptr, c.type);
    EXPECT_EQ(q.lpBlob != nullptr, c.blob);
    EXPECT_EQ(WSALookupServiceEnd(h), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ReturnFlags,
    ::testing::Values(FlagCase{0, false, false, false, false, false},
                      FlagCase{LUP_RETURN_NAME, true, false, false, false, false},
                      FlagCase{LUP_RETURN_COMMENT, false, true, false, false, false},
                      FlagCase{LUP_RETURN_ADDR, false, false, true, false, false},
                      FlagCase{LUP_RETURN_TYPE, false, false, false, true, false},
                      FlagCase{LUP_RETURN_BLOB, false, false, false, false, true},
                      FlagCase{kServiceNext, true, true, true, true, true},
                      FlagCase{LUP_RETURN_ALL, true, true, true, true, true}));

TEST_F(LookupTest, MissingPartsStayNullEvenWhenAskedFor) {
    Device d;
    d.address = std::nullopt;  // no address, no name, no class
    world().addDevice(d);
    world().addDevice(device(kPhone, "Phone"));
    HANDLE h = beginInquiry();
    Buffer buf(2048);
    DWORD length = 2048;
    ASSERT_EQ(WSALookupServiceNextW(h, LUP_RETURN_ALL, &length, buf.set()), 0);
    EXPECT_EQ(buf.set()->lpszServiceInstanceName, nullptr);
    EXPECT_EQ(buf.set()->lpcsaBuffer, nullptr);
    EXPECT_EQ(buf.set()->dwNumberOfCsAddrs, 0u);
    EXPECT_EQ(buf.set()->lpServiceClassId, nullptr);
    EXPECT_EQ(WSALookupServiceEnd(h), 0);
}

TEST_F(LookupTest, TooSmallBufferReportsSizeAndKeepsTheResult) {
    world().addDevice(device(kPhone, std::string(600, 'n')));
    world().addDevice(device(kRadio, "second"));
    HANDLE h = beginInquiry();
    Buffer buf(8192);

    // Asking with no buffer at all gives the size, as does a short one.
    DWORD length = 0;
    EXPECT_EQ(WSALookupServiceNextW(h, kInquiryNext, &length, nullptr), SOCKET_ERROR);
    EXPECT_EQ(WSAGetLastError(), WSAEFAULT);
    const DWORD needed = length;
    EXPECT_GT(needed, 600 * sizeof(wchar_t));
    EXPECT_LT(needed, 8192u);

    length = needed - 1;
    EXPECT_EQ(WSALookupServiceNextW(h, kInquiryNext, &length, buf.set()), SOCKET_ERROR);
    EXPECT_EQ(WSAGetLastError(), WSAEFAULT);
    EXPECT_EQ(length, needed);

    // Exactly the size needed is enough, and it is the same first result.
    length = needed;
    ASSERT_EQ(WSALookupServiceNextW(h, kInquiryNext, &length, buf.set()), 0);
    EXPECT_EQ(std::wstring(buf.set()->lpszServiceInstanceName), std::wstring(600, L'n'));
    EXPECT_TRUE(buf.holds(buf.set()->lpszServiceInstanceName, 601 * sizeof(wchar_t)));

    length = 8192;
    ASSERT_EQ(WSALookupServiceNextW(h, kInquiryNext, &length, buf.set()), 0);
    EXPECT_STREQ(buf.set()->lpszServiceInstanceName, L"second");
    EXPECT_EQ(WSALookupServiceNextW(h, kInquiryNext, &length, buf.set()), SOCKET_ERROR);
    EXPECT_EQ(WSAGetLastError(), WSA_E_NO_MORE);
    EXPECT_EQ(WSALookupServiceEnd(h), 0);
}

TEST_F(LookupTest, EndOfResultsStaysTheEnd) {
    world().addDevice(device(kPhone, "Phone"));
    HANDLE h = beginInquiry();
    Buffer buf(2048);
    DWORD length = 2048;
    ASSERT_EQ(WSALookupServiceNextW(h, kInquiryNext, &length, buf.set()), 0);
    for (int i = 0; i < 3; ++i) {
        length = 2048;
        EXPECT_EQ(WSALookupServiceNextW(h, kInquiryNext, &length, buf.set()), SOCKET_ERROR);
        EXPECT_EQ(WSAGetLastError(), WSA_E_NO_MORE);
    }
    EXPECT_EQ(WSALookupServiceEnd(h), 0);
}

TEST_F(LookupTest, NullLengthIsAFault) {
    world().addDevice(device(kPhone, "Phone"));
    HANDLE h = beginInquiry();
    Buffer buf(2048);
    EXPECT_EQ(WSALookupServiceNextW(h, kInquiryNext, nullptr, buf.set()), SOCKET_ERROR);
    EXPECT_EQ(WSAGetLastError(), WSAEFAULT);
    // The result was not taken.
    DWORD length = 2048;
    EXPECT_EQ(WSALookupServiceNextW(h, kInquiryNext, &length, buf.set()), 0);
    EXPECT_EQ(WSALookupServiceEnd(h), 0);
}

// ----------------------------------------------------------------- handles

TEST_F(LookupTest, StaleForeignAndNullHandlesAreRefused) {
    world().addDevice(device(kPhone, "Phone"));
    world().addRadio(radio(kRadio, "Radio"));
    HANDLE live = beginInquiry();
    HANDLE stale = beginInquiry();
    ASSERT_EQ(WSALookupServiceEnd(stale), 0);

    BLUETOOTH_FIND_RADIO_PARAMS params{sizeof params};
    HANDLE radioHandle = nullptr;
    HBLUETOOTH_RADIO_FIND find = BluetoothFindFirstRadio(&params, &radioHandle);
    ASSERT_NE(find, nullptr);

    int local = 0;
    const HANDLE bad[] = {stale,  nullptr,
                          find,   radioHandle,
                          &local, reinterpret_cast<HANDLE>(static_cast<std::uintptr_t>(1))};
    Buffer buf(2048);
    for (HANDLE h : bad) {
        DWORD length = 2048;
        EXPECT_EQ(WSALookupServiceNextW(h, kInquiryNext, &length, buf.set()), SOCKET_ERROR);
        EXPECT_EQ(WSAGetLastError(), ERROR_INVALID_HANDLE);
        EXPECT_EQ(WSALookupServiceEnd(h), SOCKET_ERROR);
        EXPECT_EQ(WSAGetLastError(), ERROR_INVALID_HANDLE);
    }
    // The live lookup was not disturbed by any of it.
    DWORD length = 2048;
    EXPECT_EQ(WSALookupServiceNextW(live, kInquiryNext, &length, buf.set()), 0);
    EXPECT_EQ(WSALookupServiceEnd(live), 0);
    EXPECT_EQ(WSALookupServiceEnd(live), SOCKET_ERROR);
    EXPECT_TRUE(CloseHandle(radioHandle));
    EXPECT_TRUE(BluetoothFindRadioClose(find));
    EXPECT_TRUE(noHandlesOpen());
}

TEST_F(LookupTest, ResultsOfTwoLookupsDoNotMix) {
    world().addDevice(device(kPhone, "Phone", 0x5A020C, {record("A", 1), record("B", 2)}));
    HANDLE inquiry = beginInquiry();
    HANDLE search = beginSearch(L"5C:F3:70:12:8A:41");
    Buffer buf(4096);
    DWORD length = 4096;
    ASSERT_EQ(WSALookupServiceNextW(search, kServiceNext, &length, buf.set()), 0);
    EXPECT_STREQ(buf.set()->lpszServiceInstanceName, L"A");
    length = 4096;
    ASSERT_EQ(WSALookupServiceNextW(inquiry, kInquiryNext, &length, buf.set()), 0);
    EXPECT_STREQ(buf.set()->lpszServiceInstanceName, L"Phone");
    length = 4096;
    ASSERT_EQ(WSALookupServiceNextW(search, kServiceNext, &length, buf.set()), 0);
    EXPECT_STREQ(buf.set()->lpszServiceInstanceName, L"B");
    EXPECT_EQ(world().openHandles().lookups, 2u);
    EXPECT_EQ(WSALookupServiceEnd(inquiry), 0);
    EXPECT_EQ(WSALookupServiceEnd(search), 0);
    EXPECT_TRUE(noHandlesOpen());
}

// ------------------------------------------------------ the search's filter

TEST_F(LookupTest, RecordsWithoutTheRestrictionUuidAreLeftOut) {
    // A well-formed record with only Device Identification in it, and one
    // with L2CAP in its protocol list.
    const std::vector<BYTE> withoutL2cap = {0x35, 0x08, 0x09, 0x00, 0x01,
                                            0x35, 0x03, 0x19, 0x12, 0x00};
    const std::vector<BYTE> withL2cap = {0x35, 0x10, 0x09, 0x00, 0x01, 0x35, 0x03, 0x19, 0x11,
                                         0x01, 0x09, 0x00, 0x04, 0x35, 0x03, 0x19, 0x01, 0x00};
    world().addDevice(device(kPhone, "Phone", 0x5A020C,
                             {record("DI", 0, withoutL2cap), record("SPP", 3, withL2cap)}));
    HANDLE h = beginSearch(L"5C:F3:70:12:8A:41");
    Buffer buf(4096);
    DWORD length = 4096;
    ASSERT_EQ(WSALookupServiceNextW(h, kServiceNext, &length, buf.set()), 0);
    EXPECT_STREQ(buf.set()->lpszServiceInstanceName, L"SPP");
    length = 4096;
    EXPECT_EQ(WSALookupServiceNextW(h, kServiceNext, &length, buf.set()), SOCKET_ERROR);
    EXPECT_EQ(WSAGetLastError(), WSA_E_NO_MORE);
    EXPECT_EQ(WSALookupServiceEnd(h), 0);
}

// ---------------------------------------------------------------- the world

TEST_F(LookupTest, FaultsStrikeTheirNthUseOnly) {
    world().addDevice(device(kPhone, "Phone"));
    world().failCall(Api::WSALookupServiceBeginW, 2, WSAENETDOWN);
    HANDLE h = beginInquiry();
    WSAQUERYSETW q = inquirySet();
    HANDLE h2 = nullptr;
    EXPECT_EQ(WSALookupServiceBeginW(&q, LUP_CONTAINERS, &h2), SOCKET_ERROR);
    EXPECT_EQ(WSAGetLastError(), WSAENETDOWN);
    HANDLE h3 = beginInquiry();
    EXPECT_EQ(world().count(Api::WSALookupServiceBeginW), 3u);
    const auto begins = world().calls(Api::WSALookupServiceBeginW);
    ASSERT_EQ(begins.size(), 3u);
    EXPECT_EQ(begins[0].injected, 0u);
    EXPECT_EQ(begins[1].injected, static_cast<DWORD>(WSAENETDOWN));
    EXPECT_EQ(begins[2].injected, 0u);
    EXPECT_EQ(WSALookupServiceEnd(h), 0);
    EXPECT_EQ(WSALookupServiceEnd(h3), 0);

    world().failFrom(Api::WSALookupServiceEnd, 3, WSAEINVAL);
    HANDLE h4 = beginInquiry();
    EXPECT_EQ(WSALookupServiceEnd(h4), SOCKET_ERROR);
    EXPECT_EQ(world().openHandles().lookups, 1u);  // a failed End leaves it open
    EXPECT_EQ(WSALookupServiceEnd(h4), SOCKET_ERROR);
    world().clearFaults();
    EXPECT_EQ(WSALookupServiceEnd(h4), 0);
    EXPECT_TRUE(noHandlesOpen());
}

TEST_F(LookupTest, ResetDropsLeftoverHandles) {
    world().addDevice(device(kPhone, "Phone"));
    HANDLE h = beginInquiry();
    EXPECT_EQ(world().openQueries(), 1u);
    world().reset();
    EXPECT_TRUE(noHandlesOpen());
    DWORD length = 2048;
    Buffer buf(2048);
    EXPECT_EQ(WSALookupServiceNextW(h, kInquiryNext, &length, buf.set()), SOCKET_ERROR);
    EXPECT_EQ(WSAGetLastError(), ERROR_INVALID_HANDLE);
}

TEST_F(LookupTest, StartupVersionAndFailureComeFromTheWorld) {
    baselib::WinsockClear();
    world().setWinsockVersion(MAKEWORD(1, 1));
    WSADATA data{};
    ASSERT_EQ(WSAStartup(MAKEWORD(2, 0), &data), 0);
    EXPECT_EQ(data.wVersion, MAKEWORD(1, 1));
    EXPECT_EQ(WSACleanup(), 0);

    world().setWinsockVersion(MAKEWORD(2, 2));
    ASSERT_EQ(WSAStartup(MAKEWORD(2, 0), &data), 0);
    EXPECT_EQ(data.wVersion, MAKEWORD(2, 0));
    EXPECT_EQ(WSACleanup(), 0);

    world().failCall(Api::WSAStartup, world().count(Api::WSAStartup) + 1, WSASYSNOTREADY);
    EXPECT_EQ(WSAStartup(MAKEWORD(2, 0), &data), WSASYSNOTREADY);
    EXPECT_FALSE(baselib::isWinsockInitied());
}

// ----------------------------------------------------------- registration

WSAQUERYSETW registration(SOCKADDR_BTH& address, CSADDR_INFO& csa, GUID& uuid,
                          const wchar_t* name) {
    csa = CSADDR_INFO{};
    csa.LocalAddr.lpSockaddr = reinterpret_cast<LPSOCKADDR>(&address);
    csa.LocalAddr.iSockaddrLength = sizeof address;
    csa.RemoteAddr = csa.LocalAddr;
    csa.iSocketType = SOCK_STREAM;
    csa.iProtocol = BTHPROTO_RFCOMM;
    WSAQUERYSETW q = inquirySet();
    q.lpszServiceInstanceName = const_cast<wchar_t*>(name);
    q.lpServiceClassId = &uuid;
    q.dwNumberOfCsAddrs = 1;
    q.lpcsaBuffer = &csa;
    return q;
}

TEST_F(LookupTest, SetServiceValidatesItsQuerySet) {
    world().addRadio(radio(kRadio, "Radio"));
    SOCKADDR_BTH address{AF_BTH, kRadio, {}, 5};
    CSADDR_INFO csa;
    GUID uuid = Corvale::BTUUID(0x1101u).guid();
    WSAQUERYSETW q = registration(address, csa, uuid, L"Serial");

    EXPECT_EQ(WSASetServiceW(nullptr, RNRSERVICE_REGISTER, 0), SOCKET_ERROR);
    EXPECT_EQ(WSAGetLastError(), WSAEFAULT);
    WSAQUERYSETW bad = q;
    bad.lpcsaBuffer = nullptr;
    EXPECT_EQ(WSASetServiceW(&bad, RNRSERVICE_REGISTER, 0), SOCKET_ERROR);
    EXPECT_EQ(WSAGetLastError(), WSAEINVAL);
    bad = q;
    bad.lpServiceClassId = nullptr;
    EXPECT_EQ(WSASetServiceW(&bad, RNRSERVICE_REGISTER, 0), SOCKET_ERROR);
    EXPECT_EQ(WSAGetLastError(), WSAEINVAL);
    EXPECT_EQ(WSASetServiceW(&q, static_cast<WSAESETSERVICEOP>(7), 0), SOCKET_ERROR);
    EXPECT_EQ(WSAGetLastError(), WSAEINVAL);
    SOCKADDR_BTH elsewhere{AF_BTH, 0x112233445566, {}, 5};
    WSAQUERYSETW other = registration(elsewhere, csa, uuid, L"Serial");
    EXPECT_EQ(WSASetServiceW(&other, RNRSERVICE_REGISTER, 0), SOCKET_ERROR);
    EXPECT_EQ(WSAGetLastError(), WSAEADDRNOTAVAIL);
    EXPECT_TRUE(world().radios()[0].records.empty());

    q = registration(address, csa, uuid, L"Serial");
    EXPECT_EQ(WSASetServiceW(&q, RNRSERVICE_DELETE, 0), SOCKET_ERROR);  // never registered
    EXPECT_EQ(WSAGetLastError(), WSASERVICE_NOT_FOUND);
    ASSERT_EQ(WSASetServiceW(&q, RNRSERVICE_REGISTER, 0), 0);
    ASSERT_EQ(world().radios()[0].records.size(), 1u);
    EXPECT_EQ(world().radios()[0].records[0].port, 5u);
    ASSERT_EQ(WSASetServiceW(&q, RNRSERVICE_REGISTER, 0), 0);  // again: replaces
    EXPECT_EQ(world().radios()[0].records.size(), 1u);
    ASSERT_EQ(WSASetServiceW(&q, RNRSERVICE_DELETE, 0), 0);
    EXPECT_TRUE(world().radios()[0].records.empty());
}

}  // namespace
