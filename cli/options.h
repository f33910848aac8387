#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// What pomvane-count's command line asks for. Parsing is kept apart from counting so that a
// new option touches this file and its page only.
struct options {
    enum class action { count, help, version, usage_error };
    action what = action::count;
    // The paths named on the command line, in order, as raw bytes.
    std::vector<std::string> paths;
    // A NUL-separated list to read paths from: a file, or "-" for standard input.
    std::optional<std::string> list;
    // Folders named (on the command line or in the list) are counted by the files below them.
    bool walk_folders = false;
    // ... but for what the person's Git ignores, and what .ignore files name (--no-ignore: all).
    bool skip_ignored = true;
    // A line (or record) for each file as it is counted: `by_file` text lines, or a format.
    enum class format { totals, lines, csv, json, ndjson };
    format output = format::totals;
    // When the text forms write the totals line, as wc's --total takes it.
    enum class total { automatic, always, only, never };
    total totals = total::automatic;
    // Characters are counted as UTF-8 characters instead of bytes.
    bool utf8_characters = false;
    // For usage_error: what was wrong, in a few words.
    std::string error;
};

options parse_options(const std::vector<std::string>& args);

// The synopsis (for usage errors) and the full help (for --help), each ending in a newline.
std::string_view usage_text();
std::string help_text();
