// Google Benchmark cases for the counting engine:
//   count_file     one cached file, counted directly on the calling thread (bytes per second)
//   add_file       queueing 100,000 paths while the worker processes them
//   add_file_drained  the same, timed until the worker has processed every path
//   add_files      the same 100,000 paths handed over in one call, as a drop does (queued, drained)
//   line_feeds     1 GiB of counting in a 128 KiB buffer: a kernel call per 1 KiB block, as the
//                  worker did, against the fused loop that checks the state and stores the
//                  position every 1 KiB itself (milliseconds per GiB)
//   ignore_rules_entry   judging one entry by name against a project's ignore rules, a
//                  .gitignore in each of five folders (entries per second)
//   ignore_rules_folder  entering and leaving a folder with a three-line .gitignore
//   utf8           the same 1 GiB in a 128 KiB buffer of ASCII text, of text in three scripts
//                  (a third each of ASCII, Cyrillic and CJK by words) or of random bytes: the
//                  fused UTF-8 and LF count as the engine would run it (watched: AVX-512 here),
//                  the AVX2 and portable kernels, and the LF count alone on the same bytes

#include "engine/engine.h"
#include "engine/ignore_rules.h"
#include "engine/line_feeds.h"
#include "engine/utf8_count.h"
#include "tests/engine_probe.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include <unistd.h>

namespace {

// A text file of the given size in the temporary folder, removed with the object.
class text_file {
public:
    explicit text_file(std::size_t size)
    {
        std::string name = (std::filesystem::temp_directory_path() / "pomvane-bench-XXXXXX").string();
        const int fd = ::mkstemp(name.data());
        if (fd < 0)
            throw std::runtime_error("cannot create a temporary file");
        path = name;
        std::string text(size, 'x');
        // Lines of 1 to 120 bytes, some ending in CRLF, as in ordinary text.
        std::uint32_t seed = 12345;
        for (std::size_t at = 0; at < size;) {
            seed = seed * 1103515245 + 12345;
            at += 1 + (seed >> 16) % 120;
            if (at < size)
                text[at] = '\n';
            if (at > 0 && at < size && (seed & 7) == 0)
                text[at - 1] = '\r';
        }
        const bool written = ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
        ::close(fd);
        if (!written)
            throw std::runtime_error("cannot write a temporary file");
    }
    text_file(const text_file&) = delete;
    text_file& operator=(const text_file&) = delete;
    ~text_file() { std::filesystem::remove(path); }

