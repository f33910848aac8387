#include "engine.h"

#include "count_file.h"
#include "count_pool.h"
#include "ignore_files.h"

#include <algorithm>
#include <climits>
#include <iterator>
#include <memory>
#include <thread>
#include <vector>

// The rules in force in the folder a walk entered last, beside the walk: enter_folder()
// keeps them level for level with it.
struct engine::ignoring {
    bool on = false; // for the walk under way
    ignore_rules rules;
    std::size_t base = 0; // rules.depth() in the folder given, the walk's first level
    ignore_disk_reader reader; // for what lies above the folder given, read by path
};

namespace {

// The whole of the file `name` of the open folder, listed as a regular file, never through
// a link; false when it could not be read. One swapped for anything but a regular file
// since it was listed (or gone) reads as empty, as Git takes a link there.
bool read_rules_at(const open_folder& folder, const std::string& name, std::string& text)
{
    text.clear();
    input_file file;
    if (!file.open_at(folder.native_handle(), name))
        return file.error().what == failure_reason::not_a_regular_file || file.error().what == failure_reason::missing;
    char block[16 * 1024];
    for (std::int64_t got; (got = file.read(block, sizeof block)) != 0;) {
        if (got < 0) {
            text.clear();
            return false;
        }
        text.append(block, static_cast<std::size_t>(got));
    }
    return true;
}

} // namespace

engine::~engine()
{
    stop_counting();
    stop_within(grace);
}

void engine::stop_counting()
{
    const std::lock_guard<lib::lockable> guard(*this);
    if (counting)
        counting->stop();
}

void engine::add_files(std::span<const std::string> paths, bool walk_folders, bool skip_ignored,
                       bool utf8_characters)
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
        queue.push(path, walk_folders, skip_ignored, utf8_characters);
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
    const std::unique_ptr<read_page[]> buffer = read_buffer();
    open_ahead ahead(prefetch_from_the_start);
    folder_walk walk;
    bool walk_utf8_characters = false; // how the files of the folder walked are counted
    ignoring rules;
    std::deque<path_queue::entry> upcoming;
    count_pool counters(counters_wanted, {buffer[0].bytes, read_size});
    {
        const std::lock_guard<lib::lockable> guard(*this);
        counting = counters.shared();
    }

    bool full = false; // of files in hand: then the oldest are waited for
    for (;;) {
        wait_for_room();
        item next;
        const taken got = take_back(counters, ahead, full)
                              ? take_next(walk, upcoming, ahead.held() + ahead.room(), counters, ahead, next)
                              : taken::nothing;
        full = false;
        if (got == taken::nothing) {
            // Closing may block like reading.
            unattended([&]() noexcept {
                counters.close_all();
                ahead.close_all();
                walk.clear();
            });
            return;
        }
        if (got == taken::wait) {
            take_back(counters, ahead, true);
            continue;
        }
        if (next.walk_folders && enter_folder(walk, rules, next, true, counters, ahead)) {
            walk_utf8_characters = next.utf8_characters;
            continue;
        }
        const bool walked = next.folder != nullptr;
        if (walked)
            next.utf8_characters = walk_utf8_characters;
        if (next.type == folder_listing::folder) {
            enter_folder(walk, rules, next, false, counters, ahead);
            continue;
        }
        if (next.type != folder_listing::regular_file) {
            if (next.type == folder_listing::invalid_name)
                take_back_all(counters, ahead); // its failure comes after the files before it
            const std::lock_guard<lib::lockable> guard(*this);
            if (next.type == folder_listing::invalid_name)
                add_step(0, &next.path, {failure_reason::name_not_unicode});
            else
                add_step(0); // links, FIFOs, sockets, devices: passed by
            continue;
        }

        auto file = std::make_unique<count_pool::job>();
        file->opened_ahead = ahead.holds_next();
        if (file->opened_ahead)
            file->file = ahead.take(run_blocking);
        ahead.open(files_ahead(ahead, walk, upcoming), run_blocking);
        file->walked = walked;
        file->target = walked ? open_ahead::target{next.folder, next.name()} : open_ahead::target{nullptr, next.path};
        file->path = std::move(next.path);
        file->utf8_characters = next.utf8_characters;
        file->look_for_misses = !file->opened_ahead && !ahead.active();
        full = counters.hand_over(std::move(file), run_blocking);
    }
}

