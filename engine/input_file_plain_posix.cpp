// POSIX systems other than Linux (the BSDs, macOS): no read that takes only what is in
// memory, no read-ahead asked for, no mapping; every file is read.

#include "input_file.h"

std::int64_t input_file::read_cached(char* buffer, std::size_t size)
{
    return read(buffer, size);
}

void input_file::advise_willneed(std::uint64_t)
{
}

const char* input_file::map_cached(std::uint64_t, std::size_t)
{
    return nullptr;
}
