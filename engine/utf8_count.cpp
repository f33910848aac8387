#include "utf8_count.h"

#include <algorithm>
#include <cstring>
#include <limits>

// AVX2 and AVX-512 kernels only where the compiler can build them; elsewhere (ARM64, ...) the
// portable ones.
#if defined(__x86_64__) && !defined(POMVANE_FORCE_PORTABLE)
#define POMVANE_AVX2 1
#include <immintrin.h>
#endif

// Which bytes count. A byte is a character unless it is a continuation byte (80..BF) that the
// bytes before it accept, which is so in three cases (Unicode's table 3-7):
//   - the byte before is a lead byte C2..F4 and this one is in that lead's range for a
//     second byte: 80..BF, but A0..BF after E0, 80..9F after ED, 90..BF after F0 and
//     80..8F after F4;
//   - the byte before was accepted so as a second byte, and the lead before it is E0..F4;
//   - the two bytes before are a second and a third byte so accepted, and the lead before
//     them is F0..F4.
// A lead byte is never accepted, so it starts a character even right after an unfinished
// sequence: that is the maximal subpart rule, and why the three bytes before a byte are all
// that decide it.

namespace {

using byte = unsigned char;

// (A typedef: GCC drops the attribute from a dependent alias declaration.)
template <std::size_t N> struct lanes_of {
    typedef byte type __attribute__((vector_size(N)));
};

// ok gets 0xFF where `next`, a continuation byte, is in the range a second byte after `lead`
// may take; lead is taken to be a lead byte C2..F4. (Out-parameters, not values, because a
// 32-byte vector passed by value outside an AVX2 function changes the calling convention.)
template <class lanes> inline void second_byte_fits(const lanes& lead, const lanes& next, lanes& ok) noexcept
{
    ok = ~(lanes)(((lead == 0xE0) & (next < 0xA0)) | ((lead == 0xED) & (next > 0x9F))
                  | ((lead == 0xF0) & (next < 0x90)) | ((lead == 0xF4) & (next > 0x8F)));
}

// 0xFF in each lane whose byte counts as a character, 0 elsewhere, for the N bytes at `at`;
// at[-3..-1] are the stream's bytes before them. The whole rule above, in the compiler's
// vector types: the portable kernel (16 lanes) and the AVX2 one's exact path (32 lanes).
template <std::size_t N>
inline void counted_lanes(const byte* at, typename lanes_of<N>::type& counted) noexcept
{
    using lanes = typename lanes_of<N>::type;
    lanes b0, b1, b2, b3; // each byte, and the one, two and three before it
    std::memcpy(&b0, at, N);
    std::memcpy(&b1, at - 1, N);
    std::memcpy(&b2, at - 2, N);
    std::memcpy(&b3, at - 3, N);
    const lanes follows0 = (lanes)((b0 & 0xC0) == 0x80);
    const lanes follows1 = (lanes)((b1 & 0xC0) == 0x80);
    const lanes follows2 = (lanes)((b2 & 0xC0) == 0x80);
    lanes fits1, fits2, fits3;
    second_byte_fits(b1, b0, fits1);
    second_byte_fits(b2, b1, fits2);
    second_byte_fits(b3, b2, fits3);
    const lanes second = follows0 & (lanes)((b1 >= 0xC2) & (b1 <= 0xF4)) & fits1;
    const lanes third = follows0 & follows1 & (lanes)((b2 >= 0xE0) & (b2 <= 0xF4)) & fits2;
    const lanes fourth = follows0 & follows1 & follows2 & (lanes)((b3 >= 0xF0) & (b3 <= 0xF4)) & fits3;
    counted = ~(second | third | fourth);
}

// The sum of the byte lanes of a 16-byte vector.
inline std::uint64_t sum_bytes(const lanes_of<16>::type& lanes) noexcept
{
    std::uint64_t words[2];
    std::memcpy(words, &lanes, sizeof words);
    std::uint64_t sum = 0;
    for (std::uint64_t word : words) {
        word = (word & 0x00FF00FF00FF00FF) + ((word >> 8) & 0x00FF00FF00FF00FF);
        sum += (word * 0x0001000100010001) >> 48;
    }
    return sum;
}

// Counts 64-byte blocks in byte lanes, adding the lanes up before they overflow. The lanes
// live in locals while a run of blocks is counted, so that they stay in registers.
struct portable_counter {
    // A block adds at most 4 to a lane, which holds 255.
    static constexpr unsigned blocks_per_fold = 63;
    using lanes = lanes_of<16>::type;

