#pragma once

#include <windows.h>

#include <string>
#include <vector>

// What a later start sends the running window in WM_COPYDATA. dwData is `tag`; the data is
// flags, the number of paths, then each path as its length in UTF-16 units and the units,
// numbers as 32-bit little-endian, no terminators. The one flag, bit 0, asks for folders to
// be counted by their files; whether their ignored files are left out is the receiving
// window's own Skip Ignored Files setting, as for a drop. An empty list asks the window to
// come to the front.
namespace hand_over {

inline constexpr ULONG_PTR tag = 0x506F6D31; // "Pom1"

std::vector<unsigned char> encode(const std::vector<std::string>& paths, bool walk_folders = false);

// The UTF-8 paths and the flag of a message, or false when it is not one: another tag, an
// unknown flag, counts or lengths that do not add up to its size exactly, a NUL or invalid
// UTF-16 in a path.
bool decode(const COPYDATASTRUCT& message, std::vector<std::string>& paths, bool& walk_folders);

} // namespace hand_over
