#pragma once

#include "engine/counts.h"

#include <atomic>
#include <cstddef>
#include <cstdint>

// Counts the LF (0x0A) bytes of a block with the fastest kernel this CPU runs.
std::size_t count_line_feeds(const char* data, std::size_t size) noexcept;

// Counts a whole read buffer in one loop, in blocks of watch_block bytes (the last one may be
// shorter), and returns the counts of the blocks it covered. After each block it stores
// base + the bytes done so far into `position` (relaxed) and, unless that was the last block,
// goes on only while `state` still equals `running`. So it covers at least one block, stops
// only at a block boundary, and a stop is seen within one block; the caller checks `state`
// before reading the buffer.
inline constexpr std::size_t watch_block = 1024;
counts count_line_feeds_watched(const char* data, std::size_t size, const std::atomic<std::int32_t>& state,
                                std::int32_t running, std::atomic<std::uint64_t>& position,
                                std::uint64_t base) noexcept;

// The kernels themselves, so that tests and benchmarks can hold them against each other.
// Where AVX2 cannot be built (not x86-64), the _avx2 names run the portable kernels and
// cpu_has_avx2() is false.
std::size_t count_line_feeds_portable(const char* data, std::size_t size) noexcept;
std::size_t count_line_feeds_avx2(const char* data, std::size_t size) noexcept;
counts count_line_feeds_watched_portable(const char* data, std::size_t size, const std::atomic<std::int32_t>& state,
                                         std::int32_t running, std::atomic<std::uint64_t>& position,
                                         std::uint64_t base) noexcept;
counts count_line_feeds_watched_avx2(const char* data, std::size_t size, const std::atomic<std::int32_t>& state,
                                     std::int32_t running, std::atomic<std::uint64_t>& position,
                                     std::uint64_t base) noexcept;
bool cpu_has_avx2() noexcept;
