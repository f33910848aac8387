#pragma once

#include <cstdio>
#include <string>

// Standard input and output as bytes, as on POSIX: no CRLF translation, no end at ^Z.
#ifdef _WIN32
void use_binary_standard_streams();
#else
inline void use_binary_standard_streams() {}
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
