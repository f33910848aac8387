#pragma once

#include "engine/counts.h"
#include "engine/failure.h"
#include "engine/input_file.h"
#include "engine/line_feeds.h"
#include "engine/mapped_count.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>

// 128 KiB per read(): large enough that a read() costs little per byte, small enough to stay
// in L2.
inline constexpr std::size_t read_size = 128 * 1024;
// Page-aligned, because the kernel copies into it several times faster than into the
// 16-byte-aligned block malloc returns (measured 0.09 s against 0.6 s per GiB).
struct alignas(4096) read_page {
    char bytes[4096];
};
inline std::unique_ptr<read_page[]> read_buffer()
{
    return std::unique_ptr<read_page[]>(new read_page[read_size / sizeof(read_page)]);
}

// Counts an opened file from its start into `counted` while `state` equals `running`, reading
// through `buffer`; false, with the reason, when it was not open or a read fails. `size` is
// set to the size the file had when opened and `position` to how far the count got, as it
// goes, for the progress shown. With missed_cache, the first read takes only what is in
// memory, and *missed_cache is set when that was not all. run_blocking(call) runs each call
// that may block for good on a mount that stopped answering (reading, mapping, closing): an
// executor for blocking calls, as the engine's unattended(), which lets a reset give up on
// the worker meanwhile. With utf8_characters, counted.characters() are UTF-8 characters.
// side_by_side runs the counting of mapped windows (engine/mapped_count.h).
template <typename BlockingExecutor, typename SideBySide = one_by_one>
bool count_opened(input_file& file, std::span<char> buffer, const std::atomic<std::int32_t>& state,
                  std::int32_t running, std::atomic<std::uint64_t>& size, std::atomic<std::uint64_t>& position,
                  BlockingExecutor run_blocking, counts& counted, failure_reason& reason,
                  bool* missed_cache = nullptr, bool utf8_characters = false, SideBySide side_by_side = {})
{
    position = 0;
    // 0 for files that do not know their size (/proc): those are read to the end.
    const std::uint64_t opened_size = file.size();
    size = opened_size;
    if (!file.is_open()) {
        reason = file.error();
        return false;
    }
    // No sequential hint: the kernel's own read-ahead reads a cold big file at the disk's
    // rate every time, where the hint's doubled window made some runs twice as slow.

    // A big file is probed even where misses are not looked for: one found in memory is
    // counted through mappings from its second block on. A window found not in memory
    // (evicted since) is read, and mapping tried again a window further on.
    const bool mappable = opened_size >= map_minimum;
    const bool probe = missed_cache != nullptr || mappable;
    bool mapping = false;
    std::uint64_t map_from = 0;
    counts total;
    total.utf8_characters = utf8_characters;
    // A file that cannot be read counts as failed, with nothing of it.
    const auto fail = [&](failure_reason why) {
        reason = why;
        run_blocking([&]() noexcept { file.close(); });
        return false;
    };
    const auto read_failure = [&] {
        const failure_reason& error = file.error();
        return error.what == failure_reason::would_block ? error : failure_reason::read_failed(total.bytes, error.code);
    };
    bool more = true;
    while (more && state == running) {
        std::int64_t n;
        if (probe && total.bytes == 0) {
            n = run_blocking([&]() noexcept { return file.read_cached(buffer.data(), buffer.size()); });
            mapping = mappable && n != input_file::not_cached;
            if (n == input_file::not_cached) {
                if (missed_cache != nullptr)
                    *missed_cache = true;
                n = run_blocking([&]() noexcept { return file.read(buffer.data(), buffer.size()); });
            }
        } else {
            n = run_blocking([&]() noexcept { return file.read(buffer.data(), buffer.size()); });
        }
        if (n < 0)
            return fail(read_failure());
        // The end, unless it comes before the size the file had when opened: then it was cut
        // short meanwhile (another program truncated it), and what was read is no count of it.
        if (n == 0 && opened_size > 0 && total.bytes < opened_size
            && run_blocking([&]() noexcept { return file.shrank(); }))
            return fail(failure_reason::cut_short(total.bytes));
        if (n == 0)
            break;
        const auto got = static_cast<std::size_t>(n);
        const counts run = count_stretch_watched(buffer.data(), got, total, state, running, position, total.bytes);
        total.join(run);
        // A short read that reaches the size fstat gave is the end: saves a second read per
        // small file. Anything else (a growing file, a short read mid-file, a file of no
        // known size) reads on until a read returns nothing.
        more = run.bytes == got && !(opened_size > 0 && got < buffer.size() && total.bytes >= opened_size);
        if (mapping && more && total.bytes >= map_from) {
            if (!count_mapped(file, opened_size, state, running, position, run_blocking, total, side_by_side))
                return fail(read_failure());
            // Reads go on from there: past the size the file had (it grew), through a window
            // not in memory or one that lost pages while mapped, or nowhere after a stop.
            map_from = total.bytes + map_window;
        }
    }
    run_blocking([&]() noexcept { file.close(); });
    counted = total;
    return true;
}