    lanes character_lanes{};
    lanes line_feed_lanes{};
    unsigned pending = 0; // blocks in the lanes
    std::uint64_t characters = 0;
    std::uint64_t line_feeds = 0;

    // count blocks of 64 bytes from `at`; at[-3..-1] are the stream's bytes before them.
    void blocks(const byte* at, std::size_t count) noexcept
    {
        lanes counted_characters = character_lanes;
        lanes counted_line_feeds = line_feed_lanes;
        for (; count > 0; --count, at += 64) {
            lanes bytes[4];
            std::memcpy(bytes, at, sizeof bytes);
            for (const lanes& b : bytes)
                counted_line_feeds -= (lanes)(b == '\n');
            // ASCII only: every byte a character.
            const lanes any = bytes[0] | bytes[1] | bytes[2] | bytes[3];
            std::uint64_t words[2];
            std::memcpy(words, &any, sizeof words);
            if (((words[0] | words[1]) & 0x8080808080808080) == 0) {
                characters += 64;
            } else {
                for (int i = 0; i < 4; ++i) {
                    lanes counted;
                    counted_lanes<16>(at + 16 * i, counted);
                    counted_characters -= counted;
                }
            }
            if (++pending == blocks_per_fold) {
                characters += sum_bytes(counted_characters);
                line_feeds += sum_bytes(counted_line_feeds);
                counted_characters = counted_line_feeds = lanes{};
                pending = 0;
            }
        }
        character_lanes = counted_characters;
        line_feed_lanes = counted_line_feeds;
    }

    utf8_run totals() const noexcept
    {
        return {characters + sum_bytes(character_lanes), line_feeds + sum_bytes(line_feed_lanes), 0};
    }
};

// out gets the stream's last three bytes once `done` bytes of data are counted after those
// `before` held. out may be before.last.
inline void last_three(const utf8_carry& before, const byte* data, std::size_t done, byte* out) noexcept
{
    if (done >= 3) {
        std::memcpy(out, data + done - 3, 3);
        return;
    }
    byte joined[5];
    std::memcpy(joined, before.last, 3);
    if (done > 0)
        std::memcpy(joined + 3, data, done);
    std::memcpy(out, joined + done, 3);
}

// The loop all kernels share: 64-byte blocks in place, where the three bytes before each can
// be read; the first block and a short last one on a copy with the stream's three bytes
// before it and zeros after it (each zero a character, taken off again). After every `watch`
// bytes (and at the end) it asks keep_going(bytes done) whether to go on.
template <class counter_type, class keep_going_type>
inline utf8_run count_stream(counter_type& counter, const byte* data, std::size_t size, utf8_carry& carry,
                             std::size_t watch, keep_going_type keep_going) noexcept
{
    if (size == 0) {
        keep_going(0);
        return {};
    }
    byte seam[3 + 64];
    std::uint64_t padding = 0;
    std::size_t done = 0;
    auto count_copy = [&](std::size_t length) {
        last_three(carry, data, done, seam);
        std::memcpy(seam + 3, data + done, length);
        std::memset(seam + 3 + length, 0, 64 - length);
        counter.blocks(seam + 3, 1);
        padding += 64 - length;
        done += length;
    };
    count_copy(std::min<std::size_t>(size, 64));
    for (;;) {
        const std::size_t end = std::min(size, (done / watch + 1) * watch);
        const std::size_t in_place = (end - done) / 64;
        counter.blocks(data + done, in_place);
        done += in_place * 64;
        if (done < end)
            count_copy(end - done);
        if (!keep_going(done))
            break;
    }
    last_three(carry, data, done, carry.last);
    utf8_run run = counter.totals();
    run.characters -= padding;
    run.bytes = done;
    return run;
}

constexpr std::size_t no_watch = std::numeric_limits<std::size_t>::max();
static_assert(watch_block % 64 == 0, "a watched block is whole 64-byte blocks");

// What the watched kernels do between blocks.
struct watcher {
    std::size_t size;
    const std::atomic<std::int32_t>& state;
    std::int32_t running;
    std::atomic<std::uint64_t>& position;
    std::uint64_t base;

