#include "options.h"

#include "present/shown_name.h"

namespace {

constexpr std::string_view files0_from = "--files0-from";

options usage_error(std::string error)
{
    options wrong;
    wrong.what = options::action::usage_error;
    wrong.error = std::move(error);
    return wrong;
}

} // namespace

std::string_view usage_text()
{
    return "usage: pomvane-count [-r [--no-ignore]] [--] PATH...\n"
           "       pomvane-count [-r [--no-ignore]] -\n"
           "       pomvane-count [-r [--no-ignore]] --files0-from=LIST\n";
}

std::string help_text()
{
    return std::string(usage_text()) +
           "Counts the files given, the characters (bytes) and the lines they hold, and prints\n"
           "one line: files=N failed=N characters=N lines=N\n"
           "A line ends at each LF; a last line without one counts too. A path that is not a\n"
           "readable regular file counts as failed, and is named on standard error with the\n"
           "reason: pomvane-count: PATH: REASON\n"
#ifdef _WIN32
           // cmd.exe leaves wildcards to the program (wildcards_win32.cpp).
           "The wildcards * and ? in the last part of each PATH are expanded: the names they\n"
           "match are counted, sorted; a PATH that matches none is taken as a name. Paths in\n"
           "a list are taken as given.\n"
#endif
           "\n"
           "Options:\n"
           "  -                    Read NUL-separated paths from standard input.\n"
           "  --files0-from=LIST   Read NUL-separated paths from the file LIST (- is standard\n"
           "                       input). Paths in a list are UTF-8 on Windows.\n"
           "  -r, --recursive      Count a folder by the regular files in it and in its\n"
           "                       subfolders, in the order of their names' bytes; links,\n"
           "                       FIFOs, sockets, devices and other file systems are passed by.\n"
           "                       What Git would ignore there is passed by too: the rules of\n"
           "                       .gitignore files, .git/info/exclude and the global excludes\n"
           "                       file, those of .ignore files, and every .git. Files Git\n"
           "                       tracks are judged by the same rules: the index is not read.\n"
           "  --no-ignore          With -r, count every regular file, .git included.\n"
           "  -h, --help           Show this help and exit.\n"
           "  -v, --version        Show the version and exit.\n"
           "  --                   End of options: later arguments are paths, even those\n"
           "                       starting with -.\n"
           "\n"
           "Exit status: 0 when the line was printed, 1 on the program's own read or write\n"
           "error, 2 on a usage error.\n";
}

options parse_options(const std::vector<std::string>& args)
{
    options parsed;
    bool options_ended = false;
    bool from_stdin = false;
    for (auto arg = args.begin(); arg != args.end(); ++arg) {
        if (options_ended || !arg->starts_with('-')) {
            parsed.paths.push_back(*arg);
        } else if (*arg == "--") {
            options_ended = true;
        } else if (*arg == "-") {
            from_stdin = true;
        } else if (*arg == "-r" || *arg == "--recursive") {
            parsed.walk_folders = true;
        } else if (*arg == "--no-ignore") {
            parsed.skip_ignored = false;
        } else if (*arg == "-h" || *arg == "--help") {
            parsed.what = options::action::help;
        } else if (*arg == "-v" || *arg == "--version") {
            if (parsed.what != options::action::help)
                parsed.what = options::action::version;
        } else if (arg->starts_with(files0_from) && (arg->size() == files0_from.size() || (*arg)[files0_from.size()] == '=')) {
            // Both --files0-from=LIST and --files0-from LIST, as wc takes them.
            if (arg->size() > files0_from.size())
                parsed.list = arg->substr(files0_from.size() + 1);
            else if (std::next(arg) != args.end())
                parsed.list = *++arg;
            else
                return usage_error("option '--files0-from' needs a LIST");
            if (parsed.list->empty())
                return usage_error("option '--files0-from' needs a LIST");
        } else {
            return usage_error("unknown option '" + shown_name(*arg, name_form::reversible) + "'");
        }
    }
    if (parsed.what != options::action::count)
        return parsed;
    if (from_stdin && (parsed.list || !parsed.paths.empty()))
        return usage_error("'-' reads the paths from standard input and takes no others");
    if (parsed.list && !parsed.paths.empty())
        return usage_error("paths cannot be given beside --files0-from");
    if (from_stdin)
        parsed.list.emplace("-");
    if (!parsed.list && parsed.paths.empty())
        return usage_error("no paths given");
    return parsed;
}
