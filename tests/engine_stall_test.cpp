// The engine against reads that never return and reads that return slowly, on a FUSE file
// system served by this process (root only; in CI a missing /dev/fuse is a failure).

#include "engine/engine.h"
#include "stall_fs.h"

#include "engine_files.h"
#include "engine_probe.h"
#include "eventually.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <future>
#include <memory>
#include <string>
#include <vector>

#include <sys/mount.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

using namespace std::chrono_literals;

namespace {

std::size_t threads_of_this_process()
{
    const auto tasks = std::filesystem::directory_iterator("/proc/self/task");
    return static_cast<std::size_t>(std::distance(begin(tasks), end(tasks)));
}

constexpr std::uint64_t lines_per_file = stall_fs::file_size / 64;

class StalledReads : public testing::Test {
protected:
    // False when there is no mount: the test has then failed (in CI) or been skipped.
    bool mount(std::chrono::milliseconds slow_delay = 5ms)
    {
        try {
            fs = std::make_unique<stall_fs>(slow_delay);
        } catch (const std::runtime_error& error) {
            if (std::getenv("CI"))
                ADD_FAILURE() << error.what();
            else
                [&] { GTEST_SKIP() << error.what(); }(); // the skip returns from the lambda only
            return false;
        }
        baseline = threads_of_this_process();
        descriptors = descriptors_of_this_process();
        return true;
    }

    // Runs call on a thread of its own and says whether it returned while the stall lasts;
    // if not, ends the stall so that nothing stays blocked, and waits for it.
    bool returns_while_stalled(const std::function<void()>& call)
    {
        auto done = std::async(std::launch::async, call);
        if (eventually([&] { return done.wait_for(0s) == std::future_status::ready; }))
            return true;
        fs->release();
        done.wait();
        return false;
    }

    // The worker left behind ends once its read returns, and closes what it held: the
    // process is back to the threads and descriptors it had before the engine started.
    bool left_behind_worker_ends()
    {
        return eventually([&] { return threads_of_this_process() == baseline; })
               && descriptors_of_this_process() == descriptors;
    }

