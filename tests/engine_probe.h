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

class engine_probe {
public:
    explicit engine_probe(engine& counter) : counter(counter) {}

    // Before the first file is added: open files ahead from the first, not only after cache misses.
    void open_ahead_at_once() { counter.prefetch_from_the_start = true; }

    std::uint64_t workers_abandoned() { return under_lock(counter.workers_abandoned); }
    std::uint64_t files_opened_ahead() { return under_lock(counter.files_opened_ahead); }
    std::uint64_t file_size() const { return counter.file_size; }
    std::uint64_t file_position() const { return counter.file_position.load(std::memory_order_relaxed); }
    // Stale progress, which the next count must overwrite.
    void set_progress(std::uint64_t size, std::uint64_t position)
    {
        counter.file_size = size;
        counter.file_position = position;
    }

    struct result {
        bool opened;
        std::uint64_t characters;
        std::uint64_t lines;
        std::string reason; // why it failed, in words
    };
    // count_file on the calling thread, as the worker runs it; with as_running false, as
    // after a stop; with utf8_characters, its characters in UTF-8. The engine must have no worker.
    result count(const std::string& path, bool as_running = true, bool utf8_characters = false)
    {
        counter.state = as_running ? engine::running : engine::cancelled;
        if (!buffer)
            buffer = engine::read_buffer();
        result r{false, ~0ull, ~0ull, {}};
        failure_reason reason;
        counts counted;
        r.opened = counter.count_file(path, {buffer[0].bytes, engine::read_size}, counted, reason, nullptr,
                                       utf8_characters);
        if (r.opened) {
            r.characters = counted.characters();
            r.lines = counted.lines();
        }
        r.reason = failure_text(reason, failure_reader::tool);
        counter.state = engine::finished;
        return r;
    }

private:
    std::uint64_t under_lock(const std::uint64_t& field)
    {
        const std::lock_guard<lib::lockable> guard(counter);
        return field;
    }

    engine& counter;
    std::unique_ptr<engine::page[]> buffer; // page-aligned, as the worker's own
};
