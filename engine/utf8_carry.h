#pragma once

// What one piece of a stream hands to the next when counting UTF-8 characters (utf8_count.h):
// the stream's last three bytes so far, oldest first, zero before the stream starts (a zero
// byte leaves no sequence open). Value-initialise one per stream.
struct utf8_carry {
    unsigned char last[3] = {};
};
