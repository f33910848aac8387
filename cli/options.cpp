#include "options.h"

#include "present/shown_name.h"

namespace {

constexpr std::string_view files0_from = "--files0-from";
constexpr std::string_view format_option = "--format=";
constexpr std::string_view total_option = "--total=";

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
    return "usage: pomvane-count [-mr] [--no-ignore] [OUTPUT] [--] PATH...\n"
           "       pomvane-count [-mr] [--no-ignore] [OUTPUT] -\n"
           "       pomvane-count [-mr] [--no-ignore] [OUTPUT] --files0-from=LIST\n"
           "OUTPUT: --by-file, --format=csv|json|ndjson, --total=auto|always|only|never\n";
}

std::string help_text()
{
    return std::string(usage_text()) +
           "Counts the files given, the characters (bytes, or UTF-8 characters with -m) and\n"
           "the lines they hold, and prints one line: files=N failed=N characters=N lines=N\n"
           "(after a line for each file, if asked). Names in file lines are written as in the\n"
           "failure lines.\n"
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
           "  -m, --chars          Count UTF-8 characters instead of bytes: each maximal part\n"
           "                       that is not valid UTF-8 is one character, as U+FFFD\n"
           "                       replaces it; a byte-order mark is one character.\n"
           "  -r, --recursive      Count a folder by the regular files in it and in its\n"
           "                       subfolders, in the order of their names' bytes; links,\n"
           "                       FIFOs, sockets, devices and other file systems are passed by.\n"
           "                       What Git would ignore there is passed by too: the rules of\n"
           "                       .gitignore files, .git/info/exclude and the global excludes\n"
           "                       file, those of .ignore files, and every .git. Files Git\n"
           "                       tracks are judged by the same rules: the index is not read.\n"
           "  --no-ignore          With -r, count every regular file, .git included.\n"
           "  --by-file            Also print a line for each file as it is counted:\n"
           "                       CHARACTERS LINES PATH, then the totals line as --total says.\n"
           "  --format=FORMAT      Print each file as it is counted, counted or failed, as\n"
           "                       csv (path,characters,lines,failed), json (one document)\n"
           "                       or ndjson (an object a line, then a totals object).\n"
           "  --total=WHEN         When to print the totals line after the files' lines: auto\n"
           "                       (when more than one file was counted or failed), always,\n"
           "                       only (no file lines: the default without --by-file) or\n"
           "                       never. Any but only implies --by-file. Not with --format.\n"
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
    bool by_file = false;
    std::optional<options::format> format;
    std::optional<options::total> total;
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
        } else if (*arg == "-m" || *arg == "--chars") {
            parsed.utf8_characters = true;
        } else if (*arg == "--by-file") {
            by_file = true;
        } else if (arg->starts_with(format_option)) {
            const std::string_view value = std::string_view(*arg).substr(format_option.size());
            if (value == "csv")
                format = options::format::csv;
            else if (value == "json")
                format = options::format::json;
            else if (value == "ndjson")
                format = options::format::ndjson;
            else
                return usage_error("--format takes csv, json or ndjson");
        } else if (arg->starts_with(total_option)) {
            const std::string_view value = std::string_view(*arg).substr(total_option.size());
            if (value == "auto")
                total = options::total::automatic;
            else if (value == "always")
                total = options::total::always;
            else if (value == "only")
                total = options::total::only;
            else if (value == "never")
                total = options::total::never;
            else
                return usage_error("--total takes auto, always, only or never");
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
    if (format && total)
        return usage_error("--total is for the text lines, not --format");
    if (format)
        parsed.output = *format;
    else if (total ? *total != options::total::only : by_file)
        parsed.output = options::format::lines;
    parsed.totals = total.value_or(options::total::automatic);
    if (from_stdin)
        parsed.list.emplace("-");
    if (!parsed.list && parsed.paths.empty())
        return usage_error("no paths given");
    return parsed;
}
