#include "stall_fs.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <future>
#include <stdexcept>

#include <dirent.h>
#include <fcntl.h>
#include <linux/fuse.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/eventfd.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

// The kernel's protocol is spoken directly: libfuse would be one more dependency for the
// handful of requests a read-only folder of five files needs.

namespace {

constexpr std::uint32_t max_read = 128 * 1024;
// The kernel refuses reads of /dev/fuse shorter than a WRITE request could be.
constexpr std::size_t request_buffer_size = max_read + 4096;

enum node : std::uint64_t {
    root = FUSE_ROOT_ID,
    stall_node,
    slow_node,
    plain_node,
    failing_node,
    waiting_node,
    folder_node
};
constexpr std::array<const char*, 6> node_names = {"stall", "slow", "plain", "failing", "waiting", "folder"};

std::uint64_t node_of(const char* name)
{
    for (std::size_t i = 0; i < node_names.size(); ++i)
        if (std::strcmp(name, node_names[i]) == 0)
            return stall_node + i;
    return 0;
}

fuse_attr attributes_of(std::uint64_t node)
{
    fuse_attr attr{};
    attr.ino = node;
    attr.uid = getuid();
    attr.gid = getgid();
    attr.blksize = 4096;
    if (node == root || node == folder_node) {
        attr.mode = S_IFDIR | 0555;
        attr.nlink = 2;
    } else {
        attr.mode = S_IFREG | 0444;
        attr.nlink = 1;
        attr.size = stall_fs::file_size;
        attr.blocks = stall_fs::file_size / 512;
    }
    return attr;
}

// Nothing here ever changes, so the kernel may keep names and attributes for an hour.
constexpr std::uint64_t valid_seconds = 3600;

fuse_entry_out entry_of(std::uint64_t node)
{
    fuse_entry_out out{};
    out.nodeid = node;
    out.entry_valid = valid_seconds;
    out.attr_valid = valid_seconds;
    out.attr = attributes_of(node);
    return out;
}

[[noreturn]] void fail(const std::string& what, int error)
{
    throw std::runtime_error("stall_fs: " + what + ": " + std::strerror(error));
}

} // namespace

stall_fs::stall_fs(std::chrono::milliseconds slow_delay)
    : slow_delay_(slow_delay)
{
    const char* tmp = std::getenv("TMPDIR");
    std::string folder = std::string(tmp && *tmp ? tmp : "/tmp") + "/stallfs-XXXXXX";
    if (!mkdtemp(folder.data()))
        fail("cannot make a folder in " + folder, errno);
    made_folder_ = true;
    try {
        mount_on(folder);
    } catch (...) {
        rmdir(folder.c_str());
        throw;
    }
}

stall_fs::stall_fs(const std::string& mount_point, std::chrono::milliseconds slow_delay)
    : slow_delay_(slow_delay)
{
    mount_on(mount_point);
}

void stall_fs::mount_on(const std::string& mount_point)
{
    mount_point_ = mount_point;
    // Non-blocking, so that the server thread waits in poll() and can be woken to end.
    device_ = open("/dev/fuse", O_RDWR | O_CLOEXEC | O_NONBLOCK);
    if (device_ < 0)
        fail("cannot open /dev/fuse", errno);
    wake_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (wake_ < 0) {
        const int error = errno;
        close(device_);
        fail("eventfd", error);
    }
    const std::string options = "fd=" + std::to_string(device_) + ",rootmode=40000,user_id="
        + std::to_string(getuid()) + ",group_id=" + std::to_string(getgid())
        + ",max_read=" + std::to_string(max_read);
    if (mount("stallfs", mount_point.c_str(), "fuse.stallfs", MS_NOSUID | MS_NODEV, options.c_str()) != 0) {
        const int error = errno;
        close(device_);
        close(wake_);
        fail("cannot mount on " + mount_point, error);
    }
    mounted_ = true;
    std::promise<int> server_thread_id;
    server_ = std::thread([this, &server_thread_id] {
        server_thread_id.set_value(gettid());
        serve();
    });
    start_watchdog(server_thread_id.get_future().get());
}