    bool operator()(std::size_t done) const noexcept
    {
        position.store(base + done, std::memory_order_relaxed);
        return done < size && state.load(std::memory_order_acquire) == running;
    }
};

const byte* bytes_of(const char* data) noexcept
{
    return reinterpret_cast<const byte*>(data);
}

} // namespace

utf8_run count_utf8_portable(const char* data, std::size_t size, utf8_carry& carry) noexcept
{
    portable_counter counter;
    return count_stream(counter, bytes_of(data), size, carry, no_watch, [size](std::size_t done) { return done < size; });
}

utf8_run count_utf8_watched_portable(const char* data, std::size_t size, utf8_carry& carry,
                                     const std::atomic<std::int32_t>& state, std::int32_t running,
                                     std::atomic<std::uint64_t>& position, std::uint64_t base) noexcept
{
    portable_counter counter;
    return count_stream(counter, bytes_of(data), size, carry, watch_block,
                        watcher{size, state, running, position, base});
}

#if POMVANE_AVX2

namespace {

// Finds where the quick count (a character per byte that is not a continuation byte) may be
// wrong, with nibble lookups in the way Keiser and Lemire validate UTF-8. A byte is flagged
// where, with the byte before it:
constexpr char too_short = 0x01;  // a lead or invalid byte C0..FF is followed by no continuation byte
constexpr char too_long = 0x02;   // ASCII is followed by a continuation byte
constexpr char overlong_2 = 0x04; // C0 or C1 is followed by a continuation byte
constexpr char overlong_3 = 0x08; // E0 is followed by 80..9F
constexpr char surrogate = 0x10;  // ED is followed by A0..BF
constexpr char past_8x = 0x20;    // F0 or F5..FF is followed by 80..8F
constexpr char too_large = 0x40;  // F4..FF is followed by 90..BF
constexpr char two_continuations = static_cast<char>(0x80); // wrong unless 2 or 3 bytes back is E0.. or F0..
constexpr char any_low = too_short | too_long | two_continuations;
constexpr char continuation = too_long | two_continuations | overlong_2;

// Each test is the AND of a bit looked up by the byte before's high nibble, by its low nibble,
// and by this byte's high nibble. A lookup works in each 16-byte lane, so the tables repeat.
struct nibble_table {
    alignas(64) char at[64];
};
constexpr nibble_table repeated(const char (&table)[16])
{
    nibble_table lanes{};
    for (int i = 0; i < 64; ++i)
        lanes.at[i] = table[i % 16];
    return lanes;
}
constexpr nibble_table by_high_1 = repeated({
    too_long, too_long, too_long, too_long, too_long, too_long, too_long, too_long,
    two_continuations, two_continuations, two_continuations, two_continuations,
    too_short | overlong_2, too_short, too_short | overlong_3 | surrogate, too_short | past_8x | too_large});
constexpr nibble_table by_low_1 = repeated({
    any_low | overlong_2 | overlong_3 | past_8x, any_low | overlong_2, any_low, any_low, any_low | too_large,
    any_low | too_large | past_8x, any_low | too_large | past_8x, any_low | too_large | past_8x,
    any_low | too_large | past_8x, any_low | too_large | past_8x, any_low | too_large | past_8x,
    any_low | too_large | past_8x, any_low | too_large | past_8x, any_low | surrogate | too_large | past_8x,
    any_low | too_large | past_8x, any_low | too_large | past_8x});
constexpr nibble_table by_high_0 = repeated({
    too_short, too_short, too_short, too_short, too_short, too_short, too_short, too_short,
    continuation | overlong_3 | past_8x, continuation | overlong_3 | too_large, continuation | surrogate | too_large,
    continuation | surrogate | too_large, too_short, too_short, too_short, too_short});

// Where no byte of a block is flagged and none of the two before it, every continuation byte
// in it is accepted (a flag marks each way one can be left out: after ASCII, after an invalid
// byte, out of its lead's range, after a lead cut short, or one too many), so the quick count
// is exact. Elsewhere the exact rule runs on that block.
struct avx2_counter {
    // A block adds at most 2 to a lane, which holds 255.
    static constexpr unsigned blocks_per_fold = 127;

    __m256i character_lanes;
    __m256i line_feed_lanes;
    unsigned pending = 0; // blocks in the lanes
    std::uint64_t characters = 0;
    std::uint64_t line_feeds = 0;
    // The last block flagged a byte, which may make this block's first two quick counts
    // wrong; so too at the start, where the flags before are not known.
    bool suspect = true;

