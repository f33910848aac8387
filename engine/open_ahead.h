#pragma once

#include "engine/input_file.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <list>
#include <string>
#include <vector>

// The files a worker holds open ahead of the one it counts, so that the disk serves many of
// them at once once the files turn out not to be in memory. Owned by one worker and used only
// on it (a worker let go keeps its own), except plan(), which reads the engine's queue and so
// is called under the engine's lock. When files are held, the first is the cursor's entry; one
// that failed to open stays closed, in its place, and fails there.
class open_ahead {
public:
    // How many files to hold open: `wanted`, but never more than an eighth of what the process
    // may open, so that the owner's own files still open.
    static constexpr std::size_t wanted = 32;
    // How much of each file opened ahead to ask the disk for at once.
    static constexpr std::uint64_t prefetch_bytes = 256 * 1024;

    using position = std::list<std::string>::const_iterator;

    // With at_once, files are opened ahead from the first, not only after a cache miss.
    explicit open_ahead(bool at_once);

    // Whether files are opened ahead at all: from the first cache miss on.
    bool active() const { return is_active; }
    void activate() { is_active = true; }
    // Whether the cursor's file is held open here, to be taken with take().
    bool holds_next() const { return !files.empty(); }

    // Under the engine's lock, before take(): the paths to open next, those after the ones held
    // (or after the cursor), up to the depth. They are then held as planned, in order.
    std::vector<std::string> plan(position cursor, position end);
    // The cursor's file, opened ahead (or failed to open, then closed).
    input_file take();
    // Opens the next planned path and asks for its first bytes. The opening may block for good;
    // around(call) runs it, so that the engine can let the worker go meanwhile.
    template <typename Around>
    void open(const std::string& path, Around around)
    {
        input_file& file = files.emplace_back();
        around([&]() noexcept {
            if (file.open(path))
                file.advise_willneed(prefetch_bytes);
        });
    }
    // Closes every file held. Closing may block like reading.
    void close_all() noexcept { files.clear(); }

private:
    std::deque<input_file> files;
    position last; // the queue entry of files.back(), when files are held
    std::size_t depth;
    bool is_active;
};