// A process that dies without running the destructor (a sanitizer's report, a crash, a kill)
// takes the server thread with it, while a thread blocked in a held read keeps it from ever
// finishing: that read waits for an answer no one will give, and the mount hangs everyone who
// looks at it. So a small watchdog process waits for the server thread to disappear and then
// force-unmounts, which aborts the connection and lets the blocked thread, and the process, end.
void stall_fs::start_watchdog(int server_thread_id)
{
    const std::string task = "/proc/" + std::to_string(getpid()) + "/task/" + std::to_string(server_thread_id);
    const std::string script = "while [ -d \"$1\" ]; do sleep 0.2; done; umount -f -l \"$2\"; "
        + std::string(made_folder_ ? "rmdir \"$2\"" : "true");
    posix_spawn_file_actions_t quiet;
    posix_spawn_file_actions_init(&quiet);
    for (const int fd : {0, 1, 2})
        posix_spawn_file_actions_addopen(&quiet, fd, "/dev/null", O_RDWR, 0);
    const char* argv[] = {"sh", "-c", script.c_str(), "stallfs-watchdog", task.c_str(), mount_point_.c_str(), nullptr};
    pid_t pid = -1;
    // Without a watchdog the file system still works; only a crash would leave it hanging.
    if (posix_spawn(&pid, "/bin/sh", &quiet, nullptr, const_cast<char**>(argv), environ) == 0)
        watchdog_ = pid;
    posix_spawn_file_actions_destroy(&quiet);
}

stall_fs::~stall_fs()
{
    if (watchdog_ > 0) {
        kill(watchdog_, SIGKILL);
        waitpid(watchdog_, nullptr, 0);
    }
    {
        std::lock_guard lock(mutex_);
        released_ = true;
        stopping_ = true;
    }
    wake();
    server_.join();
    // A lazy unmount never waits on a reader; closing the device then aborts the connection,
    // so a request made after the server thread ended fails instead of waiting for ever.
    umount2(mount_point_.c_str(), MNT_DETACH);
    close(device_);
    close(wake_);
    if (made_folder_)
        rmdir(mount_point_.c_str());
}

std::string stall_fs::path(const std::string& name) const
{
    return mount_point_ + "/" + name;
}

bool stall_fs::wait_until_holding(std::chrono::milliseconds timeout)
{
    std::unique_lock lock(mutex_);
    return holding_changed_.wait_for(lock, timeout, [this] { return holding_; });
}

void stall_fs::release()
{
    {
        std::lock_guard lock(mutex_);
        released_ = true;
    }
    wake();
}

void stall_fs::wake()
{
    const std::uint64_t one = 1;
    [[maybe_unused]] const auto written = write(wake_, &one, sizeof one);
}

void stall_fs::serve()
{
    std::vector<char> request(request_buffer_size);
    for (;;) {
        std::vector<pending_read> answer_now;
        std::vector<std::uint64_t> listings_now;
        std::vector<std::uint64_t> lookups_now;
        int timeout_ms = -1;
        bool stopping;
        {
            std::lock_guard lock(mutex_);
            stopping = stopping_;
            if (released_) {
                answer_now.swap(held_);
                listings_now.swap(held_listings_);
                lookups_now.swap(held_lookups_);
            }
            const auto now = std::chrono::steady_clock::now();
            auto due_end = std::partition(delayed_.begin(), delayed_.end(),
                [&](const pending_read& read) { return stopping || read.due <= now; });
            answer_now.insert(answer_now.end(), delayed_.begin(), due_end);
            delayed_.erase(delayed_.begin(), due_end);
            for (const auto& read : delayed_) {
                const auto wait = std::chrono::ceil<std::chrono::milliseconds>(read.due - now).count();
                timeout_ms = timeout_ms < 0 ? int(wait) : std::min(timeout_ms, int(wait));
            }
        }
        for (const auto& read : answer_now)
            reply_read(read);
        for (const std::uint64_t unique : listings_now)
            reply(unique, 0); // no entries: the end of the listing
        const fuse_entry_out held = entry_of(plain_node);
        for (const std::uint64_t unique : lookups_now)
            reply(unique, 0, &held, sizeof held);
        if (stopping)
            return;

        pollfd fds[2] = {{device_, POLLIN, 0}, {wake_, POLLIN, 0}};
        if (poll(fds, 2, timeout_ms) < 0)
            continue; // EINTR
        if (fds[1].revents & POLLIN) {
            std::uint64_t count;
            [[maybe_unused]] const auto got = read(wake_, &count, sizeof count);
        }
        if (fds[0].revents & (POLLERR | POLLHUP))
            return; // unmounted from outside: nothing more will come
        if (fds[0].revents & POLLIN) {
            const auto got = read(device_, request.data(), request.size());
            if (got > 0)
                handle(request.data(), std::size_t(got));
            else if (got < 0 && errno == ENODEV)
                return;
            // EAGAIN (taken by nobody else, but harmless), EINTR, ENOENT (request interrupted): go on.
        }
    }
}

