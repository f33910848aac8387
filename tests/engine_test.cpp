#include "engine/count_file.h"
#include "engine/engine.h"
#include "engine/input_file.h"
#include "engine/line_feeds.h"
#include "engine/utf8_count.h"

#include "engine_files.h"
#include "engine_probe.h"
#include "eventually.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <string_view>
#include <thread>
#include <type_traits>
#include <vector>

#ifndef _WIN32
#include <cerrno>
#include <cstddef>
#include <fcntl.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <poll.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

using namespace std::chrono_literals;
namespace fs = std::filesystem;

namespace {

struct counting_case {
    const char* name;
    std::string bytes;
    std::uint64_t lines;
};

std::vector<counting_case> counting_cases()
{
    std::string utf16_text;
    for (const char c : std::string("one\ntwo\n"))
        utf16_text += std::string{c, '\0'};
    return {
        {"empty", "", 0},
        {"one byte without LF", "a", 1},
        {"one line", "a\n", 1},
        {"CR is an ordinary character", "a\r\nb", 2},
        {"two LFs only", "\n\n", 2},
        {"exactly one block", std::string(1024, 'x'), 1},
        {"one block and a LF", std::string(1024, 'x') + "\n", 1},
        {"UTF-16 counts bytes; its last NUL forms a line", utf16_text, 3},
        {"LF closing a block", std::string(1023, 'x') + "\n" + "y", 2},
        {"LF opening a block", std::string(1024, 'x') + "\ny", 2},
    };
}

#ifndef _WIN32
// Writes the file's pages to the disk and asks the kernel to drop [offset, offset + length)
// from memory; true when at least one page of it left. /tmp, or a folder kept in memory,
// keeps them all.
bool evicted(int fd, std::uint64_t offset, std::uint64_t length)
{
    ::fsync(fd);
    ::posix_fadvise(fd, static_cast<off_t>(offset), static_cast<off_t>(length), POSIX_FADV_DONTNEED);
    void* map = ::mmap(nullptr, length, PROT_READ, MAP_SHARED, fd, static_cast<off_t>(offset));
    if (map == MAP_FAILED)
        return false;
    std::vector<unsigned char> resident((length + 4095) / 4096, 1);
    ::mincore(map, length, resident.data());
    ::munmap(map, length);
    return std::any_of(resident.begin(), resident.end(), [](unsigned char r) { return (r & 1) == 0; });
}

// A test that needs cold pages cannot run where none can be made: it fails in CI, where that
// must not happen, and is skipped elsewhere.
#define SKIP_UNLESS_COLD(made)                                                                      \
    if (!(made)) {                                                                                  \
        const char* why = "the working folder keeps its files in memory: nothing can be made cold"; \
        if (std::getenv("CI"))                                                                      \
            FAIL() << why;                                                                          \
        GTEST_SKIP() << why;                                                                        \
    }
#endif

TEST(CountFile, FollowsTheCountingRule)
{
    scratch_dir dir;
    engine counter;
    engine_probe probe(counter);
    for (const counting_case& c : counting_cases()) {
        const auto r = probe.count(dir.write("case", c.bytes));
        EXPECT_TRUE(r.opened) << c.name;
        EXPECT_EQ(r.characters, c.bytes.size()) << c.name;
        EXPECT_EQ(r.lines, c.lines) << c.name;
        EXPECT_EQ(r.size, c.bytes.size()) << c.name;
        EXPECT_EQ(r.position, c.bytes.size()) << c.name;
    }
}

TEST(CountFile, LargeFilesAcrossReadsAndKernelsAgree)
{
    // Random lines of random bytes around every block and read boundary.
    std::mt19937_64 random(7);
    std::string bytes;
    std::uint64_t line_feeds = 0;
    while (bytes.size() < 3 * 128 * 1024 + 4099) {
        const char c = static_cast<char>(random() % 7 == 0 ? '\n' : random() % 256);
        line_feeds += c == '\n';
        bytes += c;
    }
    for (std::size_t offset = 0; offset < 64; ++offset) {
        for (std::size_t length : {0ul, 1ul, 31ul, 32ul, 33ul, 1024ul, 8191ul, 32ul * 255 + 33}) {
            EXPECT_EQ(count_line_feeds_portable(bytes.data() + offset, length),
                      count_line_feeds(bytes.data() + offset, length));
        }
    }
    // Nothing but LFs fills the per-lane counters fastest.
    const std::string all_line_feeds(100'000, '\n');
    EXPECT_EQ(count_line_feeds(all_line_feeds.data(), all_line_feeds.size()), all_line_feeds.size());
    if (cpu_has_avx2()) {
        EXPECT_EQ(count_line_feeds_avx2(bytes.data(), bytes.size()), line_feeds);
        EXPECT_EQ(count_line_feeds_avx2(all_line_feeds.data(), all_line_feeds.size()), all_line_feeds.size());
    }

    scratch_dir dir;
    engine counter;
    engine_probe probe(counter);
    constexpr std::size_t read = 128 * 1024;
    for (const std::size_t size : {read - 1, read, read + 1, bytes.size()}) {
        const std::string part = bytes.substr(0, size);
        const auto r = probe.count(dir.write("large", part));
        const auto expected = static_cast<std::uint64_t>(std::count(part.begin(), part.end(), '\n'))
                              + (part.back() != '\n');
        EXPECT_EQ(r.characters, size);
        EXPECT_EQ(r.lines, expected) << size;
    }
}

TEST(CountFile, NotRunningReadsNothingButTakesTheWholeSize)
{
    // Five GiB: a size cut to 32 bits would show; a count that ignored the stop would read it all.
    scratch_dir dir;
    engine counter;
    engine_probe probe(counter);
    const std::uint64_t five_gib = 5ull << 30;
    const auto r = probe.count(dir.sparse("huge", five_gib), false);
    EXPECT_TRUE(r.opened);
    EXPECT_EQ(r.characters, 0u);
    EXPECT_EQ(r.lines, 0u);
    EXPECT_EQ(r.size, five_gib);
}

TEST(CountFile, AnythingButAReadableRegularFileFailsToOpen)
{
    // Folders, FIFOs, devices and dangling links are pomvane-count's test; these are not
    // reachable from a command line.
    scratch_dir dir;
    engine counter;
    engine_probe probe(counter);
    std::vector<std::string> bad = {
        "",
        dir.write("text", "x") + std::string(1, '\0') + "tail", // a NUL would name another file
    };
#ifndef _WIN32 // POSIX only: sockets in the file system, /proc and file modes
    const std::string socket_path = dir.path("socket");
    const int sock = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    socket_path.copy(address.sun_path, sizeof address.sun_path - 1);
    ASSERT_EQ(::bind(sock, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    bad.push_back(socket_path);
    bad.push_back("/proc/self/mem"); // opens, but its first read fails (EIO): no partial counts
    EXPECT_EQ(probe.count(socket_path).reason, "not a regular file");
    EXPECT_EQ(probe.count("/proc/self/mem").reason, "read error after 0 bytes: Input/output error");
#endif
    EXPECT_EQ(probe.count(engine_path(dir.folder())).reason, "is a folder; use -r");

    for (const std::string& path : bad) {
        const engine_probe::result r = probe.count(path);
        EXPECT_FALSE(r.opened) << path;
        EXPECT_FALSE(r.reason.empty()) << path;
        EXPECT_EQ(r.size, 0u) << path;
        EXPECT_EQ(r.position, 0u) << path;
    }
#ifndef _WIN32
    ::close(sock);

    if (geteuid() != 0) { // root reads anything
        const std::string locked = dir.write("locked", "secret");
        fs::permissions(locked, fs::perms::none);
        EXPECT_FALSE(probe.count(locked).opened);
    }
#endif
}

#ifndef _WIN32 // POSIX only: Windows has no /proc and no FIFOs

TEST(CountFile, FilesOfNoKnownOrOnlyNominalSizeAreReadToTheEnd)
{
    // /proc files report size 0 and hand out their content a page or so per read.
    const std::string path = "/proc/kallsyms";
    std::ifstream in(path, std::ios::binary);
    const std::string bytes{std::istreambuf_iterator<char>(in), {}};
    ASSERT_GT(bytes.size(), 128u * 1024) << path << " must be longer than one read";
    engine counter;
    engine_probe probe(counter);
    const auto r = probe.count(path);
    EXPECT_TRUE(r.opened);
    EXPECT_EQ(r.size, 0u);
    EXPECT_EQ(r.characters, bytes.size());
    EXPECT_EQ(r.lines, static_cast<std::uint64_t>(std::count(bytes.begin(), bytes.end(), '\n'))
                           + (bytes.back() != '\n'));

    // sysfs gives its attributes a page's size whatever they hold: ending before it, they
    // were not cut short.
    const std::string nominal = "/sys/devices/system/cpu/online";
    std::ifstream attribute(nominal, std::ios::binary);
    const std::string held{std::istreambuf_iterator<char>(attribute), {}};
    ASSERT_LT(held.size(), fs::file_size(nominal));
    const auto a = probe.count(nominal);
    EXPECT_TRUE(a.opened) << a.reason;
    EXPECT_EQ(a.characters, held.size());
}

TEST(CountFile, AFifoIsLookedAtButNeverOpened)
{
    // Opening a FIFO would release a writer waiting for its reader; closing it again at once
    // would then kill that writer with SIGPIPE.
    scratch_dir dir;
    const std::string fifo = dir.path("fifo");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const pid_t writer = ::fork();
    ASSERT_GE(writer, 0);
    if (writer == 0) {
        const int fd = ::open(fifo.c_str(), O_WRONLY);
        _exit(fd >= 0 && ::write(fd, "hello\n", 6) == 6 ? 0 : 1);
    }
    struct reaper {
        pid_t child;
        int status = -1;
        ~reaper()
        {
            if (status == -1) { // a failed assertion: leave no writer behind
                ::kill(child, SIGKILL);
                ::waitpid(child, &status, 0);
            }
        }
    } reaped{writer};
    const auto waits_in_open = [wchan = "/proc/" + std::to_string(writer) + "/wchan"] {
        std::string where;
        std::ifstream(wchan) >> where;
        return where == "wait_for_partner" || where == "fifo_open";
    };
    ASSERT_TRUE(eventually(waits_in_open));

    engine counter;
    engine_probe probe(counter);
    EXPECT_FALSE(probe.count(fifo).opened);
    EXPECT_TRUE(waits_in_open()); // a released writer would be runnable or gone by now

    // The writer, still waiting, hands its line to the first real reader and ends well.
    const int reader = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
    pollfd ready{reader, POLLIN, 0};
    char got[16] = {};
    EXPECT_EQ(::poll(&ready, 1, 20'000), 1);
    EXPECT_EQ(::read(reader, got, sizeof got), 6);
    ::close(reader);
    int status = 0;
    ASSERT_EQ(::waitpid(writer, &status, 0), writer);
    reaped.status = status;
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "writer status " << status;
}

TEST(Engine, ColdFilesTurnOnOpeningAheadAndKeepOrderAndTotals)
{
    // In the working folder rather than /tmp, which may be kept in memory and never cold.
    const scratch_dir dir(fs::current_path());

    std::vector<std::string> batch;
    std::uint64_t characters = 0;
    std::uint64_t lines = 0;
    int cold = 0;
    for (int i = 0; i < 100; ++i) {
        std::string bytes(static_cast<std::size_t>(1 + i * 997 % 20'000), 'x');
        for (std::size_t at = 70; at < bytes.size(); at += 71)
            bytes[at] = '\n';
        characters += bytes.size();
        lines += static_cast<std::uint64_t>(std::count(bytes.begin(), bytes.end(), '\n')) + (bytes.back() != '\n');
        batch.push_back(dir.path("f" + std::to_string(i)));
        const int fd = ::open(batch.back().c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
        ASSERT_EQ(::write(fd, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
        if (i % 3 != 0) // two in three cold, the others cached: the batch mixes them
            cold += evicted(fd, 0, bytes.size()) ? 1 : 0;
        ::close(fd);
    }
    SKIP_UNLESS_COLD(cold > 0);

    const std::size_t descriptors = descriptors_of_this_process();
    engine counter;
    engine_probe probe(counter);
    counter.add_files(batch);
    counter.wait();
    EXPECT_EQ(totals_of(counter), (totals{batch.size(), 0, characters, lines}));
    EXPECT_GT(probe.files_opened_ahead(), 0u); // the first cold file turned opening ahead on
    EXPECT_EQ(probe.file_size(), fs::file_size(batch.back())); // the last file came last
    EXPECT_EQ(descriptors_of_this_process(), descriptors);
}

// Big files in memory are counted through mappings. One truncated while mapped fails as a
// read error does, and the process lives on: the SIGBUS its lost pages raise is caught.
TEST(CountFile, MappedFilesCountAlikeAndOneTruncatedMeanwhileFails)
{
    scratch_dir dir;
    engine counter;
    engine_probe probe(counter);

    // Past several windows, ending mid-page: just written, so in memory.
    std::mt19937_64 random(11);
    std::string bytes(12 * 1024 * 1024 + 777, 'x');
    for (char& c : bytes)
        c = random() % 50 == 0 ? '\n' : static_cast<char>('a' + random() % 26);
    const auto mapped = probe.count(dir.write("text", bytes));
    EXPECT_EQ(mapped.characters, bytes.size());
    EXPECT_EQ(mapped.lines, static_cast<std::uint64_t>(std::count(bytes.begin(), bytes.end(), '\n')) + 1);
    EXPECT_EQ(mapped.position, bytes.size());
    // The same through an engine whose second counter counts every other window meanwhile.
    engine side_by_side;
    engine_probe(side_by_side).use_counters(2);
    side_by_side.add_file(dir.path("text"));
    side_by_side.wait();
    EXPECT_EQ(totals_of(side_by_side), (totals{1, 0, bytes.size(), mapped.lines}));

    // Zeros, which take no room on the disk; a watcher truncates the file once the count is
    // some way into it. Whether that comes before the count ends is a race: tried until it
    // does. (AFileCutShortWhileCountedFailsWhicheverWayItIsRead cuts it where it chooses.)
    const std::uint64_t size = 64 << 20;
    const std::string path = dir.sparse("shrinking", size);
    bool failed = false;
    for (int attempt = 0; attempt < 50 && !failed; ++attempt) {
        ASSERT_EQ(::truncate(path.c_str(), static_cast<off_t>(size)), 0);
        ASSERT_EQ(probe.count(path).characters, size); // brings it into memory
        count_pool::job file;
        file.target.name = path;
        std::atomic<bool> counted{false};
        std::thread watcher([&] {
            while (file.position < 6 << 20 && !counted)
                std::this_thread::yield();
            ::truncate(path.c_str(), 0);
        });
        const auto r = probe.count(file);
        counted = true;
        watcher.join();
        failed = !r.opened;
        EXPECT_TRUE(!failed || r.reason.starts_with("read error after ")) << r.reason;
        EXPECT_TRUE(failed || r.characters == size); // otherwise truncated after the end
    }
    EXPECT_TRUE(failed);
}

// count_opened with an executor that truncates the file to `to` bytes (or makes it longer)
// once the count has reached `at`: before the blocking call it runs then, or with
// after_the_call right after it, so that a window that call mapped loses its pages before they
// are counted. What the count gave, in words.
std::string count_cut(const std::string& path, std::uint64_t at, std::uint64_t to, bool after_the_call = false)
{
    input_file file;
    if (!file.open(path))
        return "not opened";
    const std::atomic<std::int32_t> state{lib::threadable::running};
    std::atomic<std::uint64_t> size{0}, position{0};
    bool cut = false;
    const auto cut_once = [&] {
        if (!cut && position >= at)
            cut = ::truncate(path.c_str(), static_cast<off_t>(to)) == 0;
    };
    const auto cutting = [&](auto call) {
        if (!after_the_call)
            cut_once();
        if constexpr (std::is_void_v<decltype(call())>) {
            call();
            cut_once();
        } else {
            const auto result = call();
            cut_once();
            return result;
        }
    };
    std::vector<char> buffer(128 << 10);
    counts counted;
    failure_reason reason;
    if (!count_opened(file, buffer, state, lib::threadable::running, size, position, cutting, counted, reason))
        return failure_text(reason, failure_reader::tool);
    return "counted " + std::to_string(counted.characters());
}

// A file that ends before the size it had when opened fails as a read error, whether its end
// is met by reads or among mapped windows; one that grows counts all it has.
TEST(CountFile, AFileCutShortWhileCountedFailsWhicheverWayItIsRead)
{
    const scratch_dir dir("/dev/shm"); // kept in memory: a big file's windows are all mapped
    const std::string big_bytes(16 << 20, 'x');
    const std::string big = dir.write("big", big_bytes);
    const std::string cut_at_8_mib = "read error after 8388608 bytes: the file was shortened";
    // Between two windows: the next one, past the new end, is not in memory, and then the
    // read there finds nothing; neither may pass for the end of the file.
    EXPECT_EQ(count_cut(big, 8 << 20, 1 << 20), cut_at_8_mib);
    // Inside a window just mapped: its pages are gone when it is counted (SIGBUS, caught).
    dir.write("big", big_bytes);
    EXPECT_EQ(count_cut(big, 8 << 20, 1 << 20, true), cut_at_8_mib);
    dir.write("big", big_bytes);
    EXPECT_EQ(count_cut(big, 8 << 20, 20 << 20), "counted 20971520"); // grown: mapped, then read on

    const std::string small = dir.write("small", std::string(4 << 20, 'x')); // read, never mapped
    EXPECT_EQ(count_cut(small, 1 << 20, 512 << 10), "read error after 1048576 bytes: the file was shortened");
    dir.write("small", std::string(4 << 20, 'x'));
    EXPECT_EQ(count_cut(small, 1 << 20, 5 << 20), "counted 5242880");
}

// Mapped windows meet each other and reads without losing or repeating a byte. The content
// repeats nothing a shifted window could hide behind: an LF on the first window boundary and
// none near it, one ending the third window, letters at random between. Counted whole, with
// its second window read instead of mapped, then without its final LF, mapped and with its
// last window read.
TEST(CountFile, MappedWindowsAndReadsMeetExactly)
{
    const scratch_dir dir(fs::current_path()); // /tmp may be kept in memory, never cold
    constexpr std::size_t window = 4 << 20;
    std::mt19937_64 random(5);
    std::string bytes(3 * window + (1 << 20) + 7, 'x');
    for (char& c : bytes)
        c = static_cast<char>('a' + random() % 26);
    for (std::size_t at = 50'000; at < bytes.size(); at += 60'000 + random() % 70'000)
        bytes[at] = '\n';
    std::fill(bytes.begin() + window - 65'536, bytes.begin() + window + 65'536, 'y');
    bytes[window] = '\n';
    bytes[3 * window - 1] = '\n';
    bytes.back() = '\n';
    const std::string path = dir.write("windows", bytes);
    engine counter;
    engine_probe probe(counter);
    const auto expect_counted = [&](std::size_t size, const char* how) {
        const std::string_view part(bytes.data(), size);
        const auto r = probe.count(path);
        EXPECT_EQ(r.characters, size) << how;
        EXPECT_EQ(r.lines, static_cast<std::uint64_t>(std::count(part.begin(), part.end(), '\n'))
                               + (part.back() != '\n')) << how;
    };
    const int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    expect_counted(bytes.size(), "mapped");
    const bool second_cold = evicted(fd, window, window);
    expect_counted(bytes.size(), "the second window read");
    ASSERT_EQ(::ftruncate(fd, static_cast<off_t>(bytes.size() - 1)), 0);
    expect_counted(bytes.size() - 1, "without its final LF, mapped");
    const bool last_cold = evicted(fd, 3 * window, bytes.size() - 1 - 3 * window);
    expect_counted(bytes.size() - 1, "without its final LF, the last window read");
    ::close(fd);
    SKIP_UNLESS_COLD(second_cold && last_cold);
}

// UTF-8 characters split between two reads, two mapped windows, or the first read and the
// first window count once. The pattern's 13 bytes (an LF, 2-, 3- and 4-byte characters, a
// stray continuation byte, a 3-byte sequence cut short) are cut by the 128 KiB reads of a
// file too small to map at each of their offsets; each big file puts a 4-byte character
// across both 4 MiB window edges at its own inner offset. Expected: the same bytes counted
// as one piece by the portable kernel. A folder walked with the option and a file added
// without it show that the option goes with each entry.
TEST(CountFile, UTF8CharactersSplitBetweenReadsAndWindowsCountOnce)
{
    const scratch_dir dir("/dev/shm"); // kept in memory: the windows are mapped
    const std::string pattern = "\n\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80\x80\xE2\x82";
    constexpr std::size_t window = 4 << 20;
    engine counter;
    engine_probe probe(counter);
    std::uint64_t all_characters = 0, all_lines = 0;
    for (std::size_t cut = 0; cut <= 3; ++cut) {
        std::string bytes;
        while (bytes.size() < (cut == 0 ? window / 2 : 2 * window + 100'000))
            bytes += pattern;
        for (const std::size_t edge : {window, 2 * window})
            if (cut > 0)
                bytes.replace(edge - cut, 4, "\xF0\x9F\x98\x80");
        utf8_carry carry;
        const std::uint64_t characters = count_utf8_portable(bytes.data(), bytes.size(), carry).characters;
        const std::uint64_t lines = static_cast<std::uint64_t>(std::count(bytes.begin(), bytes.end(), '\n')) + 1;
        const auto r = probe.count(dir.write("text" + std::to_string(cut), bytes), true, true);
        EXPECT_EQ(r.characters, characters) << "cut after byte " << cut;
        EXPECT_EQ(r.lines, lines) << "cut after byte " << cut;
        all_characters += characters;
        all_lines += lines;
    }
    const std::string bytes_only = dir.write("bytes only", pattern);
    counter.add_file(engine_path(dir.folder()), true, false, true);
    counter.add_file(bytes_only);
    counter.wait();
    EXPECT_EQ(totals_of(counter), (totals{6, 0, all_characters + 6 + pattern.size(), all_lines + 2 + 2}));
}

// Debian 12's kernel (6.1) has no cachestat: there mincore() alone says what may be mapped.
// In a child refused cachestat, a big file with a window evicted from its middle counts
// right, and that window is read, not mapped: touched through a mapping, its pages would
// have come from the disk in major faults, where no stop reaches the worker.
TEST(CountFile, WithoutCachestatAWindowOutOfMemoryIsRead)
{
    const scratch_dir dir(fs::current_path()); // /tmp may be kept in memory, never cold
    std::string bytes(16 << 20, 'x');
    for (std::size_t at = 99; at < bytes.size(); at += 100)
        bytes[at] = '\n';
    const std::string path = dir.write("big", bytes);
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    const bool window_cold = evicted(fd, 8 << 20, 4 << 20);
    ::close(fd);
    SKIP_UNLESS_COLD(window_cold);

    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // cachestat is 451 on every architecture; the kernel answers it ENOSYS from now on.
        sock_filter refuse[] = {
            BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
            BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, 451, 0, 1),
            BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | ENOSYS),
            BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
        };
        const sock_fprog program{static_cast<unsigned short>(std::size(refuse)), refuse};
        if (::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0 || ::prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &program) != 0)
            ::_exit(2);
        if (::syscall(451, 0, nullptr, nullptr, 0) != -1 || errno != ENOSYS)
            ::_exit(3);
        engine counter;
        engine_probe probe(counter);
        rusage before{}, after{};
        ::getrusage(RUSAGE_SELF, &before);
        const auto r = probe.count(path);
        ::getrusage(RUSAGE_SELF, &after);
        if (!r.opened || r.characters != bytes.size() || r.lines != bytes.size() / 100 + 1) // and a last line
            ::_exit(4);
        ::_exit(after.ru_majflt == before.ru_majflt ? 0 : 5);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status)) << "status " << status;
    EXPECT_EQ(WEXITSTATUS(status), 0) << "2: no filter; 3: cachestat not refused; 4: miscounted; "
                                         "5: the window out of memory was mapped";
}
#endif

#ifdef _WIN32
// What Windows adds: other programs that hold a file open, names beyond the ANSI code page
// and MAX_PATH, and the names of devices and pipes, which must fail without being opened.
TEST(CountFile, WindowsSharingNamesAndDevices)
{
    scratch_dir dir;
    engine counter;
    engine_probe probe(counter);
    const auto expect_counted = [&](const std::string& path, std::uint64_t characters, std::uint64_t lines) {
        const auto r = probe.count(path);
        EXPECT_TRUE(r.opened) << path;
        EXPECT_EQ(r.characters, characters) << path;
        EXPECT_EQ(r.lines, lines) << path;
    };

    // A file being written by a program that lets others only read it is counted...
    const std::string held = dir.write("held", "a\r\nb");
    const std::wstring held_name = (dir.folder() / "held").wstring();
    HANDLE owner = CreateFileW(held_name.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(owner, INVALID_HANDLE_VALUE);
    expect_counted(held, 4, 2);
    CloseHandle(owner);
    // ...and a file open for counting never locks its owner out of writing or deleting it.
    input_file reading;
    ASSERT_TRUE(reading.open(held));
    owner = CreateFileW(held_name.c_str(), GENERIC_WRITE | DELETE, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_NE(owner, INVALID_HANDLE_VALUE) << GetLastError();
    CloseHandle(owner);
    EXPECT_TRUE(DeleteFileW(held_name.c_str())) << GetLastError();
    reading.close();

    const fs::path unicode = dir.folder() / u8"café ü 日本.txt";
    std::ofstream(unicode, std::ios::binary) << "caf\xc3\xa9\n";
    expect_counted(engine_path(unicode), 6, 1);

    // Made through \\?\, since without it the library's calls stop at MAX_PATH; counted by
    // the plain name.
    const fs::path deep = dir.folder() / std::string(150, 'd') / std::string(150, 'e') / "file.txt";
    fs::create_directories(L"\\\\?\\" + deep.parent_path().wstring());
    std::ofstream(fs::path(L"\\\\?\\" + deep.wstring()), std::ios::binary) << "x\ny";
    ASSERT_GT(deep.wstring().size(), 300u);
    expect_counted(engine_path(deep), 3, 2);

    // A pipe with a server waiting: failing to open it must not connect to it either.
    const std::wstring pipe_name = L"\\\\.\\pipe\\pomvane-test-" + std::to_wstring(GetCurrentProcessId());
    HANDLE server = CreateNamedPipeW(pipe_name.c_str(), PIPE_ACCESS_INBOUND | FILE_FLAG_OVERLAPPED,
                                     PIPE_TYPE_BYTE | PIPE_WAIT, 1, 0, 4096, 0, nullptr);
    ASSERT_NE(server, INVALID_HANDLE_VALUE);

    for (const std::string& path : {engine_path(dir.folder()), std::string("NUL"), std::string("CON"),
                                    engine_path(dir.folder() / "nul"), std::string("\\\\.\\PhysicalDrive0"),
                                    engine_path(pipe_name), std::string("\xff")}) {
        const engine_probe::result r = probe.count(path);
        EXPECT_FALSE(r.opened) << path;
        EXPECT_EQ(r.size, 0u) << path;
    }
    OVERLAPPED waiting{};
    waiting.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    EXPECT_FALSE(ConnectNamedPipe(server, &waiting));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_IO_PENDING)) << "a client came and went";
    CancelIo(server);
    CloseHandle(waiting.hEvent);
    CloseHandle(server);
}
#endif

// After reset: no totals, no batch, no worker.
void expect_cleared(engine& counter)
{
    EXPECT_EQ(totals_of(counter), (totals{0, 0, 0, 0}));
    EXPECT_FALSE(counter.is_running());
    EXPECT_EQ(counter.files_percent(), 0u);
    EXPECT_EQ(counter.file_percent(), 0);
}

TEST(Engine, CountsInOrderAndKeepsTotalsAfterTheBatch)
{
    scratch_dir dir;
    engine counter;
    EXPECT_EQ(counter.files_percent(), 0u);
    EXPECT_EQ(counter.file_percent(), 0);
    const std::string a = dir.write("a", "one\ntwo\n");
    counter.add_file(a);
    counter.add_file(dir.path("missing"));
    counter.add_file(dir.write("b", "x"));
    counter.add_file(a); // the same path twice counts twice
    ASSERT_TRUE(eventually([&] { return !counter.is_running(); }));
    EXPECT_EQ(totals_of(counter), (totals{3, 1, 17, 5}));
    EXPECT_EQ(counter.files_percent(), 0u); // the batch is gone, the totals stay
    EXPECT_EQ(counter.file_percent(), 100);

    counter.reset();
    expect_cleared(counter);
}

TEST(Engine, FailuresAreNamedBoundedAndForgottenOnReset)
{
    scratch_dir dir;
    engine counter;
    std::vector<std::string> batch(engine::failures_kept + 2, dir.path("missing"));
    batch.front() = engine_path(dir.folder());
    batch.back() = dir.write("b", "x");
    counter.add_files(batch);
    counter.add_file(dir.path("late")); // a later batch is held to the same bound
    ASSERT_TRUE(eventually([&] { return !counter.is_running(); }));
    EXPECT_EQ(totals_of(counter), (totals{1, engine::failures_kept + 2, 1, 1}));
    const std::vector<engine::failure> kept = counter.failures();
    ASSERT_EQ(kept.size(), engine::failures_kept);
    EXPECT_EQ(kept.front().path, batch.front());
    EXPECT_EQ(kept.front().reason.what, failure_reason::is_a_folder);
#ifndef _WIN32 // the system's own words; Windows words them its way
    EXPECT_EQ(kept[1].reason.what, failure_reason::missing);
#endif
    EXPECT_EQ(kept.back().path, dir.path("missing"));
    EXPECT_EQ(counter.failures_not_kept(), 2u);
    EXPECT_EQ(counter.failures(engine::failures_kept - 1).size(), 1u); // only the new ones
    EXPECT_TRUE(counter.failures(engine::failures_kept + 5).empty());

    counter.reset();
    EXPECT_TRUE(counter.failures().empty());
    EXPECT_EQ(counter.failures_not_kept(), 0u);
    counter.add_file(dir.path("again"));
    ASSERT_TRUE(eventually([&] { return !counter.is_running(); }));
    ASSERT_EQ(counter.failures().size(), 1u);
    EXPECT_EQ(counter.failures().front().path, dir.path("again"));
}

TEST(Engine, EachCountIsKeptBoundedOrStreamedInOrderAndForgottenOnReset)
{
    scratch_dir dir;
    engine counter;
    engine_probe(counter).use_counters(4); // side by side, on any machine: yet taken back in order
    const std::string a = dir.write("a", "one\ntwo\n");
    std::vector<std::string> batch(engine::counts_kept + 1, a);
    batch.insert(batch.begin(), {dir.write("b", "x"), dir.path("missing")});
    counter.add_files(batch);
    counter.wait(); // a quarter of a million files may take longer than eventually() waits
    EXPECT_EQ(totals_of(counter)[0], engine::counts_kept + 2);
    file_counts kept;
    counter.counted_files(0, kept);
    ASSERT_EQ(kept.size(), engine::counts_kept); // the failure is no counted file
    EXPECT_EQ(kept.path(0), batch[0]);
    EXPECT_EQ(std::pair(kept.characters(0), kept.lines(0)), std::pair(std::uint64_t{1}, std::uint64_t{1}));
    EXPECT_EQ(kept.path(1), a);
    EXPECT_EQ(std::pair(kept.characters(1), kept.lines(1)), std::pair(std::uint64_t{8}, std::uint64_t{2}));
    EXPECT_EQ(counter.counted_not_kept(), 2u); // "and 2 more"
    counter.counted_files(engine::counts_kept - 1, kept); // only the new ones
    EXPECT_EQ(kept.size(), engine::counts_kept + 1);

    counter.reset();
    file_counts after_reset;
    counter.counted_files(0, after_reset);
    EXPECT_TRUE(after_reset.empty());
    EXPECT_EQ(counter.counted_not_kept(), 0u);

    // Streamed: more results than the room the worker leaves untaken, counted and failed
    // alike, each taken once in order, none kept.
    counter.handle_results(engine::results::streamed);
    std::vector<std::string> streamed;
    for (std::size_t i = 0; i < engine::results_untaken; ++i)
        streamed.insert(streamed.end(), {a, dir.path("missing")});
    counter.add_files(streamed);
    std::vector<engine::file_result> taken;
    ASSERT_TRUE(eventually([&] {
        const bool ended = !counter.is_running();
        for (engine::file_result& result : counter.take_results())
            taken.push_back(std::move(result));
        return ended;
    }));
    ASSERT_EQ(taken.size(), streamed.size());
    for (std::size_t i = 0; i < taken.size(); ++i) {
        ASSERT_EQ(taken[i].path, streamed[i]);
        ASSERT_EQ(bool(taken[i].reason), i % 2 == 1) << i;
        ASSERT_EQ(taken[i].lines, i % 2 == 0 ? 2u : 0u) << i;
    }
    counter.counted_files(0, after_reset);
    EXPECT_TRUE(after_reset.empty());
}

TEST(Engine, WalksFoldersInNameOrderOpensAheadAndResetStopsAWalkAtOnce)
{
    scratch_dir dir;
#ifdef _WIN32
    const int per_folder = 1000; // wine makes files slowly, and counts them slowly too
#else
    const int per_folder = 1500;
#endif
    // The same names in each folder, and a line of another length: a file opened ahead in
    // the wrong folder shows in the totals. "a/f7z" comes between "a/f799" and "a/f8", so
    // files of "a" are opened ahead both before and after it.
    std::uint64_t files = 0;
    std::uint64_t characters = 0;
    for (const auto& [folder, line] : {std::pair{"b", "x\n"}, {"a", "yy\n"}, {"a/f7z", "zzz\n"}}) {
        fs::create_directories(dir.folder() / folder);
        for (int i = 0; i < per_folder; ++i, ++files, characters += std::strlen(line))
            dir.write(std::string(folder) + "/f" + std::to_string(i), line);
    }
    // Last in byte order: "b" after "a", and a name whose first byte is 0x80 or more after
    // every other, for bytes compare as unsigned.
    dir.write("b/\xc3\xa9", "the end\n");
    const std::vector<std::string> tree = {engine_path(dir.folder())};

    engine counter;
    engine_probe probe(counter);
    probe.open_ahead_at_once();
    counter.add_files(tree); // without walk_folders, a folder fails
    counter.add_files(tree, true);
    counter.wait();
    EXPECT_EQ(totals_of(counter), (totals{files + 1, 1, characters + 8, files + 1}));
    EXPECT_EQ(probe.file_size(), 8u); // the last file came last
    EXPECT_GT(probe.files_opened_ahead(), files / 2);

    // A reset mid-walk is seen between two entries, well within the grace; but a loaded
    // machine can stretch one open or read past it now and then, so one try in five must be.
    bool waited = false;
    for (int attempt = 0; attempt < 5 && !waited; ++attempt) {
        const std::uint64_t abandoned_before = probe.workers_abandoned();
        counter.reset();
        counter.add_files(tree, true);
        ASSERT_TRUE(eventually([&] { return counter.totals().files_counted > 0; }));
        ASSERT_TRUE(counter.is_running());
        counter.reset();
        waited = probe.workers_abandoned() == abandoned_before;
        expect_cleared(counter);
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        EXPECT_EQ(totals_of(counter), (totals{0, 0, 0, 0})); // and counted nothing after
    }
    EXPECT_TRUE(waited);
}

#ifndef _WIN32
// A tree far deeper than a path may be long (PATH_MAX) is walked whole, within the usual
// limit of 1,024 open files. Its files are found on the way back up: each level's "f" comes
// after its "d".
TEST(Engine, WalksATreeDeeperThanAPathMayBeLong)
{
    constexpr int depth = 5000;
    // In memory where it can be: five thousand folders made and removed on a disk take
    // seconds.
    scratch_dir dir(fs::exists("/dev/shm") ? fs::path("/dev/shm") : fs::temp_directory_path());
    // Made and removed one level at a time, relative to an open folder or through short
    // paths: no path reaches the bottom.
    struct deep_tree {
        std::string top;
        ~deep_tree()
        {
            const std::string level = top + "/d", below = top + "/d/d", moved = top + "/up";
            for (;;) {
                ::unlink((level + "/f").c_str());
                if (::rename(below.c_str(), moved.c_str()) != 0)
                    break;
                ::rmdir(level.c_str());
                ::rename(moved.c_str(), level.c_str());
            }
            ::rmdir(level.c_str());
        }
    } tree{dir.path("")};
    std::uint64_t characters = 0;
    int fd = ::open(dir.path("").c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    for (int level = 1; level <= depth && fd >= 0; ++level) {
        ASSERT_EQ(::mkdirat(fd, "d", 0700), 0) << level << ": " << std::strerror(errno);
        const int below = ::openat(fd, "d", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        ::close(fd);
        fd = below;
        if (level % 500 == 0) {
            const std::string text = std::to_string(level) + "\n";
            const int file = ::openat(fd, "f", O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
            ASSERT_EQ(::write(file, text.data(), text.size()), static_cast<ssize_t>(text.size()));
            ::close(file);
            characters += text.size();
        }
    }
    ASSERT_GE(fd, 0) << std::strerror(errno);
    ::close(fd);

    rlimit limit{};
    ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &limit), 0);
    const rlimit usual{std::min<rlim_t>(limit.rlim_cur, 1024), limit.rlim_max};
    ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &usual), 0);
    engine counter;
    counter.add_file(dir.path(""), true);
    counter.wait();
    ::setrlimit(RLIMIT_NOFILE, &limit);
    EXPECT_EQ(totals_of(counter), (totals{10, 0, characters, 10}));
    EXPECT_TRUE(counter.failures().empty()) << counter.failures().front().path.size() << ": "
                                            << failure_text(counter.failures().front().reason, failure_reader::tool);
}
#endif

TEST(Engine, PercentagesFollowTheBatchAndResetStopsALongCount)
{
    scratch_dir dir;
    engine counter;
    // Sparse files read as zeros: the first keeps the worker busy while the batch is queued
    // (a worker that found nothing pending would end the batch), the second for far longer
    // than this test runs.
    const std::string huge = dir.sparse("huge", 16ull << 30);
    counter.add_file(dir.sparse("first", 256ull << 20));
    counter.add_file(dir.path("missing"));
    counter.add_file(huge);
    counter.add_file(dir.write("b", "b"));
    ASSERT_TRUE(eventually([&] { return counter.files_percent() == 50; })); // two of four
    EXPECT_TRUE(counter.is_running());
    EXPECT_EQ(counter.totals().files_counted, 1u);
    EXPECT_EQ(counter.totals().files_failed, 1u);
    for (int i = 0; i < 4; ++i)
        counter.add_file(huge);
    EXPECT_EQ(counter.files_percent(), 25u); // two of eight
    ASSERT_TRUE(eventually([&] { return counter.file_percent() > 0; }));
    EXPECT_LE(counter.file_percent(), 100);

    // The counter reading "huge" sees the stop and the worker waiting for it ends within the
    // grace, not let go: one try in five, as a loaded machine may stretch a read past it.
    engine_probe probe(counter);
    bool waited = false;
    for (int attempt = 0; attempt < 5 && !waited; ++attempt) {
        if (attempt > 0) {
            counter.add_file(huge);
            ASSERT_TRUE(eventually([&] { return counter.file_percent() > 0; }));
        }
        const std::uint64_t abandoned_before = probe.workers_abandoned();
        counter.reset();
        waited = probe.workers_abandoned() == abandoned_before;
        expect_cleared(counter);
    }
    EXPECT_TRUE(waited);

    counter.add_file(dir.path("b")); // a new batch starts a new worker
    ASSERT_TRUE(eventually([&] { return !counter.is_running(); }));
    EXPECT_EQ(counter.totals().files_counted, 1u);
    EXPECT_EQ(counter.totals().total_characters, 1u);
}

TEST(Engine, NoFileIsLostWhileTheWorkerIsLeaving)
{
    // Adds each file just as the worker has counted the one before and is about to end.
    scratch_dir dir;
    const std::string file = dir.write("f", "x\n");
    engine counter;
    std::mt19937 random(1);
#ifdef _WIN32
    // Under wine, where CI runs this, a thread's start costs up to 10 ms on a loaded machine.
    const bool under_wine = GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
    const std::uint64_t rounds = under_wine ? 1000 : 4000;
#else
    const std::uint64_t rounds = 4000;
#endif
    for (std::uint64_t i = 0; i < rounds; ++i) {
        counter.add_file(file);
        while (counter.totals().files_counted != i + 1 && counter.is_running())
            ;
        // Once no worker runs, every file added so far must have been counted.
        if (!counter.is_running()) {
            ASSERT_EQ(counter.totals().files_counted, i + 1) << "lost in round " << i;
        }
        for (unsigned spin = random() % 16; spin > 0; --spin)
            (void)counter.is_running();
    }
    ASSERT_TRUE(eventually([&] { return !counter.is_running(); }));
    EXPECT_EQ(counter.totals().files_counted, rounds);
    EXPECT_EQ(counter.totals().total_lines, rounds);
}

TEST(Engine, AWholeDropIsOneBatchEvenWhenItsFirstFileIsDoneAtOnce)
{
    // Queued one by one, the worker could finish the small first file and close the batch
    // before the rest arrived; the rest would then be a new batch at 0 %.
    scratch_dir dir;
    const std::vector<std::string> drop = {dir.write("small", "a\n"), dir.sparse("huge", 64ull << 30),
                                           dir.write("last", "b\n")};
    engine counter;
    for (int round = 0; round < 200; ++round) {
        counter.add_files(drop);
        ASSERT_TRUE(eventually([&] { return counter.totals().files_counted == 1; }));
        ASSERT_EQ(counter.files_percent(), 33u) << "round " << round;
        counter.reset();
    }
}

TEST(Engine, ThreadsAddingAtOnceCountEveryFileExactlyOnce)
{
    scratch_dir dir;
    const std::string file = dir.write("f", "ab\n");
    const std::vector<std::string> three(3, file);
    engine counter;
    constexpr int threads = 4;
    constexpr int rounds = 1000; // each adds 1 + 3 files
    std::vector<std::thread> adders;
    for (int t = 0; t < threads; ++t) {
        adders.emplace_back([&] {
            for (int i = 0; i < rounds; ++i) {
                counter.add_file(file);
                counter.wait(); // batches drain and workers end all the time: adds meet them leaving
                counter.add_files(three);
            }
        });
    }
    for (std::thread& adder : adders)
        adder.join();
    counter.wait();
    const std::uint64_t files = threads * rounds * 4;
    EXPECT_EQ(totals_of(counter), (totals{files, 0, 3 * files, files}));
    EXPECT_FALSE(counter.is_running());
}

TEST(Engine, ResetRacingWithAddsLeavesZeroThenCountsExactly)
{
    scratch_dir dir;
    const std::string file = dir.write("f", "ab\n");
    const std::string big = dir.sparse("big", 64ull << 20);
    engine counter;
    std::atomic<bool> done{false};
    std::thread adder([&] {
        for (int i = 0; i < 2000; ++i) {
            const std::vector<std::string> batch = {file, i % 8 == 0 ? big : file, file};
            counter.add_files(batch);
            if (i % 2 == 0)
                counter.wait();
        }
    });
    std::thread resetter([&] {
        while (!done)
            counter.reset();
    });
    std::thread reader([&] { // what the window polls, all through the race
        while (!done) {
            EXPECT_LE(counter.files_percent(), 100u);
            (void)counter.file_percent();
            (void)counter.totals();
            (void)counter.is_running();
        }
    });
    adder.join();
    done = true;
    resetter.join();
    reader.join();

    counter.reset();
    expect_cleared(counter);

    const std::vector<std::string> batch(50, file);
    counter.add_files(batch);
    counter.wait();
    EXPECT_EQ(totals_of(counter), (totals{50, 0, 150, 50}));
}

TEST(Engine, DestroyingWhileCountingStopsTheWorker)
{
    scratch_dir dir;
    auto counter = std::make_unique<engine>();
    counter->add_file(dir.sparse("huge", 16ull << 30));
    ASSERT_TRUE(eventually([&] { return counter->file_percent() > 0 || counter->totals().files_counted > 0; }));
    counter.reset(); // returns once the worker has ended; sanitizers see any use after free
}

} // namespace
