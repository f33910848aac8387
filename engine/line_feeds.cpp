#include "line_feeds.h"

#include <algorithm>
#include <cstdint>

#include <immintrin.h>

std::size_t count_line_feeds_portable(const char* data, std::size_t size) noexcept
{
    return static_cast<std::size_t>(std::count(data, data + size, '\n'));
}

// Compared bytes are -1 where they are LF; subtracting them counts per byte lane, and a
// lane holds at most 255 before it is folded into 64-bit sums with SAD.
__attribute__((target("avx2"))) std::size_t count_line_feeds_avx2(const char* data, std::size_t size) noexcept
{
    const __m256i line_feed = _mm256_set1_epi8('\n');
    const __m256i zero = _mm256_setzero_si256();
    __m256i sums = zero;
    while (size >= 32) {
        __m256i lanes = zero;
        const std::size_t vectors = std::min<std::size_t>(size / 32, 255);
        for (std::size_t i = 0; i < vectors; ++i, data += 32) {
            const __m256i bytes = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(data));
            lanes = _mm256_sub_epi8(lanes, _mm256_cmpeq_epi8(bytes, line_feed));
        }
        sums = _mm256_add_epi64(sums, _mm256_sad_epu8(lanes, zero));
        size -= vectors * 32;
    }
    const auto total = static_cast<std::size_t>(_mm256_extract_epi64(sums, 0) + _mm256_extract_epi64(sums, 1)
                                                 + _mm256_extract_epi64(sums, 2) + _mm256_extract_epi64(sums, 3));
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
