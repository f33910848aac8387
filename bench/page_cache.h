#pragma once

// Taking a file's data out of the page cache and checking that it left, without root:
// posix_fadvise(POSIX_FADV_DONTNEED) drops the clean pages of a file, and mincore() over a
// mapping says which pages are still cached (what fincore reports). Dirty pages stay until
// written back, so callers sync() first.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

namespace page_cache {

// The number of pages of the first `size` bytes of fd that are cached, or -1 when they
// cannot be mapped.
inline std::int64_t cached_pages(int fd, std::uint64_t size)
{
    if (size == 0)
        return 0;
    void* map = mmap(nullptr, size, PROT_READ, MAP_SHARED, fd, 0);
    if (map == MAP_FAILED)
        return -1;
    const std::size_t page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
    std::vector<unsigned char> resident((size + page - 1) / page);
    std::int64_t cached = -1;
    if (mincore(map, size, resident.data()) == 0) {
        cached = 0;
        for (const unsigned char r : resident)
            cached += r & 1;
    }
    munmap(map, size);
    return cached;
}

// Drops fd's cached pages and returns how many of its first `size` bytes' pages are still
// cached (-1: cannot tell). Pages that a read-ahead still has in flight cannot be dropped
// until they arrive, so it tries again for up to two seconds.
inline std::int64_t drop(int fd, std::uint64_t size)
{
    std::int64_t cached = -1;
    for (int attempt = 0; attempt < 2000; ++attempt) {
        if (posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED) != 0)
            return -1;
        cached = cached_pages(fd, size);
        if (cached <= 0)
            return cached;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return cached;
}

} // namespace page_cache
