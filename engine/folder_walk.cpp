#include "folder_walk.h"

#include <algorithm>
#include <cstring>

void folder_walk::level::add(const std::string& name, folder_listing::kind what)
{
    starts.push_back(names.size());
    names.push_back(static_cast<char>(what));
    names.append(name);
    names.push_back('\0'); // no name holds a NUL, on any platform
}

bool folder_walk::level::sort(const std::function<bool()>& keep_going)
{
    // std::sort leaves a permutation behind when a comparison throws: the way out of it.
    struct stopped {};
    const char* const all = names.data();
    std::uint32_t comparisons = 0;
    try {
        // strcmp compares as unsigned char: the byte order of the names.
        std::sort(starts.begin(), starts.end(), [&](std::size_t a, std::size_t b) {
            if (++comparisons % 4096 == 0 && !keep_going())
                throw stopped{};
            return std::strcmp(all + a + 1, all + b + 1) < 0;
        });
    } catch (const stopped&) {
        return false;
    }
    return true;
}

bool folder_walk::walking(std::uint64_t inode) const
{
    return inode != 0
           && std::any_of(levels.begin(), levels.end(), [inode](const level& open) { return open.inode == inode; });
}

void folder_walk::enter(level&& read)
{
    levels.push_back(std::move(read));
}

bool folder_walk::next(entry& taken)
{
    while (!levels.empty() && levels.back().next == levels.back().starts.size())
        levels.pop_back();
    if (levels.empty())
        return false;
    level& deepest = levels.back();
    const char* const at = deepest.names.data() + deepest.starts[deepest.next++];
    taken = {folder_listing::path_of(deepest.folder, at + 1), static_cast<folder_listing::kind>(at[0])};
    return true;
}

std::vector<std::string> folder_walk::files_ahead(std::size_t skip, std::size_t count) const
{
    std::vector<std::string> paths;
    if (levels.empty())
        return paths;
    const level& deepest = levels.back();
    for (std::size_t i = deepest.next; i < deepest.starts.size() && paths.size() < count; ++i) {
        const char* const at = deepest.names.data() + deepest.starts[i];
        const auto what = static_cast<folder_listing::kind>(at[0]);
        if (what == folder_listing::folder)
            break;
        if (what != folder_listing::file)
            continue;
        if (skip > 0)
            --skip;
        else
            paths.push_back(folder_listing::path_of(deepest.folder, at + 1));
    }
    return paths;
}
