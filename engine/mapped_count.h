#pragma once

#include "engine/input_file.h"
#include "engine/line_feeds.h"
#include "lib/fault_guard.h"

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

// Runs task(0) to task(count - 1), each once, and returns once all have run: here one after
// another, on the calling thread. A pool of threads runs them side by side instead.
struct one_by_one {
    template <typename Task>
    void operator()(std::size_t count, Task& task) const
    {
        for (std::size_t i = 0; i < count; ++i)
            task(i);
    }
};

// How many windows are counted side by side at most: each is mapped whole while counted, and
// mapped pages count towards the process's memory.
inline constexpr std::size_t windows_at_once = 2;

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
//
// Bytes are counted windows_at_once windows at a time through side_by_side(count, task),
// which runs task(0) to task(count - 1) as one_by_one does, on threads of its choosing;
// windows are joined in file order, so the last line is judged at each join as in one count.
// UTF-8 characters too: what a window's count needs of the one before it is its last three
// bytes (utf8_count.h), mapped already.
template <typename BlockingExecutor, typename SideBySide = one_by_one>
bool count_mapped(input_file& file, std::uint64_t size, const std::atomic<std::int32_t>& state,
                  std::int32_t running, std::atomic<std::uint64_t>& position, BlockingExecutor run_blocking,
                  counts& total, SideBySide side_by_side = {})
{
    // Unmapped however this is left, a worker let go while mapping included.
    struct window {
        const char* data = nullptr;
        std::size_t length = 0;
        std::size_t skip = 0; // bytes before `at`, counted already
        std::uint64_t at = 0;
        counts counted;
        bool whole = false; // counted with no page lost
        ~window()
        {
            if (data != nullptr)
                input_file::unmap(data, length);
        }
    };
    const std::uint64_t from = total.bytes;
    std::uint64_t at = from;
    bool more = true;
    while (more && at < size && state.load(std::memory_order_acquire) == running) {
        window windows[windows_at_once];
        std::size_t count = 0;
        // Windows start on a multiple of their size, whatever `at` is: file offsets and
        // addresses then share their 2 MiB alignment, and the kernel maps a large page-cache
        // folio with one page-table entry instead of faulting it in 64 KiB at a time.
        for (std::uint64_t start = at / map_window * map_window; count < windows_at_once && start < size;
             start += map_window) {
            window& next = windows[count++];
            next.length = static_cast<std::size_t>(std::min<std::uint64_t>(map_window, size - start));
            next.at = std::max(start, at);
            next.skip = static_cast<std::size_t>(next.at - start);
        }
        run_blocking([&]() noexcept {
            for (std::size_t i = 0; i < count; ++i)
                windows[i].data = file.map_cached(windows[i].at - windows[i].skip, windows[i].length);
        });
        // What each window's count starts from: the total for the first; for the next, the
        // unit, and for UTF-8 the last bytes of the window before it, read where a lost page
        // is caught (the window before then fails too, and the join stops there).
        counts before[windows_at_once];
        before[0] = total;
        for (std::size_t i = 1; i < count; ++i) {
            before[i].utf8_characters = total.utf8_characters;
            const window& previous = windows[i - 1];
            auto take_carry = [&]() noexcept {
                std::copy_n(previous.data + previous.length - sizeof before[i].carry.last,
                            sizeof before[i].carry.last, before[i].carry.last);
            };
            if (total.utf8_characters && previous.data != nullptr)
                lib::guarded_touch(previous.data, previous.length, take_carry);
        }
        auto count_one = [&](std::size_t i) noexcept {
            window& one = windows[i];
            if (one.data != nullptr)
                one.whole = count_window(one.data, one.length, one.skip, before[i], state, running, position,
                                         one.at, one.counted);
        };
        side_by_side(count, count_one);
        for (std::size_t i = 0; i < count && more; ++i) {
            const window& one = windows[i];
            more = one.data != nullptr && one.whole;
            if (!more)
                break;
            total.join(one.counted);
            at += one.counted.bytes;
            more = one.counted.bytes == one.length - one.skip; // else stopped
        }
    }
    return at == from || run_blocking([&]() noexcept { return file.seek(at); });
}