    std::string path;
};

void count_file(benchmark::State& run)
{
    const auto size = static_cast<std::size_t>(run.range(0));
    const text_file file(size);
    engine counter;
    engine_probe probe(counter); // runs count_file on this thread
    probe.count(file.path); // into the page cache
    for (auto _ : run) {
        const engine_probe::result r = probe.count(file.path);
        if (!r.opened || r.characters != size) {
            run.SkipWithError("count_file did not count the whole file");
            break;
        }
        benchmark::DoNotOptimize(r.lines);
    }
    run.SetBytesProcessed(static_cast<std::int64_t>(run.iterations()) * static_cast<std::int64_t>(size));
    run.SetItemsProcessed(static_cast<std::int64_t>(run.iterations()));
}
BENCHMARK(count_file)->Arg(4 << 10)->Arg(1 << 20)->Arg(64 << 20)->Unit(benchmark::kMicrosecond);

// Paths that do not exist: the worker fails each one at once, so it takes the lock as often
// as it ever can and add_file meets the most contention.
std::vector<std::string> missing_paths(std::size_t count)
{
    std::vector<std::string> paths;
    paths.reserve(count);
    for (std::size_t i = 0; i < count; ++i)
        paths.push_back("/nonexistent-pomvane-bench/some/folder/file-" + std::to_string(i) + ".txt");
    return paths;
}

void wait_until_idle(engine& counter)
{
    while (counter.is_running())
        std::this_thread::sleep_for(std::chrono::microseconds(100));
}

// Times queueing the paths alone or until every one has been processed, one call per path
// or one call for the list.
void add_paths(benchmark::State& run, bool as_list, bool until_drained)
{
    const std::vector<std::string> paths = missing_paths(static_cast<std::size_t>(run.range(0)));
    for (auto _ : run) {
        engine counter;
        const auto start = std::chrono::steady_clock::now();
        if (as_list)
            counter.add_files(paths);
        else
            for (const std::string& path : paths)
                counter.add_file(path);
        if (until_drained)
            wait_until_idle(counter);
        const auto end = std::chrono::steady_clock::now();
        run.SetIterationTime(std::chrono::duration<double>(end - start).count());
        wait_until_idle(counter);
        if (counter.totals().files_failed != paths.size()) {
            run.SkipWithError("not every path was processed");
            break;
        }
    }
    run.SetItemsProcessed(static_cast<std::int64_t>(run.iterations()) * run.range(0));
}
void add_file(benchmark::State& run, bool until_drained) { add_paths(run, false, until_drained); }
void add_files(benchmark::State& run, bool until_drained) { add_paths(run, true, until_drained); }
BENCHMARK_CAPTURE(add_file, queued, false)->Arg(100000)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(add_file, drained, true)->Arg(100000)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(add_files, queued, false)->Arg(100000)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(add_files, drained, true)->Arg(100000)->UseManualTime()->Unit(benchmark::kMillisecond);

// A 128 KiB buffer counted over and over, 1 GiB per iteration: the buffer stays in L2, as the
// worker's read buffer does, so this is the counting alone.
void line_feeds(benchmark::State& run, bool fused)
{
    constexpr std::size_t buffer_size = 128 * 1024;
    constexpr std::size_t passes = (std::size_t(1) << 30) / buffer_size;
    std::string buffer(buffer_size, 'x');
    for (std::size_t at = 40; at < buffer_size; at += 41)
        buffer[at] = '\n';
    const std::uint64_t expected = passes * static_cast<std::uint64_t>(std::count(buffer.begin(), buffer.end(), '\n'));
    const std::atomic<std::int32_t> state{lib::threadable::running};
    std::atomic<std::uint64_t> position{0};
    for (auto _ : run) {
        std::uint64_t line_feeds = 0;
        std::uint64_t counted = 0;
        for (std::size_t pass = 0; pass < passes; ++pass) {
            if (fused) {
                const counts done = count_line_feeds_watched(buffer.data(), buffer_size, state,
                                                             lib::threadable::running, position, counted);
                line_feeds += done.line_feeds;
                counted += done.bytes;
                continue;
            }
            std::size_t done = 0;
            do {
                const std::size_t length = std::min(watch_block, buffer_size - done);
                line_feeds += count_line_feeds(buffer.data() + done, length);
                done += length;
                position.store(counted + done, std::memory_order_relaxed);
            } while (done < buffer_size && state == lib::threadable::running);
            counted += done;
        }
        if (line_feeds != expected) {
            run.SkipWithError("the line feeds were miscounted");
            break;
        }
    }
    run.SetBytesProcessed(static_cast<std::int64_t>(run.iterations()) * (std::int64_t(1) << 30));
}
BENCHMARK_CAPTURE(line_feeds, per_block, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(line_feeds, fused, true)->Unit(benchmark::kMillisecond);

// The rules four folders below the root of a work tree as a C++, Python or web project has
// them: the root's .gitignore of 30 lines, one of three lines in each folder below, a few
// global lines.
constexpr const char* folder_gitignore = "*.gen.cpp\n/generated/\n!keep.gen.cpp\n";

ignore_rules project_rules()
{
    ignore_rules rules("*~\n.*.swp\n.DS_Store\n*.orig\n.idea/\n");
    rules.enter_work_tree("",
                          "# build output\nbuild/\n/dist/\n*.o\n*.a\n*.so\n*.obj\n*.exe\n*.pyc\n__pycache__/\n"
                          "node_modules/\n.cache/\n*.log\n!keep.log\n*.tmp\n/coverage/\nCMakeCache.txt\n"
                          "CMakeFiles/\ncompile_commands.json\ndocs/_build/\n**/tmp/\n*.egg-info/\n.env\n.venv/\n"
                          "target/\nout/\n*.class\nThumbs.db\n[Dd]ebug/\n*.py[cod]\n",
                          "", "/local-notes\n");
    for (const char* folder : {"src", "engine", "parts", "widgets"})
        rules.enter(folder, folder_gitignore, "");
    return rules;
}

// Source files, headers, objects and a few others, as a folder of a project lists them.
std::vector<std::string> entry_names()
{
    static const char* const endings[] = {".cpp", ".h", ".o", ".py", ".md", ".gen.cpp", ".txt", ".log"};
    std::vector<std::string> names;
    for (std::size_t i = 0; i < 1000; ++i)
        names.push_back("widget_" + std::to_string(i) + endings[i % std::size(endings)]);
    return names;
}

void ignore_rules_entry(benchmark::State& run)
{
    ignore_rules rules = project_rules();
    const std::vector<std::string> names = entry_names();
    std::int64_t skipped = 0;
    for (auto _ : run)
        for (const std::string& name : names)
            skipped += rules.ignored(name, false) ? 1 : 0;
    if (skipped != run.iterations() * 375) // .o, .gen.cpp and .log of every eight
        run.SkipWithError("the rules judged the names wrongly");
    run.SetItemsProcessed(run.iterations() * static_cast<std::int64_t>(names.size()));
}
BENCHMARK(ignore_rules_entry);

void ignore_rules_folder(benchmark::State& run)
{
    ignore_rules rules = project_rules();
    for (auto _ : run) {
        rules.enter("sub", folder_gitignore, "");
        rules.leave();
    }
    run.SetItemsProcessed(static_cast<std::int64_t>(run.iterations()));
}
BENCHMARK(ignore_rules_folder);
enum class text_kind { ascii, scripts, random_bytes };
enum class counter_kind { utf8, utf8_avx2, utf8_portable, line_feeds };

// size bytes of the given kind, cut only between characters, with lines of a few words.
std::string sample_text(text_kind kind, std::size_t size)
{
    std::mt19937_64 random(5);
    std::string text;
    static const char* const words[3][4] = {
        {"count", "the", "lines", "of"},
        {"\xD1\x81\xD1\x87\xD1\x91\xD1\x82", "\xD1\x81\xD1\x82\xD1\x80\xD0\xBE\xD0\xBA",
         "\xD0\xB8", "\xD1\x84\xD0\xB0\xD0\xB9\xD0\xBB"},
        {"\xE8\xA1\x8C", "\xE6\x96\x87\xE5\xAD\x97", "\xE6\x95\xB0", "\xE6\x96\x87\xE4\xBB\xB6"},
    };
    while (text.size() < size) {
        if (kind == text_kind::random_bytes) {
            text += static_cast<char>(random());
            continue;
        }
        const std::size_t script = kind == text_kind::ascii ? 0 : random() % 3;
        text += words[script][random() % 4];
        text += random() % 10 == 0 ? '\n' : ' ';
    }
    text.resize(size);
    if (kind != text_kind::random_bytes)
        text.back() = '\n'; // may cut a character; each pass counts it the same
    return text;
}

void utf8(benchmark::State& run, text_kind kind, counter_kind counter)
{
    constexpr std::size_t buffer_size = 128 * 1024;
    constexpr std::size_t passes = (std::size_t(1) << 30) / buffer_size;
    const std::string buffer = sample_text(kind, buffer_size);
    utf8_carry fresh;
    const utf8_run expected = count_utf8_portable(buffer.data(), buffer.size(), fresh);
    const std::atomic<std::int32_t> state{lib::threadable::running};
    std::atomic<std::uint64_t> position{0};
    for (auto _ : run) {
        std::uint64_t characters = 0;
        std::uint64_t line_feeds = 0;
        std::uint64_t counted = 0;
        for (std::size_t pass = 0; pass < passes; ++pass) {
            utf8_carry carry; // a file per pass
            utf8_run done;
            if (counter == counter_kind::utf8)
                done = count_utf8_watched(buffer.data(), buffer_size, carry, state, lib::threadable::running,
                                          position, counted);
            else if (counter == counter_kind::utf8_avx2)
                done = count_utf8_watched_avx2(buffer.data(), buffer_size, carry, state, lib::threadable::running,
                                               position, counted);
            else if (counter == counter_kind::utf8_portable)
                done = count_utf8_watched_portable(buffer.data(), buffer_size, carry, state,
                                                   lib::threadable::running, position, counted);
            else {
                const counts lines = count_line_feeds_watched(buffer.data(), buffer_size, state,
                                                              lib::threadable::running, position, counted);
                done = {lines.bytes, lines.line_feeds, lines.bytes};
            }
            characters += done.characters;
            line_feeds += done.line_feeds;
            counted += done.bytes;
        }
        if (counter != counter_kind::line_feeds && characters != passes * expected.characters) {
            run.SkipWithError("the characters were miscounted");
            break;
        }
        if (line_feeds != passes * expected.line_feeds) {
            run.SkipWithError("the line feeds were miscounted");
            break;
        }
    }
    run.SetBytesProcessed(static_cast<std::int64_t>(run.iterations()) * (std::int64_t(1) << 30));
}
BENCHMARK_CAPTURE(utf8, ascii/fused, text_kind::ascii, counter_kind::utf8)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(utf8, ascii/avx2, text_kind::ascii, counter_kind::utf8_avx2)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(utf8, ascii/portable, text_kind::ascii, counter_kind::utf8_portable)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(utf8, ascii/line_feeds, text_kind::ascii, counter_kind::line_feeds)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(utf8, scripts/fused, text_kind::scripts, counter_kind::utf8)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(utf8, scripts/avx2, text_kind::scripts, counter_kind::utf8_avx2)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(utf8, scripts/portable, text_kind::scripts, counter_kind::utf8_portable)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(utf8, scripts/line_feeds, text_kind::scripts, counter_kind::line_feeds)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(utf8, random_bytes/fused, text_kind::random_bytes, counter_kind::utf8)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(utf8, random_bytes/avx2, text_kind::random_bytes, counter_kind::utf8_avx2)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(utf8, random_bytes/portable, text_kind::random_bytes, counter_kind::utf8_portable)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(utf8, random_bytes/line_feeds, text_kind::random_bytes, counter_kind::line_feeds)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
