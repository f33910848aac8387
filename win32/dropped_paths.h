#pragma once

#include <windows.h>
#include <shellapi.h>

#include <string>
#include <vector>

// The engine takes paths as UTF-8; Windows hands them over as UTF-16.

// Every item of a drop, in the order the shell lists them, whole however long.
std::vector<std::string> dropped_paths(HDROP drop);
