#pragma once

#include <string>
#include <vector>

// pomvane-count's arguments after the program's name: the raw bytes on POSIX, UTF-8 on
// Windows, where the system keeps them in UTF-16.
#ifdef _WIN32
std::vector<std::string> command_line_arguments(int argc, char** argv);
// Standard input and output as bytes, as on POSIX: no CRLF translation, no end at ^Z.
void use_binary_standard_streams();
#else
inline std::vector<std::string> command_line_arguments(int argc, char** argv)
{
    return {argv + 1, argv + argc};
}
inline void use_binary_standard_streams() {}
#endif
