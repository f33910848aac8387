#include "window_options.h"

#include "present/shown_name.h"

namespace {

// Applies one option; false when there is no such option.
bool take_option(std::string_view option, window_options& given)
{
    if (option == "-r" || option == "--recursive")
        given.walk_folders = true;
    else if (option == "--new-window")
        given.new_window = true;
    else if (option == "-h" || option == "--help")
        given.what = window_options::action::help;
    else if (option == "-v" || option == "--version")
        given.what = given.what == window_options::action::help ? given.what : window_options::action::version;
    else
        return false;
    return true;
}

// Short options run together (-rv), each taken alone; false on a letter that is none.
bool take_options(std::string_view argument, window_options& given)
{
    if (argument.starts_with("--") || argument.size() == 2)
        return take_option(argument, given);
    window_options taken = given;
    for (const char letter : argument.substr(1)) {
        if (!take_option(std::string{'-', letter}, taken))
            return false;
    }
    given = taken;
    return true;
}

} // namespace

window_options parse_window_options(const std::vector<std::string>& arguments)
{
    window_options given;
    bool options_ended = false;
    for (const std::string& argument : arguments) {
        if (options_ended || !argument.starts_with('-') || argument == "-") {
            given.files.push_back(argument);
        } else if (argument == "--") {
            options_ended = true;
        } else if (!take_options(argument, given)) {
            window_options wrong;
            wrong.what = window_options::action::usage_error;
            wrong.error = "Unknown option '" + shown_name(argument) + "'.";
            return wrong;
        }
    }
    return given;
}

std::string window_help(std::string_view program)
{
    const std::string name(program);
    return "Usage: " + name + " [OPTION...] [--] [FILE...]\n"
           "       " + name + " --help | --version\n"
           "\n"
           "Counts the characters and lines of files. The\n"
           "files given are counted as if dropped on the\n"
           "window, in that order; a window already open\n"
           "takes them over.\n"
           "\n"
           "Options:\n"
           "  -r, --recursive\n"
           "      Count the folders given by the files in\n"
           "      them and in their subfolders.\n"
           "  --new-window\n"
           "      Open a window of its own, even if one is\n"
           "      open.\n"
           "  -h, --help\n"
           "      Show this help and exit.\n"
           "  -v, --version\n"
           "      Show the version and exit.\n"
           "  --\n"
           "      End of options: later arguments are\n"
           "      files, even those that start with -.\n";
}
