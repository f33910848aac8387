#pragma once

#include "engine/folder_listing.h"
#include "engine/input_file.h"

#include <algorithm>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

// The files a worker holds open ahead of the one it counts, so that the disk serves many of
// them at once once the files turn out not to be in memory. Owned by one worker and used only
// on it (a worker let go keeps its own). The files held are the next ones the worker will
// count, in order: when it comes to a file and files are held, the first is that file's. One
// that failed to open stays closed, in its place, and fails there.
//
// Threads of its own, the openers, open them and ask for their first bytes while the worker
// reads: issuing the reads takes a core about as long as reading them (20,000 cold small
// files on this project's 2-core build machine: 189 ms, against 300 ms with the worker doing
// both). Several of them, so that what an open and its advice wait for (a cold inode, the
// file's block map, room in the disk's queue) overlaps: one opener serialises those waits.
// They take the files in order, so the one the worker waits for is always among the first
// under way.
class open_ahead {
public:
    // How many files to hold open: `wanted`, but never more than an eighth of what the process
    // may open, so that the owner's own files still open (128 under the usual limit of 1024).
    // Cold small files counted 12% faster with 128 than with 32; more gained nothing.
    static constexpr std::size_t wanted = 128;
    // How much of each file opened ahead to ask the disk for at once.
    static constexpr std::uint64_t prefetch_bytes = 256 * 1024;
    // How many openers to start. Measured on the 2-core build machine, with the worker's two
    // counters beside them, 20,000 cold small files (list / folder walk): one opener 0.94-1.11
    // / 0.94-1.06 s, two 0.48-0.50 / 0.48-0.51 s, four 0.65-0.69 / 0.56-0.58 s, eight
    // 0.87-0.89 / 0.57-0.71 s; and 200,000 cached ones after a cold start (opening ahead on
    // for all of them): one 1.9-2.0 s, two 2.3-2.6 s, eight 4.4-4.5 s. Idle openers woken
    // for each file cost more than the opens they overlap once they outnumber the cores.
    static constexpr std::size_t openers = 2;

    // A file to open: by its name in an open folder of a walk, which stays open until the
    // file is; or, without a folder, by its path in `name`.
    struct target {
        shared_folder folder;
        std::string name;

        // Opens it into `file`: a walk's file relative to its folder, never by its path.
        bool open(input_file& file) const
        {
            return folder != nullptr ? file.open_at(folder->native_handle(), name) : file.open(name);
        }
    };

    // With at_once, files are opened ahead from the first, not only after cache misses.
    explicit open_ahead(bool at_once);
    // Waits for the openers' opens under way, which may block for good: a worker that may be
    // let go calls close_all() through unattended() before.
    ~open_ahead() { close_all(); }
    open_ahead(const open_ahead&) = delete;
    open_ahead& operator=(const open_ahead&) = delete;

    // Whether files are opened ahead at all: from the second cache miss in a row on. A cold
    // batch misses file after file; one file alone out of memory among cached ones (the
    // kernel's reclaim takes pages of files read not long ago) would otherwise cost a fadvise
    // per file for the rest of the batch: 117 against 112 ms for 20,000 cached small files
    // with one evicted.
    bool active() const { return is_active; }
    // What a file's first read found, while not active.
    void first_read(bool missed_cache)
    {
        misses_in_a_row = missed_cache ? misses_in_a_row + 1 : 0;
        is_active = misses_in_a_row >= 2;
    }
    // Whether the file the worker comes to is held open here, to be taken with take().
    bool holds_next() const { return !files.empty(); }
    // How many files are held, to be skipped when the next ones to open are looked for.
    std::size_t held() const { return files.size(); }
    // How many more files to open now, after the worker took the one it counts: none until
    // active, then up to the depth.
    std::size_t room() const { return is_active ? depth - std::min(depth, files.size()) : 0; }

    // The file the worker comes to, opened ahead (or failed to open, then closed). Waits for
    // the openers to be done with it: run_blocking(call) runs that wait, which may last for good on
    // a mount that stopped answering, so that the engine can let the worker go meanwhile.
    template <typename BlockingExecutor>
    input_file take(BlockingExecutor run_blocking)
    {
        if (state != nullptr && !state->has_done(taken + 1))
            run_blocking([&]() noexcept { state->wait_for(taken + 1); });
        return take_ready();
    }
    // Opens the files after those held, in order, and asks for their first bytes: on the
    // openers, or through run_blocking(call) where no thread could be started.
    template <typename BlockingExecutor>
    void open(std::vector<target> targets, BlockingExecutor run_blocking)
    {
        if (targets.empty())
            return;
        if (start_openers()) {
            state->add(std::move(targets), files);
            return;
        }
        for (target& wanted : targets) {
            input_file& file = files.emplace_back();
            run_blocking([&]() noexcept {
                open_one(file, wanted);
                wanted.folder.reset(); // closing may block like opening
            });
        }
    }
    // Stops the openers once the opens under way return, and closes every file held.
    void close_all() noexcept;

private:
    static void open_one(input_file& file, const target& wanted) noexcept;
    bool start_openers() noexcept;
    input_file take_ready();

    // Shared by the worker and its openers, under the mutex. The openers start the files in
    // order, and may finish them out of order: `done` counts those finished in a row from the
    // first, so that against `taken` it says whether the next one is ready.
    struct shared {
        struct job {
            target wanted;
            input_file* file;
            std::uint64_t index; // from the first file added, 0
        };
        std::mutex mutex;
        std::condition_variable work; // a job added, or the stop
        std::condition_variable finished; // `done` grew
        std::deque<job> jobs; // not started yet, in order
        std::deque<bool> ready; // whether each file after the first `done` is finished
        std::uint64_t done = 0;
        bool stop = false;
        std::vector<std::thread> threads;

        void add(std::vector<target> targets, std::deque<input_file>& files);
        bool has_done(std::uint64_t count);
        void wait_for(std::uint64_t count) noexcept;
        void run() noexcept;
    };

    // References to a deque's elements stay valid as it grows and shrinks at its ends: the
    // openers write to the files through them.
    std::deque<input_file> files;
    std::unique_ptr<shared> state;
    std::uint64_t taken = 0;
    std::size_t depth;
    bool is_active;
    int misses_in_a_row = 0;
    bool no_thread = false; // starting none succeeded: open on the worker
};
