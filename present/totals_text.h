#pragma once

#include "engine/engine.h"
#include "present/words.h"

#include <cstdint>
#include <string>
#include <string_view>

// The totals as every front end words them, in plain ASCII decimal digits, so that the
// windows, the clipboard and the tool never disagree.

// A total as the fields show it: decimal digits, without sign, grouping or leading zeros.
std::string decimal_text(std::uint64_t value);

// The files field once a file failed: "%1" files counted, "%2" of them failed; the grammatical
// number follows the failed count.
inline constexpr words files_failed_words = PRESENT_COUNTED_WORDS(
        "totals_text", "%1 (%2 failed to open)", "files counted (of which failed)");

// The files field: "12", or "12 (3 failed to open)" once a file failed, in English or in the
// words a window translated files_failed_words into.
std::string files_text(const engine::snapshot& totals, std::string_view worded = files_failed_words.text);

// One line for scripts and the clipboard, without a line end, the same in every language:
// "files=12 failed=3 characters=345 lines=6".
std::string totals_line(const engine::snapshot& totals);
