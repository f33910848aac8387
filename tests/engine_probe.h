#pragma once
// The engine's inner counters and switches, for the tests and the benchmarks only: the one
// class that engine lets see them. Header-only, so that bench/ includes it without compiling
// anything twice.

#include "engine/engine.h"
#include "present/failure_text.h"

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <utility>

class engine_probe {
public:
    explicit engine_probe(engine& counter) : counter(counter) {}

    // Before the first file is added: open files ahead from the first, not only after cache misses.
    void open_ahead_at_once() { counter.prefetch_from_the_start = true; }

    std::uint64_t workers_abandoned() { return under_lock(counter.workers_abandoned); }
    std::uint64_t files_opened_ahead() { return under_lock(counter.files_opened_ahead); }
    // Before the first file is added: how many threads count side by side (1: the worker alone).
    void use_counters(unsigned counters) { counter.counters_wanted = counters; }

    struct result {
        bool opened;
        std::uint64_t characters;
        std::uint64_t lines;
        std::string reason; // why it failed, in words
        std::uint64_t size; // the progress shown for it once counted
        std::uint64_t position;
    };
    // The progress shown: of the oldest file in hand, or of the last one counted.
    std::uint64_t file_size() { return progress().first; }
    std::uint64_t file_position() { return progress().second; }

    // One file counted on the calling thread, as a counter counts it; with as_running false,
    // as after a stop; with utf8_characters, its characters in UTF-8.
    result count(const std::string& path, bool as_running = true, bool utf8_characters = false)
    {
        count_pool::job file;
        file.target.name = path;
        file.utf8_characters = utf8_characters;
        return count(file, as_running);
    }
    // The same for a job made by the caller, who may watch its progress meanwhile.
    result count(count_pool::job& file, bool as_running = true)
    {
        if (!buffer)
            buffer = read_buffer();
        count_pool::board board;
        board.state = as_running ? count_pool::board::counting : 0;
        count_pool::count(board, file, {buffer[0].bytes, read_size}, [](auto call) { return call(); });
        result r{file.opened, ~0ull, ~0ull, failure_text(file.reason, failure_reader::tool), file.size,
                 file.position};
        if (r.opened) {
            r.characters = file.counted.characters();
            r.lines = file.counted.lines();
        }
        return r;
    }

private:
    std::pair<std::uint64_t, std::uint64_t> progress()
    {
        const std::lock_guard<lib::lockable> guard(counter);
        std::pair<std::uint64_t, std::uint64_t> shown{counter.file_size, counter.file_position};
        if (counter.counting)
            counter.counting->oldest_progress(shown.first, shown.second);
        return shown;
    }
    std::uint64_t under_lock(const std::uint64_t& field)
    {
        const std::lock_guard<lib::lockable> guard(counter);
        return field;
    }

    engine& counter;
    std::unique_ptr<read_page[]> buffer; // page-aligned, as the counters' own
};
