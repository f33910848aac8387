#pragma once

#include "engine/engine.h"
#include "present/words.h"

#include <cstdint>
#include <string>

// What both windows show of the engine, as one small value: taken every 100 ms, and drawn only
// when it differs from the last one drawn, so that a window that counts nothing redraws
// nothing. The windows only draw it: every decision about what they show is made here.
struct window_view {
    engine::snapshot totals;
    bool counting = false;           // the two progress bars are shown
    std::uint32_t files_percent = 0; // the lower bar, 0 to 100, while counting
    std::uint32_t file_percent = 0;  // the upper bar, 0 to 100 (a file that grew shows 100)
    std::uint64_t failures_not_kept = 0;

    bool operator==(const window_view&) const = default;

    // The characters and lines fields; the files field is files_text(totals).
    std::string characters_text() const;
    std::string lines_text() const;
    // "Failed Files..." (and a double-click on the files field) once a file failed.
    bool failed_files_enabled() const { return totals.files_failed != 0; }
    // "Counted Files..." (and a double-click on the characters or lines field) once a file
    // was counted.
    bool counted_files_enabled() const { return totals.files_counted != 0; }
    // The hint in the band above the buttons, in the bars' place, until anything is counted.
    bool hint_shown() const { return !counting && totals.files_counted == 0 && totals.files_failed == 0; }
};

// What the hint says: how to start, and where the rest is.
inline constexpr words hint_words = PRESENT_WORDS("window_view", "Drop files here. Right-click for more.");

window_view look_at(engine& counter);
