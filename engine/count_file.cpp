#include "engine.h"
#include "line_feeds.h"

#include <algorithm>
#include <cerrno>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Counting and stopping go block by block; read() fetches many blocks at once.
constexpr std::size_t block_size = 1024;

// A file descriptor rather than std::ifstream: the file must be opened without blocking
// (a FIFO with no writer) and its type checked with fstat before anything is read.
class descriptor {
public:
    explicit descriptor(int fd) : fd(fd) {}
    descriptor(const descriptor&) = delete;
    descriptor& operator=(const descriptor&) = delete;
    ~descriptor()
    {
        if (fd >= 0)
            ::close(fd);
    }
    int get() const { return fd; }

private:
    int fd;
};

ssize_t read_some(int fd, char* buffer, std::size_t size)
{
    ssize_t n;
    do
        n = ::read(fd, buffer, size);
    while (n < 0 && errno == EINTR);
    return n;
}

} // namespace

bool engine::count_file(const std::string& path, std::uint64_t& characters, std::uint64_t& lines)
{
    file_size = 0;
    file_position = 0;
    // A NUL inside the path would silently name another file.
    if (path.find('\0') != std::string::npos)
        return false;
    const descriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    struct stat status;
    if (file.get() < 0 || ::fstat(file.get(), &status) != 0 || !S_ISREG(status.st_mode))
        return false;
    const auto size = static_cast<std::uint64_t>(status.st_size);
    file_size = size;
    if (size > read_size)
        ::posix_fadvise(file.get(), 0, 0, POSIX_FADV_SEQUENTIAL);

    std::uint64_t counted = 0;
    std::uint64_t line_feeds = 0;
    char last = 0;
    char* const data = reinterpret_cast<char*>(buffer.get());
    bool more = true;
    while (more && state == running) {
        const ssize_t n = read_some(file.get(), data, read_size);
        if (n <= 0)
            break; // end of file, or a read error: count what was read
        const auto got = static_cast<std::size_t>(n);
        std::size_t done = 0;
        do {
            const std::size_t length = std::min(block_size, got - done);
            line_feeds += count_line_feeds(data + done, length);
            done += length;
            counted += length;
            file_position.store(counted, std::memory_order_relaxed);
        } while (done < got && state == running);
        last = data[done - 1];
        // A short read that reaches the size fstat gave is the end: saves a second read per
        // small file. Anything else (a growing file, a short read mid-file) reads on.
        more = done == got && !(got < read_size && counted >= size);
    }
    characters = counted;
    lines = line_feeds + (counted != 0 && last != '\n' ? 1 : 0);
    return true;
}
