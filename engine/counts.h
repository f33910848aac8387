#pragma once

#include "engine/utf8_carry.h"

#include <cstddef>
#include <cstdint>

// What counting a stretch of a file found. A file is counted a stretch at a time (a read, a
// mapped window, a block of one), each stretch right after the one before; join() adds the
// next one on, and what the whole file gives is read from the sum.
//
// `bytes` says how far the stretch reaches in the file (progress, the size check, "read
// error after N bytes"); characters() is what people are shown: the bytes, or with
// utf8_characters the UTF-8 characters (utf8_count.h says which bytes make one). A count
// that depends on what came before (the decoder's state, for a character split between two
// stretches) lives here beside `last`: handed to the counting of the next stretch, and
// taken from the later stretch by join().
struct counts {
    std::uint64_t bytes = 0;
    std::uint64_t line_feeds = 0;
    char last = 0; // the stretch's last byte, when it has any
    bool utf8_characters = false; // characters() are UTF-8 characters, not bytes
    std::uint64_t utf8_count = 0; // with utf8_characters
    utf8_carry carry; // with utf8_characters: the decoder's state after the stretch

    // The counts of data[0, size), which holds line_feeds LFs: the one place that reads a
    // stretch's last byte.
    static counts of(const char* data, std::size_t size, std::uint64_t line_feeds) noexcept
    {
        return {size, line_feeds, size > 0 ? data[size - 1] : '\0', false, 0, {}};
    }

    // This stretch followed by `later`.
    void join(const counts& later) noexcept
    {
        if (later.bytes > 0) {
            last = later.last;
            carry = later.carry;
        }
        bytes += later.bytes;
        line_feeds += later.line_feeds;
        utf8_count += later.utf8_count;
    }

    std::uint64_t characters() const noexcept { return utf8_characters ? utf8_count : bytes; }
    // A last line without a final LF still counts; an empty file has none.
    std::uint64_t lines() const noexcept { return line_feeds + (bytes > 0 && last != '\n' ? 1 : 0); }
};
