#pragma once

#include <string>
#include <string_view>
#include <vector>

// The window's command line, the same for the Qt window and the Windows one:
// `pomvane [-r] [--new-window] [--] [FILE...]`, or --help, or --version. Short options may be
// run together (-rh). After "--" every argument is a file; "-" alone is one too.
struct window_options {
    enum class action { open, help, version, usage_error };
    action what = action::open;
    bool new_window = false;
    // -r, --recursive: the folders given are counted by their files, whatever the setting.
    bool walk_folders = false;
    // As given, in order; the window makes them absolute.
    std::vector<std::string> files;
    // For usage_error, one sentence: "Unknown option '--bogus'."
    std::string error;
};

// An unknown option anywhere is a usage error; otherwise --help wins over --version.
window_options parse_window_options(const std::vector<std::string>& arguments);

// The help, in lines short enough for a message box (46 characters), without tabs: the
// usage, what the window does, then each option on a line of its own with its description
// indented below.
// `program` is the name the usage shows ("pomvane", "pomvane.exe"). Ends in a newline.
std::string window_help(std::string_view program);
