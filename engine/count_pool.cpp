#include "count_pool.h"

#include <algorithm>

void count_pool::board::stop() noexcept
{
    {
        const std::lock_guard lock(mutex);
        state = 0;
    }
    settled.notify_all();
}

void count_pool::board::side_by_side(std::size_t count, task_type task, void* context) noexcept
{
    shared_run run{task, context, count, 0, 0};
    std::unique_lock lock(mutex);
    if (spread != nullptr || count < 2) {
        lock.unlock();
        for (std::size_t i = 0; i < count; ++i)
            task(context, i);
        return;
    }
    spread = &run;
    work.notify_all();
    settled.notify_one(); // the worker, waiting, takes a task too
    while (run.next < run.count)
        run_next_task(lock);
    spread_done.wait(lock, [&] { return run.running == 0; });
    spread = nullptr;
}

void count_pool::board::run_next_task(std::unique_lock<std::mutex>& lock) noexcept
{
    shared_run& run = *spread;
    ++run.running;
    const std::size_t i = run.next++;
    lock.unlock();
    run.task(run.context, i);
    lock.lock();
    if (--run.running == 0 && run.next == run.count)
        spread_done.notify_one();
}

bool count_pool::board::awaited_counted() const
{
    for (std::size_t i = 0; i < awaited; ++i)
        if (!jobs[i]->done)
            return false;
    return true;
}

bool count_pool::board::yield_to_counters(std::unique_lock<std::mutex>& lock)
{
    for (int i = 0; i < 100; ++i) { // more measured no better; ten, a little worse
        lock.unlock();
        std::this_thread::yield();
        lock.lock();
        if (worker_wanted())
            return true;
    }
    return false;
}

bool count_pool::board::oldest_progress(std::uint64_t& size, std::uint64_t& position)
{
    const std::lock_guard lock(mutex);
    if (jobs.empty())
        return false;
    size = jobs.front()->size;
    position = jobs.front()->position.load(std::memory_order_relaxed);
    return true;
}

unsigned count_pool::counters_for_this_machine(unsigned most) noexcept
{
    return std::clamp(std::thread::hardware_concurrency(), 1u, most);
}

count_pool::count_pool(unsigned counters, std::span<char> buffer)
    : state(std::make_shared<board>()), counters(std::max(counters, 1u)), room(8 * this->counters),
      worker_buffer(buffer), no_thread(counters <= 1)
{
}

bool count_pool::start_counters() noexcept
{
    if (no_thread)
        return false;
    if (!threads.empty())
        return true;
    try {
        for (unsigned i = 1; i < counters; ++i) // the worker is the first
            threads.emplace_back(run, state);
        return true;
    } catch (const std::exception&) {
        // No memory or no thread left: those started count, else the worker does.
        no_thread = threads.empty();
        return !no_thread;
    }
}

bool count_pool::add(std::unique_ptr<job> file, bool counted_here)
{
    bool full;
    bool wake;
    {
        const std::lock_guard lock(state->mutex);
        state->jobs.push_back(std::move(file));
        state->started += counted_here ? 1 : 0;
        // A counter is woken for each job no counter already woken will take.
        wake = state->idle > state->jobs.size() - state->started - 1 && !counted_here;
        full = state->jobs.size() >= room;
    }
    if (wake)
        state->work.notify_one();
    return full;
}

std::size_t count_pool::in_hand()
{
    const std::lock_guard lock(state->mutex);
    return state->jobs.size();
}

void count_pool::take_done(std::vector<std::unique_ptr<job>>& into)
{
    const std::lock_guard lock(state->mutex);
    while (!state->jobs.empty() && state->jobs.front()->done) {
        into.push_back(std::move(state->jobs.front()));
        state->jobs.pop_front();
        --state->started;
    }
}

void count_pool::close_all() noexcept
{
    state->stop();
    {
        const std::lock_guard lock(state->mutex);
        state->closing = true;
    }
    state->work.notify_all();
    for (std::thread& counter : threads)
        counter.join();
    threads.clear();
    const std::lock_guard lock(state->mutex);
    state->jobs.clear();
    state->started = 0;
}

void count_pool::run(std::shared_ptr<board> state) noexcept
{
    const std::unique_ptr<read_page[]> buffer = read_buffer();
    const auto run_here = [](auto call) { return call(); };
    std::unique_lock lock(state->mutex);
    for (;;) {
        ++state->idle;
        state->work.wait(lock, [&] {
            return state->closing || state->spread_waits() || state->started < state->jobs.size();
        });
        --state->idle;
        if (state->closing)
            return;
        if (state->spread_waits()) {
            state->run_next_task(lock);
            continue;
        }
        job& file = *state->jobs[state->started++];
        lock.unlock();
        count(*state, file, {buffer[0].bytes, read_size}, run_here);
        lock.lock();
        file.done = true;
        // The worker waits for the older half: woken once, by the last of them.
        if (state->awaited > 0 && state->awaited_counted()) {
            state->awaited = 0;
            state->settled.notify_one();
        }
    }
}
