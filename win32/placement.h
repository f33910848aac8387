#pragma once

#include <windows.h>

// Centres a dialog whose template leaves its place to the system (0, 0): over its owner, or
// without one on its screen's work area, and never beyond the work area's edges.
void centre_window(HWND window);
