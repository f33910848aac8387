#include "engine.h"
#include "line_feeds.h"
#include "mapped_count.h"

#include <cerrno>

bool engine::count_file(const std::string& path, char* buffer, std::uint64_t& characters, std::uint64_t& lines,
                        failure_reason& reason, bool* missed_cache)
{
    input_file file;
    file_size = 0;
    file_position = 0;
    // Opening may block for good on a mount that stopped answering: unattended, so that a
    // reset can let this worker go meanwhile.
    if (!unattended([&]() noexcept { return file.open(path); })) {
        reason = file.error();
        return false;
    }
    return count_opened(file, buffer, characters, lines, reason, missed_cache);
}

bool engine::count_opened(input_file& file, char* const data, std::uint64_t& characters, std::uint64_t& lines,
                          failure_reason& reason, bool* missed_cache)
{
    file_position = 0;
    // 0 for files that do not know their size (/proc, /sys): those are read to the end.
    const std::uint64_t size = file.size();
    file_size = size;
    if (!file.is_open()) {
        reason = file.error();
        return false;
    }
    // No sequential hint: the kernel's own read-ahead reads a cold big file at the disk's
    // rate every time, where the hint's doubled window made some runs twice as slow.

    // A big file is probed even where misses are not looked for: one found in memory is
    // counted through mappings from its second block on. A window found not in memory
    // (evicted since) is read, and mapping tried again a window further on.
    const bool mappable = size >= map_minimum;
    const bool probe = missed_cache != nullptr || mappable;
    bool mapping = false;
    std::uint64_t map_from = 0;
    std::uint64_t counted = 0;
    std::uint64_t line_feeds = 0;
    char last = 0;
    bool more = true;
    while (more && state == running) {
        // Reading and closing may block for good too.
        std::int64_t n;
        if (probe && counted == 0) {
            n = unattended([&]() noexcept { return file.read_cached(data, read_size); });
            mapping = mappable && n != input_file::not_cached;
            if (n == input_file::not_cached) {
                if (missed_cache != nullptr)
                    *missed_cache = true;
                n = unattended([&]() noexcept { return file.read(data, read_size); });
            }
        } else {
            n = unattended([&]() noexcept { return file.read(data, read_size); });
        }
        if (n < 0) {
            reason = failure_reason::read_failed(counted, file.error().code);
            unattended([&]() noexcept { file.close(); });
            return false; // a file that cannot be read counts as failed, with nothing of it
        }
        if (n == 0)
            break;
        const auto got = static_cast<std::size_t>(n);
        const line_feed_run run = count_line_feeds_watched(data, got, state, running, file_position, counted);
        line_feeds += run.line_feeds;
        counted += run.bytes;
        last = data[run.bytes - 1];
        // A short read that reaches the size fstat gave is the end: saves a second read per
        // small file. Anything else (a growing file, a short read mid-file, a file of no
        // known size) reads on until a read returns nothing.
        more = run.bytes == got && !(size > 0 && got < read_size && counted >= size);
        if (mapping && more && counted >= map_from) {
            const mapped_run mapped = count_mapped(file, counted, size, state, running, file_position,
                                                   [](auto call) { return unattended(call); });
            if (mapped.failed) {
                // A page lost while mapped: the file was truncated, or its device failed.
                reason = failure_reason::read_failed(counted + mapped.bytes, EIO);
                unattended([&]() noexcept { file.close(); });
                return false; // as a read error
            }
            line_feeds += mapped.line_feeds;
            counted += mapped.bytes;
            last = mapped.bytes > 0 ? mapped.last : last;
            // Reads go on from there: past the size the file had (it grew), through a window
            // not in memory, or nowhere after a stop.
            map_from = counted + map_window;
        }
    }
    unattended([&]() noexcept { file.close(); });
    characters = counted;
    lines = line_feeds + (counted != 0 && last != '\n' ? 1 : 0);
    return true;
}
