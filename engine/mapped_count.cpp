#include "mapped_count.h"

#include "lib/fault_guard.h"

bool count_window(const char* window, std::size_t length, std::size_t skip, const std::atomic<std::int32_t>& state,
                  std::int32_t running, std::atomic<std::uint64_t>& position, std::uint64_t base,
                  counts& counted) noexcept
{
    // Its last byte is read inside the touch too: that page may be gone as well.
    auto count = [&]() noexcept {
        counted = count_line_feeds_watched(window + skip, length - skip, state, running, position, base);
    };
    return lib::guarded_touch(window, length, count);
}
