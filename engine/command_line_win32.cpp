#include "command_line.h"

#include <windows.h>

#include <shellapi.h>

#include <climits>
#include <cstdio>
#include <new>

#include <fcntl.h>
#include <io.h>

std::string utf8_path(std::wstring_view path)
{
    if (path.empty() || path.size() > INT_MAX)
        return {};
    const int length = static_cast<int>(path.size());
    const int size = WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, path.data(), length, nullptr, 0,
                                         nullptr, nullptr);
    if (size <= 0)
        return {};
    std::string utf8(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, path.data(), length, utf8.data(), size, nullptr, nullptr);
    return utf8;
}

// From GetCommandLineW rather than argv, which holds the arguments in the ANSI code page,
// with '?' for every character it lacks.
std::vector<std::string> command_line_arguments(int, char**)
{
    int count = 0;
    wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
    if (wide == nullptr)
        throw std::bad_alloc(); // its one way to fail
    std::vector<std::string> arguments;
    for (int i = 1; i < count; ++i)
        arguments.push_back(utf8_path(wide[i]));
    LocalFree(wide);
    return arguments;
}

void use_binary_standard_streams()
{
    _setmode(_fileno(stdin), _O_BINARY);
    _setmode(_fileno(stdout), _O_BINARY);
}