    __attribute__((target("avx2"))) avx2_counter() noexcept
        : character_lanes(_mm256_setzero_si256()), line_feed_lanes(_mm256_setzero_si256())
    {
    }

    static __attribute__((target("avx2"))) __m256i load(const byte* at) noexcept
    {
        return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(at));
    }

    // Non-zero lanes where the 32 bytes b0 at `at` are flagged.
    static __attribute__((target("avx2"))) __m256i flags(const byte* at, __m256i b0) noexcept
    {
        const __m256i high_1 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(by_high_1.at));
        const __m256i low_1 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(by_low_1.at));
        const __m256i high_0 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(by_high_0.at));
        const __m256i b1 = load(at - 1);
        const __m256i nibble = _mm256_set1_epi8(0x0F);
        const __m256i pairs = _mm256_and_si256(
            _mm256_and_si256(_mm256_shuffle_epi8(high_1, _mm256_and_si256(_mm256_srli_epi16(b1, 4), nibble)),
                             _mm256_shuffle_epi8(low_1, _mm256_and_si256(b1, nibble))),
            _mm256_shuffle_epi8(high_0, _mm256_and_si256(_mm256_srli_epi16(b0, 4), nibble)));
        // 0x80 where the byte two back is E0.. or the one three back is F0..: a third or
        // fourth byte may follow a continuation byte there.
        const __m256i third = _mm256_subs_epu8(load(at - 2), _mm256_set1_epi8(0xE0 - 0x80));
        const __m256i fourth = _mm256_subs_epu8(load(at - 3), _mm256_set1_epi8(0xF0 - 0x80));
        const __m256i allowed = _mm256_and_si256(_mm256_or_si256(third, fourth), _mm256_set1_epi8(two_continuations));
        return _mm256_xor_si256(pairs, allowed);
    }

    // -1 in the lanes of bytes that are not continuation bytes.
    static __attribute__((target("avx2"))) __m256i quick(__m256i b0) noexcept
    {
        return _mm256_cmpgt_epi8(b0, _mm256_set1_epi8(static_cast<char>(0xBF)));
    }

    // Out of line: inlined, it takes so many registers that the lanes of the quick paths
    // would be kept in memory.
    static __attribute__((target("avx2"), noinline, flatten)) __m256i exact(const byte* at) noexcept
    {
        lanes_of<32>::type counted;
        counted_lanes<32>(at, counted);
        return (__m256i)counted;
    }

    static __attribute__((target("avx2"))) std::uint64_t sum_bytes(__m256i lanes) noexcept
    {
        const __m256i sums = _mm256_sad_epu8(lanes, _mm256_setzero_si256());
        const __m128i halves = _mm_add_epi64(_mm256_castsi256_si128(sums), _mm256_extracti128_si256(sums, 1));
        return static_cast<std::uint64_t>(_mm_cvtsi128_si64(halves) + _mm_extract_epi64(halves, 1));
    }

    // count blocks of 64 bytes from `at`; at[-3..-1] are the stream's bytes before them.
    __attribute__((target("avx2"))) void blocks(const byte* at, std::size_t count) noexcept
    {
        __m256i counted_characters = character_lanes;
        __m256i counted_line_feeds = line_feed_lanes;
        bool after_flags = suspect;
        const __m256i line_feed = _mm256_set1_epi8('\n');
        for (; count > 0; --count, at += 64) {
            const __m256i b0 = load(at), b32 = load(at + 32);
            counted_line_feeds = _mm256_sub_epi8(counted_line_feeds, _mm256_cmpeq_epi8(b0, line_feed));
            counted_line_feeds = _mm256_sub_epi8(counted_line_feeds, _mm256_cmpeq_epi8(b32, line_feed));
            if (_mm256_movemask_epi8(_mm256_or_si256(b0, b32)) == 0) {
                characters += 64; // ASCII only
                after_flags = false;
            } else {
                const __m256i flags0 = flags(at, b0), flags32 = flags(at + 32, b32);
                const __m256i either = _mm256_or_si256(flags0, flags32);
                if (!after_flags && _mm256_testz_si256(either, either)) {
                    counted_characters = _mm256_sub_epi8(counted_characters, quick(b0));
                    counted_characters = _mm256_sub_epi8(counted_characters, quick(b32));
                } else {
                    const bool flagged0 = !_mm256_testz_si256(flags0, flags0);
                    const bool flagged32 = !_mm256_testz_si256(flags32, flags32);
                    counted_characters = _mm256_sub_epi8(counted_characters,
                                                         after_flags || flagged0 ? exact(at) : quick(b0));
                    counted_characters = _mm256_sub_epi8(counted_characters,
                                                         flagged0 || flagged32 ? exact(at + 32) : quick(b32));
                    after_flags = flagged32;
                }
            }
            if (++pending == blocks_per_fold) {
                characters += sum_bytes(counted_characters);
                line_feeds += sum_bytes(counted_line_feeds);
                counted_characters = counted_line_feeds = _mm256_setzero_si256();
                pending = 0;
            }
        }
        character_lanes = counted_characters;
        line_feed_lanes = counted_line_feeds;
        suspect = after_flags;
    }

    __attribute__((target("avx2"))) utf8_run totals() const noexcept
    {
        return {characters + sum_bytes(character_lanes), line_feeds + sum_bytes(line_feed_lanes), 0};
    }
};