    std::unique_ptr<stall_fs> fs;
    std::size_t baseline = 0;
    std::size_t descriptors = 0;
};

TEST_F(StalledReads, ResetReturnsAndTheNextBatchCountsExactlyWhileTheOldReadIsHeld)
{
    if (!mount())
        return;
    engine counter;
    engine_probe probe(counter);
    counter.add_file(fs->path("stall"));
    counter.add_file(fs->path("plain"));
    ASSERT_TRUE(fs->wait_until_holding(30s));
    EXPECT_EQ(counter.pending(), 2u); // the file in hand is still pending
    ASSERT_TRUE(returns_while_stalled([&] { counter.reset(); }));
    EXPECT_EQ(counter.pending(), 0u);
    EXPECT_EQ(probe.workers_abandoned(), 1u);
    EXPECT_FALSE(counter.is_running());
    EXPECT_EQ(counter.totals().files_counted, 0u);

    // A new batch, still under way when the held read returns: that read must change
    // nothing of it, neither its totals nor its cursor.
    const std::vector<std::string> batch = {fs->path("plain"), fs->path("slow"), fs->path("plain")};
    counter.add_files(batch);
    ASSERT_TRUE(eventually([&] { return counter.files_percent() > 0; }));
    fs->release();
    counter.wait();
    EXPECT_EQ(totals_of(counter), (totals{3, 0, 3 * stall_fs::file_size, 3 * lines_per_file}));
    EXPECT_TRUE(left_behind_worker_ends());
    EXPECT_EQ(counter.totals().total_characters, 3 * stall_fs::file_size);
    EXPECT_EQ(counter.files_percent(), 0u);
}

TEST_F(StalledReads, AWalkHeldInAFolderListingIsLetGoAsAReadIs)
{
    if (!mount())
        return;
    engine counter;
    engine_probe probe(counter);
    const std::vector<std::string> batch = {fs->path("folder"), fs->path("plain")};
    counter.add_files(batch, true);
    ASSERT_TRUE(fs->wait_until_holding(30s));
    ASSERT_TRUE(returns_while_stalled([&] { counter.reset(); }));
    EXPECT_EQ(probe.workers_abandoned(), 1u);
    fs->release();
    EXPECT_TRUE(left_behind_worker_ends());
    EXPECT_EQ(totals_of(counter), (totals{0, 0, 0, 0})); // the answered listing changed nothing

    counter.add_files(batch, true); // answered now: an empty folder, then the file
    counter.wait();
    EXPECT_EQ(totals_of(counter), (totals{1, 0, stall_fs::file_size, lines_per_file}));
}

TEST(Walk, StaysOnTheFileSystemOfTheFolderGiven)
{
    scratch_dir dir;
    dir.write("a", "one\n");
    std::filesystem::create_directory(dir.folder() / "mounted");
    std::unique_ptr<stall_fs> other; // after dir: unmounted before dir goes
    try {
        other = std::make_unique<stall_fs>(dir.path("mounted"), 1ms);
    } catch (const std::runtime_error& error) {
        if (std::getenv("CI"))
            FAIL() << error.what();
        GTEST_SKIP() << error.what();
    }
    other->release(); // nothing held: only where the walk goes is looked at
    engine counter;
    counter.add_file(dir.path(""), true);
    counter.wait();
    EXPECT_EQ(totals_of(counter), (totals{1, 0, 4, 1})); // the mount below is passed by
    EXPECT_TRUE(counter.failures().empty());

    counter.reset();
    counter.add_file(dir.path("mounted"), true); // the folder given is walked wherever it is
    counter.wait();
    // "failing" and "waiting" fail, each with its reason.
    EXPECT_EQ(totals_of(counter), (totals{3, 2, 3 * stall_fs::file_size, 3 * lines_per_file}));
}

// A read that fails part-way fails the file with how far it got; one that would wait for data
// that may never come fails it at once instead of waiting.
TEST_F(StalledReads, AReadThatFailsPartWayOrWouldBlockFailsTheFile)
{
    if (!mount())
        return;
    engine counter;
    engine_probe probe(counter);
    EXPECT_EQ(probe.count(fs->path("failing")).reason, "read error after 393216 bytes: Input/output error");
    engine_probe::result waiting;
    ASSERT_TRUE(returns_while_stalled([&] { waiting = probe.count(fs->path("waiting")); }));
    EXPECT_FALSE(waiting.opened);
    EXPECT_EQ(waiting.reason, "read would block");
}

// A walk of a tree on the disk held in a read: the stalling file is bound onto one of its
// files, so that the tree can change meanwhile.
class HeldWalk : public testing::Test {
protected:
    // False when there is no mount: the test has then failed (in CI) or been skipped.
    bool hold_in(const std::string& file)
    {
        try {
            fs = std::make_unique<stall_fs>();
        } catch (const std::runtime_error& error) {
            if (std::getenv("CI"))
                ADD_FAILURE() << error.what();
            else
                [&] { GTEST_SKIP() << error.what(); }(); // the skip returns from the lambda only
            return false;
        }
        std::ofstream(file).flush();
        bound.at = file;
        if (::mount(fs->path("stall").c_str(), file.c_str(), nullptr, MS_BIND, nullptr) == 0)
            return true;
        ADD_FAILURE() << "cannot bind " << file << ": " << std::strerror(errno);
        return false;
    }

