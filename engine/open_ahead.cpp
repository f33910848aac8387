#include "open_ahead.h"
#include "lib/os.h"

#include <algorithm>
#include <system_error>

open_ahead::open_ahead(bool at_once)
    : depth(std::min(wanted, lib::os::open_files_limit() / 8)), is_active(at_once)
{
}

void open_ahead::open_one(input_file& file, const target& wanted) noexcept
{
    const bool opened = wanted.open(file);
    if (opened)
        file.advise_willneed(prefetch_bytes);
}

bool open_ahead::start_openers() noexcept
{
    if (state != nullptr)
        return true;
    if (no_thread)
        return false;
    try {
        auto made = std::make_unique<shared>();
        // Each opener holds one of the files held while it opens it: no more than the depth.
        made->threads.reserve(std::min(openers, depth));
        state = std::move(made);
    } catch (const std::bad_alloc&) {
        no_thread = true;
        return false;
    }
    while (state->threads.size() < state->threads.capacity()) {
        try {
            state->threads.emplace_back([opener = state.get()] { opener->run(); });
        } catch (const std::system_error&) { // no thread left: those started open them
            break;
        }
    }
    if (state->threads.empty()) {
        state.reset();
        no_thread = true;
        return false;
    }
    return true;
}

input_file open_ahead::take_ready()
{
    input_file file = std::move(files.front());
    files.pop_front();
    ++taken;
    return file;
}

void open_ahead::close_all() noexcept
{
    if (state != nullptr) {
        {
            const std::lock_guard lock(state->mutex);
            state->stop = true;
        }
        state->work.notify_all();
        for (std::thread& thread : state->threads)
            thread.join();
        state.reset();
    }
    files.clear();
    taken = 0;
}

void open_ahead::shared::add(std::vector<target> targets, std::deque<input_file>& files)
{
    {
        const std::lock_guard lock(mutex);
        for (target& wanted : targets) {
            jobs.push_back({std::move(wanted), &files.emplace_back(), done + ready.size()});
            ready.push_back(false);
        }
    }
    if (targets.size() == 1)
        work.notify_one();
    else
        work.notify_all();
}

bool open_ahead::shared::has_done(std::uint64_t count)
{
    const std::lock_guard lock(mutex);
    return done >= count;
}

void open_ahead::shared::wait_for(std::uint64_t count) noexcept
{
    std::unique_lock lock(mutex);
    finished.wait(lock, [&] { return done >= count; });
}

void open_ahead::shared::run() noexcept
{
    std::unique_lock lock(mutex);
    for (;;) {
        work.wait(lock, [&] { return stop || !jobs.empty(); });
        if (stop)
            return;
        job next = std::move(jobs.front());
        jobs.pop_front();
        lock.unlock();
        open_one(*next.file, next.wanted);
        next.wanted.folder.reset(); // now: the walk may have left the folder, to be closed by its last holder
        lock.lock();
        ready[next.index - done] = true;
        if (next.index == done) {
            while (!ready.empty() && ready.front()) {
                ready.pop_front();
                ++done;
            }
            finished.notify_all();
        }
    }
}
