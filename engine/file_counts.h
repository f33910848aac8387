#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// The counts of many files, each a path (raw bytes) with its characters and lines, kept
// compactly: the paths end to end in one buffer, and 24 bytes a file beside them, so that a
// quarter of a million files take no allocation each and little more than their names.
class file_counts {
public:
    void push_back(std::string_view path, std::uint64_t characters, std::uint64_t lines);
    // Appends up to `most` of `other`'s files from index `from` on.
    void append(const file_counts& other, std::size_t from, std::size_t most = SIZE_MAX);
    // Forgets every file and gives the memory back.
    void clear();

    std::size_t size() const { return entries.size(); }
    bool empty() const { return entries.empty(); }
    std::string_view path(std::size_t index) const;
    std::uint64_t characters(std::size_t index) const { return entries[index].characters; }
    std::uint64_t lines(std::size_t index) const { return entries[index].lines; }

private:
    struct entry {
        std::uint64_t path_end; // the path runs from the previous entry's end to this one
        std::uint64_t characters;
        std::uint64_t lines;
    };
    static_assert(sizeof(entry) == 24);
    std::string paths;
    std::vector<entry> entries;
};