    scratch_dir dir;
    std::unique_ptr<stall_fs> fs; // after dir: unmounted before dir goes
    struct bind_mount {
        std::string at; // where it is now: the tree may move it
        ~bind_mount() { ::umount2(at.c_str(), MNT_DETACH); } // before the file system goes
    } bound;
};

// Entries swapped for symbolic links between the listing and the opening are not followed:
// neither a file or a folder swapped for a link to one outside, nor the folder being walked
// swapped for a link to another tree.
TEST_F(HeldWalk, EntriesSwappedForLinksMeanwhileAreNotFollowed)
{
    const std::string outside(stall_fs::file_size, 'x');
    std::filesystem::create_directories(dir.folder() / "elsewhere/d");
    dir.write("elsewhere/b", outside);
    dir.write("elsewhere/d/f", outside);
    std::filesystem::create_directories(dir.folder() / "tree/c/d");
    std::filesystem::create_directories(dir.folder() / "tree/c/e");
    dir.write("tree/c/b", "x\n");
    dir.write("tree/c/d/f", "y\n");
    if (!hold_in(dir.path("tree/c/a")))
        return;

    engine counter;
    engine_probe(counter).use_counters(1); // else "b" is counted while "a" is read
    counter.add_file(dir.path("tree"), true);
    ASSERT_TRUE(fs->wait_until_holding(30s)); // in "c/a", the names of "c" read
    std::filesystem::remove(dir.path("tree/c/b"));
    std::filesystem::create_symlink(dir.path("elsewhere/b"), dir.path("tree/c/b"));
    std::filesystem::remove(dir.path("tree/c/e"));
    std::filesystem::create_directory_symlink(dir.path("elsewhere/d"), dir.path("tree/c/e"));
    std::filesystem::rename(dir.path("tree/c"), dir.path("tree/c.old"));
    bound.at = dir.path("tree/c.old/a");
    std::filesystem::create_directory_symlink(dir.path("elsewhere"), dir.path("tree/c"));
    fs->release();
    counter.wait();
    // "a", then "d/f" of the folder walked; "b" and "e", links now, are passed by.
    EXPECT_EQ(totals_of(counter), (totals{2, 0, stall_fs::file_size + 2, lines_per_file + 1}));
    EXPECT_TRUE(counter.failures().empty());
}

// A walk opens the files its listing found without looking at them again: files swapped
// meanwhile for a FIFO or a socket are passed by as when they were listed so, neither
// waited for nor failed.
TEST_F(HeldWalk, FilesSwappedForAFifoOrASocketMeanwhileArePassedBy)
{
    std::filesystem::create_directories(dir.folder() / "tree");
    dir.write("tree/b", "x\n");
    dir.write("tree/c", "y\n");
    if (!hold_in(dir.path("tree/a")))
        return;

    engine counter;
    engine_probe(counter).use_counters(1);
    counter.add_file(dir.path("tree"), true);
    ASSERT_TRUE(fs->wait_until_holding(30s)); // in "a", the names of "tree" read
    std::filesystem::remove(dir.path("tree/b"));
    ASSERT_EQ(::mkfifo(dir.path("tree/b").c_str(), 0600), 0);
    std::filesystem::remove(dir.path("tree/c"));
    const int listening = ::socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(listening, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    ASSERT_LT(dir.path("tree/c").size(), sizeof address.sun_path);
    std::strcpy(address.sun_path, dir.path("tree/c").c_str());
    ASSERT_EQ(::bind(listening, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    fs->release();
    counter.wait();
    ::close(listening);
    EXPECT_EQ(totals_of(counter), (totals{1, 0, stall_fs::file_size, lines_per_file}));
    EXPECT_TRUE(counter.failures().empty());
}

// Deeper than the walk keeps folders open, the folders above are reopened through ".." on
// the way back up. A folder moved meanwhile is walked to its end where it is now, but the
// way back from it leads elsewhere: the folders above it fail, their files not counted.
TEST_F(HeldWalk, AFolderMovedMeanwhileFailsTheFoldersAboveIt)
{
    constexpr int depth = 40; // each level holds "d", the next, then "f", found on the way back
    std::string level = dir.path("tree");
    std::vector<std::string> levels;
    for (int i = 0; i <= depth; ++i, level += "/d") {
        std::filesystem::create_directory(level);
        std::ofstream(level + "/f") << "x\n";
        levels.push_back(level);
    }
    if (!hold_in(levels.back() + "/a"))
        return;

    engine counter;
    counter.add_file(levels.front(), true);
    ASSERT_TRUE(fs->wait_until_holding(30s));
    // Level 5 and all below it move to the top of the scratch folder.
    std::filesystem::rename(levels[5], dir.path("moved"));
    bound.at = dir.path("moved") + levels.back().substr(levels[5].size()) + "/a";
    fs->release();
    counter.wait();
    // "a", and "f" of levels 40 to 5; levels 4 to 0 fail, their "f" not counted.
    EXPECT_EQ(totals_of(counter),
              (totals{depth - 3, 5, stall_fs::file_size + 2 * (depth - 4), lines_per_file + depth - 4}));
    const std::vector<engine::failure> failed = counter.failures();
    ASSERT_EQ(failed.size(), 5u);
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(failed[i].path, levels[4 - i]);
        EXPECT_EQ(failed[i].reason.what, failure_reason::moved_while_walked);
    }
}

TEST_F(StalledReads, DestructionReturnsWhileTheReadIsHeld)
{
    if (!mount())
        return;
    auto counter = std::make_unique<engine>();
    const std::vector<std::string> batch = {fs->path("plain"), fs->path("stall"), fs->path("plain")};
    counter->add_files(batch);
    ASSERT_TRUE(fs->wait_until_holding(30s));
    EXPECT_TRUE(returns_while_stalled([&] { counter.reset(); }));
    fs->release();
    EXPECT_TRUE(left_behind_worker_ends()); // and under ASan, touched nothing freed
}

TEST_F(StalledReads, ASlowButAnsweringFileIsStillWaitedFor)
{
    if (!mount(1ms))
        return;
    // Its reads take 1 ms, far below the grace; but a loaded machine (sanitizers, parallel
    // tests) can stretch one past it now and then, so one try in five must be waited for.
    engine counter;
    engine_probe probe(counter);
    bool waited = false;
    for (int attempt = 0; attempt < 5 && !waited; ++attempt) {
        const std::uint64_t abandoned_before = probe.workers_abandoned();
        counter.add_file(fs->path("slow"));
        ASSERT_TRUE(eventually([&] { return counter.file_percent() > 0; }));
        counter.reset();
        waited = probe.workers_abandoned() == abandoned_before; // it saw the stop after its read and ended
        EXPECT_TRUE(left_behind_worker_ends());
        EXPECT_EQ(totals_of(counter), (totals{0, 0, 0, 0}));
    }
    EXPECT_TRUE(waited);
}

TEST_F(StalledReads, FilesOpenedAheadCountWhatTheirDescriptorsReadAndFailInTheirPlace)
{
    if (!mount())
        return;
    scratch_dir dir; // on the ordinary disk, beside the stalling mount
    const std::vector<std::string> batch = {
        fs->path("stall"),
        dir.write("a", "one\n"),
        dir.write("b", "two\ntwo\n"),   // deleted before its turn
        dir.write("c", "three\nthree"), // replaced before its turn
        dir.path("missing"),
        dir.write("d", "four\n"),
    };
    engine counter;
    engine_probe probe(counter);
    probe.open_ahead_at_once();
    probe.use_counters(1); // else the files after "stall" are counted while it is read
    counter.add_files(batch);
    ASSERT_TRUE(fs->wait_until_holding(30s));
    // The files after "stall" are opened by a thread of their own while it is read.
    ASSERT_TRUE(eventually([&] { return descriptors_of_this_process() >= descriptors + 4; }));
    EXPECT_EQ(counter.totals().files_failed, 0u); // the missing one fails at its turn, not before

    std::filesystem::remove(dir.path("b"));
    dir.write("c.new", "a longer replacement\nof c\n");
    std::filesystem::rename(dir.path("c.new"), dir.path("c"));
    fs->release();
    counter.wait();

    EXPECT_EQ(totals_of(counter), (totals{5, 1, stall_fs::file_size + 4 + 8 + 11 + 5, lines_per_file + 1 + 2 + 2 + 1}));
    EXPECT_EQ(probe.files_opened_ahead(), 5u);
    EXPECT_TRUE(left_behind_worker_ends()); // no descriptor left open
}

// An open held (as on a cold inode) holds its opener only: the files after it are opened
// meanwhile, and all are still counted in order. A worker waiting for it is let go by reset().
TEST_F(StalledReads, FilesAfterAHeldOpenAreOpenedMeanwhileAndCountInOrder)
{
    if (!mount())
        return;
    scratch_dir dir; // on the ordinary disk, beside the stalling mount
    std::vector<std::string> batch = {dir.write("a", "x\n"), fs->path("held")};
    for (int i = 1; i <= 6; ++i)
        batch.push_back(dir.write("f" + std::to_string(i), std::string(std::size_t(i), '\n')));

    engine let_go;
    engine_probe(let_go).open_ahead_at_once();
    engine_probe(let_go).use_counters(1); // "a" counted before the worker comes to "held"
    let_go.add_files(batch);
    ASSERT_TRUE(fs->wait_until_holding(30s));
    EXPECT_TRUE(eventually([&] { return descriptors_of_this_process() >= descriptors + 6; }));
    // "a" is counted; the worker waits for "held".
    EXPECT_TRUE(eventually([&] { return let_go.totals().files_counted == 1; }));
    ASSERT_TRUE(returns_while_stalled([&] { let_go.reset(); }));

    engine counter;
    engine_probe(counter).open_ahead_at_once();
    counter.add_files(batch);
    // Its six beside the six the worker let go still holds: done before "held" is.
    EXPECT_TRUE(eventually([&] { return descriptors_of_this_process() >= descriptors + 12; }));
    fs->release();
    counter.wait();
    file_counts kept;
    counter.counted_files(0, kept);
    ASSERT_EQ(kept.size(), batch.size());
    for (std::size_t i = 0; i < batch.size(); ++i) {
        EXPECT_EQ(kept.path(i), batch[i]);
        EXPECT_EQ(kept.characters(i), i == 0 ? 2 : i == 1 ? stall_fs::file_size : i - 1) << i;
    }
    EXPECT_TRUE(left_behind_worker_ends());
}

TEST_F(StalledReads, ResetAndDestructionCloseWhatWasOpenedAhead)
{
    if (!mount(2ms))
        return;
    scratch_dir dir; // on the ordinary disk, beside the stalling mount
    std::vector<std::string> batch(20, dir.write("f", "x\n"));

    // Blocked in a read: let go, and closes everything once the read returns.
    batch.front() = fs->path("stall");
    engine blocked;
    engine_probe(blocked).open_ahead_at_once();
    engine_probe(blocked).use_counters(1); // the rest stay opened ahead meanwhile
    blocked.add_files(batch);
    ASSERT_TRUE(fs->wait_until_holding(30s));
    EXPECT_TRUE(eventually([&] { return descriptors_of_this_process() >= descriptors + 19; }));
    ASSERT_TRUE(returns_while_stalled([&] { blocked.reset(); }));
    fs->release();
    EXPECT_TRUE(left_behind_worker_ends());

    // Reading slowly: waited for, and closes everything before the end of the wait.
    batch.front() = fs->path("slow");
    auto counter = std::make_unique<engine>();
    engine_probe(*counter).open_ahead_at_once();
    engine_probe(*counter).use_counters(1);
    counter->add_files(batch);
    ASSERT_TRUE(eventually([&] { return counter->file_percent() > 0; }));
    EXPECT_TRUE(eventually([&] { return descriptors_of_this_process() >= descriptors + 19; }));
    counter.reset();
    EXPECT_TRUE(left_behind_worker_ends());
}

} // namespace
