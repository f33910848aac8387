#include "engine.h"

#include <algorithm>
#include <climits>
#include <iterator>
#include <memory>
#include <vector>

engine::~engine()
{
    stop_within(grace);
}

void engine::add_files(std::span<const std::string> paths)
{
    if (paths.empty())
        return;
    const std::lock_guard serial(control);
    std::unique_lock<lib::lockable> guard(*this);
    // The worker empties the queue as its last look at it. An empty queue while the state
    // still reads running means that worker is on its way out and will not see this entry:
    // let it end (it blocks on nothing any more), then start a new one.
    const bool worker_leaving = state == running && queue.empty();
    const bool nothing_pending = cursor == queue.end();
    queue.insert(queue.end(), paths.begin(), paths.end());
    if (nothing_pending)
        cursor = std::prev(queue.end(), static_cast<std::ptrdiff_t>(paths.size()));
    if (worker_leaving) {
        guard.unlock();
        stop(true);
        guard.lock();
    }
    if (state != running)
        start();
}

void engine::run()
{
    // The buffer and the files opened ahead are the worker's own: one let go in a blocked
    // read keeps them until that read returns.
    const std::unique_ptr<page[]> buffer = read_buffer();
    open_ahead ahead(prefetch_from_the_start);
    const auto around = [](auto call) { unattended(call); };

    for (;;) {
        std::string path;
        std::vector<std::string> to_open;
        if (!take_next(ahead, path, to_open)) {
            unattended([&]() noexcept { ahead.close_all(); }); // closing may block like reading
            return;
        }

        const bool from_ahead = ahead.holds_next();
        input_file file = from_ahead ? ahead.take() : input_file();
        for (const std::string& next : to_open) {
            if (state != running)
                break; // the state is looked at between opens as between blocks
            ahead.open(next, around);
        }

        std::uint64_t characters = 0;
        std::uint64_t lines = 0;
        bool missed_cache = false;
        const bool opened = from_ahead ? count_opened(file, buffer[0].bytes, characters, lines)
                                       : count_file(path, buffer[0].bytes, characters, lines,
                                                    ahead.active() ? nullptr : &missed_cache);
        if (missed_cache)
            ahead.activate();
        add_result(opened, from_ahead, characters, lines);
    }
}

bool engine::take_next(open_ahead& ahead, std::string& path, std::vector<std::string>& to_open)
{
    const std::lock_guard<lib::lockable> guard(*this);
    if (state != running)
        return false;
    if (cursor == queue.end()) {
        clear_batch(); // nothing is held ahead: its entries are never behind the cursor
        return false;
    }
    if (!ahead.holds_next())
        path = *cursor; // a copy: a worker let go may be opening it after a reset
    to_open = ahead.plan(cursor, queue.end());
    return true;
}

void engine::add_result(bool opened, bool from_ahead, std::uint64_t characters, std::uint64_t lines)
{
    const std::lock_guard<lib::lockable> guard(*this);
    ++cursor;
    ++processed;
    files_opened_ahead += from_ahead ? 1 : 0;
    if (opened) {
        total_lines += lines;
        total_characters += characters;
        ++files_counted;
    } else {
        ++files_failed;
    }
}

void engine::clear_batch()
{
    queue.clear();
    cursor = queue.end();
    processed = 0;
}

bool engine::is_running()
{
    const std::lock_guard<lib::lockable> guard(*this);
    return state == running;
}

engine::snapshot engine::totals()
{
    const std::lock_guard<lib::lockable> guard(*this);
    return {files_counted, files_failed, total_characters, total_lines};
}

std::uint64_t engine::pending()
{
    const std::lock_guard<lib::lockable> guard(*this);
    return queue.size() - processed;
}

std::uint32_t engine::files_percent()
{
    const std::lock_guard<lib::lockable> guard(*this);
    if (queue.empty())
        return 0;
    return static_cast<std::uint32_t>(processed * 100 / queue.size());
}

std::int32_t engine::file_percent()
{
    const std::lock_guard<lib::lockable> guard(*this);
    const std::uint64_t size = file_size;
    if (size == 0)
        return 0;
    const double percent = static_cast<double>(file_position) * 100.0 / static_cast<double>(size);
    return static_cast<std::int32_t>(std::min(percent, static_cast<double>(INT32_MAX)));
}

void engine::reset()
{
    const std::lock_guard serial(control);
    const bool ended = stop_within(grace);
    // The worker has ended or been let go: nothing but this thread writes the fields now.
    const std::lock_guard<lib::lockable> guard(*this);
    workers_let_go += ended ? 0 : 1;
    file_size = 0;
    file_position = 0;
    total_characters = 0;
    total_lines = 0;
    files_counted = 0;
    files_failed = 0;
    clear_batch();
}

void engine::wait()
{
    lib::handle waiter;
    {
        const std::lock_guard<lib::lockable> guard(*this);
        if (state == running)
            waiter.assign(thread_handle);
    }
    if (waiter.is_valid())
        waiter.wait();
}
