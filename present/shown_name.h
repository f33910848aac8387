#pragma once

#include <string>
#include <string_view>

// How a name is written: as the windows show it, or reversibly, as the tool writes it for
// scripts.
enum class name_form {
    shown,      // backslashes as they are: Windows paths are made of them
    reversible, // a backslash that could be taken for an escape doubled
};

// A file's name as people read it, from its raw bytes: valid UTF-8 as it is, but each byte
// that is no part of a valid UTF-8 character (a stray byte, an overlong form, a surrogate),
// and each byte of a control character (C0 such as a newline, DEL, C1), written as \xNN in
// upper-case hex. The result is valid UTF-8 and holds no line end, so a name never breaks a
// line nor passes for the words around it. In the reversible form a backslash is doubled
// where it is followed by "x", by another backslash or by an escape, or ends the name:
// reading back, "\\" is one backslash, "\xNN" one byte, and any other backslash itself.
std::string shown_name(std::string_view name, name_form form = name_form::shown);
