#include "stall_fs.h"
#include "../eventually.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <future>
#include <memory>
#include <string>
#include <thread>

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

using namespace std::chrono_literals;

namespace {

std::string expected_bytes(std::uint64_t offset, std::uint64_t size)
{
    std::string bytes(size, 0);
    for (std::uint64_t i = 0; i < size; ++i)
        bytes[i] = stall_fs::byte_at(offset + i);
    return bytes;
}

// Reads through the kernel on a thread of its own, since a held read cannot be interrupted.
std::future<std::string> read_later(const std::string& path, std::uint64_t offset, std::uint64_t size)
{
    return std::async(std::launch::async, [=] {
        std::string bytes(size, 0);
        const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0)
            return std::string("failed to open");
        std::size_t done = 0;
        while (done < size) {
            const auto got = pread(fd, bytes.data() + done, size - done, off_t(offset + done));
            if (got <= 0)
                break;
            done += std::size_t(got);
        }
        close(fd);
        bytes.resize(done);
        return bytes;
    });
}

class StallFs : public testing::Test {
protected:
    void SetUp() override
    {
        try {
            fs = std::make_unique<stall_fs>();
        } catch (const std::runtime_error& error) {
            if (std::getenv("CI"))
                FAIL() << error.what();
            GTEST_SKIP() << error.what();
        }
    }

    // Declared first so that they are destroyed last: the file system goes first, which
    // answers any read a failed test left held, so that waiting for the readers ends.
    std::future<std::string> reader;
    std::unique_ptr<stall_fs> fs;
};

TEST_F(StallFs, ServesItsFilesAndHoldsReadsPastTheOffsetUntilReleased)
{
    for (const char* name : {"stall", "slow", "plain"}) {
        struct stat status {};
        ASSERT_EQ(stat(fs->path(name).c_str(), &status), 0) << name;
        EXPECT_TRUE(S_ISREG(status.st_mode)) << name;
        EXPECT_EQ(status.st_mode & 07777, 0444u) << name;
        EXPECT_EQ(std::uint64_t(status.st_size), stall_fs::file_size) << name;
    }
    for (const char* name : {"slow", "plain"}) {
        reader = read_later(fs->path(name), 0, stall_fs::file_size + 1);
        ASSERT_EQ(reader.wait_for(30s), std::future_status::ready) << name;
        EXPECT_TRUE(reader.get() == expected_bytes(0, stall_fs::file_size)) << name;
    }
    // "stall" serves what lies before its offset at once...
    reader = read_later(fs->path("stall"), 0, stall_fs::stall_offset);
    ASSERT_EQ(reader.wait_for(30s), std::future_status::ready);
    EXPECT_TRUE(reader.get() == expected_bytes(0, stall_fs::stall_offset));
    EXPECT_FALSE(fs->wait_until_holding(0ms));

    // ...and holds a read past it until released.
    reader = read_later(fs->path("stall"), 0, stall_fs::file_size);
    ASSERT_TRUE(fs->wait_until_holding(30s));
    EXPECT_EQ(reader.wait_for(0s), std::future_status::timeout);
    fs->release();
    ASSERT_EQ(reader.wait_for(30s), std::future_status::ready);
    EXPECT_TRUE(reader.get() == expected_bytes(0, stall_fs::file_size));
}

TEST_F(StallFs, DestructionEndsAHeldRead)
{
    reader = read_later(fs->path("stall"), stall_fs::stall_offset, 4096);
    ASSERT_TRUE(fs->wait_until_holding(30s));
    const std::string folder = fs->path("");
    fs.reset();
    ASSERT_EQ(reader.wait_for(30s), std::future_status::ready);
    struct stat status {};
    EXPECT_NE(stat(folder.c_str(), &status), 0);
}

// Run only by the next test, in a process of its own: it dies as a sanitizer's report would,
// at once and without destructors, while a read is held.
TEST_F(StallFs, DISABLED_DiesWhileAReadIsHeld)
{
    reader = read_later(fs->path("stall"), stall_fs::stall_offset, 4096);
    ASSERT_TRUE(fs->wait_until_holding(30s));
    const std::string folder = fs->path("");
    std::printf("mount_point=%s\n", folder.substr(0, folder.size() - 1).c_str());
    std::fflush(stdout);
    _exit(3);
}

bool mounted(const std::string& folder)
{
    std::ifstream mounts("/proc/self/mounts");
    std::string line;
    while (std::getline(mounts, line))
        if (line.find(" " + folder + " ") != std::string::npos)
            return true;
    return false;
}

TEST_F(StallFs, AProcessThatDiesWhileAReadIsHeldStillEnds)
{
    int out[2];
    ASSERT_EQ(pipe(out), 0);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    const char* argv[] = {"stall_fs_test", "--gtest_also_run_disabled_tests",
                          "--gtest_filter=StallFs.DISABLED_DiesWhileAReadIsHeld", nullptr};
    pid_t child = -1;
    ASSERT_EQ(posix_spawn(&child, "/proc/self/exe", &actions, nullptr, const_cast<char**>(argv), environ), 0);
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    // Only up to the line it prints: a process that stays blocked keeps the pipe open.
    const auto deadline = std::chrono::steady_clock::now() + 30s;
    std::string output;
    char chunk[4096];
    for (ssize_t n = 1; n > 0 && std::chrono::steady_clock::now() < deadline;) {
        const auto at = output.find("mount_point=");
        if (at != std::string::npos && output.find('\n', at) != std::string::npos)
            break;
        pollfd ready{out[0], POLLIN, 0};
        if (poll(&ready, 1, 100) == 1)
            if ((n = read(out[0], chunk, sizeof chunk)) > 0)
                output.append(chunk, std::size_t(n));
    }
    close(out[0]);
    const auto at = output.find("mount_point=");
    const std::string mount_point =
        at == std::string::npos ? "" : output.substr(at + 12, output.find('\n', at) - at - 12);

    int status = 0;
    while (waitpid(child, &status, WNOHANG) == 0 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(10ms);
    if (waitpid(child, &status, WNOHANG) == 0) {
        // End the hang ourselves, so that this failure does not leave the process behind.
        ADD_FAILURE() << "the process stayed blocked in its held read";
        if (!mount_point.empty())
            std::system(("umount -f -l '" + mount_point + "'").c_str());
        waitpid(child, &status, 0);
        return;
    }
    ASSERT_FALSE(mount_point.empty()) << output;
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 3) << output;
    // The watchdog force-unmounted it, which let the process end, and removed the folder.
    EXPECT_TRUE(eventually([&] {
        struct stat status {};
        return !mounted(mount_point) && stat(mount_point.c_str(), &status) != 0;
    }));
}

} // namespace
