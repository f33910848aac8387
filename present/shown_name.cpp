#include "shown_name.h"

namespace {

// The length of the valid UTF-8 character that starts the bytes, or 0 when none does. Written
// out because the standard library has no UTF-8 check short of the deprecated codecvt.
std::size_t character_length(std::string_view bytes)
{
    const auto byte = [bytes](std::size_t at) { return static_cast<unsigned char>(bytes[at]); };
    const unsigned char lead = byte(0);
    if (lead < 0x80)
        return 1;
    // The second byte's range rules out overlong forms, surrogates and code points past U+10FFFF.
    std::size_t length = 0;
    unsigned char low = 0x80, high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80;
        high = lead == 0xED ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
    } else {
        return 0;
    }
    if (bytes.size() < length || byte(1) < low || byte(1) > high)
        return 0;
    for (std::size_t at = 2; at < length; ++at) {
        if (byte(at) < 0x80 || byte(at) > 0xBF)
            return 0;
    }
    return length;
}

bool is_control(std::string_view character)
{
    const auto lead = static_cast<unsigned char>(character[0]);
    if (character.size() == 1)
        return lead < 0x20 || lead == 0x7F;
    // U+0080 to U+009F, which some terminals take for escape sequences.
    return lead == 0xC2 && static_cast<unsigned char>(character[1]) <= 0x9F;
}

void append_escaped(std::string& out, std::string_view bytes)
{
    static constexpr char hex[] = "0123456789ABCDEF";
    for (const char byte : bytes) {
        const auto value = static_cast<unsigned char>(byte);
        out += "\\x";
        out += hex[value >> 4];
        out += hex[value & 0xF];
    }
}

} // namespace

std::string shown_name(std::string_view name, name_form form)
{
    std::string shown;
    shown.reserve(name.size());
    // In the reversible form a backslash waits until what follows it is known.
    bool backslash_waits = false;
    const auto flush_backslash = [&](bool ambiguous) {
        if (backslash_waits)
            shown += ambiguous ? "\\\\" : "\\";
        backslash_waits = false;
    };
    std::size_t at = 0;
    while (at < name.size()) {
        const std::size_t length = character_length(name.substr(at));
        const std::string_view character = name.substr(at, length == 0 ? 1 : length);
        at += character.size();
        if (length == 0 || is_control(character)) {
            flush_backslash(true);
            append_escaped(shown, character);
        } else if (character == "\\" && form == name_form::reversible) {
            flush_backslash(true);
            backslash_waits = true;
        } else {
            flush_backslash(character == "x");
            shown += character;
        }
    }
    flush_backslash(true);
    return shown;
}
