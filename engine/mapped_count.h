#pragma once

#include "engine/input_file.h"
#include "engine/line_feeds.h"

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstdint>

// Counting a file in memory through read-only mappings instead of read(): it saves the
// kernel's copy out of the page cache, most of what a read() of cached data costs.

// What count_mapped covered: the LFs and the last byte of `bytes` bytes; failed when a page
// could not be read (the file shrank while mapped, its device failed).
struct mapped_run {
    bool failed = false;
    std::uint64_t bytes = 0;
    std::uint64_t line_feeds = 0;
    char last = 0;
};

// Files smaller than this are read: for them a mapping costs more than the copy it saves.
inline constexpr std::uint64_t map_minimum = 8 << 20;
// Bytes mapped at a time. Mapped pages count towards the process's memory, so the window
// stays small beside the 16 MiB the whole program may take; mapping and unmapping cost
// little per byte from 4 MiB up.
inline constexpr std::size_t map_window = 4 << 20;

#ifndef _WIN32
// Counts window[skip, length) with the line-feed kernel that reads use, base being the
// file offset of window[skip], and stores the last byte counted. False when a page of the
// window could not be read; then nothing it counted is to be used.
bool count_window(const char* window, std::size_t length, std::size_t skip, const std::atomic<std::int32_t>& state,
                  std::int32_t running, std::atomic<std::uint64_t>& position, std::uint64_t base,
                  line_feed_run& counted, char& last) noexcept;

// Counts `file` from `from` towards `size` a window at a time, storing the position and
// looking at `state` every 1 KiB as reads do. Ends at `size`, at a stop, at the first window
// that is not wholly in memory (its pages would come from a disk or mount, which may not
// answer: reads wait for them where a stop can let the worker go) or at a page that cannot be
// read. Except after a failure, the file's read position is then where the count ended, so
// that reads go on from there. around(call) runs the calls that may wait on a mount (mapping
// revalidates a network file, seeking may too).
template <typename Around>
mapped_run count_mapped(input_file& file, std::uint64_t from, std::uint64_t size,
                        const std::atomic<std::int32_t>& state, std::int32_t running,
                        std::atomic<std::uint64_t>& position, Around around)
{
    mapped_run run;
    std::uint64_t at = from;
    while (at < size && state.load(std::memory_order_acquire) == running) {
        // Windows start on a multiple of their size, whatever `at` is: file offsets and
        // addresses then share their 2 MiB alignment, and the kernel maps a large page-cache
        // folio with one page-table entry instead of faulting it in 64 KiB at a time.
        const std::uint64_t start = at / map_window * map_window;
        const auto length = static_cast<std::size_t>(std::min<std::uint64_t>(map_window, size - start));
        // Unmapped however this is left, a worker let go while mapping included.
        struct mapping {
            const char* data = nullptr;
            std::size_t length = 0;
            ~mapping()
            {
                if (data != nullptr)
                    input_file::unmap(data, length);
            }
        } window;
        around([&]() noexcept {
            window.data = file.map_cached(start, length);
            window.length = length;
        });
        if (window.data == nullptr)
            break;
        const auto skip = static_cast<std::size_t>(at - start);
        line_feed_run counted;
        char last = 0;
        if (!count_window(window.data, length, skip, state, running, position, at, counted, last)) {
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
    if (run.bytes > 0 && !around([&]() noexcept { return file.seek(at); }))
        run.failed = true;
    return run;
}
#else
// Windows reads every file.
template <typename Around>
mapped_run count_mapped(input_file&, std::uint64_t, std::uint64_t, const std::atomic<std::int32_t>&, std::int32_t,
                        std::atomic<std::uint64_t>&, Around)
{
    return {};
}
#endif
