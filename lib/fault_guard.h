#pragma once

#include <cstddef>
#include <type_traits>

namespace lib {

// Reading a file through a mapping turns the file's own failures into SIGBUS: a page past
// the end the file was truncated to since it was mapped, or one its device or mount can no
// longer deliver. Left alone, that kills the process.
//
// guarded_touch runs touch(), which reads pages of [begin, begin + size), and ends it early,
// returning false, when touching one of those pages raises SIGBUS on this thread. Any other
// SIGBUS (another address, another thread, a signal sent with kill) goes to the handler that
// was there before ours, or kills the process as it would have without us. The handler is
// installed once, on the first call.
//
// touch() is left by a jump out of the signal handler: it must hold nothing that needs
// undoing (no lock, no allocation, no object with a destructor), and what it computed is
// lost. On POSIX systems (fault_guard_posix.cpp); Windows code maps no file, and there
// touch() just runs (fault_guard_win32.cpp).
bool guarded_touch(const void* begin, std::size_t size, void (*touch)(void* context) noexcept,
                   void* context) noexcept;

template <typename Touch>
bool guarded_touch(const void* begin, std::size_t size, Touch& touch) noexcept
{
    static_assert(std::is_nothrow_invocable_v<Touch&>);
    return guarded_touch(
        begin, size, [](void* context) noexcept { (*static_cast<Touch*>(context))(); }, &touch);
}

} // namespace lib
