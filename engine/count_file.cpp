#include "engine.h"
#include "input_file.h"
#include "line_feeds.h"

#include <algorithm>

namespace {

// Counting and stopping go block by block; read() fetches many blocks at once.
constexpr std::size_t block_size = 1024;

} // namespace

bool engine::count_file(const std::string& path, char* const data, std::uint64_t& characters,
                        std::uint64_t& lines)
{
    file_size = 0;
    file_position = 0;
    // Opening, reading and closing may block for good on a mount that stopped answering:
    // each goes unattended, so that a reset can let this worker go meanwhile.
    input_file file;
    if (!unattended([&]() noexcept { return file.open(path); }))
        return false;
    // 0 for files that do not know their size (/proc, /sys): those are read to the end.
    const std::uint64_t size = file.size();
    file_size = size;
    if (size > read_size)
        file.advise_sequential();

    std::uint64_t counted = 0;
    std::uint64_t line_feeds = 0;
    char last = 0;
    bool more = true;
    while (more && state == running) {
        const std::int64_t n = unattended([&]() noexcept { return file.read(data, read_size); });
        if (n < 0) {
            unattended([&]() noexcept { file.close(); });
            return false; // a file that cannot be read counts as failed, with nothing of it
        }
        if (n == 0)
            break;
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
        // small file. Anything else (a growing file, a short read mid-file, a file of no
        // known size) reads on until a read returns nothing.
        more = done == got && !(size > 0 && got < read_size && counted >= size);
    }
    unattended([&]() noexcept { file.close(); });
    characters = counted;
    lines = line_feeds + (counted != 0 && last != '\n' ? 1 : 0);
    return true;
}
