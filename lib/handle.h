#pragma once

#include "os.h"

namespace lib {

// Owns one handle to a thread. Copies are made only by assign(), which duplicates the
// handle, so that a waiter's copy outlives the owner's.
class handle {
public:
    using native = os::native_handle;

    handle() = default;
    handle(const handle&) = delete;
    handle& operator=(const handle&) = delete;
    virtual ~handle();

    bool is_valid() const noexcept;
    native value() const noexcept { return raw; }

    // Closes the handle held, then owns value as it is, untested.
    void attach(native value) noexcept;
    // Closes a valid handle and leaves null; an invalid value stays as it is.
    void close() noexcept;
    // Closes the handle held, then duplicates source if it is valid.
    handle& assign(const handle& source) noexcept;
    // Waits for the thread's end; throws std::logic_error("handle::wait") when not valid.
    bool wait() const;

private:
    native raw = nullptr;
};

} // namespace lib
