#pragma once

#include <windows.h>

#include <string>
#include <vector>

// Shows the main window and returns once it is closed, after the counting has stopped.
// The files in paths are counted first, as if they had been dropped.
void run_main_dialog(HINSTANCE instance, const std::vector<std::string>& paths);
