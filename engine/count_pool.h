#pragma once

#include "engine/count_file.h"
#include "engine/counts.h"
#include "engine/failure.h"
#include "engine/input_file.h"
#include "engine/open_ahead.h"

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <thread>
#include <type_traits>
#include <vector>

// The counters of one worker: the worker itself and threads of its own, one per core in all,
// that open and count the files the worker hands over, side by side, while the worker walks
// on and takes the outcomes back in the order it handed the files over. One core reads one
// file at a time and leaves the others idle; cached small files are all system calls, which
// overlap on several cores. The worker counts too while it waits rather than sleeping: a
// thread per core beside a worker woken every few files made 8,000 to 11,000 context
// switches for 20,000 cached small files, 117 ms on the 2-core build machine, against 450
// and 80 ms with the worker as one of the counters.
//
// Owned by one worker and used only on it, but for the board, which the engine shares to
// stop the counters and to show the oldest file's progress. With one counter (a one-core
// machine, or no thread to be had) the worker counts each file itself as it hands it over.
class count_pool {
public:
    // A file to count, and what counting it found.
    struct job {
        input_file file; // opened ahead; else `target` is opened here
        open_ahead::target target;
        std::string path; // what the result is reported by
        bool opened_ahead = false;
        bool walked = false; // found by a walk
        bool utf8_characters = false;
        bool look_for_misses = false; // the first read takes only what is in memory

        // Read by the poller while the file is counted.
        std::atomic<std::uint64_t> size{0};
        std::atomic<std::uint64_t> position{0};

        bool opened = false;
        counts counted;
        failure_reason reason;
        bool missed_cache = false;
        bool done = false; // under the board's mutex
    };

    // What the engine shares with the worker's counters, kept alive by every thread that
    // touches it: a worker let go ends its counters as it unwinds, once their reads return,
    // after the engine has forgotten the board.
    struct board {
        // Seen by count_opened as the state to count while: stop() turns it off.
        static constexpr std::int32_t counting = 1;
        std::atomic<std::int32_t> state{counting};

        std::mutex mutex;
        std::condition_variable work; // for the counters
        std::condition_variable settled; // for the worker
        std::condition_variable spread_done; // for the thread whose tasks others run
        std::deque<std::unique_ptr<job>> jobs; // in hand, oldest first
        std::size_t started = 0; // jobs[0, started) are taken by a counter
        std::size_t idle = 0; // counters waiting for a job
        std::size_t awaited = 0; // the worker waits for jobs[0, awaited) to be counted
        bool closing = false;

        // Ends the counting of every file in hand within one 1 KiB block, at any time, from
        // any thread; what it leaves is no count and is dropped.
        void stop() noexcept;
        // Runs task(context, 0) to task(context, count - 1) on the calling thread and on the
        // counters idle meanwhile, and returns once all have run: a big file's mapped windows,
        // counted side by side. The tasks must not block. One such run at a time: a second
        // one meanwhile runs on its caller alone.
        using task_type = void (*)(void* context, std::size_t i) noexcept;
        void side_by_side(std::size_t count, task_type task, void* context) noexcept;
        struct shared_run {
            task_type task = nullptr;
            void* context = nullptr;
            std::size_t count = 0;
            std::size_t next = 0; // the next task to take
            std::size_t running = 0; // taken by counters and not done
        };
        shared_run* spread = nullptr; // under the mutex
        // Whether `spread` has a task no thread has taken; under the mutex.
        bool spread_waits() const { return spread != nullptr && spread->next < spread->count; }
        // Runs the next task of `spread`, taken under `lock`, with the lock let go meanwhile.
        void run_next_task(std::unique_lock<std::mutex>& lock) noexcept;

        // Whether the jobs the worker waits for are counted; under the mutex.
        bool awaited_counted() const;
        // Whether the worker waiting has a task to take, or need wait no more; under the mutex.
        bool worker_wanted() const { return state != counting || awaited_counted() || spread_waits(); }
        // Lets the processor go a few times with `lock` let go, before the worker sleeps;
        // true once worker_wanted(). The file awaited is most often a small one a counter is
        // about to finish: 20,000 cached small files took 77 ms so, 85 ms with a sleep and a
        // wake each time.
        bool yield_to_counters(std::unique_lock<std::mutex>& lock);
        // The oldest file in hand's size and how far its count got; false when none is.
        bool oldest_progress(std::uint64_t& size, std::uint64_t& position);
    };

