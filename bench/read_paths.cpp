// read_paths FILE [RUNS]: how fast this machine can bring a cached file's bytes to the
// counter by each road, to tell what bounds count_file:
//   read-only       read() of 128 KiB into a page-aligned buffer, nothing counted (the copy)
//   read-unaligned  the same into a buffer 16 bytes past a page boundary, as malloc gives
//   read+count      the page-aligned read() counted as count_file counts it, watching for a
//                   stop every 1 KiB
//   mapped+count    the engine's mapped reading: windows checked to be in memory, mapped,
//                   counted under the SIGBUS guard, no copy
//   memory          the whole file mapped and its page tables filled before the clock starts,
//                   then counted: how fast this core reads memory, the limit of any counter
// Each time is the median of RUNS runs (default 7), the roads taking turns.

#include "engine/input_file.h"
#include "engine/line_feeds.h"
#include "engine/mapped_count.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr std::size_t read_size = 128 * 1024;

struct page_free {
    void operator()(char* p) const { std::free(p); }
};

// Sum of what was seen, so that the compiler cannot drop the work.
std::uint64_t read_road(int fd, char* buffer, bool count)
{
    std::uint64_t sum = 0;
    const std::atomic<std::int32_t> state{1};
    std::atomic<std::uint64_t> position{0};
    ::lseek(fd, 0, SEEK_SET);
    for (ssize_t n; (n = ::read(fd, buffer, read_size)) > 0;) {
        const auto got = static_cast<std::size_t>(n);
        if (!count) {
            sum += static_cast<unsigned char>(buffer[got - 1]);
            continue;
        }
        sum += count_line_feeds_watched(buffer, got, state, 1, position, 0).line_feeds;
    }
    return sum;
}

std::uint64_t mapped_road(input_file& file, std::size_t size)
{
    const std::atomic<std::int32_t> state{1};
    std::atomic<std::uint64_t> position{0};
    counts run;
    if (!count_mapped(file, size, state, 1, position, [](auto call) { return call(); }, run) || run.bytes != size) {
        std::fprintf(stderr, "read_paths: the file is not wholly in memory, or shrank\n");
        std::exit(1);
    }
    return run.line_feeds;
}

std::uint64_t memory_road(const char* data, std::size_t size)
{
    return count_line_feeds(data, size);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2 || argc > 3) {
        std::fprintf(stderr, "usage: read_paths FILE [RUNS]\n");
        return 2;
    }
    const int runs = argc == 3 ? std::atoi(argv[2]) : 7;
    const int fd = ::open(argv[1], O_RDONLY | O_CLOEXEC);
    struct stat status;
    if (fd < 0 || ::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode) || runs < 1) {
        std::fprintf(stderr, "read_paths: %s is no readable file\n", argv[1]);
        return 2;
    }
    const auto size = static_cast<std::size_t>(status.st_size);
    input_file file;
    void* whole = ::mmap(nullptr, size, PROT_READ, MAP_SHARED | MAP_POPULATE, fd, 0);
    if (!file.open(argv[1]) || whole == MAP_FAILED) {
        std::fprintf(stderr, "read_paths: cannot map %s\n", argv[1]);
        return 2;
    }
    const std::unique_ptr<char, page_free> pages(static_cast<char*>(std::aligned_alloc(4096, read_size + 4096)));
    char* const aligned = pages.get();
    char* const unaligned = pages.get() + 16;
    std::fill(aligned, aligned + read_size + 4096, 0); // fault the pages in before timing

    struct road {
        const char* name;
        std::function<std::uint64_t()> run;
        std::vector<double> times;
    };
    std::vector<road> roads = {
        {"read-only", [&] { return read_road(fd, aligned, false); }, {}},
        {"read-unaligned", [&] { return read_road(fd, unaligned, false); }, {}},
        {"read+count", [&] { return read_road(fd, aligned, true); }, {}},
        {"mapped+count", [&] { return mapped_road(file, size); }, {}},
        {"memory", [&] { return memory_road(static_cast<const char*>(whole), size); }, {}},
    };
    std::uint64_t seen = 0;
    for (int i = 0; i < runs; ++i) {
        for (road& r : roads) {
            const auto start = std::chrono::steady_clock::now();
            seen += r.run();
            const auto end = std::chrono::steady_clock::now();
            r.times.push_back(std::chrono::duration<double, std::milli>(end - start).count());
        }
    }
    for (road& r : roads) {
        std::sort(r.times.begin(), r.times.end());
        const double median = r.times[r.times.size() / 2];
        std::printf("%-15s %8.1f ms  %6.2f GB/s\n", r.name, median, static_cast<double>(size) / median / 1e6);
    }
    return seen == 0 ? 1 : 0;
}
