// CloseHandle for the handles a caller closes with it. On Windows each radio
// handle that BluetoothFindFirstRadio or BluetoothFindNextRadio hands out is
// the caller's to close; the engine does so, and here the radio side releases
// its handle when CloseHandle offers it. A handle no kind claims (a stale one,
// a lookup or find handle, one never handed out) fails as Windows fails it.
#include "internal.h"

#include <algorithm>
#include <mutex>
#include <vector>

namespace Corvale::Compat {

namespace {
struct Closers {
    std::mutex mutex;
    std::vector<HandleCloser> list;
};

Closers& closers() {
    static Closers instance;
    return instance;
}
}  // namespace

void registerHandleCloser(HandleCloser closer) {
    if (closer == nullptr) return;
    Closers& c = closers();
    std::lock_guard lock(c.mutex);
    if (std::find(c.list.begin(), c.list.end(), closer) == c.list.end()) c.list.push_back(closer);
}

}  // namespace Corvale::Compat

extern "C" BOOL CloseHandle(HANDLE hObject) {
    using namespace Corvale::Compat;
    if (hObject != nullptr) {
        std::vector<HandleCloser> list;
        {
            Closers& c = closers();
            std::lock_guard lock(c.mutex);
            list = c.list;
        }
        // Outside the lock: a closer takes its own table's lock. Every closer
        // is asked (handle values are unique across kinds, so at most one
        // claims it); a closer that only watches sees every call.
        bool closed = false;
        for (HandleCloser close : list) closed = close(hObject) || closed;
        if (closed) return TRUE;
    }
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
}
