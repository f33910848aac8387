#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// The paths waiting their turn, first in first out, stored end to end in one buffer (a
// length, the flags and the bytes of each), so that a long list costs little more than its
// bytes; the room of paths taken is given back as the queue drains.
class path_queue {
public:
    struct entry {
        std::string path;
        bool walk_folders = false; // a folder is to be counted by its files
        bool skip_ignored = false; // ... but those its ignore rules name
        bool utf8_characters = false; // characters are counted as UTF-8, not as bytes
    };

    void push(std::string_view path, bool walk_folders, bool skip_ignored = false, bool utf8_characters = false);
    // The first entry, taken out; the queue must not be empty.
    entry pop();
    bool empty() const { return head == bytes.size(); }
    std::size_t size() const { return count; }
    void clear();

private:
    std::string bytes;
    std::size_t head = 0; // where the first entry starts
    std::size_t count = 0;
};
