// pomvane-count: the counting engine without the window, for scripts and benchmarks.
// It hands every path to the engine in order, as a drop does, and waits until counting ends.

#include "command_line.h"
#include "line_writer.h"
#include "options.h"
#include "path_list.h"
#include "result_writer.h"

#include "engine/engine.h"
#include "present/failure_text.h"
#include "present/totals_text.h"
#include "lib/paths.h"

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace {

// Standard error, where every line starts with the program's name.
line_writer errors()
{
    return line_writer(std::cerr, "pomvane-count: ");
}

// The tool's own input and output errors: one line, and exit status 1. `file` is the list
// that could not be read, if any.
int failed(std::string_view what, int error, const std::string* file = nullptr)
{
    line_writer line = errors();
    line.words(what);
    if (file)
        line.name(*file);
    line.words(": ").words(std::strerror(error)).end();
    return 1;
}

// Standard output could not be written (a closed pipe, a full disk); a stream that failed
// without saying why gets EIO's words.
int output_failed()
{
    return failed("cannot write standard output", errno != 0 ? errno : EIO);
}

// Paths are added this many at a time, each chunk once the engine has fewer than two chunks
// left: enough ahead that the worker (and its files opened ahead) never runs dry between
// two looks, which would end it and start another, few enough that a list of millions takes
// no more memory than a short one.
constexpr std::size_t chunk_paths = 1024;
constexpr std::size_t low_water = 2 * chunk_paths;

// Writes the results the engine streamed since the last call, when it streams them; true
// when there were any.
bool write_results(engine& counter, result_writer* writer)
{
    if (!writer)
        return false;
    const std::vector<engine::file_result> results = counter.take_results();
    for (const engine::file_result& result : results)
        writer->write(result);
    return !results.empty();
}

// Adds the list's paths in chunks as the worker needs them; false on a read error (errno
// set). Stops early when no worker could be started. The engine pushes nothing to its
// owner, so the pending count is polled, as the window polls its totals; a millisecond is
// far shorter than the two chunks left take to count. Results streamed meanwhile are written
// while waiting, or the worker would wait for them to be taken.
bool add_from_list(engine& counter, path_list& list, const options& parsed, std::uint64_t& given,
                   result_writer* writer)
{
    std::vector<std::string> chunk;
    for (;;) {
        list.read(chunk, chunk_paths);
        if (chunk.empty())
            return !list.failed();
        while (counter.pending() >= low_water && counter.is_running())
            if (!write_results(counter, writer))
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
        if (!counter.is_running() && counter.pending() != 0)
            return true; // no worker could be started: the caller reports what is left
        counter.add_files(chunk, parsed.walk_folders, parsed.skip_ignored, parsed.utf8_characters);
        given += chunk.size();
        chunk.clear();
    }
}

} // namespace

int main(int argc, char** argv)
{
    use_binary_standard_streams();
    const options parsed = parse_options(lib::command_line_arguments(argc, argv));
    switch (parsed.what) {
    case options::action::usage_error:
        std::cerr << "pomvane-count: " << parsed.error << '\n'
                  << usage_text() << "Try 'pomvane-count --help' for more.\n";
        return 2;
    case options::action::help:
        std::cout << help_text() << std::flush;
        return std::cout ? 0 : output_failed();
    case options::action::version:
        std::cout << "pomvane-count " POMVANE_VERSION_SHORT "\n" << std::flush;
        return std::cout ? 0 : output_failed();
    case options::action::count:
        break;
    }

    engine counter;
    line_writer failures = errors();
    std::optional<result_writer> writer;
    counter.handle_results(engine::results::summed);
    if (parsed.output != options::format::totals) {
        counter.handle_results(engine::results::streamed);
        writer.emplace(std::cout, failures, parsed);
        writer->begin();
    }
    std::uint64_t given = 0;
    if (parsed.list) {
        const bool from_stdin = *parsed.list == "-";
        const std::unique_ptr<std::FILE, int (*)(std::FILE*)> opened(
                from_stdin ? nullptr : open_for_reading(*parsed.list), std::fclose);
        if (!from_stdin && !opened)
            return failed("cannot open ", errno, &*parsed.list);
        path_list list(from_stdin ? stdin : opened.get());
        if (!add_from_list(counter, list, parsed, given, writer ? &*writer : nullptr))
            return from_stdin ? failed("cannot read standard input", errno)
                              : failed("cannot read ", errno, &*parsed.list);
    } else {
        const std::vector<std::string> paths = expand_wildcards(parsed.paths);
        counter.add_files(paths, parsed.walk_folders, parsed.skip_ignored, parsed.utf8_characters);
        given = paths.size();
    }
    if (writer) {
        // Each file is written as it comes, failures named among them.
        while (counter.is_running()) {
            if (!std::cout) {
                counter.reset(); // no one reads what is counted any more
                return output_failed();
            }
            if (!write_results(counter, &*writer))
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        write_results(counter, &*writer);
    } else {
        counter.wait();
        // Named once counting ended, in the order they happened: a wait with polls would delay
        // every short run by a poll.
        for (const engine::failure& failure : counter.failures())
            failures.name(failure.path).words(": ").words(failure_text(failure.reason, failure_reader::tool)).end();
        if (const std::uint64_t unnamed = counter.failures_not_kept(); unnamed != 0)
            failures.words(std::to_string(unnamed)).words(" more failed paths not named").end();
    }

    const engine::snapshot totals = counter.totals();
    if (counter.pending() != 0) {
        std::cerr << "pomvane-count: " << given << " paths given, but " << counter.pending()
                  << " left: the counting thread could not be started\n";
        return 1;
    }
    if (writer)
        writer->end(totals);
    else
        std::fputs((totals_line(totals) + '\n').c_str(), stdout);
    errno = 0;
    if (std::fflush(stdout) != 0 || std::ferror(stdout))
        return output_failed();
    return 0;
}
