#pragma once

#include <cstdio>
#include <string>
#include <vector>

#ifdef _WIN32
// Standard input and output as bytes, as on POSIX: no CRLF translation, no end at ^Z.
void use_binary_standard_streams();
// Each path whose last part holds `*` or `?` replaced by the names it matches, sorted, as
// the Windows C runtime's wildcard option does; one that matches nothing stays as it is.
// On POSIX the shell has done this.
std::vector<std::string> expand_wildcards(const std::vector<std::string>& paths);
#else
inline void use_binary_standard_streams() {}
inline std::vector<std::string> expand_wildcards(const std::vector<std::string>& paths) { return paths; }
#endif

// Opens the file at a path given on the command line (UTF-8 on Windows) for reading as bytes;
// null with errno set when it cannot.
#ifdef _WIN32
std::FILE* open_for_reading(const std::string& path);
#else
inline std::FILE* open_for_reading(const std::string& path)
{
    return std::fopen(path.c_str(), "rb");
}
#endif
