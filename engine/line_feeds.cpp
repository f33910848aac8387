#include "line_feeds.h"

#include <algorithm>
#include <cstdint>

#include <immintrin.h>

std::size_t count_line_feeds_portable(const char* data, std::size_t size) noexcept
{
    return static_cast<std::size_t>(std::count(data, data + size, '\n'));
}

namespace {

// -1 in each byte lane that holds LF, 0 elsewhere.
__attribute__((target("avx2"))) inline __m256i is_line_feed(const char* at, __m256i line_feed) noexcept
{
    return _mm256_cmpeq_epi8(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(at)), line_feed);
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
        sums = _mm256_add_epi64(sums, _mm256_add_epi64(_mm256_sad_epu8(a, zero), _mm256_sad_epu8(b, zero)));
        sums = _mm256_add_epi64(sums, _mm256_add_epi64(_mm256_sad_epu8(c, zero), _mm256_sad_epu8(d, zero)));
    }
    __m256i lanes = zero;
    for (; size >= 32; size -= 32, data += 32)
        lanes = _mm256_sub_epi8(lanes, is_line_feed(data, line_feed));
    sums = _mm256_add_epi64(sums, _mm256_sad_epu8(lanes, zero));
    const __m128i halves = _mm_add_epi64(_mm256_castsi256_si128(sums), _mm256_extracti128_si256(sums, 1));
    const auto total = static_cast<std::size_t>(_mm_cvtsi128_si64(halves) + _mm_extract_epi64(halves, 1));
    return total + count_line_feeds_portable(data, size);
}

bool cpu_has_avx2() noexcept
{
    return __builtin_cpu_supports("avx2");
}

std::size_t count_line_feeds(const char* data, std::size_t size) noexcept
{
    static const auto kernel = cpu_has_avx2() ? count_line_feeds_avx2 : count_line_feeds_portable;
    return kernel(data, size);
}
