#include "input_file.h"


#include <algorithm>
#include <cerrno>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/uio.h>
#include <sys/vfs.h>
#include <unistd.h>

namespace {

std::int64_t retried(int fd, ssize_t (*call)(int, char*, std::size_t), char* buffer, std::size_t size)
{
    ssize_t n;
    do
        n = call(fd, buffer, size);
    while (n < 0 && errno == EINTR);
    return n;
}

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

ssize_t plain_read(int fd, char* buffer, std::size_t size)
{
    return ::read(fd, buffer, size);
}

ssize_t cached_read(int fd, char* buffer, std::size_t size)
{
    const iovec span{buffer, size};
    return ::preadv2(fd, &span, 1, -1, RWF_NOWAIT); // offset -1: from the file's own position
}

} // namespace

namespace {

// Looks at `name` in the folder `at` (AT_FDCWD: a path), opens it only when it is a regular
// file, then checks that what was opened is that same regular file, so that anything
// swapped in between is not trusted either. The descriptor, with the file's size; or -1
// with the reason. Without follow_link, a link met is not a regular file, not followed.
int open_regular(int at, const char* name, bool follow_link, std::uint64_t& size, failure_reason& reason)
{
    struct stat seen;
    if (::fstatat(at, name, &seen, follow_link ? 0 : AT_SYMLINK_NOFOLLOW) != 0) {
        reason = failure_reason::system(errno);
        return -1;
    }
    if (!S_ISREG(seen.st_mode)) {
        reason = {S_ISDIR(seen.st_mode) ? failure_reason::is_a_folder : failure_reason::not_a_regular_file};
        return -1;
    }
    // Non-blocking only for the open itself: a path swapped for a FIFO since the look must
    // not leave us waiting for a writer.
    const int fd = ::openat(at, name, O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK | (follow_link ? 0 : O_NOFOLLOW));
    if (fd < 0) {
        reason = errno == ELOOP && !follow_link ? failure_reason{failure_reason::not_a_regular_file}
                                                : failure_reason::system(errno);
        return -1;
    }
    struct stat opened;
    if (::fstat(fd, &opened) != 0)
        reason = failure_reason::system(errno);
    else if (!S_ISREG(opened.st_mode) || opened.st_dev != seen.st_dev || opened.st_ino != seen.st_ino)
        reason = {failure_reason::not_a_regular_file}; // swapped since it was looked at
    if (reason) {
        ::close(fd);
        return -1;
    }
    size = static_cast<std::uint64_t>(opened.st_size);
    return fd;
}

} // namespace

bool input_file::open(const std::string& path)
{
    close();
    if (path.find('\0') != std::string::npos) { // a NUL would silently name another file
        failure = failure_reason::system(EINVAL);
        return false;
    }
    native = open_regular(AT_FDCWD, path.c_str(), true, bytes, failure);
    return native != -1;
}

bool input_file::open_at(std::intptr_t folder, const std::string& name)
{
    close();
    native = open_regular(static_cast<int>(folder), name.c_str(), false, bytes, failure);
    return native != -1;
}

std::int64_t input_file::read(char* buffer, std::size_t size)
{
    const int fd = static_cast<int>(native);
    std::int64_t n = retried(fd, plain_read, buffer, size);
    if (n < 0 && errno == EAGAIN) {
        // A file system that honours O_NONBLOCK on regular files: block from now on.
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
        n = retried(fd, plain_read, buffer, size);
    }
    if (n < 0) {
        failure = failure_reason::system(errno);
        return -1;
    }
    return n;
}

std::int64_t input_file::read_cached(char* buffer, std::size_t size)
{
    const std::int64_t n = retried(static_cast<int>(native), cached_read, buffer, size);
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

void input_file::unmap(const char* data, std::size_t length)
{
    ::munmap(const_cast<char*>(data), length);
}

bool input_file::seek(std::uint64_t offset)
{
    return ::lseek(static_cast<int>(native), static_cast<off_t>(offset), SEEK_SET) >= 0;
}

void input_file::close()
{
    if (native != -1)
        ::close(static_cast<int>(native));
    native = -1;
    bytes = 0;
    failure = {};
}
