#include "mapped_count.h"

#include "engine/line_feeds.h"
#include "lib/fault_guard.h"

#include <algorithm>

#include <unistd.h>

mapped_run count_mapped(input_file& file, std::uint64_t from, std::uint64_t size,
                        const std::atomic<std::int32_t>& state, std::int32_t running,
                        std::atomic<std::uint64_t>& position)
{
    static const auto page = static_cast<std::uint64_t>(::sysconf(_SC_PAGESIZE));
    mapped_run run;
    std::uint64_t at = from;
    while (at < size && state.load(std::memory_order_acquire) == running) {
        // Mappings start on a page; the window's first bytes may precede `at`.
        const std::uint64_t start = at / page * page;
        const auto length = static_cast<std::size_t>(std::min<std::uint64_t>(map_window, size - start));
        const char* const window = file.map_cached(start, length);
        if (window == nullptr)
            break;
        const auto skip = static_cast<std::size_t>(at - start);
        line_feed_run counted;
        char last = 0;
        auto count = [&]() noexcept {
            counted = count_line_feeds_watched(window + skip, length - skip, state, running, position, at);
            last = window[skip + counted.bytes - 1]; // a touch too: the page may be gone
        };
        const bool read = lib::guarded_touch(window, length, count);
        input_file::unmap(window, length);
        if (!read) {
            run.failed = true;
            return run;
        }
        run.line_feeds += counted.line_feeds;
        run.last = last;
        at += counted.bytes;
        run.bytes = at - from;
        if (counted.bytes < length - skip)
            break; // stopped
    }
    if (run.bytes > 0 && !file.seek(at))
        run.failed = true;
    return run;
}