#define POMVANE_AVX512 "avx512f,avx512bw,popcnt"

// The same with 64-byte vectors, a block at a time, counting through bit masks: with twice
// the width and twice the registers, about twice as fast on text that is not ASCII.
struct avx512_counter {
    std::uint64_t characters = 0;
    std::uint64_t line_feeds = 0;
    bool suspect = true; // as in avx2_counter, a block for a vector

    static __attribute__((target(POMVANE_AVX512))) __m512i load(const byte* at) noexcept
    {
        return _mm512_loadu_si512(at);
    }

    // Whether a byte of the 64 b0 at `at` is flagged.
    static __attribute__((target(POMVANE_AVX512))) bool flagged(const byte* at, __m512i b0) noexcept
    {
        const __m512i b1 = load(at - 1);
        const __m512i nibble = _mm512_set1_epi8(0x0F);
        const __m512i high_1 = _mm512_shuffle_epi8(_mm512_loadu_si512(by_high_1.at),
                                                   _mm512_and_si512(_mm512_srli_epi16(b1, 4), nibble));
        const __m512i low_1 = _mm512_shuffle_epi8(_mm512_loadu_si512(by_low_1.at), _mm512_and_si512(b1, nibble));
        const __m512i high_0 = _mm512_shuffle_epi8(_mm512_loadu_si512(by_high_0.at),
                                                   _mm512_and_si512(_mm512_srli_epi16(b0, 4), nibble));
        const __m512i third = _mm512_subs_epu8(load(at - 2), _mm512_set1_epi8(0xE0 - 0x80));
        const __m512i fourth = _mm512_subs_epu8(load(at - 3), _mm512_set1_epi8(0xF0 - 0x80));
        // (third | fourth) & 0x80: may a third or fourth byte follow a continuation byte here.
        const __m512i allowed = _mm512_ternarylogic_epi32(third, fourth, _mm512_set1_epi8(two_continuations), 0xA8);
        // high_1 & low_1 & high_0, then ^ allowed
        const __m512i pairs = _mm512_ternarylogic_epi32(high_1, low_1, high_0, 0x80);
        const __m512i wrong = _mm512_xor_si512(pairs, allowed);
        return _mm512_test_epi8_mask(wrong, wrong) != 0;
    }

    // In halves: GCC makes some 70 KiB of code of the rule in 64 lanes, and slow code too.
    static __attribute__((target(POMVANE_AVX512), noinline, flatten)) std::uint64_t exact(const byte* at) noexcept
    {
        lanes_of<32>::type low, high;
        counted_lanes<32>(at, low);
        counted_lanes<32>(at + 32, high);
        const auto low_mask = static_cast<std::uint32_t>(_mm256_movemask_epi8((__m256i)low));
        const auto high_mask = static_cast<std::uint32_t>(_mm256_movemask_epi8((__m256i)high));
        return static_cast<std::uint64_t>(__builtin_popcountll(std::uint64_t(high_mask) << 32 | low_mask));
    }

