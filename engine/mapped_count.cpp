#include "mapped_count.h"

#include "lib/fault_guard.h"

bool count_window(const char* window, std::size_t length, std::size_t skip, const std::atomic<std::int32_t>& state,
                  std::int32_t running, std::atomic<std::uint64_t>& position, std::uint64_t base,
                  line_feed_run& counted, char& last) noexcept
{
    auto count = [&]() noexcept {
        counted = count_line_feeds_watched(window + skip, length - skip, state, running, position, base);
        last = window[skip + counted.bytes - 1]; // a touch too: the page may be gone
    };
    return lib::guarded_touch(window, length, count);
}
