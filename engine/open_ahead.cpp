#include "open_ahead.h"
#include "lib/os.h"

#include <algorithm>
#include <iterator>

open_ahead::open_ahead(bool at_once)
    : depth(std::min(wanted, lib::os::open_files_limit() / 8)), is_active(at_once)
{
}

std::vector<std::string> open_ahead::plan(position cursor, position end)
{
    std::vector<std::string> paths;
    if (!is_active)
        return paths;
    // The front, if any, is the cursor's, about to be taken: it does not count against depth.
    const std::size_t held = files.empty() ? 0 : files.size() - 1;
    for (auto next = std::next(files.empty() ? cursor : last); next != end && held + paths.size() < depth; ++next) {
        paths.push_back(*next);
        last = next;
    }
    return paths;
}

input_file open_ahead::take()
{
    input_file file = std::move(files.front());
    files.pop_front();
    return file;
}
