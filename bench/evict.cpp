// evict [--] PATH...  |  evict -   (NUL-separated paths on standard input, as pomvane-count)
// Takes the files' data out of the page cache, so that the next read of them goes to the disk,
// and checks that it left. No root needed. Prints what it did; exit status 1 when a file
// cannot be opened or keeps cached pages (mapped or locked by another process, say).

#include "page_cache.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <iterator>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::vector<std::string> standard_input_paths()
{
    const std::string all{std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>()};
    std::vector<std::string> paths;
    for (std::size_t start = 0; start < all.size();) {
        std::size_t end = all.find('\0', start);
        if (end == std::string::npos)
            end = all.size();
        if (end > start)
            paths.push_back(all.substr(start, end - start));
        start = end + 1;
    }
    return paths;
}

} // namespace

int main(int argc, char** argv)
{
    std::vector<std::string> paths(argv + 1, argv + argc);
    if (!paths.empty() && paths[0] == "--")
        paths.erase(paths.begin());
    else if (paths.size() == 1 && paths[0] == "-")
        paths = standard_input_paths();
    if (paths.empty()) {
        std::cerr << "usage: evict [--] PATH...\n       evict -    (NUL-separated paths on standard input)\n";
        return 2;
    }
    // DONTNEED leaves dirty pages alone: write everything back first.
    sync();
    std::uint64_t bytes = 0;
    std::uint64_t left = 0;
    int status = 0;
    for (const std::string& path : paths) {
        const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
        struct stat status_of {};
        if (fd < 0 || fstat(fd, &status_of) != 0 || !S_ISREG(status_of.st_mode)) {
            std::cerr << "evict: " << path << ": " << (fd < 0 ? std::strerror(errno) : "not a regular file") << '\n';
            if (fd >= 0)
                close(fd);
            status = 1;
            continue;
        }
        const auto size = static_cast<std::uint64_t>(status_of.st_size);
        const std::int64_t cached = page_cache::drop(fd, size);
        close(fd);
        if (cached != 0) {
            std::cerr << "evict: " << path << ": "
                      << (cached < 0 ? std::string("cannot tell what is cached") : std::to_string(cached) + " pages still cached")
                      << '\n';
            left += cached > 0 ? std::uint64_t(cached) : 0;
            status = 1;
        }
        bytes += size;
    }
    std::cout << "evicted " << paths.size() << " files, " << bytes << " bytes; pages still cached: " << left << '\n';
    return status;
}
