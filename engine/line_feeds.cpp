#include "line_feeds.h"

#include <algorithm>

// AVX2 kernels only where the compiler can build them; elsewhere (ARM64, ...) the portable ones.
#if defined(__x86_64__) && !defined(POMVANE_FORCE_PORTABLE)
#define POMVANE_AVX2 1
#include <immintrin.h>
#endif

std::size_t count_line_feeds_portable(const char* data, std::size_t size) noexcept
{
    return static_cast<std::size_t>(std::count(data, data + size, '\n'));
}

counts count_line_feeds_watched_portable(const char* data, std::size_t size, const std::atomic<std::int32_t>& state,
                                         std::int32_t running, std::atomic<std::uint64_t>& position,
                                         std::uint64_t base) noexcept
{
    std::uint64_t line_feeds = 0;
    std::size_t done = 0;
    for (;;) {
        const std::size_t length = std::min(watch_block, size - done);
        line_feeds += count_line_feeds_portable(data + done, length);
        done += length;
        position.store(base + done, std::memory_order_relaxed);
        if (done == size || state.load(std::memory_order_acquire) != running)
            return counts::of(data, done, line_feeds);
    }
}

#if POMVANE_AVX2

namespace {

// -1 in each byte lane that holds LF, 0 elsewhere.
__attribute__((target("avx2"))) inline __m256i is_line_feed(const char* at, __m256i line_feed) noexcept
{
    return _mm256_cmpeq_epi8(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(at)), line_feed);
}

// The four 64-bit lanes of sums added up.
__attribute__((target("avx2"))) inline std::uint64_t sum_lanes(__m256i sums) noexcept
{
    const __m128i halves = _mm_add_epi64(_mm256_castsi256_si128(sums), _mm256_extracti128_si256(sums, 1));
    return static_cast<std::uint64_t>(_mm_cvtsi128_si64(halves) + _mm_extract_epi64(halves, 1));
}

// sums plus the byte lanes of a, b, c and d, folded into 64-bit lanes.
__attribute__((target("avx2"))) inline __m256i fold_lanes(__m256i sums, __m256i a, __m256i b, __m256i c,
                                                          __m256i d) noexcept
{
    const __m256i zero = _mm256_setzero_si256();
    sums = _mm256_add_epi64(sums, _mm256_add_epi64(_mm256_sad_epu8(a, zero), _mm256_sad_epu8(b, zero)));
    return _mm256_add_epi64(sums, _mm256_add_epi64(_mm256_sad_epu8(c, zero), _mm256_sad_epu8(d, zero)));
}

} // namespace

// Compared bytes are -1 where they are LF; subtracting them counts per byte lane, and a
// lane holds at most 255 before it is folded into 64-bit sums with SAD. Four accumulators,
// because one would make every vector wait for the subtraction before it.
__attribute__((target("avx2"))) std::size_t count_line_feeds_avx2(const char* data, std::size_t size) noexcept
{
    const __m256i line_feed = _mm256_set1_epi8('\n');
    const __m256i zero = _mm256_setzero_si256();
    __m256i sums = zero;
    while (size >= 128) {
        __m256i a = zero, b = zero, c = zero, d = zero;
        const std::size_t rounds = std::min<std::size_t>(size / 128, 255);
        size -= rounds * 128;
        for (std::size_t i = 0; i < rounds; ++i, data += 128) {
            a = _mm256_sub_epi8(a, is_line_feed(data, line_feed));
            b = _mm256_sub_epi8(b, is_line_feed(data + 32, line_feed));
            c = _mm256_sub_epi8(c, is_line_feed(data + 64, line_feed));
            d = _mm256_sub_epi8(d, is_line_feed(data + 96, line_feed));
        }
        sums = fold_lanes(sums, a, b, c, d);
    }
    __m256i lanes = zero;
    for (; size >= 32; size -= 32, data += 32)
        lanes = _mm256_sub_epi8(lanes, is_line_feed(data, line_feed));
    sums = _mm256_add_epi64(sums, _mm256_sad_epu8(lanes, zero));
    return sum_lanes(sums) + count_line_feeds_portable(data, size);
}

// The same per-lane counting over the whole buffer, the lanes carried from block to block: a
// call per block would fold and sum them every 1024 bytes, which costs about half as much
// again as the counting itself.
__attribute__((target("avx2"))) counts count_line_feeds_watched_avx2(
    const char* data, std::size_t size, const std::atomic<std::int32_t>& state, std::int32_t running,
    std::atomic<std::uint64_t>& position, std::uint64_t base) noexcept
{
    const __m256i line_feed = _mm256_set1_epi8('\n');
    const __m256i zero = _mm256_setzero_si256();
    __m256i sums = zero, a = zero, b = zero, c = zero, d = zero;
    // A block adds at most 8 to each byte lane, which holds 255.
    constexpr unsigned blocks_per_fold = 255 / (watch_block / 128);
    unsigned blocks = 0;
    std::uint64_t tail = 0;
    std::size_t done = 0;
    for (;;) {
        if (size - done >= watch_block) {
            const char* at = data + done;
            for (std::size_t i = 0; i < watch_block / 128; ++i, at += 128) {
                a = _mm256_sub_epi8(a, is_line_feed(at, line_feed));
                b = _mm256_sub_epi8(b, is_line_feed(at + 32, line_feed));
                c = _mm256_sub_epi8(c, is_line_feed(at + 64, line_feed));
                d = _mm256_sub_epi8(d, is_line_feed(at + 96, line_feed));
            }
            done += watch_block;
            if (++blocks == blocks_per_fold) {
                sums = fold_lanes(sums, a, b, c, d);
                a = b = c = d = zero;
                blocks = 0;
            }
        } else {
            tail = count_line_feeds_avx2(data + done, size - done);
            done = size;
        }
        position.store(base + done, std::memory_order_relaxed);
        if (done == size || state.load(std::memory_order_acquire) != running)
            break;
    }
    return counts::of(data, done, sum_lanes(fold_lanes(sums, a, b, c, d)) + tail);
}

bool cpu_has_avx2() noexcept
{
    return __builtin_cpu_supports("avx2");
}

#else

std::size_t count_line_feeds_avx2(const char* data, std::size_t size) noexcept
{
    return count_line_feeds_portable(data, size);
}

counts count_line_feeds_watched_avx2(const char* data, std::size_t size, const std::atomic<std::int32_t>& state,
                                     std::int32_t running, std::atomic<std::uint64_t>& position,
                                     std::uint64_t base) noexcept
{
    return count_line_feeds_watched_portable(data, size, state, running, position, base);
}

bool cpu_has_avx2() noexcept
{
    return false;
}

#endif

std::size_t count_line_feeds(const char* data, std::size_t size) noexcept
{
    static const auto kernel = cpu_has_avx2() ? count_line_feeds_avx2 : count_line_feeds_portable;
    return kernel(data, size);
}

counts count_line_feeds_watched(const char* data, std::size_t size, const std::atomic<std::int32_t>& state,
                                std::int32_t running, std::atomic<std::uint64_t>& position,
                                std::uint64_t base) noexcept
{
    static const auto kernel = cpu_has_avx2() ? count_line_feeds_watched_avx2 : count_line_feeds_watched_portable;
    return kernel(data, size, state, running, position, base);
}
