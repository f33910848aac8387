#pragma once

#include "engine/count_pool.h"
#include "engine/counts.h"
#include "engine/failure.h"
#include "engine/file_counts.h"
#include "engine/folder_listing.h"
#include "engine/folder_walk.h"
#include "engine/ignore_files.h"
#include "engine/input_file.h"
#include "engine/open_ahead.h"
#include "engine/path_queue.h"
#include "lib/threadable.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <vector>

// Counts the characters (bytes, or UTF-8 characters) and lines of the files handed to it, in
// arrival order: a worker thread of its own takes each entry, walks folders and hands each
// file to its counters (engine/count_pool.h), one per core with the worker among them, which
// count files side by side; it takes their results back in the order it handed them over,
// so that totals, failures and each file's own count come in arrival order. The owner polls
// the totals and the two progress percentages; nothing is pushed to it.
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

    struct failure {
        std::string path; // raw bytes, as queued or as found by a walk
        failure_reason reason;
    };
    // The failures kept since the last reset; those past it are only counted, so that memory
    // stays bounded whatever is dropped.
    static constexpr std::size_t failures_kept = 10000;

    engine() = default;
    // Returns promptly even while the worker is blocked in a read that never returns.
    ~engine() override;

    // Queues the paths in order (raw bytes, used whole) under one hold of the lock, so that
    // a drop stays one batch, and starts a worker when none is running. With walk_folders, an
    // entry that names a folder is counted by the regular files below it, walked lazily on the
    // worker; without it a folder fails ("is a folder"). With skip_ignored, a walk leaves out
    // what the person's Git would (engine/ignore_files.h), and what .ignore files name. With
    // utf8_characters, the characters of these files (and of those found below them) are
    // UTF-8 characters, not bytes.
    void add_files(std::span<const std::string> paths, bool walk_folders = false, bool skip_ignored = false,
                   bool utf8_characters = false);
    void add_file(const std::string& path, bool walk_folders = false, bool skip_ignored = false,
                  bool utf8_characters = false)
    {
        add_files({&path, 1}, walk_folders, skip_ignored, utf8_characters);
    }
    bool is_running();
    snapshot totals();
    // Processed share of the current batch, 0 to 100: of the entries known so far, those of
    // the folders walked included.
    std::uint32_t files_percent();
    // Entries of the current batch not processed yet, those found by walks so far included;
    // 0 once it drained. Left above 0 by a worker that could not be started. A feeder that
    // adds a long list in chunks watches it to add the next chunk before the worker runs dry.
    std::uint64_t pending();
    // Share of the current file read so far; over 100 when the file grew while read.
    std::int32_t file_percent();
    // The failures kept since the last reset, from index `from` on, in the order they
    // happened, so that a poller copies only the new ones.
    std::vector<failure> failures(std::size_t from = 0);
    // Failures past the bound: counted in files_failed, not kept.
    std::uint64_t failures_not_kept();

    // Each counted file's own count is kept too, for the first of them since the last reset,
    // compactly (file_counts); those past the bound are only counted, as failures are.
    static constexpr std::size_t counts_kept = 250000;
    // Appends to `into` the counted files kept since the last reset from index `from` on, in
    // the order they were counted, so that a poller copies only the new ones.
    void counted_files(std::size_t from, file_counts& into);
    // Counted files past the bound: in files_counted, not kept.
    std::uint64_t counted_not_kept();

    // Every file's result, counted or failed, as a caller that streams takes it.
    struct file_result {
        std::string path;
        std::uint64_t characters = 0;
        std::uint64_t lines = 0;
        failure_reason reason; // set when the file failed
    };
    // What becomes of each file's result from now on: kept (the default, up to counts_kept),
    // only summed in the totals (for a caller that needs no file's own count), or streamed:
    // every file's result, counted or failed, is handed in order to take_results(), and none
    // is kept. The worker waits while `results_untaken` results are not taken, so memory stays
    // bounded however many files pass; the caller must keep taking until the worker ended.
    // Failures are kept as before in every case.
    enum class results { kept, summed, streamed };
    void handle_results(results how);
    static constexpr std::size_t results_untaken = 4096;
    // The results not taken yet, in order (results::streamed).
    std::vector<file_result> take_results();
    // Stops the worker and zeroes everything, failures included. Waits for a worker that sees
    // the stop (within one 1 KiB block of reading, or between two entries of a walk); one
    // blocked in a read (or a folder listing) that does not return is let go and will change
    // nothing here when it returns.
    void reset();
    // Waits until no worker runs; returns at once when none does.
    void wait();

