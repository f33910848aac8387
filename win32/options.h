#pragma once

#include <string>
#include <vector>

// The window's command line: `pomvane.exe [-r] [--new-window] [--] [FILE...]`, with --help
// and --version. A window has no console to print to, so main() shows the texts in a message box.
struct options {
    enum class action { count, help, version, bad_option };
    action what = action::count;
    bool new_window = false;
    // -r: the folders given are counted by their files, whatever the setting.
    bool walk_folders = false;
    // Made absolute against the current folder, so that the window another start hands
    // them to finds the same files.
    std::vector<std::string> files;
    // For bad_option: what was wrong, in one line.
    std::wstring error;
};

options parse_options(const std::vector<std::string>& arguments);

// The help, in lines of plain text.
std::wstring help_text();
