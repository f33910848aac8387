// pomvane-count: the counting engine without the window, for scripts and benchmarks.
// It hands every path to the engine in order, as a drop does, and waits until counting ends.

#include "command_line.h"

#include "engine/engine.h"
#include "engine/totals_text.h"
#include "lib/paths.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

namespace {

int usage()
{
    std::cerr << "usage: pomvane-count [-r] [--] PATH...\n"
                 "       pomvane-count [-r] -    (NUL-separated paths on standard input; UTF-8 on Windows)\n"
                 "  -r, --recursive   count folders by the files in them\n";
    return 2;
}

// The tool's own input and output errors: one line, and exit status 1.
int failed(const char* what, int error)
{
    std::cerr << "pomvane-count: " << what << ": " << std::strerror(error) << '\n';
    return 1;
}

// NUL-separated paths from standard input; false on a read error, with errno set.
bool read_paths(std::FILE* input, std::vector<std::string>& paths)
{
    std::string all;
    char chunk[64 * 1024];
    std::size_t n;
    while ((n = std::fread(chunk, 1, sizeof chunk, input)) > 0)
        all.append(chunk, n);
    if (std::ferror(input))
        return false;
    for (std::size_t start = 0; start < all.size();) {
        std::size_t end = all.find('\0', start);
        if (end == std::string::npos)
            end = all.size(); // a last path without its NUL still counts
        paths.emplace_back(all, start, end - start);
        start = end + 1;
    }
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    use_binary_standard_streams();
    std::vector<std::string> args = lib::command_line_arguments(argc, argv);
    const bool recursive = !args.empty() && (args.front() == "-r" || args.front() == "--recursive");
    if (recursive)
        args.erase(args.begin());
    const bool from_stdin = args.size() == 1 && args.front() == "-";
    std::vector<std::string> paths;
    if (from_stdin) {
        if (!read_paths(stdin, paths))
            return failed("cannot read standard input", errno);
    } else {
        bool options_ended = false;
        for (const std::string& arg : args) {
            if (!options_ended && arg == "--")
                options_ended = true;
            else if (!options_ended && arg.starts_with('-'))
                return usage();
            else
                paths.push_back(arg);
        }
    }

    engine counter;
    counter.add_files(paths, recursive);
    counter.wait();
    // Named once counting ended, in the order they happened: a wait with polls would delay
    // every short run by a poll.
    for (const engine::failure& failure : counter.failures())
        std::cerr << "pomvane-count: " << failure.path << ": " << failure.reason << '\n';
    if (const std::uint64_t unnamed = counter.failures_not_kept(); unnamed != 0)
        std::cerr << "pomvane-count: " << unnamed << " more failed paths not named\n";

    const engine::snapshot totals = counter.totals();
    if (counter.pending() != 0) {
        std::cerr << "pomvane-count: " << paths.size() << " paths given, but " << counter.pending()
                  << " left: the counting thread could not be started\n";
        return 1;
    }
    std::fputs((totals_line(totals) + '\n').c_str(), stdout);
    errno = 0;
    if (std::fflush(stdout) != 0 || std::ferror(stdout))
        return failed("cannot write standard output", errno != 0 ? errno : EIO);
    return 0;
}
