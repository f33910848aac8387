#include "commandline.h"

#include "version.h"

#include "lib/paths.h"
#include "present/shown_name.h"
#include "present/window_options.h"

#include <cstdio>
#include <filesystem>
#include <system_error>

namespace {

std::string absolute(const std::string &path, const std::string &folder)
{
    if (path.empty() || path.front() == '/' || folder.empty())
        return path;
    return folder.back() == '/' ? folder + path : folder + '/' + path;
}

} // namespace

std::optional<int> CommandLine::parse(int argc, char *argv[])
{
    // The arguments as bytes, so that file names not valid in the locale's encoding come
    // through whole.
    const window_options given = parse_window_options(lib::command_line_arguments(argc, argv));
    switch (given.what) {
    case window_options::action::usage_error: {
        const std::string help = window_help("pomvane");
        std::fprintf(stderr, "pomvane: %s\n%sTry 'pomvane --help' for more.\n", given.error.c_str(),
                     help.substr(0, help.find('\n') + 1).c_str());
        return 2;
    }
    case window_options::action::help:
        std::fputs(window_help("pomvane").c_str(), stdout);
        return 0;
    case window_options::action::version:
        std::printf("pomvane %s\n", POMVANE_VERSION_SHORT);
        return 0;
    case window_options::action::open:
        break;
    }
    wantsNewWindow = given.new_window;
    wantsWalk = given.walk_folders;

    std::error_code error;
    const std::string folder = std::filesystem::current_path(error).string();
    for (const std::string &path : given.files) {
        if (error && !path.empty() && path.front() != '/') {
            // Passed on as it stands, a relative name would be looked up in another process's
            // folder and could count the wrong file.
            std::fprintf(stderr, "pomvane: cannot make %s absolute: %s\n", shown_name(path).c_str(),
                         error.message().c_str());
            return 1;
        }
        fileList.push_back(absolute(path, folder));
    }
    return std::nullopt;
}
