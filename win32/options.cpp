#include "options.h"

#include "lib/paths.h"

#include <windows.h>

namespace {

// An empty path (an argument that was not valid UTF-16) stays empty and fails to open.
std::string absolute(const std::string& path)
{
    const std::wstring wide = lib::to_utf16(path);
    const std::wstring full = wide.empty() ? std::wstring{} : lib::full_path(wide);
    return full.empty() ? path : lib::to_utf8(full);
}

} // namespace

options parse_options(const std::vector<std::string>& arguments)
{
    options given;
    bool options_ended = false;
    for (const std::string& argument : arguments) {
        if (options_ended || !argument.starts_with('-') || argument == "-") {
            given.files.push_back(absolute(argument));
        } else if (argument == "--") {
            options_ended = true;
        } else if (argument == "--help" || argument == "-h") {
            given.what = options::action::help;
            return given;
        } else if (argument == "--version" || argument == "-v") {
            given.what = options::action::version;
            return given;
        } else if (argument == "--new-window") {
            given.new_window = true;
        } else if (argument == "--recursive" || argument == "-r") {
            given.walk_folders = true;
        } else {
            given.what = options::action::bad_option;
            given.error = L"Unknown option '" + lib::to_utf16(argument) + L"'.";
            return given;
        }
    }
    return given;
}

std::wstring help_text()
{
    return L"Usage: pomvane.exe [-r] [--new-window] [--] [FILE...]\n\n"
           L"Counts the characters and lines of files. The files given are counted as if dropped on the "
           L"window, in that order; a window already open on this desktop takes them over.\n\n"
           L"-r, --recursive\tCount the folders given by the files in them and their subfolders.\n"
           L"--new-window\tOpen a window of its own, even if one is open.\n"
           L"-h, --help\tShow this help.\n"
           L"-v, --version\tShow the version.\n"
           L"After --, a name may start with -.";
}
