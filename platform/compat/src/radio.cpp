// Local radio enumeration over the backend.
//
// BluetoothFindFirstRadio takes a snapshot of the radios; the find handle
// walks it. As on Windows, each radio handle it hands out is the caller's to
// close with CloseHandle, and stays valid until then, also after the
// enumeration has moved on or been closed. A handle the caller forgets shows
// in openHandles().radios.
#include "handle_table.h"
#include "internal.h"

#include <corvale/compat/handles.h>
#include <corvale/compat/utf.h>

#include <algorithm>
#include <cstring>

namespace Corvale::Compat {

namespace {
struct RadioFind {
    std::mutex mutex;
    std::vector<RadioInfo> radios;
    std::size_t current = 0;
};

HandleTable<RadioFind>& finds() {
    static HandleTable<RadioFind> table;
    return table;
}

HandleTable<RadioInfo>& radioHandles() {
    static HandleTable<RadioInfo> table;
    return table;
}

bool closeRadio(HANDLE handle) {
    return radioHandles().take(handle) != nullptr;
}

// A new radio handle; CloseHandle learns of radio handles before the first.
HANDLE newRadioHandle(const RadioInfo& radio) {
    static const bool registered = (registerHandleCloser(&closeRadio), true);
    (void)registered;
    return radioHandles().add(std::make_shared<RadioInfo>(radio));
}
}  // namespace

void radioHandleCounts(std::size_t& findCount, std::size_t& radioCount) {
    findCount = finds().size();
    radioCount = radioHandles().size();
}

void closeRadioHandles() {
    finds().clear();
    radioHandles().clear();
}

}  // namespace Corvale::Compat

using namespace Corvale::Compat;

extern "C" HBLUETOOTH_RADIO_FIND BluetoothFindFirstRadio(const BLUETOOTH_FIND_RADIO_PARAMS* pbtfrp,
                                                         HANDLE* phRadio) {
    CallInfo call(Api::BluetoothFindFirstRadio);
    if (pbtfrp != nullptr) call.size = pbtfrp->dwSize;
    if (DWORD code = enter(call)) {
        SetLastError(code);
        return nullptr;
    }
    if (pbtfrp == nullptr || phRadio == nullptr ||
        pbtfrp->dwSize != sizeof(BLUETOOTH_FIND_RADIO_PARAMS)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    auto find = std::make_shared<RadioFind>();
    if (DWORD code = backend().radios(find->radios)) {
        SetLastError(code);
        return nullptr;
    }
    if (find->radios.empty()) {
        SetLastError(ERROR_NO_MORE_ITEMS);
        return nullptr;
    }
    *phRadio = newRadioHandle(find->radios[0]);
    return finds().add(std::move(find));
}

extern "C" BOOL BluetoothFindNextRadio(HBLUETOOTH_RADIO_FIND hFind, HANDLE* phRadio) {
    CallInfo call(Api::BluetoothFindNextRadio);
    if (DWORD code = enter(call)) {
        SetLastError(code);
        return FALSE;
    }
    std::shared_ptr<RadioFind> find = finds().find(hFind);
    if (!find) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (phRadio == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::lock_guard lock(find->mutex);
    if (find->current + 1 >= find->radios.size()) {
        SetLastError(ERROR_NO_MORE_ITEMS);
        return FALSE;
    }
    ++find->current;
    *phRadio = newRadioHandle(find->radios[find->current]);
    return TRUE;
}

extern "C" BOOL BluetoothFindRadioClose(HBLUETOOTH_RADIO_FIND hFind) {
    CallInfo call(Api::BluetoothFindRadioClose);
    if (DWORD code = enter(call)) {
        SetLastError(code);
        return FALSE;
    }
    if (!finds().take(hFind)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    return TRUE;
}

extern "C" DWORD BluetoothGetRadioInfo(HANDLE hRadio, PBLUETOOTH_RADIO_INFO pRadioInfo) {
    CallInfo call(Api::BluetoothGetRadioInfo);
    if (pRadioInfo != nullptr) call.size = pRadioInfo->dwSize;
    if (DWORD code = enter(call)) return code;

    std::shared_ptr<RadioInfo> radio = radioHandles().find(hRadio);
    if (!radio) return ERROR_INVALID_HANDLE;
    if (pRadioInfo == nullptr || pRadioInfo->dwSize != sizeof(BLUETOOTH_RADIO_INFO))
        return ERROR_INVALID_PARAMETER;
    if (radio->infoError != 0) return radio->infoError;

    pRadioInfo->address.ullLong = radio->address;
    pRadioInfo->ulClassofDevice = radio->classOfDevice;
    pRadioInfo->lmpSubversion = radio->lmpSubversion;
    pRadioInfo->manufacturer = radio->manufacturer;
    // The name, cut to what the field holds with its terminating zero.
    const std::wstring name = fromUtf8(radio->name);
    const std::size_t n = std::min<std::size_t>(name.size(), BLUETOOTH_MAX_NAME_SIZE - 1);
    std::wmemset(pRadioInfo->szName, 0, BLUETOOTH_MAX_NAME_SIZE);
    std::wmemcpy(pRadioInfo->szName, name.data(), n);
    return ERROR_SUCCESS;
}
