#pragma once

#include "line_feeds.h"
#include "utf8_carry.h"

#include <atomic>
#include <cstddef>
#include <cstdint>

// Counting UTF-8 characters and LFs in one pass, piece by piece.
//
// Every well-formed UTF-8 sequence is one character, and so is every maximal ill-formed
// subpart (Unicode's practice for U+FFFD substitution, as Python's decode(..., "replace")
// does). Each character is counted at its first byte, and whether a byte starts one depends
// only on the three bytes before it. So a stream may be cut anywhere: what a piece's count
// needs of the pieces before it is their last three bytes, kept in a utf8_carry, and a
// piece's count is final when it returns. No flush at the end: a sequence cut short by the
// end of the stream was counted as one character at its first byte.

// What a count covered: its characters and LFs, and how many bytes they were counted in.
struct utf8_run {
    std::uint64_t characters = 0;
    std::uint64_t line_feeds = 0;
    std::size_t bytes = 0;
};

// Counts the characters and LFs of the next size bytes of a stream with the fastest kernel
// this CPU runs; bytes is size. carry holds the stream's bytes before data on the way in,
// and those up to data + size on the way out.
utf8_run count_utf8(const char* data, std::size_t size, utf8_carry& carry) noexcept;

// count_utf8 of a whole read buffer in one loop, watched as count_line_feeds_watched is: in
// blocks of watch_block bytes, storing base + the bytes done into `position` after each and
// going on only while `state` equals `running`. It covers at least one block (all of a
// shorter buffer) and stops only at a block boundary; carry then ends at the bytes covered,
// so counting the rest of the buffer later counts it as if it had not stopped.
utf8_run count_utf8_watched(const char* data, std::size_t size, utf8_carry& carry,
                            const std::atomic<std::int32_t>& state, std::int32_t running,
                            std::atomic<std::uint64_t>& position, std::uint64_t base) noexcept;

// The kernels themselves, for tests and benchmarks. The portable ones are plain C++ with the
// compiler's vector types (NEON on ARM64, SSE2 on x86-64). Where AVX2 and AVX-512 (F and BW)
// cannot be built, the _avx2 and _avx512 names run the portable kernels, as in line_feeds.h,
// and cpu_has_avx512() is false. A carry may pass between kernels.
utf8_run count_utf8_portable(const char* data, std::size_t size, utf8_carry& carry) noexcept;
utf8_run count_utf8_avx2(const char* data, std::size_t size, utf8_carry& carry) noexcept;
utf8_run count_utf8_watched_portable(const char* data, std::size_t size, utf8_carry& carry,
                                     const std::atomic<std::int32_t>& state, std::int32_t running,
                                     std::atomic<std::uint64_t>& position, std::uint64_t base) noexcept;
utf8_run count_utf8_watched_avx2(const char* data, std::size_t size, utf8_carry& carry,
                                 const std::atomic<std::int32_t>& state, std::int32_t running,
                                 std::atomic<std::uint64_t>& position, std::uint64_t base) noexcept;
utf8_run count_utf8_avx512(const char* data, std::size_t size, utf8_carry& carry) noexcept;
utf8_run count_utf8_watched_avx512(const char* data, std::size_t size, utf8_carry& carry,
                                   const std::atomic<std::int32_t>& state, std::int32_t running,
                                   std::atomic<std::uint64_t>& position, std::uint64_t base) noexcept;
bool cpu_has_avx512() noexcept;
