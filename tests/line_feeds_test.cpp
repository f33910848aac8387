#include "engine/line_feeds.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr std::int32_t running = 1;
constexpr std::int32_t cancelled = 3;

using watched_kernel = counts (*)(const char*, std::size_t, const std::atomic<std::int32_t>&, std::int32_t,
                                  std::atomic<std::uint64_t>&, std::uint64_t) noexcept;

// The fused kernel this CPU runs, and the portable one beside it.
std::vector<watched_kernel> watched_kernels()
{
    std::vector<watched_kernel> kernels = {count_line_feeds_watched, count_line_feeds_watched_portable};
    if (cpu_has_avx2())
        kernels.push_back(count_line_feeds_watched_avx2);
    return kernels;
}

// Random bytes with an LF on each side of every block edge, where a count carried across
// blocks would go wrong first.
std::string random_bytes(std::size_t size)
{
    std::mt19937_64 random(11);
    std::string bytes(size, 0);
    for (char& c : bytes)
        c = static_cast<char>(random() % 5 == 0 ? '\n' : random() % 256);
    for (std::size_t edge = watch_block; edge < size; edge += watch_block)
        bytes[edge - 1] = bytes[edge] = '\n';
    return bytes;
}

TEST(LineFeeds, FusedLoopCountsLikeThePortableCount)
{
    const std::string bytes = random_bytes(128 * 1024 + 64);
    // Only LFs fill the byte lanes fastest: they must be folded before they overflow.
    const std::string all_line_feeds(128 * 1024, '\n');
    const std::atomic<std::int32_t> state{running};
    std::atomic<std::uint64_t> position{0};
    for (const watched_kernel kernel : watched_kernels()) {
        for (const std::size_t offset : {0, 1, 31}) {
            for (const std::size_t size : {0, 1, 1023, 1024, 1025, 31 * 1024 + 33, 128 * 1024}) {
                const counts run = kernel(bytes.data() + offset, size, state, running, position, 7);
                EXPECT_EQ(run.bytes, size) << offset << " " << size;
                EXPECT_EQ(run.line_feeds, count_line_feeds_portable(bytes.data() + offset, size)) << offset << " " << size;
                EXPECT_EQ(position.load(), 7 + size) << offset << " " << size;
                EXPECT_EQ(run.last, size > 0 ? bytes[offset + size - 1] : '\0') << offset << " " << size;
            }
        }
        const counts run = kernel(all_line_feeds.data(), all_line_feeds.size(), state, running, position, 0);
        EXPECT_EQ(run.line_feeds, all_line_feeds.size());
    }
}

TEST(LineFeeds, FusedLoopStopsAtABlockBoundaryWithItsPositionStored)
{
    const std::string bytes = random_bytes(8 << 20);
    for (const watched_kernel kernel : watched_kernels()) {
        // Stopped before it starts: the one block the caller's own check let through.
        const std::atomic<std::int32_t> stopped{cancelled};
        std::atomic<std::uint64_t> position{0};
        counts run = kernel(bytes.data(), bytes.size(), stopped, running, position, 100);
        EXPECT_EQ(run.bytes, watch_block);
        EXPECT_EQ(run.line_feeds, count_line_feeds_portable(bytes.data(), watch_block));
        EXPECT_EQ(position.load(), 100 + watch_block);

        // Stopped by another thread once it is under way: wherever it stops, it is at a
        // block boundary, with the LFs of what it covered and that position stored.
        std::atomic<std::int32_t> state{running};
        position = 0;
        std::thread stopper([&] {
            while (position.load() < 2 * watch_block) {
            }
            state = cancelled;
        });
        run = kernel(bytes.data(), bytes.size(), state, running, position, 0);
        stopper.join();
        EXPECT_EQ(run.bytes % watch_block, 0u);
        EXPECT_GE(run.bytes, 2 * watch_block);
        EXPECT_EQ(run.line_feeds, count_line_feeds_portable(bytes.data(), run.bytes));
        EXPECT_EQ(position.load(), run.bytes);
    }
}

} // namespace
