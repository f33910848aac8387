#pragma once

#include <cstdio>
#include <string>
#include <vector>

// Standard input and output as bytes: no CRLF translation, no end at ^Z on Windows; nothing
// to do on POSIX.
void use_binary_standard_streams();
// Each path whose last part holds `*` or `?` replaced by the names it matches, sorted, as
// the Windows C runtime's wildcard option does; one that matches nothing stays as it is.
// On POSIX the shell has done this: the paths come back as they are.
std::vector<std::string> expand_wildcards(const std::vector<std::string>& paths);

// Opens the file at a path given on the command line (UTF-8 on Windows) for reading as bytes;
// null with errno set when it cannot. One implementation per platform:
// command_line_posix.cpp, command_line_win32.cpp with wildcards_win32.cpp.
std::FILE* open_for_reading(const std::string& path);
