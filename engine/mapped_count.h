#pragma once

#include "engine/input_file.h"
#include "engine/line_feeds.h"

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstdint>

// Counting a file in memory through read-only mappings instead of read(): it saves the
// kernel's copy out of the page cache, most of what a read() of cached data costs. Where the
// system cannot tell what is in memory, input_file::map_cached maps nothing, and count_mapped
// leaves the whole file to reads.

// Files smaller than this are read: for them a mapping costs more than the copy it saves.
inline constexpr std::uint64_t map_minimum = 8 << 20;
// Bytes mapped at a time. Mapped pages count towards the process's memory, so the window
// stays small beside the 16 MiB the whole program may take; mapping and unmapping cost
// little per byte from 4 MiB up.
inline constexpr std::size_t map_window = 4 << 20;

// Counts the stretch data[0, size) of a file, which comes right after `before`, in the unit
// before says (bytes, or UTF-8 characters from before.carry on), watched as
// count_line_feeds_watched is: the one place reads and mapped windows count through.
counts count_stretch_watched(const char* data, std::size_t size, const counts& before,
                             const std::atomic<std::int32_t>& state, std::int32_t running,
                             std::atomic<std::uint64_t>& position, std::uint64_t base) noexcept;

// Counts window[skip, length) as reads are counted, right after `before`, base being the file
// offset of window[skip], into `counted`. False when a page of the window could not be read;
// then nothing it counted is to be used.
bool count_window(const char* window, std::size_t length, std::size_t skip, const counts& before,
                  const std::atomic<std::int32_t>& state, std::int32_t running,
                  std::atomic<std::uint64_t>& position, std::uint64_t base, counts& counted) noexcept;

// Counts `file` on from total.bytes towards `size` a window at a time, joining what it counts
// to `total`, storing the position and looking at `state` every 1 KiB as reads do. Ends at
// `size`, at a stop, at the first window that is not wholly in memory (its pages would come
// from a disk or mount, which may not answer: reads wait for them where a stop can let the
// worker go), or at a window that lost a page while counted (the file was cut short, or its
// device failed), which is left uncounted. The file's read position is then where the count
// ended, so that reads go on from there and meet the file's new end or the device's error
// themselves; false, with file.error(), when it could not be set. run_blocking(call) runs
// the calls that may block for good (mapping revalidates a network file, seeking may too):
// an executor for blocking calls, as the engine's unattended().
template <typename BlockingExecutor>
bool count_mapped(input_file& file, std::uint64_t size, const std::atomic<std::int32_t>& state,
                  std::int32_t running, std::atomic<std::uint64_t>& position, BlockingExecutor run_blocking,
                  counts& total)
{
    const std::uint64_t from = total.bytes;
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
        run_blocking([&]() noexcept {
            window.data = file.map_cached(start, length);
            window.length = length;
        });
        if (window.data == nullptr)
            break;
        const auto skip = static_cast<std::size_t>(at - start);
        counts counted;
        if (!count_window(window.data, length, skip, total, state, running, position, at, counted))
            break;
        total.join(counted);
        at += counted.bytes;
        if (counted.bytes < length - skip)
            break; // stopped
    }
    return at == from || run_blocking([&]() noexcept { return file.seek(at); });
}
