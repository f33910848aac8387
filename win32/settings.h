#pragma once

#include <windows.h>

#include <optional>
#include <string>

// The window's settings, remembered between runs in the registry, under
// HKEY_CURRENT_USER\Software\Pomvane, the user's own, which uninstalling leaves.

// Whether folders given are counted by their files (CountFilesInFolders, a DWORD, 0 or 1). Off
// when it was never set or cannot be read.
bool walk_folders_setting();
void remember_walk_folders(bool walk);

// Whether characters are counted as UTF-8 characters instead of bytes (CountUnicodeCharacters,
// a DWORD, 0 or 1). Off when it was never set or cannot be read.
bool unicode_characters_setting();
void remember_unicode_characters(bool unicode);
// Whether a walk leaves out what Git ignores (SkipIgnoredFiles, a DWORD, 0 or 1). On when it
// was never set or cannot be read.
bool skip_ignored_setting();
void remember_skip_ignored(bool skip);

// Where the main window's top left corner was, under Placement, one value for each
// arrangement of monitors (named by placement.cpp) and one for the last place at all, each a
// string "X,Y" in screen pixels. None when it was never set or cannot be read.
std::optional<POINT> window_place_setting(const std::wstring& name);
void remember_window_place(const std::wstring& name, POINT place);
