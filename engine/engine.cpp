#include "engine.h"

#include <algorithm>
#include <climits>
#include <iterator>
#include <memory>
#include <thread>
#include <vector>

engine::~engine()
{
    stop_within(grace);
}

void engine::add_files(std::span<const std::string> paths, bool walk_folders)
{
    if (paths.empty())
        return;
    const std::lock_guard serial(control);
    std::unique_lock<lib::lockable> guard(*this);
    // The worker forgets the batch as its last look at it. No batch while the state still
    // reads running means that worker is on its way out and will not see this entry: let it
    // end (it blocks on nothing any more), then start a new one.
    const bool worker_leaving = state == running && known == 0;
    for (const std::string& path : paths)
        queue.push(path, walk_folders);
    known += paths.size();
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
    // The buffer, the files opened ahead, the walk and the paths taken are the worker's own:
    // one let go in a blocked call keeps them until that call returns.
    const std::unique_ptr<page[]> buffer = read_buffer();
    open_ahead ahead(prefetch_from_the_start);
    folder_walk walk;
    std::deque<path_queue::entry> upcoming;
    const auto around = [](auto call) { unattended(call); };

    for (;;) {
        wait_for_room();
        item next;
        if (!take_next(walk, upcoming, ahead.held() + ahead.room(), next)) {
            unattended([&]() noexcept { ahead.close_all(); }); // closing may block like reading
            return;
        }
        if (next.look && enter_folder(walk, next.path, true))
            continue;
        if (next.what == folder_listing::folder) {
            enter_folder(walk, next.path, false);
            continue;
        }
        if (next.what != folder_listing::file) {
            const std::lock_guard<lib::lockable> guard(*this);
            if (next.what == folder_listing::unnamed)
                add_step(0, &next.path, {failure_reason::name_not_unicode});
            else
                add_step(0); // links, FIFOs, sockets, devices: passed by
            continue;
        }

        const bool from_ahead = ahead.holds_next();
        input_file file = from_ahead ? ahead.take(around) : input_file();
        ahead.open(files_ahead(ahead, walk, upcoming), around);

        std::uint64_t characters = 0;
        std::uint64_t lines = 0;
        failure_reason reason;
        bool missed_cache = false;
        const bool opened = from_ahead ? count_opened(file, buffer[0].bytes, characters, lines, reason)
                                       : count_file(next.path, buffer[0].bytes, characters, lines, reason,
                                                    ahead.active() ? nullptr : &missed_cache);
        if (!ahead.active())
            ahead.first_read(missed_cache);
        const std::lock_guard<lib::lockable> guard(*this);
        add_result(opened, from_ahead, characters, lines, next.path, reason);
    }
}

bool engine::take_next(folder_walk& walk, std::deque<path_queue::entry>& upcoming, std::size_t wanted, item& next)
{
    const std::lock_guard<lib::lockable> guard(*this);
    if (state != running)
        return false;
    if (folder_walk::entry found; walk.active() && walk.next(found)) {
        next = {std::move(found.path), found.what, false};
        return true;
    }
    while (upcoming.size() < wanted + 1 && !queue.empty())
        upcoming.push_back(queue.pop());
    if (upcoming.empty()) {
        clear_batch(); // nothing is held ahead: only upcoming files are
        return false;
    }
    next = {std::move(upcoming.front().path), folder_listing::file, upcoming.front().walk};
    upcoming.pop_front();
    return true;
}

bool engine::enter_folder(folder_walk& walk, const std::string& path, bool given)
{
    folder_listing listing;
    failure_reason reason;
    const folder_listing::outcome outcome = unattended([&]() noexcept { return listing.open(path, given, reason); });
    if (outcome == folder_listing::not_a_folder && given)
        return false;
    bool failed = outcome == folder_listing::failed;
    bool entered = false;
    folder_walk::level read(path, listing.inode());
    // Below the folder given, a folder of another file system (a mount point) is passed by,
    // as is one swapped for a link since it was listed.
    if (outcome == folder_listing::opened && !given && listing.device() == walk.device
        && walk.walking(listing.inode())) {
        failed = true; // a bind mount of a folder above: walked, it would never end
        reason = {failure_reason::file_system_loop};
    } else if (outcome == folder_listing::opened && (given || listing.device() == walk.device)) {
        if (given)
            walk.device = listing.device();
        std::string name;
        folder_listing::kind what = folder_listing::file;
        int got = 0;
        // The state is looked at between entries, so that a stop ends a long listing at once.
        while (state == running
               && (got = unattended([&]() noexcept { return listing.next(name, what, reason); })) == 1)
            read.add(name, what);
        failed = got < 0;
        entered = got == 0 && read.sort([this] { return state == running; });
    }
    unattended([&]() noexcept { listing.close(); }); // closing may block like reading
    const std::lock_guard<lib::lockable> guard(*this);
    if (failed) {
        add_step(0, &path, reason);
        return true;
    }
    add_step(read.size());
    if (entered)
        walk.enter(std::move(read));
    return true;
}

