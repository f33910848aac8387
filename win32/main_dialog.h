#pragma once

#include "single_instance.h"

#include <windows.h>

#include <string>
#include <vector>

// The main window's class of its own (named in its template), by which later starts find
// it. Registered before the template is used.
bool register_main_window_class(HINSTANCE instance);

// Shows the main window and returns once it is closed, after the counting has stopped;
// false when the window could not be made. The files in paths are counted first, as if they
// had been dropped, their folders walked with walk_folders. With serving, the window takes the
// files of later starts, and releases that lock once it can; without, it is a window of its
// own, cascaded from the one already open.
bool run_main_dialog(HINSTANCE instance, const std::vector<std::string>& paths, bool walk_folders,
                     start_lock* serving);
