#pragma once

#include <windows.h>

#include <string>
#include <vector>

// Files copied in Explorer (CF_HDROP), as UTF-8 paths in the shell's order; none when the
// clipboard holds no files or cannot be opened.
std::vector<std::string> pasted_paths(HWND owner);
bool clipboard_offers_files();

// Puts text on the clipboard; false when the clipboard could not be had.
bool copy_text(HWND owner, const std::wstring& text);
