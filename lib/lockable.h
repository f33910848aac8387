#pragma once

#include <mutex>

namespace lib {

// Owns the one lock of an object shared between the user-interface thread and a worker.
// The lock is recursive: a forced stop re-enters it while already holding it.
// Meets the standard's BasicLockable, so std::lock_guard and std::unique_lock work on it.
class lockable {
public:
    lockable() = default;
    lockable(const lockable&) = delete;
    lockable& operator=(const lockable&) = delete;
    virtual ~lockable() = default;

    void lock() { mutex.lock(); }
    void unlock() { mutex.unlock(); }

private:
    std::recursive_mutex mutex;
};

} // namespace lib
