#pragma once

#include <cstddef>

// Counts the LF (0x0A) bytes of a block with the fastest kernel this CPU runs.
std::size_t count_line_feeds(const char* data, std::size_t size) noexcept;

// The kernels themselves, so that tests can hold them against each other.
std::size_t count_line_feeds_portable(const char* data, std::size_t size) noexcept;
std::size_t count_line_feeds_avx2(const char* data, std::size_t size) noexcept;
bool cpu_has_avx2() noexcept;