private:
    // The worker's body: takes the next entry, walks folders, opens files ahead, counts, adds
    // the result.
    void run() override;
    bool cooperative() override { return true; }

    // What the worker comes to next: a path queued, or an entry found by a walk (which has
    // its open folder).
    struct item : folder_walk::entry {
        bool walk_folders = false; // queued, to be walked if it is a folder
        bool skip_ignored = false; // queued, its walk to leave out what ignore rules name
        bool utf8_characters = false; // as queued, or as the folder walked was
    };
    // The ignore rules of the folder being walked, the worker's own (engine.cpp).
    struct ignoring;
    // The next item, from the folder being walked, else from the entries taken from the
    // queue ahead of their turn (`upcoming`, topped up to `wanted`), else from the queue;
    // `wait` while the batch drained but for files in hand; `nothing` when the worker is to
    // end: stopped, or the batch drained and forgotten. Under the lock, but for leaving the
    // folders walked to the end first, which may block.
    enum class taken { entry, wait, nothing };
    taken take_next(folder_walk& walk, std::deque<path_queue::entry>& upcoming, std::size_t wanted,
                    count_pool& counters, open_ahead& ahead, item& next);
    // Takes back the files counted, oldest first, and adds their results; with wait, first
    // waits for the oldest in hand. False when the state is no longer running.
    bool take_back(count_pool& counters, open_ahead& ahead, bool wait);
    // Takes back every file in hand, so that a failure added next comes after them.
    void take_back_all(count_pool& counters, open_ahead& ahead);
    // On the worker: reads the folder whole and makes it the walk's deepest level while the
    // state stays running; a folder it cannot open or read fails with the reason. With root
    // (the folder queued), false when the path is no folder, to be counted as a file.
    // With ignoring on, the entries its rules name are left out as if never listed.
    bool enter_folder(folder_walk& walk, ignoring& rules, const item& folder, bool root, count_pool& counters,
                      open_ahead& ahead);
    // Brings the rules to the folder read (at `path`, named `name` in the one above; with
    // root, the folder given, whose rules are loaded from the work tree's root down) and
    // drops the entries they name, adding the rules files that could not be read to failures.
    static void judge(ignoring& ignored, const folder_walk& walk, folder_walk::level& read, const open_folder& opened,
                      const std::string& path, const std::string& name, bool root,
                      std::vector<ignore_file_failure>& failures);
    // The files to open ahead now, after those held.
    static std::vector<open_ahead::target> files_ahead(const open_ahead& ahead, const folder_walk& walk,
                                                       const std::deque<path_queue::entry>& upcoming);
    // Under the lock: an entry processed without a count (a folder read, or skipped), with
    // the `found` entries it adds to the batch, or its failure with the reason.
    void add_step(std::size_t found, const std::string* failed_path = nullptr, failure_reason reason = {});
    // Under the lock: adds the file's result to the totals, or its failure with the reason.
    void add_result(bool opened, bool from_ahead, std::uint64_t characters, std::uint64_t lines,
                    const std::string& path, failure_reason reason);
    // Under the lock: keeps the failure while under the bound.
    void add_failure(const std::string& path, failure_reason reason);
    // On the worker, before each entry: waits while the streamed results fill their room and
    // the state stays running.
    void wait_for_room();

    static constexpr auto run_blocking = [](auto call) { return unattended(call); };

    // How long reset() and destruction wait for the worker to see a stop before they let it
    // go: far longer than a read that returns takes, far shorter than a person notices.
    static constexpr std::chrono::milliseconds grace{10};

    // Forgets the whole batch, processed and pending entries alike. Under the lock.
    void clear_batch();
    // Stops the counting of the files in hand, before the worker is stopped: the counters
    // are the worker's own, and see no state of the engine.
    void stop_counting();

    // The batch: the entries not yet taken by the worker, and the counts of the entries known
    // (queued, or found by walks) and processed; the paths of those taken are the worker's.
    path_queue queue;
    std::uint64_t known = 0; // 0 while running only when the worker is on its way out
    std::uint64_t processed = 0;
    // The current file's progress: of the oldest file in hand, on the board of the last worker
    // started; once none is, of the last file taken back.
    std::shared_ptr<count_pool::board> counting;
    std::uint64_t file_size = 0;
    std::uint64_t file_position = 0;
    std::uint64_t files_counted = 0;
    std::uint64_t files_failed = 0;
    std::uint64_t total_characters = 0;
    std::uint64_t total_lines = 0;
    std::vector<failure> failed;
    std::uint64_t failed_not_kept = 0;
    file_counts counted;
    std::uint64_t counted_beyond = 0;
    results handling = results::kept;
    std::deque<file_result> streamed;

    std::mutex control; // taken by add_files() and reset(), never while the lock is held

    // Seen only by the tests and benchmarks, through engine_probe.
    friend class engine_probe;
    std::uint64_t workers_abandoned = 0; // by reset(): blocked where no stop reached them
    std::uint64_t files_opened_ahead = 0; // counted (or failed) from a descriptor opened ahead
    bool prefetch_from_the_start = false; // open ahead before any cache miss
    unsigned counters_wanted = count_pool::counters_for_this_machine();
};
