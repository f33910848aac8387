// pomvane-count: the counting engine without the window, for scripts and benchmarks.
// It hands every path to the engine in order, as a drop does, and polls until counting ends.

#include "engine/command_line.h"
#include "engine/engine.h"

#include <chrono>
#include <cstdio>
#include <iostream>
#include <string>
#include <thread>
#include <vector>

namespace {

int usage()
{
    std::cerr << "usage: pomvane-count [--] PATH...\n"
                 "       pomvane-count -    (NUL-separated paths on standard input; UTF-8 on Windows)\n";
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    use_binary_standard_streams();
    const std::vector<std::string> args = command_line_arguments(argc, argv);
    const bool from_stdin = args.size() == 1 && args.front() == "-";
    std::vector<std::string> paths;
    if (!from_stdin) {
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

    if (from_stdin) {
        std::ios::sync_with_stdio(false);
        std::string path;
        while (std::getline(std::cin, path, '\0'))
            paths.push_back(std::move(path));
    }
    engine counter;
    counter.add_files(paths);
    const std::uint64_t added = paths.size();
    while (counter.is_running())
        std::this_thread::sleep_for(std::chrono::microseconds(200));

    const engine::snapshot totals = counter.totals();
    if (totals.files_counted + totals.files_failed != added) {
        std::cerr << "pomvane-count: the counting thread could not be started\n";
        return 1;
    }
    std::printf("files=%llu failed=%llu characters=%llu lines=%llu\n",
                static_cast<unsigned long long>(totals.files_counted),
                static_cast<unsigned long long>(totals.files_failed),
                static_cast<unsigned long long>(totals.total_characters),
                static_cast<unsigned long long>(totals.total_lines));
    return 0;
}
