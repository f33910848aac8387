#pragma once

#include <windows.h>

#include <string>
#include <vector>

// Shows the main window and returns once it is closed, after the counting has stopped;
// false when the window could not be made. The files in paths are counted first, as if they
// had been dropped.
bool run_main_dialog(HINSTANCE instance, const std::vector<std::string>& paths);
