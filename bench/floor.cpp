// floor: the plainest counter of many files, the yardstick run.sh sets pomvane-count beside.
//   floor [--threads N] --files0-from=LIST   paths separated by NUL (LIST - : standard input)
//   floor [--threads N] --files-from=LIST    paths separated by LF
//   floor [--threads N] -r FOLDER            the regular files under FOLDER
//   --checked: stat the path before opening it and fstat the descriptor after, as a program
//   must that opens only regular files and knows their size: the calls pomvane-count makes.
// N threads (default 1) each take the next path in turn, open it, read it 128 KiB at a time
// into a buffer of their own, count its LF bytes with std::count, and close it: no checks on
// what is opened, no reading ahead, no mapping. It links nothing of the engine, so what it
// measures is this machine's system calls, disk and memory, not the engine's choices.
// Prints the totals in pomvane-count's words, so that run.sh can check they agree:
//   files=N failed=N characters=N lines=N
// (a non-empty file whose last byte is not LF has one more line, as pomvane-count counts it).
// The list is read one path at a time and the walk holds one open folder per level, so a
// list of millions takes no more memory than a short one.
// Exit status: 0 when the line was printed, 1 when the list or the folder could not be read,
// 2 on bad use.

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr std::size_t read_size = 128 * 1024;

// Where the paths come from, one at a time, to whichever thread asks next. A lock rather than
// an atomic index into an array: the list is streamed and the walk finds paths as it goes,
// so there is no array to index. It is held for one path, well under a microsecond against
// the several a file's open, read and close take.
class path_source {
public:
    // A list: NUL- or LF-separated paths read from `input`.
    path_source(std::FILE* input, int separator) : list(input), separator(separator) {}

    // A walk of the folder `root`, passing by links, devices, FIFOs, sockets and the folders
    // of other file systems, as pomvane-count -r does. False when the root cannot be opened.
    bool walk(const std::string& root)
    {
        const int fd = ::open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        struct stat seen {};
        DIR* folder = nullptr;
        if (fd < 0 || ::fstat(fd, &seen) != 0 || (folder = ::fdopendir(fd)) == nullptr) {
            error = errno;
            if (fd >= 0)
                ::close(fd);
            return false;
        }
        device = seen.st_dev;
        levels.push_back({folder, root.ends_with('/') ? root : root + '/'});
        return true;
    }

    // The next path into `path`; false at the end (or on a read error: failed() then).
    bool next(std::string& path)
    {
        const std::lock_guard<std::mutex> held(lock);
        return list ? next_listed(path) : next_walked(path);
    }

    // Folders under the root that could not be opened or read: counted as failed paths.
    std::uint64_t folders_failed() const { return unreadable_folders; }
    // The list could not be read, or the root folder not opened: errno's value, else 0.
    int failed() const { return error; }

private:
    struct level {
        DIR* folder;
        std::string path; // ends with '/'
    };

    bool next_listed(std::string& path)
    {
        for (;;) {
            errno = 0;
            const ssize_t n = ::getdelim(&line, &capacity, separator, list);
            if (n < 0) {
                error = std::ferror(list) ? (errno != 0 ? errno : EIO) : 0;
                return false;
            }
            std::size_t size = static_cast<std::size_t>(n);
            if (size > 0 && line[size - 1] == static_cast<char>(separator))
                --size;
            if (size > 0) {
                path.assign(line, size);
                return true;
            }
        }
    }