bool engine::take_back(count_pool& counters, open_ahead& ahead, bool wait)
{
    if (wait)
        counters.wait_for_oldest(run_blocking);
    const std::lock_guard<lib::lockable> guard(*this);
    if (state != running || counters.shared()->state != count_pool::board::counting)
        return false;
    std::vector<std::unique_ptr<count_pool::job>> done;
    counters.take_done(done);
    for (const std::unique_ptr<count_pool::job>& file : done) {
        if (file->look_for_misses && !ahead.active())
            ahead.first_read(file->missed_cache);
        file_size = file->size;
        file_position = file->position;
        // A walk's file swapped for a link, FIFO or device since it was listed is passed by,
        // as those listed so are.
        if (file->walked && !file->opened && file->reason.what == failure_reason::not_a_regular_file)
            add_step(0);
        else
            add_result(file->opened, file->opened_ahead, file->counted.characters(), file->counted.lines(),
                       file->path, file->reason);
    }
    return true;
}

void engine::take_back_all(count_pool& counters, open_ahead& ahead)
{
    while (counters.in_hand() > 0)
        if (!take_back(counters, ahead, true))
            return;
}

engine::taken engine::take_next(folder_walk& walk, std::deque<path_queue::entry>& upcoming, std::size_t wanted,
                                count_pool& counters, open_ahead& ahead, item& next)
{
    // Leaving the folders walked to the end closes them, and may reopen one above: not under
    // the lock, where a blocked call can be let go.
    std::vector<folder_walk::given_up> lost;
    if (walk.active() && state == running)
        lost = unattended([&]() noexcept { return walk.leave_finished(); });
    if (!lost.empty())
        take_back_all(counters, ahead); // their failures come after the files before them
    const std::lock_guard<lib::lockable> guard(*this);
    if (state != running)
        return taken::nothing;
    for (const folder_walk::given_up& folder : lost) {
        add_failure(folder.path, folder.reason);
        known -= folder.entries; // never to be processed
    }
    if (walk.next(next)) {
        next.walk_folders = false;
        return taken::entry;
    }
    while (upcoming.size() < wanted + 1 && !queue.empty())
        upcoming.push_back(queue.pop());
    if (upcoming.empty()) {
        if (counters.in_hand() > 0)
            return taken::wait; // the batch ends once those are counted
        clear_batch(); // nothing is held ahead: only upcoming files are
        return taken::nothing;
    }
    next = {};
    next.path = std::move(upcoming.front().path);
    next.walk_folders = upcoming.front().walk_folders;
    next.utf8_characters = upcoming.front().utf8_characters;
    next.skip_ignored = upcoming.front().skip_ignored;
    upcoming.pop_front();
    return taken::entry;
}