std::vector<std::string> engine::files_ahead(const open_ahead& ahead, const folder_walk& walk,
                                             const std::deque<path_queue::entry>& upcoming)
{
    std::size_t skip = ahead.held();
    const std::size_t count = ahead.room();
    if (count == 0 || walk.active())
        return walk.files_ahead(skip, count);
    std::vector<std::string> paths;
    // Up to the first folder to walk, whose files come before those after it.
    for (auto entry = upcoming.begin(); entry != upcoming.end() && !entry->walk && paths.size() < count; ++entry) {
        if (skip > 0)
            --skip;
        else
            paths.push_back(entry->path);
    }
    return paths;
}

void engine::add_step(std::size_t found, const std::string* failed_path, failure_reason reason)
{
    ++processed;
    known += found;
    if (failed_path != nullptr)
        add_failure(*failed_path, reason);
}

void engine::add_result(bool opened, bool from_ahead, std::uint64_t characters, std::uint64_t lines,
                        const std::string& path, failure_reason reason)
{
    files_opened_ahead += from_ahead ? 1 : 0;
    if (opened) {
        total_lines += lines;
        total_characters += characters;
        ++files_counted;
        if (handling == results::streamed)
            streamed.push_back({path, characters, lines, {}});
        else if (handling == results::kept && counted.size() < counts_kept)
            counted.push_back(path, characters, lines);
        else if (handling == results::kept)
            ++counted_beyond;
    } else {
        add_failure(path, reason);
    }
    ++processed;
}

void engine::add_failure(const std::string& path, failure_reason reason)
{
    ++files_failed;
    if (handling == results::streamed)
        streamed.push_back({path, 0, 0, reason});
    if (failed.size() < failures_kept)
        failed.push_back({path, reason});
    else
        ++failed_not_kept;
}

void engine::clear_batch()
{
    queue.clear();
    known = 0;
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
    if (known == 0)
        return 0;
    return static_cast<std::uint32_t>(processed * 100 / known);
}

std::uint64_t engine::pending()
{
    const std::lock_guard<lib::lockable> guard(*this);
    return known - processed;
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

std::vector<engine::failure> engine::failures(std::size_t from)
{
    const std::lock_guard<lib::lockable> guard(*this);
    if (from >= failed.size())
        return {};
    return {failed.begin() + static_cast<std::ptrdiff_t>(from), failed.end()};
}

std::uint64_t engine::failures_not_kept()
{
    const std::lock_guard<lib::lockable> guard(*this);
    return failed_not_kept;
}

void engine::wait_for_room()
{
    for (;;) {
        {
            const std::lock_guard<lib::lockable> guard(*this);
            if (streamed.size() < results_untaken || state != running)
                return;
        }
        // Polled, as the owner polls the engine: the taker pushes nothing back.
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

void engine::counted_files(std::size_t from, file_counts& into)
{
    const std::lock_guard<lib::lockable> guard(*this);
    into.append(counted, from);
}

std::uint64_t engine::counted_not_kept()
{
    const std::lock_guard<lib::lockable> guard(*this);
    return counted_beyond;
}

void engine::handle_results(results how)
{
    const std::lock_guard<lib::lockable> guard(*this);
    handling = how;
    counted.clear();
    counted_beyond = 0;
}

std::vector<engine::file_result> engine::take_results()
{
    const std::lock_guard<lib::lockable> guard(*this);
    std::vector<file_result> taken(std::make_move_iterator(streamed.begin()), std::make_move_iterator(streamed.end()));
    streamed.clear();
    return taken;
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
    failed.clear();
    failed.shrink_to_fit();
    failed_not_kept = 0;
    counted.clear();
    counted_beyond = 0;
    streamed.clear();
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
