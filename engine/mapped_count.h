#pragma once

#include "engine/input_file.h"

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

// Counts `file` from `from` towards `size` a window at a time, with the line-feed kernel
// that reads use, storing the position and looking at `state` every 1 KiB as it does. Ends
// at `size`, at a stop, at the first window that is not wholly in memory (its pages would
// have to come from a disk or mount: reading them waits where a stop can reach the worker)
// or at a page that cannot be read. Except after a failure, the file's read position is
// then where the count ended, so that reads go on from there.
#ifndef _WIN32
mapped_run count_mapped(input_file& file, std::uint64_t from, std::uint64_t size,
                        const std::atomic<std::int32_t>& state, std::int32_t running,
                        std::atomic<std::uint64_t>& position);
#else
// Windows reads every file.
inline mapped_run count_mapped(input_file&, std::uint64_t, std::uint64_t, const std::atomic<std::int32_t>&,
                               std::int32_t, std::atomic<std::uint64_t>&)
{
    return {};
}
#endif
