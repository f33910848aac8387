#include "paths.h"

#include <climits>

std::string to_utf8(std::wstring_view path)
{
    if (path.empty() || path.size() > INT_MAX)
        return {};
    const int length = static_cast<int>(path.size());
    const int size = WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, path.data(), length,
                                         nullptr, 0, nullptr, nullptr);
    if (size <= 0)
        return {};
    std::string utf8(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, path.data(), length, utf8.data(), size,
                        nullptr, nullptr);
    return utf8;
}

std::vector<std::string> dropped_paths(HDROP drop)
{
    const UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
    std::vector<std::string> paths;
    paths.reserve(count);
    std::wstring path;
    for (UINT i = 0; i < count; ++i) {
        // Asked for its length first, so that no path is cut at MAX_PATH.
        const UINT length = DragQueryFileW(drop, i, nullptr, 0);
        if (length == 0)
            continue;
        path.resize(length + 1);
        if (DragQueryFileW(drop, i, path.data(), length + 1) != length)
            continue;
        path.resize(length);
        paths.push_back(to_utf8(path));
    }
    return paths;
}

std::vector<std::string> command_line_paths()
{
    int count = 0;
    wchar_t** arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    if (!arguments)
        return {};
    std::vector<std::string> paths;
    for (int i = 1; i < count; ++i)
        paths.push_back(to_utf8(arguments[i]));
    LocalFree(arguments);
    return paths;
}
