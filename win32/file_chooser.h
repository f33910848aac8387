#pragma once

#include <windows.h>

#include <string>
#include <vector>

// The system's file chooser, several files at once, as UTF-8 paths of any length; none when
// it was cancelled. Needs COM on the calling thread.
std::vector<std::string> choose_files(HWND owner);
