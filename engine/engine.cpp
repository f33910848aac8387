#include "engine.h"
#include "lib/os.h"

#include <algorithm>
#include <climits>
#include <deque>
#include <iterator>
#include <memory>
#include <vector>

namespace {

// How many files the worker may hold open ahead: open_ahead, but never more than an eighth
// of what the process may open, so that the owner's own files still open.
std::size_t ahead_limit(std::size_t wanted)
{
    return std::min(wanted, lib::os::open_files_limit() / 8);
}

} // namespace

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
    // Page-aligned, because the kernel copies into it several times faster than into the
    // 16-byte-aligned block malloc returns (measured 0.09 s against 0.6 s per GiB). The
    // worker's own: one let go in a blocked read keeps it until that read returns.
    struct alignas(4096) page {
        char bytes[4096];
    };
    const std::unique_ptr<page[]> buffer(new page[read_size / sizeof(page)]);
    // Files opened ahead, the worker's own too. When not empty, the first is the cursor's
    // entry and the last is last_ahead's; one that failed to open stays closed, in its place.
    std::deque<input_file> ahead;
    std::list<std::string>::iterator last_ahead;
    bool prefetching = prefetch_from_the_start;
    const std::size_t depth = ahead_limit(open_ahead);

    for (;;) {
        std::string path;
        std::vector<std::string> to_open;
        bool leaving = false;
        {
            const std::lock_guard<lib::lockable> guard(*this);
            if (state != running) {
                leaving = true;
            } else if (cursor == queue.end()) {
                clear_batch(); // ahead is empty: its entries are never behind the cursor
                leaving = true;
            } else {
                if (ahead.empty())
                    path = *cursor; // a copy: a worker let go may be opening it after a reset
                if (prefetching) {
                    const std::size_t held = ahead.empty() ? 0 : ahead.size() - 1;
                    auto next = std::next(ahead.empty() ? cursor : last_ahead);
                    for (; next != queue.end() && held + to_open.size() < depth; ++next) {
                        to_open.push_back(*next);
                        last_ahead = next;
                    }
                }
            }
        }
        if (leaving) {
            unattended([&]() noexcept { ahead.clear(); }); // closing may block like reading
            return;
        }

        input_file file;
        const bool from_ahead = !ahead.empty();
        if (from_ahead) {
            file = std::move(ahead.front());
            ahead.pop_front();
        }
        for (const std::string& next : to_open) {
            if (state != running)
                break; // the state is looked at between opens as between blocks
            input_file& opening = ahead.emplace_back();
            unattended([&]() noexcept {
                if (opening.open(next))
                    opening.advise_willneed(prefetch_bytes);
            });
        }

        std::uint64_t characters = 0;
        std::uint64_t lines = 0;
        bool missed_cache = false;
        bool opened;
        if (from_ahead) {
            opened = count_opened(file, buffer[0].bytes, characters, lines);
        } else {
            opened = count_file(path, buffer[0].bytes, characters, lines, prefetching ? nullptr : &missed_cache);
        }
        prefetching = prefetching || missed_cache;

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
