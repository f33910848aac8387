#pragma once

#include <cstddef>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

// A NUL-separated list of paths, read from a stream a block at a time, so that a list of any
// length, or one path of any length, takes bounded memory. A last path without its NUL still
// counts; an empty input holds none.
class path_list {
public:
    explicit path_list(std::FILE* input) : input(input) {}

    // Appends up to `most` further paths to `paths`; appends none at the end of the list or
    // on a read error, which failed() then tells apart (with errno set by the read).
    void read(std::vector<std::string>& paths, std::size_t most);
    bool failed() const { return read_error; }

    // No system opens a path longer than this (Windows' 32,767 UTF-16 units take at most
    // 96 KiB of UTF-8): a longer one keeps only its first max_path + 1 bytes, still too long
    // to open, so that it fails as it would whole.
    static constexpr std::size_t max_path = 128 * 1024;

private:
    static constexpr std::size_t block_size = 64 * 1024;

    std::FILE* input;
    std::unique_ptr<char[]> block = std::make_unique<char[]>(block_size);
    std::size_t position = 0;
    std::size_t end = 0;
    std::string partial; // the path being read, up to max_path + 1 bytes
    bool at_end = false;
    bool read_error = false;
};