    bool next_walked(std::string& path)
    {
        while (!levels.empty()) {
            level& deepest = levels.back();
            errno = 0;
            const dirent* found = ::readdir(deepest.folder);
            if (found == nullptr) {
                if (errno != 0)
                    ++unreadable_folders;
                ::closedir(deepest.folder);
                levels.pop_back();
                continue;
            }
            const char* const name = found->d_name;
            if (name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0')))
                continue;
            unsigned char type = found->d_type;
            if (type == DT_UNKNOWN) {
                struct stat seen {};
                type = ::fstatat(::dirfd(deepest.folder), name, &seen, AT_SYMLINK_NOFOLLOW) != 0 ? DT_REG // fails when opened
                       : S_ISREG(seen.st_mode)                                                         ? DT_REG
                       : S_ISDIR(seen.st_mode)                                                         ? DT_DIR
                                                                                                       : DT_UNKNOWN;
            }
            if (type == DT_REG) {
                path = deepest.path + name;
                return true;
            }
            if (type == DT_DIR)
                enter(deepest, name);
        }
        return false;
    }

    // Opens the folder `name` of `parent` as the deepest level, unless it is on another file
    // system; one that cannot be opened counts as failed.
    void enter(const level& parent, const char* name)
    {
        const int fd = ::openat(::dirfd(parent.folder), name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        struct stat seen {};
        if (fd < 0 || ::fstat(fd, &seen) != 0) {
            ++unreadable_folders;
        } else if (seen.st_dev == device) {
            std::string path = parent.path + name + '/';
            if (DIR* const folder = ::fdopendir(fd)) {
                levels.push_back({folder, std::move(path)}); // parent may move now
                return;
            }
            ++unreadable_folders;
        }
        if (fd >= 0)
            ::close(fd);
    }

    std::mutex lock;
    std::FILE* list = nullptr;
    int separator = 0;
    char* line = nullptr; // getdelim's buffer: as long as the longest path
    std::size_t capacity = 0;
    std::vector<level> levels;
    dev_t device = 0;
    std::uint64_t unreadable_folders = 0;
    int error = 0;
};

struct totals {
    std::atomic<std::uint64_t> files{0}, failed{0}, bytes{0}, lines{0};
};

void count_files(path_source& source, totals& sum, bool checked)
{
    const std::unique_ptr<char[]> buffer(new char[read_size]);
    std::uint64_t files = 0, failed = 0, bytes = 0, lines = 0;
    std::string path;
    while (source.next(path)) {
        struct stat status;
        if (checked && (::stat(path.c_str(), &status) != 0 || !S_ISREG(status.st_mode))) {
            ++failed;
            continue;
        }
        const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) {
            ++failed;
            continue;
        }
        if (checked && ::fstat(fd, &status) != 0) {
            ::close(fd);
            ++failed;
            continue;
        }
        std::uint64_t size = 0, feeds = 0;
        char last = '\n';
        ssize_t n;
        while ((n = ::read(fd, buffer.get(), read_size)) > 0) {
            // std::count: the compiler's own loop, what plain code gets.
            feeds += static_cast<std::uint64_t>(std::count(buffer.get(), buffer.get() + n, '\n'));
            size += static_cast<std::uint64_t>(n);
            last = buffer[static_cast<std::size_t>(n) - 1];
        }
        ::close(fd);
        if (n < 0) {
            ++failed;
            continue;
        }
        ++files;
        bytes += size;
        lines += feeds + (last != '\n' ? 1 : 0);
    }
    sum.files += files;
    sum.failed += failed;
    sum.bytes += bytes;
    sum.lines += lines;
}

int usage()
{
    std::fputs("usage: floor [--threads N] [--checked] --files0-from=LIST | --files-from=LIST | -r FOLDER\n", stderr);
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    unsigned long threads = 1;
    std::string list_path, folder;
    int separator = 0;
    bool checked = false;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--threads" && i + 1 < argc) {
            char* end = nullptr;
            threads = std::strtoul(argv[++i], &end, 10);
            if (*end != '\0' || threads < 1 || threads > 1024)
                return usage();
        } else if (arg.starts_with("--files0-from=")) {
            list_path = arg.substr(arg.find('=') + 1);
            separator = '\0';
        } else if (arg.starts_with("--files-from=")) {
            list_path = arg.substr(arg.find('=') + 1);
            separator = '\n';
        } else if (arg == "--checked") {
            checked = true;
        } else if (arg == "-r" && i + 1 < argc) {
            folder = argv[++i];
        } else {
            return usage();
        }
    }
    if (list_path.empty() == folder.empty())
        return usage();

    std::FILE* input = nullptr;
    if (!list_path.empty()) {
        input = list_path == "-" ? stdin : std::fopen(list_path.c_str(), "rb");
        if (input == nullptr) {
            std::fprintf(stderr, "floor: %s: %s\n", list_path.c_str(), std::strerror(errno));
            return 1;
        }
    }
    path_source source(input, separator);
    if (!folder.empty() && !source.walk(folder)) {
        std::fprintf(stderr, "floor: %s: %s\n", folder.c_str(), std::strerror(source.failed()));
        return 1;
    }

    totals sum;
    std::vector<std::thread> workers;
    for (unsigned long i = 0; i < threads; ++i)
        workers.emplace_back(count_files, std::ref(source), std::ref(sum), checked);
    for (std::thread& worker : workers)
        worker.join();
    if (source.failed() != 0) {
        std::fprintf(stderr, "floor: cannot read %s: %s\n", list_path.c_str(), std::strerror(source.failed()));
        return 1;
    }
    std::printf("files=%llu failed=%llu characters=%llu lines=%llu\n", static_cast<unsigned long long>(sum.files),
                static_cast<unsigned long long>(sum.failed + source.folders_failed()),
                static_cast<unsigned long long>(sum.bytes), static_cast<unsigned long long>(sum.lines));
    return std::fflush(stdout) == 0 ? 0 : 1;
}