bool engine::enter_folder(folder_walk& walk, ignoring& ignored, const item& folder, bool root,
                          count_pool& counters, open_ahead& ahead)
{
    folder_listing listing;
    failure_reason reason;
    const std::string name = root ? std::string() : folder.name();
    const folder_listing::outcome outcome = unattended([&]() noexcept {
        return root ? listing.open(folder.path, reason) : listing.open_at(*folder.folder, name, reason);
    });
    if (outcome == folder_listing::not_a_folder && root)
        return false;
    if (root)
        ignored.on = false; // until the folder's rules are in
    std::vector<ignore_file_failure> ignore_failures;
    bool failed = outcome == folder_listing::failed;
    bool entered = false;
    folder_walk::level read(folder.path, listing.device(), listing.inode());
    // Below the root, a folder of another file system (a mount point) is passed by, as is
    // one swapped for a link since it was listed.
    if (outcome == folder_listing::opened && !root && listing.device() == walk.device
        && walk.is_ancestor(listing.inode())) {
        failed = true; // a bind mount of a folder above: walked, it would never end
        reason = {failure_reason::file_system_loop};
    } else if (outcome == folder_listing::opened && (root || listing.device() == walk.device)) {
        if (root)
            walk.device = listing.device();
        std::string entry;
        folder_listing::type type = folder_listing::regular_file;
        int got = 0;
        // The state is looked at between entries, so that a stop ends a long listing at once.
        while (state == running
               && (got = unattended([&]() noexcept { return listing.next(entry, type, reason); })) == 1)
            read.add(entry, type);
        failed = got < 0;
        if (got == 0 && (root ? folder.skip_ignored : ignored.on))
            judge(ignored, walk, read, *listing.folder_handle(), folder.path, name, root, ignore_failures);
        entered = got == 0 && read.sort([this] { return state == running; });
        if (entered)
            read.opened = listing.folder_handle();
    }
    unattended([&]() noexcept { listing.close(); }); // closing may block like reading
    if (failed || !ignore_failures.empty())
        take_back_all(counters, ahead); // its failures come after the files before it
    {
        const std::lock_guard<lib::lockable> guard(*this);
        for (const ignore_file_failure& file : ignore_failures)
            add_failure(file.path, file.reason);
        if (failed) {
            add_step(0, &folder.path, reason);
            return true;
        }
        add_step(read.size());
    }
    if (entered) // may close the folder of a level far above
        unattended([&]() noexcept { walk.enter(std::move(read)); });
    return true;
}

void engine::judge(ignoring& ignored, const folder_walk& walk, folder_walk::level& read, const open_folder& opened,
                   const std::string& path, const std::string& name, bool root,
                   std::vector<ignore_file_failure>& failures)
{
    if (root) {
        // The folders above are read by path: only the walk below is opened relative.
        ignore_start start = unattended([&]() noexcept {
            return load_ignore_rules(path, ignored.reader, git_user_files::from_environment());
        });
        ignored.rules = std::move(start.rules);
        ignored.base = ignored.rules.depth();
        ignored.on = true;
        failures = std::move(start.failures);
    } else {
        // The walk lets its finished levels go lazily: the rules of folders left go now.
        while (ignored.rules.depth() + 1 > ignored.base + walk.depth())
            ignored.rules.leave();
        std::string texts[2];
        const char* const names[2] = {".gitignore", ".ignore"};
        for (int i = 0; i < 2; ++i) {
            if (read.type_of(names[i]) != folder_listing::regular_file)
                continue;
            if (!unattended([&]() noexcept { return read_rules_at(opened, names[i], texts[i]); }))
                failures.push_back({folder_listing::join(path, names[i]), {failure_reason::ignore_rules_unread}});
        }
        if (read.type_of(".git"))
            ignored.rules.enter_work_tree(name, texts[0], texts[1], unattended([&]() noexcept {
                                              return read_info_exclude(path, ignored.reader, failures);
                                          }));
        else
            ignored.rules.enter(name, texts[0], texts[1]);
    }
    read.keep_only([&](std::string_view name, folder_listing::type type) {
        return !ignored.rules.ignored(name, type == folder_listing::folder);
    });
}

std::vector<open_ahead::target> engine::files_ahead(const open_ahead& ahead, const folder_walk& walk,
                                                    const std::deque<path_queue::entry>& upcoming)
{
    std::size_t skip = ahead.held();
    const std::size_t count = ahead.room();
    if (count == 0 || walk.active())
        return walk.files_ahead(skip, count);
    std::vector<open_ahead::target> files;
    // Up to the first folder to walk, whose files come before those after it.
    for (auto entry = upcoming.begin(); entry != upcoming.end() && !entry->walk_folders && files.size() < count;
         ++entry) {
        if (skip > 0)
            --skip;
        else
            files.push_back({nullptr, entry->path});
    }
    return files;
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
    std::uint64_t size = file_size;
    std::uint64_t position = file_position;
    if (counting)
        counting->oldest_progress(size, position);
    if (size == 0)
        return 0;
    const double percent = static_cast<double>(position) * 100.0 / static_cast<double>(size);
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
    stop_counting();
    const bool ended = stop_within(grace);
    // The worker has ended or been let go: nothing but this thread writes the fields now.
    const std::lock_guard<lib::lockable> guard(*this);
    workers_abandoned += ended ? 0 : 1;
    counting.reset();
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
