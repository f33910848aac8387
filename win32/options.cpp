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

window_options parse_options(const std::vector<std::string>& arguments)
{
    window_options given = parse_window_options(arguments);
    for (std::string& file : given.files)
        file = absolute(file);
    return given;
}
