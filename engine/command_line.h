#pragma once

#include <string>
#include <vector>
#ifdef _WIN32
#include <string_view>
#endif

// pomvane-count's arguments after the program's name: the raw bytes on POSIX, UTF-8 on
// Windows, where the system keeps them in UTF-16.
#ifdef _WIN32
std::vector<std::string> command_line_arguments(int argc, char** argv);
// The UTF-8 form of a UTF-16 path, as the engine takes it. A name that is not valid UTF-16
// (an unpaired surrogate, which NTFS allows) has no UTF-8 form: it becomes the empty path,
// which fails to open, rather than a lossy form that could name another file.
std::string utf8_path(std::wstring_view path);
// Standard input and output as bytes, as on POSIX: no CRLF translation, no end at ^Z.
void use_binary_standard_streams();
#else
inline std::vector<std::string> command_line_arguments(int argc, char** argv)
{
    return {argv + 1, argv + argc};
}
inline void use_binary_standard_streams() {}
#endif
