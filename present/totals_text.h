#pragma once

#include "engine/engine.h"

#include <string>

// The totals as every front end words them, in plain ASCII decimal digits, so that the
// windows, the clipboard and the tool never disagree.

// The files field: "12", or "12 (3 failed to open)" once a file failed.
std::string files_text(const engine::snapshot& totals);

// One line for scripts and the clipboard, without a line end:
// "files=12 failed=3 characters=345 lines=6".
std::string totals_line(const engine::snapshot& totals);
