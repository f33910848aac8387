#include "os.h"

#include <atomic>

namespace lib::os {

// POSIX gives threads no number (pthread_t is opaque): each thread takes the next one the
// first time it asks, from 1, since 0 stands for no thread.
std::uint32_t current_thread_id() noexcept
{
    static std::atomic<std::uint32_t> last{0};
    thread_local const std::uint32_t id = last.fetch_add(1, std::memory_order_relaxed) + 1;
    return id;
}

} // namespace lib::os
