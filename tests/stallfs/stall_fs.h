#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// A FUSE file system for tests of reads that stop answering, served by a thread of this
// process over /dev/fuse (no libfuse). Five files of 1 MiB, mode 0444, whose byte i is LF
// when i % 64 == 63 and 'a' otherwise:
//   "stall"    reads below stall_offset are answered at once, reads at or past it are held
//              until release() (or destruction);
//   "slow"     every read is answered after slow_delay;
//   "plain"    every read is answered at once;
//   "failing"  reads below fail_offset are answered at once, reads at or past it fail (EIO);
//   "waiting"  reads made non-blocking (O_NONBLOCK) fail with EAGAIN, the others are held as
//              those of "stall" are: data that may never come, as /proc/kmsg has.
// And one folder, "folder", whose listing is held like a read of "stall", then answered as
// empty; and one name not listed, "held", whose lookup is held the same way (as a cold
// inode's read holds an open), then found as a file like "plain".
// Files are opened with direct I/O, so every read() reaches the server (in pieces of at most
// 128 KiB) and nothing is served from the page cache. Needs root (or CAP_SYS_ADMIN).
class stall_fs {
public:
    static constexpr std::uint64_t stall_offset = 256 * 1024;
    static constexpr std::uint64_t fail_offset = 384 * 1024;
    static constexpr std::uint64_t file_size = 1024 * 1024;

    // Mounts on a new temporary folder; throws std::runtime_error with the reason if it cannot.
    explicit stall_fs(std::chrono::milliseconds slow_delay = std::chrono::milliseconds(5));
    // Mounts on an existing empty folder, which is left in place afterwards.
    stall_fs(const std::string& mount_point, std::chrono::milliseconds slow_delay);
    // Answers every held read, unmounts and removes the folder it made. A reader that still
    // has a file open afterwards gets an error, never a wait.
    ~stall_fs();

    stall_fs(const stall_fs&) = delete;
    stall_fs& operator=(const stall_fs&) = delete;

    // The full path of a file, or of "folder".
    std::string path(const std::string& name) const;
    // True once a read at or past stall_offset of "stall", a blocking read of "waiting", the
    // listing of "folder", or the lookup of "held", has been held.
    bool wait_until_holding(std::chrono::milliseconds timeout);
    // Answers the held reads, and every later one at once.
    void release();

    // The byte at offset i of every file.
    static char byte_at(std::uint64_t i) { return i % 64 == 63 ? '\n' : 'a'; }

private:
    struct pending_read {
        std::chrono::steady_clock::time_point due;
        std::uint64_t unique;
        std::uint64_t offset;
        std::uint32_t size;
    };

    void mount_on(const std::string& mount_point);
    void start_watchdog(int server_thread_id);
    void serve();
    void handle(const char* request, std::size_t length);
    void reply(std::uint64_t unique, int error, const void* data = nullptr, std::size_t size = 0);
    void reply_read(const pending_read& read);
    void wake();

    std::string mount_point_;
    bool made_folder_ = false;
    bool mounted_ = false;
    std::chrono::milliseconds slow_delay_;
    int device_ = -1;
    int wake_ = -1; // an eventfd that wakes the server thread out of poll()
    std::thread server_;
    int watchdog_ = -1; // the pid of a process that force-unmounts if this one dies with a read held

    std::mutex mutex_;
    std::condition_variable holding_changed_;
    bool holding_ = false;  // a read of "stall" has been held
    bool released_ = false; // release() or destruction: hold nothing from now on
    bool stopping_ = false; // destruction: the server thread answers what it holds and ends
    std::vector<pending_read> held_;
    std::vector<std::uint64_t> held_listings_; // the requests' unique ids
    std::vector<std::uint64_t> held_lookups_; // the same
    std::vector<pending_read> delayed_; // reads of "slow", each answered once due
};
