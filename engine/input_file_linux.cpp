// Linux's page cache: reads that take only what is in memory (preadv2 with RWF_NOWAIT), read-
// ahead on request (posix_fadvise), and mappings of what is in memory, checked with cachestat
// or mincore, on local file systems told apart by their statfs magic numbers. Elsewhere
// input_file_plain_posix.cpp reads every file.

#include "input_file.h"

#include <algorithm>
#include <cerrno>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/syscall.h>
#include <sys/uio.h>
#include <sys/vfs.h>
#include <unistd.h>

namespace {

// File systems whose pages come from a local device. Between the residency check and the
// touch a page can still be evicted; on these the fault then reads the device, where on a
// network or FUSE mount it would wait on a server that may never answer, outside the
// worker's unattended calls where a stop can let it go. Other file systems are read.
bool pages_come_from_local_device(int fd)
{
    struct statfs about{};
    if (::fstatfs(fd, &about) != 0)
        return false;
    switch (static_cast<unsigned long>(about.f_type)) {
    case 0xEF53UL:     // ext2, ext3, ext4
    case 0x58465342UL: // XFS
    case 0x9123683EUL: // Btrfs
    case 0xF2F52010UL: // F2FS
    case 0x01021994UL: // tmpfs
        return true;
    default:
        return false;
    }
}

const std::size_t page = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));

// cachestat(2), Linux 6.5, which neither glibc 2.36 nor Debian 12's kernel headers know yet;
// system call numbers from 424 on are the same on every architecture.
constexpr long cachestat_call = 451;

// Whether every page of the span is in the page cache: 1 or 0, or -1 where the kernel has no
// cachestat (or a filter refuses it). It looks a large folio up once where mincore() looks
// up each page: a twentieth of mincore's time on a cached file.
int all_cached(int fd, std::uint64_t offset, std::size_t length)
{
    struct {
        std::uint64_t offset, length;
    } span{offset, length};
    struct {
        std::uint64_t cache, dirty, writeback, evicted, recently_evicted;
    } seen{};
    if (::syscall(cachestat_call, fd, &span, &seen, 0) != 0)
        return -1;
    return seen.cache * page >= length ? 1 : 0;
}

// The same through the mapping, for older kernels: mincore() looks the pages up without
// reading any of them.
bool all_resident(const char* map, std::size_t length)
{
    unsigned char resident[1024];
    for (std::size_t done = 0; done < length;) {
        const std::size_t span = std::min(length - done, sizeof resident * page);
        if (::mincore(const_cast<char*>(map) + done, span, resident) != 0
            || !std::all_of(resident, resident + (span + page - 1) / page, [](unsigned char r) { return (r & 1) != 0; }))
            return false;
        done += span;
    }
    return true;
}

} // namespace

std::int64_t input_file::read_cached(char* buffer, std::size_t size)
{
    // preadv2 from offset -1: from the file's own position, as read() does.
    const iovec span{buffer, size};
    ssize_t n;
    do
        n = ::preadv2(static_cast<int>(native), &span, 1, -1, RWF_NOWAIT);
    while (n < 0 && errno == EINTR);
    if (n >= 0)
        return n;
    if (errno == EAGAIN)
        return not_cached;
    // A file system without non-blocking reads, or a kernel older than 4.14.
    if (errno == EOPNOTSUPP || errno == EINVAL || errno == ENOSYS)
        return read(buffer, size);
    failure = failure_reason::system(errno);
    return -1;
}

void input_file::advise_willneed(std::uint64_t length)
{
    ::posix_fadvise(static_cast<int>(native), 0, static_cast<off_t>(length), POSIX_FADV_WILLNEED);
}

const char* input_file::map_cached(std::uint64_t offset, std::size_t length)
{
    const int fd = static_cast<int>(native);
    if (!pages_come_from_local_device(fd))
        return nullptr;
    const int cached = all_cached(fd, offset, length);
    if (cached == 0)
        return nullptr;
    void* const map = ::mmap(nullptr, length, PROT_READ, MAP_SHARED, fd, static_cast<off_t>(offset));
    if (map == MAP_FAILED)
        return nullptr;
    if (cached < 0 && !all_resident(static_cast<char*>(map), length)) {
        ::munmap(map, length);
        return nullptr;
    }
    return static_cast<const char*>(map);
}
