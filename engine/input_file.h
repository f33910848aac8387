#pragma once

#include "engine/failure.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>

// One file opened for reading, and only ever a regular file: the path is looked at before
// it is opened, because opening has effects of its own on anything else (a FIFO's waiting
// writer is released, a tape rewinds, a serial line raises its modem lines). Then the open
// descriptor is checked to be that same regular file, so that a path swapped in between is
// not trusted either. Never blocks on opening; other processes may go on reading and writing
// the file. One implementation per platform: input_file_posix.cpp with input_file_linux.cpp
// (or input_file_plain_posix.cpp on other POSIX systems), input_file_win32.cpp.
class input_file {
public:
    input_file() = default;
    input_file(input_file&& other) noexcept
        : native(other.native), bytes(other.bytes), failure(std::move(other.failure))
    {
        other.native = -1;
    }
    input_file& operator=(input_file&& other) noexcept
    {
        if (this != &other) {
            close();
            native = other.native;
            bytes = other.bytes;
            failure = std::move(other.failure);
            other.native = -1;
        }
        return *this;
    }
    input_file(const input_file&) = delete;
    input_file& operator=(const input_file&) = delete;
    ~input_file() { close(); }

    // Opens path (raw bytes, used whole) when it names a readable regular file; false
    // otherwise, a path with an embedded NUL included. Closes what was open before.
    bool open(const std::string& path);
    // The same for the entry `name` of an open folder (a POSIX descriptor or a Win32 HANDLE:
    // open_folder's), which the folder's listing found a regular file, as a folder walk opens
    // its files: no link is followed, so that an entry swapped for one since it was listed
    // fails as not_a_regular_file, as anything but a regular file does, and reads nothing
    // outside the folder.
    bool open_at(std::intptr_t folder, const std::string& name);
    // Why the last open() or read() failed; none after a success. A read's failure is a read
    // that would block, or carries the system's error alone: the caller knows how far it got.
    const failure_reason& error() const { return failure; }
    bool is_open() const { return native != -1; }
    // The size the file had when it was opened; 0 for files that do not know theirs
    // (those under /proc), which are read until a read returns nothing.
    std::uint64_t size() const { return bytes; }
    // Bytes read into buffer, 0 at the end, -1 on a read error or where the read would wait
    // for data (would_block): it never waits for any. Interrupted reads are retried.
    std::int64_t read(char* buffer, std::size_t size);
    // As read(), but takes only what is already in memory: returns not_cached, having read
    // nothing, when the data would have to come from the disk. Where the system cannot tell
    // (Windows, POSIX systems other than Linux): read().
    static constexpr std::int64_t not_cached = -2;
    std::int64_t read_cached(char* buffer, std::size_t size);
    // Whether the file is now shorter than size(): cut short since it was opened, or its
    // size could not be learnt again. Not so for a file whose size is only nominal (sysfs
    // gives 4096 bytes for attributes that hold a few), which ends before it.
    bool shrank();
    // Asks for the file's first `length` bytes to be fetched into memory in the background,
    // where the system takes such a request (Linux).
    void advise_willneed(std::uint64_t length);
    // Maps `length` bytes from `offset`, a multiple of the page size, read-only, but only when
    // every page of them is in memory now, so that touching them waits for no disk and no
    // mount; null otherwise, on a file system that is not on a local device (a network or
    // FUSE mount), when the file cannot be mapped, and wherever the system cannot tell what
    // is in memory (Windows, POSIX systems other than Linux: those files are read). unmap()
    // undoes it. A page the file loses while mapped (truncated) raises SIGBUS when touched:
    // see lib/fault_guard.h.
    const char* map_cached(std::uint64_t offset, std::size_t length);
    static void unmap(const char* data, std::size_t length);
    // Where read() goes on from; false, with error(), when it cannot be set.
    bool seek(std::uint64_t offset);
    void close();

private:
    // A POSIX descriptor or a Win32 HANDLE; -1 (INVALID_HANDLE_VALUE) when nothing is open.
    std::intptr_t native = -1;
    std::uint64_t bytes = 0;
    failure_reason failure;
};