    // Counters, the worker among them: one per core, at most `most`.
    static unsigned counters_for_this_machine(unsigned most = 16) noexcept;

    // `counters`, the worker among them, which counts with `buffer`.
    count_pool(unsigned counters, std::span<char> buffer);
    // Waits for the counters' reads under way, which may block for good: a worker that may be
    // let go calls close_all() through unattended() before.
    ~count_pool() { close_all(); }
    count_pool(const count_pool&) = delete;
    count_pool& operator=(const count_pool&) = delete;

    const std::shared_ptr<board>& shared() const { return state; }
    // How many files are in hand: handed over and not taken back.
    std::size_t in_hand();

    // Hands a file over, to be counted on a counter; where there is none, counts it at once,
    // with run_blocking(call) running each call that may block for good (engine/count_file.h).
    // True when enough are in hand to keep every counter busy: then the worker waits for
    // some before it hands over more, so that memory and open files stay bounded.
    template <typename BlockingExecutor>
    bool hand_over(std::unique_ptr<job> file, BlockingExecutor run_blocking)
    {
        const bool here = !start_counters();
        job& added = *file;
        const bool full = add(std::move(file), here); // in hand while counted, for its progress
        if (here) {
            count(*state, added, worker_buffer, run_blocking);
            const std::lock_guard lock(state->mutex);
            added.done = true;
        }
        return full;
    }
    // Appends the files in hand counted so far, oldest first, up to the first not counted
    // yet, taken back.
    void take_done(std::vector<std::unique_ptr<job>>& into);
    // Waits until the older half of the files in hand (at least the oldest) are counted, or
    // the board is stopped: taken back in one go, they leave room for as many. Meanwhile the
    // worker counts what no other counter has taken of that half, or a big file's window, and
    // sleeps, through run_blocking(call), only when there is none. Never a newer file: one
    // long to count would hold back the results of those before it.
    template <typename BlockingExecutor>
    void wait_for_oldest(BlockingExecutor run_blocking)
    {
        std::unique_lock lock(state->mutex);
        state->awaited = std::min(std::max<std::size_t>(state->jobs.size() / 2, 1), state->jobs.size());
        while (state->state == board::counting && !state->awaited_counted()) {
            if (state->started < state->awaited) {
                job& file = *state->jobs[state->started++];
                lock.unlock();
                count(*state, file, worker_buffer, run_blocking);
                lock.lock();
                file.done = true;
            } else if (state->spread_waits()) {
                state->run_next_task(lock);
            } else if (!state->yield_to_counters(lock)) {
                // Not under the board's lock: run_blocking takes the worker's hold on the engine
                // back, and that hold always comes before the board's lock.
                lock.unlock();
                run_blocking([this]() noexcept {
                    std::unique_lock waiting(state->mutex);
                    state->settled.wait(waiting, [this] { return state->worker_wanted(); });
                });
                lock.lock();
            }
        }
        state->awaited = 0;
    }
    // Stops the board, then waits for each counter to end (after the read under way returns).
    void close_all() noexcept;

    // Opens the job's file unless it was opened ahead, and counts it.
    template <typename BlockingExecutor>
    static void count(board& on, job& file, std::span<char> buffer, BlockingExecutor run_blocking)
    {
        if (!file.opened_ahead)
            run_blocking([&]() noexcept { file.target.open(file.file); });
        const auto side_by_side = [&on](std::size_t count, auto& task) {
            using task_of = std::remove_reference_t<decltype(task)>;
            const board::task_type run = [](void* context, std::size_t i) noexcept {
                (*static_cast<task_of*>(context))(i);
            };
            on.side_by_side(count, run, &task);
        };
        file.opened = count_opened(file.file, buffer, on.state, board::counting, file.size, file.position,
                                   run_blocking, file.counted, file.reason,
                                   file.look_for_misses ? &file.missed_cache : nullptr, file.utf8_characters,
                                   side_by_side);
        file.target.folder.reset(); // closing may block like reading
    }

private:
    bool start_counters() noexcept;
    // Puts the file in hand; with counted_here, taken by the caller, not by a counter.
    bool add(std::unique_ptr<job> file, bool counted_here);
    static void run(std::shared_ptr<board> state) noexcept;

    std::shared_ptr<board> state;
    std::vector<std::thread> threads;
    unsigned counters;
    std::size_t room; // how many files may be in hand
    std::span<char> worker_buffer;
    bool no_thread; // one counter, or starting one failed: the worker counts
};
