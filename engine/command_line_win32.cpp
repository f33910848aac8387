#include "command_line.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <shellapi.h>

#include <climits>
#include <cstdio>
#include <cwchar>
#include <new>

#include <fcntl.h>
#include <io.h>

namespace {

std::string utf8(const wchar_t* wide, DWORD flags)
{
    const std::size_t length = std::wcslen(wide);
    if (length == 0 || length > INT_MAX)
        return {};
    const int size = static_cast<int>(length);
    const int bytes = WideCharToMultiByte(CP_UTF8, flags, wide, size, nullptr, 0, nullptr, nullptr);
    if (bytes <= 0)
        return {};
    std::string text(static_cast<std::size_t>(bytes), '\0');
    WideCharToMultiByte(CP_UTF8, flags, wide, size, text.data(), bytes, nullptr, nullptr);
    return text;
}

} // namespace

// From GetCommandLineW rather than argv, which holds the arguments in the ANSI code page,
// with '?' for every character it lacks.
std::vector<std::string> command_line_arguments(int, char**)
{
    int count = 0;
    wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
    if (wide == nullptr)
        throw std::bad_alloc(); // its one way to fail
    std::vector<std::string> arguments;
    for (int i = 1; i < count; ++i) {
        std::string argument = utf8(wide[i], WC_ERR_INVALID_CHARS);
        // A name with a lone surrogate has no UTF-8 form. The lossy form would name another
        // file; with a byte that is never valid UTF-8 in front it fails to open instead.
        if (argument.empty() && wide[i][0] != L'\0')
            argument = "\xff" + utf8(wide[i], 0);
        arguments.push_back(std::move(argument));
    }
    LocalFree(wide);
    return arguments;
}

void use_binary_standard_streams()
{
    _setmode(_fileno(stdin), _O_BINARY);
    _setmode(_fileno(stdout), _O_BINARY);
}
