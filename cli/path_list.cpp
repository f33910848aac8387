#include "path_list.h"

#include <algorithm>
#include <cstring>

void path_list::read(std::vector<std::string>& paths, std::size_t most)
{
    for (std::size_t taken = 0; taken < most;) {
        if (position == end) {
            if (at_end || read_error)
                return;
            end = std::fread(block.get(), 1, block_size, input);
            position = 0;
            if (end == 0) {
                read_error = std::ferror(input) != 0;
                at_end = true;
                if (!read_error && !partial.empty()) {
                    paths.push_back(std::move(partial));
                    partial.clear();
                }
                return;
            }
        }
        const char* const start = block.get() + position;
        const auto* nul = static_cast<const char*>(std::memchr(start, '\0', end - position));
        const std::size_t length = nul ? static_cast<std::size_t>(nul - start) : end - position;
        partial.append(start, std::min(length, max_path + 1 - partial.size())); // never past max_path + 1
        position += length;
        if (nul) {
            ++position;
            paths.push_back(std::move(partial));
            partial.clear();
            ++taken;
        }
    }
}
