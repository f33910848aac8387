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
    const bool opened = wanted.folder != nullptr ? file.open_at(wanted.folder->native_handle(), wanted.name)
                                                 : file.open(wanted.name);
    if (opened)
        file.advise_willneed(prefetch_bytes);
}

bool open_ahead::start_opener() noexcept
{
    if (opener != nullptr)
        return true;
    if (no_thread)
        return false;
    try {
        auto made = std::make_unique<shared>();
        made->thread = std::thread([state = made.get()] { state->run(); });
        opener = std::move(made);
        return true;
    } catch (const std::exception&) { // no memory or no thread left: the worker opens them
        no_thread = true;
        return false;
    }
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
    if (opener != nullptr) {
        {
            const std::lock_guard lock(opener->mutex);
            opener->stop = true;
        }
        opener->changed.notify_all();
        opener->thread.join();
        opener.reset();
    }
    files.clear();
    taken = 0;
}

void open_ahead::shared::add(std::vector<target> targets, std::deque<input_file>& files)
{
    {
        const std::lock_guard lock(mutex);
        for (target& wanted : targets)
            jobs.emplace_back(std::move(wanted), &files.emplace_back());
    }
    changed.notify_all();
}

bool open_ahead::shared::has_done(std::uint64_t count)
{
    const std::lock_guard lock(mutex);
    return done >= count;
}

void open_ahead::shared::wait_for(std::uint64_t count) noexcept
{
    std::unique_lock lock(mutex);
    changed.wait(lock, [&] { return done >= count; });
}

void open_ahead::shared::run() noexcept
{
    std::unique_lock lock(mutex);
    for (;;) {
        changed.wait(lock, [&] { return stop || !jobs.empty(); });
        if (stop)
            return;
        auto [wanted, file] = std::move(jobs.front());
        jobs.pop_front();
        lock.unlock();
        open_one(*file, wanted);
        wanted.folder.reset(); // now: the walk may have left the folder, to be closed by its last holder
        lock.lock();
        ++done;
        changed.notify_all();
    }
}
