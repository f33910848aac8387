#include "command_line.h"

void use_binary_standard_streams()
{
}

std::vector<std::string> expand_wildcards(const std::vector<std::string>& paths)
{
    return paths;
}

std::FILE* open_for_reading(const std::string& path)
{
    return std::fopen(path.c_str(), "rb");
}
