// The compat layer's handles: opaque numbers that map to live objects. A
// handle is never reused, so a stale handle (already closed) and a foreign one
// (never handed out, or handed out by another table) are both simply unknown,
// and the call that gets one fails instead of touching freed memory.
#pragma once

#include <corvale/compat/winapi.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <unordered_map>
#include <vector>

namespace Corvale::Compat {

// One counter for every table, so that no two live handles are equal.
std::uintptr_t nextHandleValue();

template <typename T>
class HandleTable {
public:
    HANDLE add(std::shared_ptr<T> object) {
        const std::uintptr_t value = nextHandleValue();
        std::lock_guard lock(mutex);
        objects.emplace(value, std::move(object));
        return reinterpret_cast<HANDLE>(value);
    }

    std::shared_ptr<T> find(HANDLE handle) const {
        std::lock_guard lock(mutex);
        auto it = objects.find(reinterpret_cast<std::uintptr_t>(handle));
        return it == objects.end() ? nullptr : it->second;
    }

    // Removes the handle; returns its object (null when it was not there).
    std::shared_ptr<T> take(HANDLE handle) {
        std::lock_guard lock(mutex);
        auto it = objects.find(reinterpret_cast<std::uintptr_t>(handle));
        if (it == objects.end()) return nullptr;
        std::shared_ptr<T> object = std::move(it->second);
        objects.erase(it);
        return object;
    }

    std::size_t size() const {
        std::lock_guard lock(mutex);
        return objects.size();
    }

    void clear() {
        std::unordered_map<std::uintptr_t, std::shared_ptr<T>> dropped;
        {
            std::lock_guard lock(mutex);
            dropped.swap(objects);
        }
        // The objects die here, outside the lock.
    }

private:
    mutable std::mutex mutex;
    std::unordered_map<std::uintptr_t, std::shared_ptr<T>> objects;
};

// The radio side's part of openHandles() and closeAllHandles().
void radioHandleCounts(std::size_t& finds, std::size_t& radios);
void closeRadioHandles();

}  // namespace Corvale::Compat