void stall_fs::reply(std::uint64_t unique, int error, const void* data, std::size_t size)
{
    fuse_out_header header{};
    header.len = std::uint32_t(sizeof header + size);
    header.error = -error;
    header.unique = unique;
    iovec parts[2] = {{&header, sizeof header}, {const_cast<void*>(data), size}};
    // ENOENT here means the request was interrupted and is gone: nothing to do.
    [[maybe_unused]] const auto written = writev(device_, parts, size ? 2 : 1);
}

void stall_fs::reply_read(const pending_read& read)
{
    const std::uint64_t end = std::min<std::uint64_t>(read.offset + read.size, file_size);
    std::vector<char> data(read.offset < end ? end - read.offset : 0);
    for (std::size_t i = 0; i < data.size(); ++i)
        data[i] = byte_at(read.offset + i);
    reply(read.unique, 0, data.data(), data.size());
}

void stall_fs::handle(const char* request, std::size_t length)
{
    if (length < sizeof(fuse_in_header))
        return;
    fuse_in_header in;
    std::memcpy(&in, request, sizeof in);
    const char* body = request + sizeof in;
    const std::size_t body_size = std::min<std::size_t>(in.len, length) - sizeof in;
    auto body_as = [&]<typename T>(T& into) {
        into = T{};
        std::memcpy(&into, body, std::min(sizeof into, body_size));
    };

    switch (in.opcode) {
    case FUSE_INIT: {
        fuse_init_in init;
        body_as(init);
        fuse_init_out out{};
        out.major = FUSE_KERNEL_VERSION;
        out.minor = std::min<std::uint32_t>(init.minor, FUSE_KERNEL_MINOR_VERSION);
        if (init.major != FUSE_KERNEL_VERSION) {
            // A newer kernel asks again with our major; an older one cannot be served.
            reply(in.unique, init.major > FUSE_KERNEL_VERSION ? 0 : EPROTO, &out, sizeof out);
            return;
        }
        out.max_readahead = init.max_readahead;
        out.flags = init.flags & FUSE_MAX_PAGES;
        out.max_background = 16;
        out.congestion_threshold = 12;
        out.max_write = max_read;
        out.time_gran = 1;
        out.max_pages = max_read / 4096;
        reply(in.unique, 0, &out, sizeof out);
        return;
    }
    case FUSE_LOOKUP: {
        const std::string name(body, strnlen(body, body_size));
        std::uint64_t node = in.nodeid == root ? node_of(name.c_str()) : 0;
        if (in.nodeid == root && name == "held") {
            std::unique_lock lock(mutex_);
            if (!released_) {
                held_lookups_.push_back(in.unique);
                holding_ = true;
                lock.unlock();
                holding_changed_.notify_all();
                return;
            }
            node = plain_node;
        }
        if (!node)
            return reply(in.unique, ENOENT);
        const fuse_entry_out out = entry_of(node);
        return reply(in.unique, 0, &out, sizeof out);
    }
    case FUSE_GETATTR: {
        if (in.nodeid < root || in.nodeid > folder_node)
            return reply(in.unique, ENOENT);
        fuse_attr_out out{};
        out.attr_valid = valid_seconds;
        out.attr = attributes_of(in.nodeid);
        return reply(in.unique, 0, &out, sizeof out);
    }
    case FUSE_OPEN: {
        fuse_open_in open_in;
        body_as(open_in);
        if (in.nodeid < stall_node || in.nodeid >= folder_node)
            return reply(in.unique, EISDIR);
        if ((open_in.flags & O_ACCMODE) != O_RDONLY)
            return reply(in.unique, EACCES);
        fuse_open_out out{};
        out.fh = in.nodeid;
        // Direct I/O: every read() comes here, none is served from the page cache.
        out.open_flags = FOPEN_DIRECT_IO;
        return reply(in.unique, 0, &out, sizeof out);
    }
    case FUSE_READ: {
        fuse_read_in read_in;
        body_as(read_in);
        pending_read read{std::chrono::steady_clock::now(), in.unique, read_in.offset, read_in.size};
        if (in.nodeid == failing_node) {
            if (read.offset >= fail_offset)
                return reply(in.unique, EIO);
            read.size = std::uint32_t(std::min<std::uint64_t>(read.size, fail_offset - read.offset));
        }
        if (in.nodeid == waiting_node && (read_in.flags & O_NONBLOCK) != 0)
            return reply(in.unique, EAGAIN);
        std::unique_lock lock(mutex_);
        if ((in.nodeid == stall_node || in.nodeid == waiting_node) && !released_) {
            if (read.offset >= stall_offset || in.nodeid == waiting_node) {
                held_.push_back(read);
                holding_ = true;
                lock.unlock();
                holding_changed_.notify_all();
                return;
            }
            // A read across the offset gets the part before it, so the next one is held.
            read.size = std::uint32_t(std::min<std::uint64_t>(read.size, stall_offset - read.offset));
        }
        if (in.nodeid == slow_node && !stopping_) {
            read.due += slow_delay_;
            delayed_.push_back(read);
            return; // answered by the server loop once due
        }
        lock.unlock();
        return reply_read(read);
    }
    case FUSE_OPENDIR: {
        if (in.nodeid != root && in.nodeid != folder_node)
            return reply(in.unique, ENOTDIR);
        fuse_open_out out{};
        return reply(in.unique, 0, &out, sizeof out);
    }
    case FUSE_READDIR: {
        fuse_read_in read_in;
        body_as(read_in);
        if (in.nodeid == folder_node) {
            std::unique_lock lock(mutex_);
            if (released_) {
                lock.unlock();
                return reply(in.unique, 0);
            }
            held_listings_.push_back(in.unique);
            holding_ = true;
            lock.unlock();
            holding_changed_.notify_all();
            return;
        }
        const std::array<std::pair<const char*, std::uint64_t>, 8> entries = {{
            {".", root}, {"..", root}, {node_names[0], stall_node}, {node_names[1], slow_node},
            {node_names[2], plain_node}, {node_names[3], failing_node}, {node_names[4], waiting_node},
            {node_names[5], folder_node}}};
        std::vector<char> out;
        for (std::uint64_t i = read_in.offset; i < entries.size(); ++i) {
            const std::size_t name_size = std::strlen(entries[i].first);
            const std::size_t entry_size = FUSE_DIRENT_ALIGN(FUSE_NAME_OFFSET + name_size);
            if (out.size() + entry_size > read_in.size)
                break;
            fuse_dirent entry{};
            entry.ino = entries[i].second;
            entry.off = i + 1;
            entry.namelen = std::uint32_t(name_size);
            entry.type = entries[i].second == root || entries[i].second == folder_node ? DT_DIR : DT_REG;
            const std::size_t at = out.size();
            out.resize(at + entry_size, 0);
            std::memcpy(out.data() + at, &entry, FUSE_NAME_OFFSET);
            std::memcpy(out.data() + at + FUSE_NAME_OFFSET, entries[i].first, name_size);
        }
        return reply(in.unique, 0, out.data(), out.size());
    }
    case FUSE_RELEASE:
    case FUSE_RELEASEDIR:
    case FUSE_FLUSH:
    case FUSE_DESTROY:
        return reply(in.unique, 0);
    case FUSE_FORGET:
    case FUSE_BATCH_FORGET:
    case FUSE_INTERRUPT:
        return; // these take no answer; an interrupted read stays held until released
    default:
        return reply(in.unique, ENOSYS);
    }
}
