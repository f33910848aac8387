#pragma once

#include <string>
#include <vector>
#ifdef _WIN32
#include <string_view>
#endif

// Paths as the engine takes them: bytes, passed through as they are on POSIX; UTF-8 on
// Windows, where names, arguments and drops come in UTF-16. Every conversion between the
// two is made here (paths_win32.cpp), so that all front ends treat a name alike.
namespace lib {

// The program's arguments after its name.
#ifdef _WIN32
// From GetCommandLineW rather than argv, which holds them in the ANSI code page, with '?'
// for every character it lacks; argc and argv are not read.
std::vector<std::string> command_line_arguments(int argc, char** argv);
#else
inline std::vector<std::string> command_line_arguments(int argc, char** argv)
{
    return {argv + 1, argv + argc};
}
#endif

#ifdef _WIN32
// UTF-16 to UTF-8. A name that is not valid UTF-16 (an unpaired surrogate, which NTFS
// allows) has no UTF-8 form: it becomes the empty string, which fails to open, rather than
// a lossy form that could name another file.
std::string to_utf8(std::wstring_view text);
// UTF-8 to UTF-16. Likewise empty for text that is not valid UTF-8, instead of U+FFFD.
std::wstring to_utf16(std::string_view text);
// The full form of a path (GetFullPathNameW: drive, current folder, slashes, "." and ".."
// resolved); empty when it has none.
std::wstring full_path(const std::wstring& path);
// The UTF-16 name to open the file at a UTF-8 path by: the path as given while its full
// form stays below MAX_PATH, else the full path in the \\?\ form. Empty when it names no
// file that may be opened: not valid UTF-8, a NUL inside, or the device namespace.
std::wstring name_to_open(std::string_view path);
// Opens the entry `name` (UTF-8) of an open folder (a HANDLE) relative to that folder, which
// Win32 has no call for (NtCreateFile, with the folder as root): no path is rebuilt, so a
// folder on the way swapped for a junction is not followed, and a tree of any depth is
// reached. A reparse point is opened itself, not followed. Shared for reading, writing and
// deleting, for synchronous use. The handle, or INVALID_HANDLE_VALUE with the Win32 error.
void* open_in_folder(void* folder, std::string_view name, unsigned long access, unsigned long& error);
#endif

} // namespace lib
