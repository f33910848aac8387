#include "file_counts.h"

#include <algorithm>

void file_counts::push_back(std::string_view path, std::uint64_t characters, std::uint64_t lines)
{
    paths += path;
    entries.push_back({paths.size(), characters, lines});
}

void file_counts::append(const file_counts& other, std::size_t from, std::size_t most)
{
    if (from >= other.size())
        return;
    const std::size_t end = from + std::min(most, other.size() - from);
    entries.reserve(entries.size() + (end - from));
    for (std::size_t index = from; index < end; ++index)
        push_back(other.path(index), other.characters(index), other.lines(index));
}

void file_counts::clear()
{
    std::string().swap(paths);
    std::vector<entry>().swap(entries);
}

std::string_view file_counts::path(std::size_t index) const
{
    const std::size_t begin = index == 0 ? 0 : entries[index - 1].path_end;
    return std::string_view(paths).substr(begin, entries[index].path_end - begin);
}
