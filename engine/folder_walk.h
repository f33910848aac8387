#pragma once

#include "engine/folder_listing.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

// Where a worker is in walking a folder: depth first, each folder's entries in the byte order
// of their names, so that every run takes the same order. One level per folder from the one
// given down to the deepest entered; each level holds its folder's names, read whole when it
// was entered, and nothing else is read ahead. Owned and used by one worker only.
class folder_walk {
public:
    // The entries of one folder, gathered while it is read.
    class level {
    public:
        level(std::string path, std::uint64_t inode) : folder(std::move(path)), inode(inode) {}
        void add(const std::string& name, folder_listing::kind what);
        std::size_t size() const { return starts.size(); }
        // Puts the entries in the byte order of their names while keep_going() holds, which
        // is asked every few thousand comparisons, so that a stop need not wait for a huge
        // folder's sort. False when it did not.
        bool sort(const std::function<bool()>& keep_going);

    private:
        friend class folder_walk;
        std::string folder;
        std::uint64_t inode;
        std::string names; // each entry as its kind, its name and a NUL, end to end
        std::vector<std::size_t> starts; // where each entry starts in names; sorted on entering
        std::size_t next = 0;
    };

    struct entry {
        std::string path;
        folder_listing::kind what;
    };

    // Whether a walk is under way, though its entries may all have been taken.
    bool active() const { return !levels.empty(); }
    // The device of the folder given: folders on another are not entered.
    std::uint64_t device = 0;
    // Whether the folder of this inode (of the walk's device) is being walked: met again
    // below itself, it would be walked for ever.
    bool walking(std::uint64_t inode) const;
    // Makes the folder read and sorted the deepest level, its entries to be taken next.
    void enter(level&& read);
    // Takes the next entry; false when the walk has ended.
    bool next(entry& taken);
    // The paths of the files to be taken next, after the first `skip` of them, at most
    // `count`: those of the deepest folder up to its next subfolder, whose own come first.
    std::vector<std::string> files_ahead(std::size_t skip, std::size_t count) const;
private:
    // A level stays until an entry is asked for after its last was taken, so that the
    // folders on the way down to the one entered are all here for walking() to see.
    std::vector<level> levels;
};
