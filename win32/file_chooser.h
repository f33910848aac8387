#pragma once

#include <windows.h>

#include <string>
#include <vector>

// The system's file chooser, several files at once, as UTF-8 paths of any length; none when
// it was cancelled. Needs COM on the calling thread.
std::vector<std::string> choose_files(HWND owner);

// The system's chooser of a file to save to, offering CSV files; empty when cancelled.
// Needs COM on the calling thread.
std::wstring choose_csv_to_save(HWND owner, const wchar_t* title);
