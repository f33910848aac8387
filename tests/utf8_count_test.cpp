#include "engine/utf8_count.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#ifndef _WIN32
#include <filesystem>
#include <fstream>
#include <unistd.h>
#endif

namespace {

// The count written straight from Unicode's table 3-7 of well-formed byte sequences: from
// each position, the longest start of a row's sequence is one character (all of it: a
// well-formed one; less: a maximal ill-formed subpart), and a byte no row starts with is one.
std::uint64_t reference_characters(const std::string& text)
{
    struct row {
        unsigned char first_low, first_high, second_low, second_high;
        std::size_t length;
    };
    static const row rows[] = {
        {0x00, 0x7F, 0x00, 0x00, 1}, {0xC2, 0xDF, 0x80, 0xBF, 2}, {0xE0, 0xE0, 0xA0, 0xBF, 3},
        {0xE1, 0xEC, 0x80, 0xBF, 3}, {0xED, 0xED, 0x80, 0x9F, 3}, {0xEE, 0xEF, 0x80, 0xBF, 3},
        {0xF0, 0xF0, 0x90, 0xBF, 4}, {0xF1, 0xF3, 0x80, 0xBF, 4}, {0xF4, 0xF4, 0x80, 0x8F, 4},
    };
    const auto byte = [&](std::size_t at) { return static_cast<unsigned char>(text[at]); };
    std::uint64_t characters = 0;
    for (std::size_t at = 0; at < text.size(); ++characters) {
        const row* first = std::find_if(std::begin(rows), std::end(rows), [&](const row& r) {
            return byte(at) >= r.first_low && byte(at) <= r.first_high;
        });
        std::size_t matched = 1;
        if (first != std::end(rows)) {
            for (; matched < first->length && at + matched < text.size(); ++matched) {
                const unsigned char low = matched == 1 ? first->second_low : 0x80;
                const unsigned char high = matched == 1 ? first->second_high : 0xBF;
                if (byte(at + matched) < low || byte(at + matched) > high)
                    break;
            }
        }
        at += matched;
    }
    return characters;
}

std::uint64_t line_feeds_in(const std::string& text)
{
    return static_cast<std::uint64_t>(std::count(text.begin(), text.end(), '\n'));
}

using kernel = utf8_run (*)(const char*, std::size_t, utf8_carry&) noexcept;

// The kernel this CPU runs, and every other one it can.
std::vector<kernel> kernels()
{
    std::vector<kernel> all = {count_utf8, count_utf8_portable};
    if (cpu_has_avx2())
        all.push_back(count_utf8_avx2);
    if (cpu_has_avx512())
        all.push_back(count_utf8_avx512);
    return all;
}

std::string encoded(char32_t point)
{
    std::string out;
    if (point < 0x80) {
        out += static_cast<char>(point);
    } else if (point < 0x800) {
        out += static_cast<char>(0xC0 | point >> 6);
        out += static_cast<char>(0x80 | (point & 0x3F));
    } else if (point < 0x10000) {
        out += static_cast<char>(0xE0 | point >> 12);
        out += static_cast<char>(0x80 | (point >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (point & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | point >> 18);
        out += static_cast<char>(0x80 | (point >> 12 & 0x3F));
        out += static_cast<char>(0x80 | (point >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (point & 0x3F));
    }
    return out;
}

// Text of `pieces` runs, each of one kind: ASCII with LFs, Latin, Greek, Cyrillic, CJK, emoji,
// the edges of each sequence length, a byte-order mark; and, with faults, stray continuation
// bytes, sequences cut short, overlong forms, surrogates, values past U+10FFFF and random bytes.
std::string generated(std::mt19937_64& random, std::size_t pieces, bool faults)
{
    const auto pick = [&](std::uint64_t n) { return random() % n; };
    const auto run_of = [&](char32_t first, char32_t last) {
        std::string run;
        for (std::uint64_t n = 1 + pick(12); n > 0; --n)
            run += encoded(first + static_cast<char32_t>(pick(last - first + 1)));
        return run;
    };
    static const char32_t edges[] = {0x80, 0x7FF, 0x800, 0xFFF, 0x1000, 0xD7FF, 0xE000, 0xFFFD, 0xFFFF, 0x10000, 0x3FFFF, 0x40000, 0x10FFFF};
    static const char* const faulty[] = {
        "\x80", "\xBF", "\x80\x80\x80\x80", "\xC2", "\xE2\x82", "\xF0\x9F\x98", "\xF4\x8F\xBF", // stray, cut short
        "\xC0\x80", "\xC1\xBF", "\xE0\x80\x80", "\xE0\x9F\xBF", "\xF0\x80\x80\x80", "\xF0\x8F\xBF\xBF", // overlong
        "\xED\xA0\x80", "\xED\xBF\xBF", "\xED\xA0", // surrogates
        "\xF4\x90\x80\x80", "\xF5\x80\x80\x80", "\xF7\xBF\xBF\xBF", "\xF8\x88\x80\x80\x80", "\xFF", "\xFE", // too large
        "\xE2\x82\xE2\x82\xAC", "\xF0\x9F\xE2\x82\xAC", "\xC3\xF0\x9F\x98\x80", // cut short by another lead
    };
    std::string text;
    for (std::size_t i = 0; i < pieces; ++i) {
        switch (pick(faults ? 10 : 8)) {
        case 0: {
            static const char* const words[] = {"the ", "count\n", "of ", "lines\r\n", "x", "\n", "  ", "0123456789abcdef"};
            for (std::uint64_t n = 1 + pick(30); n > 0; --n)
                text += words[pick(8)];
            break;
        }
        case 1: text += run_of(0xC0, 0xFF); break;      // Latin
        case 2: text += run_of(0x391, 0x3C9); break;    // Greek
        case 3: text += run_of(0x410, 0x44F); break;    // Cyrillic
        case 4: text += run_of(0x4E00, 0x9FFF); break;  // CJK
        case 5: text += run_of(0x1F600, 0x1F64F); break; // emoji
        case 6: text += encoded(edges[pick(std::size(edges))]); break;
        case 7: text += "\xEF\xBB\xBF"; break;          // byte-order mark
        case 8: text += faulty[pick(std::size(faulty))]; break;
        default:
            for (std::uint64_t n = 1 + pick(40); n > 0; --n)
                text += static_cast<char>(random());
        }
    }
    return text;
}

// Counts text in pieces cut at `cuts` (ascending), each piece by the next kernel in turn.
utf8_run count_in_pieces(const std::string& text, const std::vector<std::size_t>& cuts)
{
    const std::vector<kernel> all = kernels();
    utf8_carry carry;
    utf8_run total;
    std::size_t from = 0;
    for (std::size_t i = 0; i <= cuts.size(); ++i) {
        const std::size_t to = i < cuts.size() ? cuts[i] : text.size();
        const utf8_run run = all[i % all.size()](text.data() + from, to - from, carry);
        EXPECT_EQ(run.bytes, to - from);
        total.characters += run.characters;
        total.line_feeds += run.line_feeds;
        from = to;
    }
    return total;
}

TEST(Utf8Count, CountsAsReplacementDecodingDoes)
{
    struct example {
        std::string bytes;
        std::uint64_t characters;
    };
    const example examples[] = {
        {"", 0}, {"a\nb", 3}, {"\xEF\xBB\xBF", 1}, {"\xC3\xA9t\xC3\xA9", 3}, {"\xE2\x82\xAC", 1},
        {"\xF0\x9F\x98\x80", 1}, {"\xE2\x82" "A", 2}, {"\xC0\x80", 2}, {"\xED\xA0\x80", 3},
        {"\xF4\x90\x80\x80", 4}, {"\x80", 1}, {"\xF0\x9F\x98", 1}, {"\xF0\x9F\x98\xF0\x9F\x98\x80", 2},
        {"\xE0\x9F\x80", 3}, {"\xF0\x8F\x80\x80", 4}, {"\xF4\x8F\xBF\xBF", 1}, {"\xC2\xC2\x80", 2},
        {"\xE1\x80\xE1\x80\x80", 2}, {"\xF1\x80\x80\x80\x80", 2}, {"\xFF\xFE\xC1\xF5", 4},
    };
    const std::string before(61, 'x'); // so that each example also straddles a 64-byte block
    for (const example& e : examples) {
        ASSERT_EQ(reference_characters(e.bytes), e.characters) << testing::PrintToString(e.bytes);
        for (const kernel k : kernels()) {
            for (std::size_t lead = 0; lead <= before.size(); lead += 3) {
                const std::string text = before.substr(0, lead) + e.bytes + "\xD0\x96\n" + before;
                utf8_carry carry;
                const utf8_run run = k(text.data(), text.size(), carry);
                EXPECT_EQ(run.characters, lead + e.characters + 2 + before.size()) << testing::PrintToString(e.bytes) << " " << lead;
                EXPECT_EQ(run.line_feeds, line_feeds_in(text));
            }
        }
    }
}

TEST(Utf8Count, GeneratedTextCountsAsTheReference)
{
    std::mt19937_64 random(20240611);
    for (int i = 0; i < 400; ++i) {
        const bool faults = i % 2 == 1;
        const std::string text = generated(random, 1 + random() % (i % 20 == 0 ? 2000 : 60), faults);
        // At every start within a 64-byte block, so that the copied first and last blocks
        // meet every kind of byte.
        const std::size_t skip = static_cast<std::size_t>(i) % 64 < text.size() ? static_cast<std::size_t>(i) % 64 : 0;
        const std::string tail = text.substr(skip);
        for (const kernel k : kernels()) {
            utf8_carry carry;
            const utf8_run run = k(tail.data(), tail.size(), carry);
            ASSERT_EQ(run.characters, reference_characters(tail)) << "text " << i << ": " << testing::PrintToString(tail);
            ASSERT_EQ(run.line_feeds, line_feeds_in(tail)) << "text " << i;
            ASSERT_EQ(run.bytes, tail.size());
        }
    }
}

TEST(Utf8Count, AnyCutCountsAsTheWhole)
{
    std::mt19937_64 random(7);
    // Every cut into two pieces, and into three around it, of texts full of sequences and
    // faults: a count must not depend on where a read or a mapped window ends.
    for (int i = 0; i < 12; ++i) {
        const std::string text = generated(random, 30, i % 3 != 0);
        const std::uint64_t characters = reference_characters(text);
        for (std::size_t cut = 0; cut <= text.size(); ++cut) {
            const utf8_run two = count_in_pieces(text, {cut});
            ASSERT_EQ(two.characters, characters) << "cut at " << cut << " of " << testing::PrintToString(text);
            ASSERT_EQ(two.line_feeds, line_feeds_in(text));
            const utf8_run three = count_in_pieces(text, {cut / 2, cut, std::min(text.size(), cut + 1)});
            ASSERT_EQ(three.characters, characters) << "cuts at " << cut / 2 << ", " << cut;
        }
    }
    // Long texts cut at random into pieces from empty to a few blocks long.
    for (int i = 0; i < 40; ++i) {
        const std::string text = generated(random, 400, i % 2 == 1);
        std::vector<std::size_t> cuts;
        for (std::size_t at = 0; (at += random() % 300) < text.size();)
            cuts.push_back(at);
        const utf8_run run = count_in_pieces(text, cuts);
        ASSERT_EQ(run.characters, reference_characters(text)) << "text " << i;
        ASSERT_EQ(run.line_feeds, line_feeds_in(text)) << "text " << i;
    }
}

using watched_kernel = utf8_run (*)(const char*, std::size_t, utf8_carry&, const std::atomic<std::int32_t>&,
                                    std::int32_t, std::atomic<std::uint64_t>&, std::uint64_t) noexcept;

TEST(Utf8Count, WatchedCountStopsAtABlockAndGoesOnFromThere)
{
    constexpr std::int32_t running = 1;
    constexpr std::int32_t cancelled = 3;
    std::mt19937_64 random(3);
    const std::string text = generated(random, 3000, true);
    ASSERT_GT(text.size(), 4 * watch_block);
    std::vector<watched_kernel> all = {count_utf8_watched, count_utf8_watched_portable};
    if (cpu_has_avx2())
        all.push_back(count_utf8_watched_avx2);
    if (cpu_has_avx512())
        all.push_back(count_utf8_watched_avx512);
    for (const watched_kernel k : all) {
        for (const std::size_t size : {std::size_t(0), std::size_t(5), watch_block - 1, watch_block + 70, text.size()}) {
            const std::string part = text.substr(0, size);
            const std::atomic<std::int32_t> state{running};
            std::atomic<std::uint64_t> position{0};
            utf8_carry carry;
            const utf8_run run = k(part.data(), part.size(), carry, state, running, position, 9);
            EXPECT_EQ(run.bytes, size);
            EXPECT_EQ(run.characters, reference_characters(part)) << size;
            EXPECT_EQ(run.line_feeds, line_feeds_in(part)) << size;
            EXPECT_EQ(position.load(), 9 + size);
        }
        // Stopped before it starts: it covers one block, and the carry it leaves counts the
        // rest as if it had gone on, wherever in a sequence the block ends.
        std::string emoji;
        while (emoji.size() < 2 * watch_block)
            emoji += "\xF0\x9F\x98\x80";
        for (std::size_t start = 0; start < 4; ++start) {
            const std::string part = emoji.substr(start) + text;
            const std::atomic<std::int32_t> stopped{cancelled};
            std::atomic<std::uint64_t> position{0};
            utf8_carry carry;
            const utf8_run first = k(part.data(), part.size(), carry, stopped, running, position, 0);
            ASSERT_EQ(first.bytes, watch_block);
            EXPECT_EQ(position.load(), watch_block);
            const utf8_run rest = count_utf8_portable(part.data() + first.bytes, part.size() - first.bytes, carry);
            EXPECT_EQ(first.characters + rest.characters, reference_characters(part)) << start;
            EXPECT_EQ(first.line_feeds + rest.line_feeds, line_feeds_in(part)) << start;
        }
    }
}

#ifndef _WIN32
// The count against Python's own decoder, where python3 is (in CI it must be): a few hundred
// generated texts, one per line in hex, and the length of each decoded with replacement.
TEST(Utf8Count, AgreesWithPythonReplacementDecoding)
{
    if (std::system("python3 -c '' >/dev/null 2>&1") != 0) {
        const char* why = "python3 is not on this machine";
        if (std::getenv("CI"))
            FAIL() << why;
        GTEST_SKIP() << why;
    }
    std::mt19937_64 random(99);
    std::vector<std::string> texts;
    for (int i = 0; i < 300; ++i)
        texts.push_back(generated(random, 1 + random() % 40, i % 4 != 0));
    std::string path = (std::filesystem::temp_directory_path() / "pomvane-utf8-XXXXXX").string();
    const int fd = ::mkstemp(path.data());
    ASSERT_GE(fd, 0);
    ::close(fd);
    {
        std::ofstream cases(path);
        for (const std::string& text : texts) {
            for (const char c : text) {
                static const char hex[] = "0123456789abcdef";
                cases << hex[static_cast<unsigned char>(c) >> 4] << hex[c & 0xF];
            }
            cases << '\n';
        }
    }
    const std::string command = "python3 -c 'import sys\n"
                                "for line in open(sys.argv[1]):\n"
                                "    print(len(bytes.fromhex(line.strip()).decode(\"utf-8\", \"replace\")))' "
                                + path;
    FILE* python = ::popen(command.c_str(), "r");
    ASSERT_NE(python, nullptr);
    std::vector<std::uint64_t> decoded;
    unsigned long long length = 0;
    while (std::fscanf(python, "%llu", &length) == 1)
        decoded.push_back(length);
    const int status = ::pclose(python);
    std::filesystem::remove(path);
    ASSERT_EQ(status, 0);
    ASSERT_EQ(decoded.size(), texts.size());
    for (std::size_t i = 0; i < texts.size(); ++i) {
        utf8_carry carry;
        EXPECT_EQ(count_utf8(texts[i].data(), texts[i].size(), carry).characters, decoded[i])
            << testing::PrintToString(texts[i]);
    }
}
#endif

} // namespace
