// The compat layer's radio enumeration: snapshots, handle ownership (each
// radio handle is the caller's to close), and the checks of BluetoothGetRadioInfo.
#include "sim_support.h"

#include <cwchar>

namespace {
using namespace simtest;

constexpr BTH_ADDR kFirst = 0x001A7DDA7113, kSecond = 0x001BDC0F3EA9;

class RadioTest : public SimTest {};

TEST_F(RadioTest, NoRadioIsNoMoreItems) {
    BLUETOOTH_FIND_RADIO_PARAMS params{sizeof params};
    HANDLE radioHandle = reinterpret_cast<HANDLE>(0x1);
    EXPECT_EQ(BluetoothFindFirstRadio(&params, &radioHandle), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_MORE_ITEMS));
    EXPECT_TRUE(noHandlesOpen());
}

TEST_F(RadioTest, FindParametersAreChecked) {
    world().addRadio(radio(kFirst, "One"));
    BLUETOOTH_FIND_RADIO_PARAMS params{sizeof params + 1};
    HANDLE radioHandle = nullptr;
    EXPECT_EQ(BluetoothFindFirstRadio(&params, &radioHandle), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(BluetoothFindFirstRadio(nullptr, &radioHandle), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    params.dwSize = sizeof params;
    EXPECT_EQ(BluetoothFindFirstRadio(&params, nullptr), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_TRUE(noHandlesOpen());
}

TEST_F(RadioTest, EnumerationWalksTheRadiosAndHandlesStayTheCallers) {
    world().addRadio(radio(kFirst, "One", 0x1C0104));
    world().addRadio(radio(kSecond, "Two", 0x020104));
    BLUETOOTH_FIND_RADIO_PARAMS params{sizeof params};
    HANDLE first = nullptr, second = nullptr, none = nullptr;
    HBLUETOOTH_RADIO_FIND find = BluetoothFindFirstRadio(&params, &first);
    ASSERT_NE(find, nullptr);
    ASSERT_TRUE(BluetoothFindNextRadio(find, &second));
    EXPECT_FALSE(BluetoothFindNextRadio(find, &none));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_MORE_ITEMS));
    EXPECT_EQ(none, nullptr);
    ASSERT_TRUE(BluetoothFindRadioClose(find));

    // Both radio handles outlive the enumeration until they are closed.
    EXPECT_EQ(world().openHandles().radios, 2u);
    BLUETOOTH_RADIO_INFO info{};
    info.dwSize = sizeof info;
    ASSERT_EQ(BluetoothGetRadioInfo(first, &info), static_cast<DWORD>(ERROR_SUCCESS));
    EXPECT_EQ(info.address.ullLong, kFirst);
    EXPECT_STREQ(info.szName, L"One");
    EXPECT_EQ(info.ulClassofDevice, 0x1C0104u);
    ASSERT_EQ(BluetoothGetRadioInfo(second, &info), static_cast<DWORD>(ERROR_SUCCESS));
    EXPECT_EQ(info.address.ullLong, kSecond);
    EXPECT_STREQ(info.szName, L"Two");

    EXPECT_TRUE(CloseHandle(first));
    EXPECT_FALSE(CloseHandle(first));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_EQ(BluetoothGetRadioInfo(first, &info), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_TRUE(CloseHandle(second));
    EXPECT_TRUE(noHandlesOpen());
}

TEST_F(RadioTest, StaleAndForeignFindHandlesAreRefused) {
    world().addRadio(radio(kFirst, "One"));
    BLUETOOTH_FIND_RADIO_PARAMS params{sizeof params};
    HANDLE radioHandle = nullptr;
    HBLUETOOTH_RADIO_FIND find = BluetoothFindFirstRadio(&params, &radioHandle);
    ASSERT_NE(find, nullptr);
    ASSERT_TRUE(BluetoothFindRadioClose(find));
    int local = 0;
    for (HANDLE h : {static_cast<HANDLE>(find), static_cast<HANDLE>(nullptr), radioHandle,
                     static_cast<HANDLE>(&local)}) {
        HANDLE next = nullptr;
        EXPECT_FALSE(BluetoothFindNextRadio(h, &next));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
        EXPECT_FALSE(BluetoothFindRadioClose(h));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    }
    BLUETOOTH_RADIO_INFO info{};
    info.dwSize = sizeof info;
    EXPECT_EQ(BluetoothGetRadioInfo(find, &info), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_EQ(BluetoothGetRadioInfo(nullptr, &info), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_TRUE(CloseHandle(radioHandle));
    EXPECT_TRUE(noHandlesOpen());
}

TEST_F(RadioTest, RadioInfoChecksItsSizeAndCutsTheName) {
    world().addRadio(radio(kFirst, std::string(300, 'r')));
    BLUETOOTH_FIND_RADIO_PARAMS params{sizeof params};
    HANDLE radioHandle = nullptr;
    HBLUETOOTH_RADIO_FIND find = BluetoothFindFirstRadio(&params, &radioHandle);
    ASSERT_NE(find, nullptr);

    BLUETOOTH_RADIO_INFO info{};
    info.dwSize = sizeof info - 1;
    EXPECT_EQ(BluetoothGetRadioInfo(radioHandle, &info),
              static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(BluetoothGetRadioInfo(radioHandle, nullptr),
              static_cast<DWORD>(ERROR_INVALID_PARAMETER));

    // A name longer than the field: 247 characters and the terminating zero.
    std::wmemset(info.szName, L'x', BLUETOOTH_MAX_NAME_SIZE);
    info.dwSize = sizeof info;
    ASSERT_EQ(BluetoothGetRadioInfo(radioHandle, &info), static_cast<DWORD>(ERROR_SUCCESS));
    EXPECT_EQ(info.szName[BLUETOOTH_MAX_NAME_SIZE - 1], L'\0');
    EXPECT_EQ(std::wstring(info.szName), std::wstring(247, L'r'));
    EXPECT_TRUE(CloseHandle(radioHandle));
    EXPECT_TRUE(BluetoothFindRadioClose(find));
}

TEST_F(RadioTest, RadioInfoFailureComesFromTheRadio) {
    Radio broken = radio(kFirst, "Broken");
    broken.infoError = ERROR_DEVICE_NOT_CONNECTED;
    world().addRadio(broken);
    BLUETOOTH_FIND_RADIO_PARAMS params{sizeof params};
    HANDLE radioHandle = nullptr;
    HBLUETOOTH_RADIO_FIND find = BluetoothFindFirstRadio(&params, &radioHandle);
    ASSERT_NE(find, nullptr);
    BLUETOOTH_RADIO_INFO info{};
    info.dwSize = sizeof info;
    EXPECT_EQ(BluetoothGetRadioInfo(radioHandle, &info),
              static_cast<DWORD>(ERROR_DEVICE_NOT_CONNECTED));
    EXPECT_TRUE(CloseHandle(radioHandle));
    EXPECT_TRUE(BluetoothFindRadioClose(find));
}

TEST_F(RadioTest, TheEnumerationIsASnapshot) {
    world().addRadio(radio(kFirst, "One"));
    BLUETOOTH_FIND_RADIO_PARAMS params{sizeof params};
    HANDLE radioHandle = nullptr;
    HBLUETOOTH_RADIO_FIND find = BluetoothFindFirstRadio(&params, &radioHandle);
    ASSERT_NE(find, nullptr);
    world().addRadio(radio(kSecond, "Two"));  // plugged in after the enumeration began
    HANDLE next = nullptr;
    EXPECT_FALSE(BluetoothFindNextRadio(find, &next));
    EXPECT_TRUE(CloseHandle(radioHandle));
    EXPECT_TRUE(BluetoothFindRadioClose(find));
    EXPECT_TRUE(noHandlesOpen());
}

}  // namespace
