#include "mapped_count.h"

#include "utf8_count.h"

#include "lib/fault_guard.h"

counts count_stretch_watched(const char* data, std::size_t size, const counts& before,
                             const std::atomic<std::int32_t>& state, std::int32_t running,
                             std::atomic<std::uint64_t>& position, std::uint64_t base) noexcept
{
    if (!before.utf8_characters)
        return count_line_feeds_watched(data, size, state, running, position, base);
    // The carry goes on from what was counted before; a stretch dropped (a window that lost
    // pages) hands nothing on, so the stretch counted again instead starts from the same one.
    counts counted;
    counted.utf8_characters = true;
    counted.carry = before.carry;
    const utf8_run run = count_utf8_watched(data, size, counted.carry, state, running, position, base);
    counted.bytes = run.bytes;
    counted.line_feeds = run.line_feeds;
    counted.utf8_count = run.characters;
    counted.last = run.bytes > 0 ? data[run.bytes - 1] : '\0';
    return counted;
}

bool count_window(const char* window, std::size_t length, std::size_t skip, const counts& before,
                  const std::atomic<std::int32_t>& state, std::int32_t running,
                  std::atomic<std::uint64_t>& position, std::uint64_t base, counts& counted) noexcept
{
    // Its last byte is read inside the touch too: that page may be gone as well.
    auto count = [&]() noexcept {
        counted = count_stretch_watched(window + skip, length - skip, before, state, running, position, base);
    };
    return lib::guarded_touch(window, length, count);
}
