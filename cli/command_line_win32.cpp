#include "command_line.h"

#include "lib/paths.h"

#include <cerrno>
#include <cstdio>

#include <fcntl.h>
#include <io.h>

void use_binary_standard_streams()
{
    _setmode(_fileno(stdin), _O_BINARY);
    _setmode(_fileno(stdout), _O_BINARY);
}

std::FILE* open_for_reading(const std::string& path)
{
    const std::wstring name = lib::to_utf16(path);
    if (name.empty()) {
        errno = ENOENT; // not valid UTF-8: no file has that name
        return nullptr;
    }
    return _wfopen(name.c_str(), L"rb");
}