    __attribute__((target(POMVANE_AVX512))) void blocks(const byte* at, std::size_t count) noexcept
    {
        const __m512i line_feed = _mm512_set1_epi8('\n');
        const __m512i last_ascii = _mm512_set1_epi8(static_cast<char>(0xBF)); // signed: C0.. and 00..7F above it
        for (; count > 0; --count, at += 64) {
            const __m512i b0 = load(at);
            line_feeds += static_cast<std::uint64_t>(__builtin_popcountll(_mm512_cmpeq_epi8_mask(b0, line_feed)));
            if (_mm512_movepi8_mask(b0) == 0) {
                characters += 64; // ASCII only
                suspect = false;
                continue;
            }
            const bool flags = flagged(at, b0);
            if (!suspect && !flags)
                characters += static_cast<std::uint64_t>(__builtin_popcountll(_mm512_cmpgt_epi8_mask(b0, last_ascii)));
            else
                characters += exact(at);
            suspect = flags;
        }
    }

    utf8_run totals() const noexcept
    {
        return {characters, line_feeds, 0};
    }
};

} // namespace

// flatten: the shared loop and the counter's AVX2 members are inlined here, where AVX2 is on.
__attribute__((target("avx2"), flatten)) utf8_run count_utf8_avx2(const char* data, std::size_t size,
                                                                 utf8_carry& carry) noexcept
{
    avx2_counter counter;
    return count_stream(counter, bytes_of(data), size, carry, no_watch, [size](std::size_t done) { return done < size; });
}

__attribute__((target("avx2"), flatten)) utf8_run count_utf8_watched_avx2(
    const char* data, std::size_t size, utf8_carry& carry, const std::atomic<std::int32_t>& state,
    std::int32_t running, std::atomic<std::uint64_t>& position, std::uint64_t base) noexcept
{
    avx2_counter counter;
    return count_stream(counter, bytes_of(data), size, carry, watch_block,
                        watcher{size, state, running, position, base});
}

__attribute__((target(POMVANE_AVX512), flatten)) utf8_run count_utf8_avx512(const char* data, std::size_t size,
                                                                          utf8_carry& carry) noexcept
{
    avx512_counter counter;
    return count_stream(counter, bytes_of(data), size, carry, no_watch, [size](std::size_t done) { return done < size; });
}

__attribute__((target(POMVANE_AVX512), flatten)) utf8_run count_utf8_watched_avx512(
    const char* data, std::size_t size, utf8_carry& carry, const std::atomic<std::int32_t>& state,
    std::int32_t running, std::atomic<std::uint64_t>& position, std::uint64_t base) noexcept
{
    avx512_counter counter;
    return count_stream(counter, bytes_of(data), size, carry, watch_block,
                        watcher{size, state, running, position, base});
}

bool cpu_has_avx512() noexcept
{
    return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw");
}

#else

utf8_run count_utf8_avx2(const char* data, std::size_t size, utf8_carry& carry) noexcept
{
    return count_utf8_portable(data, size, carry);
}

utf8_run count_utf8_watched_avx2(const char* data, std::size_t size, utf8_carry& carry,
                                 const std::atomic<std::int32_t>& state, std::int32_t running,
                                 std::atomic<std::uint64_t>& position, std::uint64_t base) noexcept
{
    return count_utf8_watched_portable(data, size, carry, state, running, position, base);
}


utf8_run count_utf8_avx512(const char* data, std::size_t size, utf8_carry& carry) noexcept
{
    return count_utf8_portable(data, size, carry);
}

utf8_run count_utf8_watched_avx512(const char* data, std::size_t size, utf8_carry& carry,
                                   const std::atomic<std::int32_t>& state, std::int32_t running,
                                   std::atomic<std::uint64_t>& position, std::uint64_t base) noexcept
{
    return count_utf8_watched_portable(data, size, carry, state, running, position, base);
}

bool cpu_has_avx512() noexcept
{
    return false;
}

#endif

utf8_run count_utf8(const char* data, std::size_t size, utf8_carry& carry) noexcept
{
    static const auto kernel = cpu_has_avx512() ? count_utf8_avx512
                               : cpu_has_avx2() ? count_utf8_avx2
                                                : count_utf8_portable;
    return kernel(data, size, carry);
}

utf8_run count_utf8_watched(const char* data, std::size_t size, utf8_carry& carry,
                            const std::atomic<std::int32_t>& state, std::int32_t running,
                            std::atomic<std::uint64_t>& position, std::uint64_t base) noexcept
{
    static const auto kernel = cpu_has_avx512() ? count_utf8_watched_avx512
                               : cpu_has_avx2() ? count_utf8_watched_avx2
                                                : count_utf8_watched_portable;
    return kernel(data, size, carry, state, running, position, base);
}
