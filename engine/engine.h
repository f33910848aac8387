#pragma once

#include "engine/input_file.h"
#include "engine/open_ahead.h"
#include "lib/threadable.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <list>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <vector>

// Counts the characters (bytes) and lines of the files handed to it, one after another in
// arrival order, on a worker thread of its own. The owner polls the totals and the two
// progress percentages; nothing is pushed to it.
//
// Every public call may be made from any thread, at any time, except the destructor, which
// no other call may overlap or follow. Calls that add or reset take turns; the readers only
// take the lock briefly.
class engine : protected lib::threadable {
public:
    struct snapshot {
        std::uint64_t files_counted = 0;
        std::uint64_t files_failed = 0;
        std::uint64_t total_characters = 0;
        std::uint64_t total_lines = 0;

        bool operator==(const snapshot&) const = default;
    };

    engine() = default;
    // Returns promptly even while the worker is blocked in a read that never returns.
    ~engine() override;

    // Queues the paths in order (raw bytes, used whole) under one hold of the lock, so that
    // a drop stays one batch, and starts a worker when none is running.
    void add_files(std::span<const std::string> paths);
    void add_file(const std::string& path) { add_files({&path, 1}); }
    bool is_running();
    snapshot totals();
    // Entries of the current batch not processed yet; 0 once it drained. Left above 0 by a
    // worker that could not be started. A feeder that adds a long list in chunks watches it
    // to add the next chunk before the worker runs dry.
    std::uint64_t pending();
    // Processed share of the current batch, 0 to 100.
    std::uint32_t files_percent();
    // Share of the current file read so far; over 100 when the file grew while read.
    std::int32_t file_percent();
    // Stops the worker and zeroes everything. Waits for a worker that sees the stop (within
    // one 1 KiB block of reading); one blocked in a read that does not return is let go and
    // will change nothing here when its read returns.
    void reset();
    // Waits until no worker runs; returns at once when none does.
    void wait();

private:
    // The worker's body: takes the next entry, opens files ahead, counts, adds the result.
    void run() override;
    bool cooperative() override { return true; }

    // Under the lock: the path at the cursor (left empty when the file is held open ahead)
    // and the paths to open ahead now. False when the worker is to end: stopped, or the
    // batch drained and forgotten.
    bool take_next(open_ahead& ahead, std::string& path, std::vector<std::string>& to_open);
    // Under the lock: moves the cursor past the file and adds its result to the totals.
    void add_result(bool opened, bool from_ahead, std::uint64_t characters, std::uint64_t lines);

    // Counts one file while the state stays running, reading through buffer (read_size
    // bytes); false when it cannot be opened as a regular file or a read fails. With
    // missed_cache, the first read takes only what is in memory, and *missed_cache is set
    // when that was not all. Called on the worker without the lock.
    bool count_file(const std::string& path, char* buffer, std::uint64_t& characters, std::uint64_t& lines,
                    bool* missed_cache = nullptr);
    // The same for a file already opened (false when it could not be).
    bool count_opened(input_file& file, char* buffer, std::uint64_t& characters, std::uint64_t& lines,
                      bool* missed_cache = nullptr);

    // 128 KiB per read(): large enough that a read() costs little per byte, small enough to
    // stay in L2.
    static constexpr std::size_t read_size = 128 * 1024;
    // Page-aligned, because the kernel copies into it several times faster than into the
    // 16-byte-aligned block malloc returns (measured 0.09 s against 0.6 s per GiB).
    struct alignas(4096) page {
        char bytes[4096];
    };
    static std::unique_ptr<page[]> read_buffer() { return std::unique_ptr<page[]>(new page[read_size / sizeof(page)]); }
    // How long reset() and destruction wait for the worker to see a stop before they let it
    // go: far longer than a read that returns takes, far shorter than a person notices.
    static constexpr std::chrono::milliseconds grace{10};

    // Forgets the whole batch, processed and pending entries alike. Under the lock.
    void clear_batch();

    std::list<std::string> queue;
    std::list<std::string>::iterator cursor = queue.end();
    std::size_t processed = 0; // entries before cursor, so that files_percent() is O(1)
    std::atomic<std::uint64_t> file_size{0};
    std::atomic<std::uint64_t> file_position{0};
    std::uint64_t files_counted = 0;
    std::uint64_t files_failed = 0;
    std::uint64_t total_characters = 0;
    std::uint64_t total_lines = 0;

    std::mutex control; // taken by add_files() and reset(), never while the lock is held

    // Seen only by the tests and benchmarks, through engine_probe.
    friend class engine_probe;
    std::uint64_t workers_let_go = 0; // by reset(): blocked where no stop reached them
    std::uint64_t files_opened_ahead = 0; // counted (or failed) from a descriptor opened ahead
    bool prefetch_from_the_start = false; // open ahead before any cache miss
};
