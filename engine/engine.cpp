#include "engine.h"

#include <algorithm>
#include <climits>
#include <iterator>
#include <mutex>

engine::engine()
    : cursor(queue.end())
    , buffer(std::make_unique<page[]>(read_size / sizeof(page)))
{
}

engine::~engine()
{
    stop(true);
}

void engine::add_files(std::span<const std::string> paths)
{
    if (paths.empty())
        return;
    std::unique_lock<lib::lockable> guard(*this);
    // The worker empties the queue as its last look at it. An empty queue while the state
    // still reads running means that worker is on its way out and will not see this entry:
    // let it end, then start a new one.
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
    for (;;) {
        const std::string* path;
        {
            std::lock_guard<lib::lockable> guard(*this);
            if (state != running)
                return;
            if (cursor == queue.end()) {
                queue.clear();
                processed = 0;
                return;
            }
            path = &*cursor; // stays put: only this worker and reset() (after it) erase entries
        }
        std::uint64_t characters = 0;
        std::uint64_t lines = 0;
        const bool opened = count_file(*path, characters, lines);

        std::lock_guard<lib::lockable> guard(*this);
        ++cursor;
        ++processed;
        if (opened) {
            total_lines += lines;
            total_characters += characters;
            ++files_counted;
        } else {
            ++files_failed;
        }
    }
}

bool engine::is_running()
{
    std::lock_guard<lib::lockable> guard(*this);
    return state == running;
}

engine::snapshot engine::totals()
{
    std::lock_guard<lib::lockable> guard(*this);
    return {files_counted, files_failed, total_characters, total_lines};
}

std::uint32_t engine::files_percent()
{
    std::lock_guard<lib::lockable> guard(*this);
    if (queue.empty())
        return 0;
    return static_cast<std::uint32_t>(processed * 100 / queue.size());
}

std::int32_t engine::file_percent()
{
    std::lock_guard<lib::lockable> guard(*this);
    const std::uint64_t size = file_size;
    if (size == 0)
        return 0;
    const double percent = static_cast<double>(file_position) * 100.0 / static_cast<double>(size);
    return static_cast<std::int32_t>(std::min(percent, static_cast<double>(INT32_MAX)));
}

void engine::reset()
{
    stop(true);
    // No worker exists now: the fields are ours alone.
    file_size = 0;
    file_position = 0;
    total_characters = 0;
    total_lines = 0;
    queue.clear();
    cursor = queue.end();
    processed = 0;
    files_counted = 0;
    files_failed = 0;
}
