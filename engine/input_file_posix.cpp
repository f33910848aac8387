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

bool input_file::open(const std::string& path)
{
    close();
    if (path.find('\0') != std::string::npos) { // a NUL would silently name another file
        failure = failure_reason::system(EINVAL);
        return false;
    }
    struct stat seen;
    if (::stat(path.c_str(), &seen) != 0) {
        failure = failure_reason::system(errno);
        return false;
    }
    if (!S_ISREG(seen.st_mode)) {
        failure = {S_ISDIR(seen.st_mode) ? failure_reason::is_a_folder : failure_reason::not_a_regular_file};
        return false;
    }
    // Non-blocking only for the open itself: a path swapped for a FIFO since the stat must
    // not leave us waiting for a writer.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) {
        failure = failure_reason::system(errno);
        return false;
    }
    struct stat opened;
    if (::fstat(fd, &opened) != 0) {
        failure = failure_reason::system(errno);
        ::close(fd);
        return false;
    }
    if (!S_ISREG(opened.st_mode) || opened.st_dev != seen.st_dev || opened.st_ino != seen.st_ino) {
        failure = {failure_reason::not_a_regular_file}; // swapped since it was looked at
        ::close(fd);
        return false;
    }
    native = fd;
    bytes = static_cast<std::uint64_t>(opened.st_size);
    return true;
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
