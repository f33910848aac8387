#pragma once

#include "engine/engine.h"
#include "present/words.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// The failed list both windows show: one row a failed file, in the order they failed, each
// a name and what happened to it, and below them how many more failed without being kept.

struct failed_row {
    std::string name;      // the path as shown (shown_name)
    failure_reason reason; // worded by failure_text(), in the window's language
};

// The rows of the failures the engine kept beyond the first `listed`, which moves past them,
// so that a list that follows the counting takes only the new ones at each refresh.
std::vector<failed_row> take_failed_rows(engine& counter, std::size_t& listed);

// A row as "Copy" puts it on the clipboard, without a line end: "NAME: REASON", as the
// tool writes a failure.
std::string row_line(std::string_view name, std::string_view reason);

// Below the rows once failures went unkept: "and %1 more".
inline constexpr words not_kept_words = PRESENT_WORDS("failed_list", "and %1 more");
std::string not_kept_text(std::uint64_t not_kept, std::string_view worded = not_kept_words.text);
