// disk_floor FILE [READS] [DEPTH]: the disk's random-read floor, for the cold small files of
// run.sh: READS reads (default 20,000, one per small file) of 8 KiB each at random aligned
// offsets of FILE, with O_DIRECT so that they reach the disk, DEPTH of them (default 32) in
// flight at once through Linux's native asynchronous I/O. No reader of as many files beats
// this by much: each needs at least one such read. Prints "disk_floor reads=N depth=N ms=T".

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <random>
#include <vector>

#include <fcntl.h>
#include <linux/aio_abi.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

constexpr std::size_t read_size = 8192;

struct aligned_free {
    void operator()(char* p) const { std::free(p); }
};

// glibc wraps none of the native AIO calls.
long io_setup(unsigned events, aio_context_t* context) { return syscall(SYS_io_setup, events, context); }
long io_destroy(aio_context_t context) { return syscall(SYS_io_destroy, context); }
long io_submit(aio_context_t context, long n, iocb** requests) { return syscall(SYS_io_submit, context, n, requests); }
long io_getevents(aio_context_t context, long least, long most, io_event* events)
{
    return syscall(SYS_io_getevents, context, least, most, events, nullptr);
}

} // namespace

int main(int argc, char** argv)
{
    const long reads = argc > 2 ? std::atol(argv[2]) : 20000;
    const long depth = argc > 3 ? std::atol(argv[3]) : 32;
    const int fd = argc > 1 ? ::open(argv[1], O_RDONLY | O_DIRECT | O_CLOEXEC) : -1;
    struct stat status {};
    if (argc < 2 || argc > 4 || reads < 1 || depth < 1 || fd < 0 || ::fstat(fd, &status) != 0
        || status.st_size < static_cast<off_t>(read_size)) {
        std::fprintf(stderr, "usage: disk_floor FILE [READS] [DEPTH]   (FILE: at least 8 KiB, O_DIRECT allowed)\n");
        return 2;
    }
    aio_context_t context = 0;
    if (io_setup(static_cast<unsigned>(depth), &context) != 0) {
        std::perror("disk_floor: io_setup");
        return 1;
    }
    const std::unique_ptr<char, aligned_free> buffers(
        static_cast<char*>(std::aligned_alloc(4096, read_size * static_cast<std::size_t>(depth))));
    std::vector<iocb> requests(static_cast<std::size_t>(depth));
    std::vector<io_event> events(static_cast<std::size_t>(depth));
    std::mt19937_64 random(1);
    const auto blocks = static_cast<std::uint64_t>(status.st_size) / read_size;
    const auto submit = [&](iocb* request) {
        request->aio_fildes = static_cast<std::uint32_t>(fd);
        request->aio_lio_opcode = IOCB_CMD_PREAD;
        request->aio_nbytes = read_size;
        request->aio_offset = static_cast<std::int64_t>(random() % blocks * read_size);
        return io_submit(context, 1, &request) == 1;
    };

    const auto begin = std::chrono::steady_clock::now();
    long submitted = 0, done = 0;
    for (long i = 0; i < depth && submitted < reads; ++i, ++submitted) {
        iocb& request = requests[static_cast<std::size_t>(i)];
        request = {};
        request.aio_buf = reinterpret_cast<std::uint64_t>(buffers.get() + static_cast<std::size_t>(i) * read_size);
        request.aio_data = static_cast<std::uint64_t>(i);
        if (!submit(&request)) {
            std::perror("disk_floor: io_submit");
            return 1;
        }
    }
    while (done < reads) {
        const long n = io_getevents(context, 1, depth, events.data());
        if (n < 0) {
            std::perror("disk_floor: io_getevents");
            return 1;
        }
        for (long e = 0; e < n; ++e, ++done) {
            if (events[static_cast<std::size_t>(e)].res != static_cast<std::int64_t>(read_size)) {
                std::fprintf(stderr, "disk_floor: a read failed\n");
                return 1;
            }
            if (submitted < reads) {
                ++submitted;
                if (!submit(&requests[events[static_cast<std::size_t>(e)].data])) {
                    std::perror("disk_floor: io_submit");
                    return 1;
                }
            }
        }
    }
    const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - begin).count();
    io_destroy(context);
    std::printf("disk_floor reads=%ld depth=%ld ms=%.1f\n", reads, depth, ms);
    return 0;
}
