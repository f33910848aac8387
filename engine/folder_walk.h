#pragma once

#include "engine/folder_listing.h"
#include "engine/open_ahead.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// Where a worker is in walking a folder: depth first, each folder's entries in the byte order
// of their names, so that every run takes the same order. One level per folder from the root
// (the folder given) down to the deepest entered; each level holds its folder's names, read
// whole when it was entered, and nothing else is read ahead. Entries are opened relative to
// their level's open folder, never by their paths, which are kept for display only, so the
// walk reaches any depth; only the deepest levels keep their folders open, so that a deep
// tree holds a bounded number of descriptors. Owned and used by one worker only.
class folder_walk {
public:
    // The entries of one folder, gathered while it is read.
    class level {
    public:
        level(std::string path, std::uint64_t device, std::uint64_t inode)
            : path(std::move(path)), device(device), inode(inode)
        {
        }
        void add(const std::string& name, folder_listing::type type);
        std::size_t size() const { return starts.size(); }
        // The type of the entry of this name, if one was added.
        std::optional<folder_listing::type> type_of(std::string_view name) const;
        // Drops the entries keep(name, type) refuses; before sort().
        void keep_only(const std::function<bool(std::string_view, folder_listing::type)>& keep);
        // Puts the entries in the byte order of their names while keep_going() holds, which
        // is asked every few thousand comparisons, so that a stop need not wait for a huge
        // folder's sort. False when it did not.
        bool sort(const std::function<bool()>& keep_going);
        // The folder, open, that its entries are opened relative to.
        shared_folder opened;

    private:
        friend class folder_walk;
        bool finished() const { return next == starts.size(); }
        std::string path;
        std::uint64_t device;
        std::uint64_t inode;
        std::string names; // each entry as its type, its name and a NUL, end to end
        std::vector<std::size_t> starts; // where each entry starts in names; sorted on entering
        std::size_t next = 0;
    };

    struct entry {
        std::string path; // for display: the entry is opened as `name` in `folder`
        std::size_t name_at = 0; // where its name starts in path
        folder_listing::type type = folder_listing::regular_file;
        shared_folder folder;

        std::string name() const { return path.substr(name_at); }
    };

    // A folder whose remaining entries the walk gave up, because it could not get back to
    // it (reopen_above failed), with the reason and how many entries it dropped.
    struct given_up {
        std::string path;
        failure_reason reason;
        std::size_t entries;
    };

    // Keeps the folders of the 32 deepest levels open, fewer where the process may open fewer
    // than 1,024 files; a usual tree is never deeper, so only deeper ones reopen folders.
    folder_walk();

    // Whether a walk is under way, though its entries may all have been taken.
    bool active() const { return !levels.empty(); }
    // How many levels are here: those on the way down to the entries to be taken next, and
    // finished ones that have not left yet.
    std::size_t depth() const { return levels.size(); }
    // The device of the root: folders on another are not entered.
    std::uint64_t device = 0;
    // Whether the folder of this inode (of the walk's device) is an ancestor of the entries
    // taken: met again below itself, it would be walked for ever.
    bool is_ancestor(std::uint64_t inode) const;
    // Makes the folder read and sorted the deepest level, its entries to be taken next; the
    // folder of a level now too far above the deepest is closed. Closing may block.
    void enter(level&& read);
    // The levels whose entries have all been taken leave, deepest first: the one above is
    // reopened first when its folder was closed. Where that fails, the walk gives up that
    // level and those above it, which could only be reached by paths: returned, with their
    // dropped entries. May block (reopening, closing).
    std::vector<given_up> leave_finished();
    // Takes the next entry of the deepest level; false when there is none (the walk ended
    // once the finished levels left).
    bool next(entry& taken);
    // The files to be taken next, after the first `skip` of them, at most `count`, each by
    // its name in its open folder: those of the deepest folder up to its next subfolder,
    // whose own come first.
    std::vector<open_ahead::target> files_ahead(std::size_t skip, std::size_t count) const;
    // Ends the walk, closing every folder it holds. May block.
    void clear() noexcept { levels.clear(); }

private:
    // A level stays until an entry is asked for after its last was taken, so that the
    // folders on the way down to the one entered are all here for is_ancestor() to see.
    std::vector<level> levels;
    std::size_t kept_open;
};
