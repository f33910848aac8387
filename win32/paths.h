#pragma once

#include <windows.h>
#include <shellapi.h>

#include <string>
#include <string_view>
#include <vector>

// The engine takes paths as UTF-8; Windows hands them over as UTF-16.

// The UTF-8 form of a UTF-16 path. A path that is not valid UTF-16 (an unpaired surrogate,
// which NTFS allows) has no UTF-8 form: it becomes the empty path, which fails to open, so it
// is counted as failed rather than lost or confused with another file.
std::string to_utf8(std::wstring_view path);

// Every item of a drop, in the order the shell lists them, whole however long.
std::vector<std::string> dropped_paths(HDROP drop);

// The program's arguments after its own name.
std::vector<std::string> command_line_paths();
