// reset_latency [--cold] FILE [TRIES]: how long reset() takes, from its call to its return,
// while the worker counts FILE (a large file: it must still be counting when reset() comes).
// Each try resets at another point of the file. Prints the median and the maximum. With
// --cold, the file's data is taken out of the page cache before each try (and checked gone),
// so that the worker waits on the disk when the reset comes.
// reset_latency --walk FOLDER [TRIES]: the same while the worker walks FOLDER, counted by its
// files; the tries reset from the start (listing the first folders) to 90% of its files.

#include "engine/engine.h"
#include "page_cache.h"
#include "tests/engine_probe.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Takes the file out of the page cache; false, with a message, when pages stay.
bool evict(const std::string& path, std::uint64_t size)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    const bool gone = fd >= 0 && page_cache::drop(fd, size) == 0;
    if (fd >= 0)
        ::close(fd);
    if (!gone)
        std::fprintf(stderr, "reset_latency: cannot take %s out of the page cache\n", path.c_str());
    return gone;
}

} // namespace

int main(int argc, char** argv)
{
    const bool cold = argc > 1 && std::string(argv[1]) == "--cold";
    const bool walk = argc > 1 && std::string(argv[1]) == "--walk";
    if (cold || walk) {
        --argc;
        ++argv;
    }
    if (argc < 2 || argc > 3) {
        std::fprintf(stderr, "usage: reset_latency [--cold | --walk] FILE [TRIES]\n");
        return 2;
    }
    const std::string path = argv[1];
    const int tries = argc == 3 ? std::atoi(argv[2]) : 100;
    engine counter;
    engine_probe probe(counter); // shows how far the worker has read
    // How far the worker has come, and where it ends: bytes of the file, or files of the walk.
    const auto progress = [&] { return walk ? counter.totals().files_counted : probe.file_position(); };
    std::uint64_t size = 0;
    struct stat status;
    if (walk) {
        counter.add_file(path, true);
        counter.wait();
        size = counter.totals().files_counted;
        counter.reset();
    } else if (::stat(path.c_str(), &status) == 0 && status.st_size >= (1 << 20)) {
        size = static_cast<std::uint64_t>(status.st_size);
    }
    if (size == 0 || tries < 1) {
        std::fprintf(stderr, "reset_latency: %s must be a file of 1 MiB or more, or a folder with files\n",
                     path.c_str());
        return 2;
    }

    if (cold)
        ::sync(); // dirty pages would stay cached
    std::vector<double> latencies;
    int missed = 0;
    while (static_cast<int>(latencies.size()) < tries) {
        // Stop points spread from 5% to 90% of the file; a walk is stopped from its start on.
        const std::uint64_t target = (walk ? 0 : size / 20) + size * (latencies.size() % 18) / 20;
        if (cold && !evict(path, size))
            return 1;
        counter.add_file(path, walk);
        while (counter.is_running() && progress() < target)
            std::this_thread::yield();
        const bool counting = counter.is_running() && progress() < size;
        const auto start = std::chrono::steady_clock::now();
        counter.reset();
        const auto end = std::chrono::steady_clock::now();
        if (counter.totals().total_characters != 0 || counter.is_running()) {
            std::fprintf(stderr, "reset_latency: reset() left the engine running or the totals set\n");
            return 1;
        }
        if (!counting) {
            // The file was counted to its end before the reset came: that try says nothing.
            if (++missed > tries)
                break;
            continue;
        }
        latencies.push_back(std::chrono::duration<double, std::milli>(end - start).count());
    }
    if (latencies.empty()) {
        std::fprintf(stderr, "reset_latency: %s is counted too fast to reset while counting\n", path.c_str());
        return 1;
    }
    std::sort(latencies.begin(), latencies.end());
    const std::size_t n = latencies.size();
    const double median = n % 2 ? latencies[n / 2] : (latencies[n / 2 - 1] + latencies[n / 2]) / 2;
    std::printf("reset_latency%s tries=%zu median_ms=%.3f max_ms=%.3f\n", cold ? " cold" : walk ? " walk" : "", n,
                median, latencies.back());
    return 0;
}
