#pragma once

#include <cstdint>

// Why a path could not be counted, as data: which kind of failure, and its numbers. The
// words people read are written once, outside the engine (present/failure_text.h), so that
// each front end can word them in the person's language.
struct failure_reason {
    enum kind : std::uint8_t {
        none,
        missing,            // no such file or folder, a dangling link included
        system_error,       // any other refusal of the system: `code`
        is_a_folder,        // a folder given while folders are not walked
        not_a_regular_file, // a FIFO, socket or device
        read_error,         // reading failed after `bytes` bytes, with the system's `code`
        shortened,          // the file ended after `bytes` bytes, before the size it had when opened
        would_block,        // a read that would have waited for data that may never come
        file_system_loop,   // a folder met again below itself
        name_not_unicode,   // a name with no UTF-8 form (Windows)
        moved_while_walked, // a folder whose way back moved: the rest of it is not walked
        ignore_rules_unread, // an ignore file there but unreadable: a walk went on without its rules
    };
    kind what = none;
    std::uint32_t code = 0;  // the system's error number (errno, GetLastError())
    std::uint64_t bytes = 0; // read_error, shortened: the bytes read before it

    // The kind a system error number stands for, with the number kept.
    static failure_reason system(unsigned long code);
    static failure_reason read_failed(std::uint64_t bytes, unsigned long code)
    {
        return {read_error, static_cast<std::uint32_t>(code), bytes};
    }
    static failure_reason cut_short(std::uint64_t bytes) { return {shortened, 0, bytes}; }

    explicit operator bool() const { return what != none; }
    bool operator==(const failure_reason&) const = default;
};
