#include "input_file.h"

#include <cerrno>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
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

ssize_t plain_read(int fd, char* buffer, std::size_t size)
{
    return ::read(fd, buffer, size);
}

} // namespace

namespace {

// Opens `name` in the folder `at` (AT_FDCWD: a path) only when it is a regular file. A path
// is looked at before it is opened, so that no FIFO or device is opened on its say. A folder's
// entry was looked at by the folder's listing, which gave its type: it is opened at once, and
// a link is not followed but met as not a regular file (a look before the open narrowed the
// time for a swap and cost a system call per file, a tenth of a cached walk's time). Either
// way what was opened is checked after, so that anything swapped in is not trusted. The
// descriptor, with the file's size; or -1 with the reason.
int open_regular(int at, const char* name, bool listed, std::uint64_t& size, failure_reason& reason)
{
    const auto not_regular = [](mode_t mode) {
        return failure_reason{S_ISDIR(mode) ? failure_reason::is_a_folder : failure_reason::not_a_regular_file};
    };
    struct stat seen;
    if (!listed) {
        if (::fstatat(at, name, &seen, 0) != 0)
            reason = failure_reason::system(errno);
        else if (!S_ISREG(seen.st_mode))
            reason = not_regular(seen.st_mode);
        if (reason)
            return -1;
    }
    // Non-blocking only for the open itself: an entry swapped for a FIFO since it was looked
    // at or listed must not leave us waiting for a writer.
    const int fd = ::openat(at, name, O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK | (listed ? O_NOFOLLOW : 0));
    if (fd < 0) {
        // ELOOP: a link; ENXIO: a socket, or a device without its driver.
        reason = listed && (errno == ELOOP || errno == ENXIO) ? failure_reason{failure_reason::not_a_regular_file}
                                                               : failure_reason::system(errno);
        return -1;
    }
    struct stat opened;
    if (::fstat(fd, &opened) != 0)
        reason = failure_reason::system(errno);
    else if (!S_ISREG(opened.st_mode))
        reason = not_regular(opened.st_mode);
    else if (!listed && (opened.st_dev != seen.st_dev || opened.st_ino != seen.st_ino))
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
    native = open_regular(AT_FDCWD, path.c_str(), false, bytes, failure);
    return native != -1;
}

bool input_file::open_at(std::intptr_t folder, const std::string& name)
{
    close();
    native = open_regular(static_cast<int>(folder), name.c_str(), true, bytes, failure);
    return native != -1;
}

std::int64_t input_file::read(char* buffer, std::size_t size)
{
    const std::int64_t n = retried(static_cast<int>(native), plain_read, buffer, size);
    if (n >= 0)
        return n;
    // The file is open non-blocking: where its file system honours that (/proc/kmsg, which
    // waits for the next message), a read that would wait for data that may never come
    // fails instead.
    failure = errno == EAGAIN ? failure_reason{failure_reason::would_block} : failure_reason::system(errno);
    return -1;
}

void input_file::unmap(const char* data, std::size_t length)
{
    ::munmap(const_cast<char*>(data), length);
}

bool input_file::shrank()
{
    struct stat now;
    return ::fstat(static_cast<int>(native), &now) != 0 || static_cast<std::uint64_t>(now.st_size) < bytes;
}

bool input_file::seek(std::uint64_t offset)
{
    if (::lseek(static_cast<int>(native), static_cast<off_t>(offset), SEEK_SET) >= 0)
        return true;
    failure = failure_reason::system(errno);
    return false;
}

void input_file::close()
{
    if (native != -1)
        ::close(static_cast<int>(native));
    native = -1;
    bytes = 0;
    failure = {};
}
