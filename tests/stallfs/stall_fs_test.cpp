#include "stall_fs.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <future>
#include <memory>
#include <string>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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

} // namespace
