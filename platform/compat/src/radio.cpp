// Local radio enumeration over the backend.
//
// BluetoothFindFirstRadio takes a snapshot of the radios; the find handle
// walks it. Each radio handle belongs to its enumeration: the layer releases
// it when the enumeration moves on (BluetoothFindNextRadio) or is closed, so
// a caller that never closes radio handles leaks nothing.
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
    HANDLE radio = nullptr;  // the handle of radios[current]
};

HandleTable<RadioFind>& finds() {
    static HandleTable<RadioFind> table;
    return table;
}

HandleTable<RadioInfo>& radioHandles() {
    static HandleTable<RadioInfo> table;
    return table;
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
    find->radio = radioHandles().add(std::make_shared<RadioInfo>(find->radios[0]));
    *phRadio = find->radio;
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
    radioHandles().take(find->radio);
    ++find->current;
    find->radio = radioHandles().add(std::make_shared<RadioInfo>(find->radios[find->current]));
    *phRadio = find->radio;
    return TRUE;
}

extern "C" BOOL BluetoothFindRadioClose(HBLUETOOTH_RADIO_FIND hFind) {
    CallInfo call(Api::BluetoothFindRadioClose);
    if (DWORD code = enter(call)) {
        SetLastError(code);
        return FALSE;
    }
    std::shared_ptr<RadioFind> find = finds().take(hFind);
    if (!find) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    std::lock_guard lock(find->mutex);
    radioHandles().take(find->radio);
    find->radio = nullptr;
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
