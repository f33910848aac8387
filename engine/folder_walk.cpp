#include "folder_walk.h"
#include "lib/os.h"

#include <algorithm>
#include <cstring>

folder_walk::folder_walk()
    // A thirty-second of the limit, but always the deepest level and the one above it,
    // whose entries the walk comes back to.
    : kept_open(std::clamp<std::size_t>(lib::os::open_files_limit() / 32, 2, 32))
{
}

void folder_walk::level::add(const std::string& name, folder_listing::type type)
{
    starts.push_back(names.size());
    names.push_back(static_cast<char>(type));
    names.append(name);
    names.push_back('\0'); // no name holds a NUL, on any platform
}

std::optional<folder_listing::type> folder_walk::level::type_of(std::string_view name) const
{
    for (const std::size_t at : starts)
        if (std::string_view(names.data() + at + 1) == name)
            return static_cast<folder_listing::type>(names[at]);
    return std::nullopt;
}

void folder_walk::level::keep_only(const std::function<bool(std::string_view, folder_listing::type)>& keep)
{
    // The names dropped stay in `names` until the level leaves: cheaper than moving them.
    std::erase_if(starts, [&](std::size_t at) {
        return !keep(names.data() + at + 1, static_cast<folder_listing::type>(names[at]));
    });
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

bool folder_walk::is_ancestor(std::uint64_t inode) const
{
    return inode != 0
           && std::any_of(levels.begin(), levels.end(), [inode](const level& open) { return open.inode == inode; });
}

void folder_walk::enter(level&& read)
{
    levels.push_back(std::move(read));
    if (levels.size() > kept_open)
        levels[levels.size() - 1 - kept_open].opened.reset();
}

std::vector<folder_walk::given_up> folder_walk::leave_finished()
{
    std::vector<given_up> lost;
    failure_reason cut_off; // why the levels still here cannot be reached any more
    while (!levels.empty() && (cut_off || levels.back().finished())) {
        level& deepest = levels.back(); // open: the deepest always is
        if (!cut_off && levels.size() > 1 && levels[levels.size() - 2].opened == nullptr) {
            level& above = levels[levels.size() - 2];
            above.opened =
                folder_listing::reopen_above(*deepest.opened, above.path, above.device, above.inode, cut_off);
        }
        if (cut_off && !deepest.finished())
            lost.push_back({std::move(deepest.path), cut_off, deepest.size() - deepest.next});
        levels.pop_back();
    }
    return lost;
}

bool folder_walk::next(entry& taken)
{
    if (levels.empty() || levels.back().finished())
        return false;
    level& deepest = levels.back();
    const char* const at = deepest.names.data() + deepest.starts[deepest.next++];
    taken.path = folder_listing::join(deepest.path, at + 1);
    taken.name_at = taken.path.size() - std::strlen(at + 1);
    taken.type = static_cast<folder_listing::type>(at[0]);
    taken.folder = deepest.opened;
    return true;
}

std::vector<open_ahead::target> folder_walk::files_ahead(std::size_t skip, std::size_t count) const
{
    std::vector<open_ahead::target> files;
    if (levels.empty())
        return files;
    const level& deepest = levels.back();
    for (std::size_t i = deepest.next; i < deepest.starts.size() && files.size() < count; ++i) {
        const char* const at = deepest.names.data() + deepest.starts[i];
        const auto type = static_cast<folder_listing::type>(at[0]);
        if (type == folder_listing::folder)
            break;
        if (type != folder_listing::regular_file)
            continue;
        if (skip > 0)
            --skip;
        else
            files.push_back({deepest.opened, at + 1});
    }
    return files;
}
