#pragma once

#include "present/window_options.h"

#include <string>
#include <vector>

// The window's command line as present/window_options.h parses it for both windows, with the
// files made absolute against the current folder, so that the window another start hands
// them to finds the same files. A window has no console to print to, so main() shows the
// help, the version and a usage error in a message box.
window_options parse_options(const std::vector<std::string>& arguments);
