#pragma once

#include <windows.h>

// Centres a dialog whose template leaves its place to the system (0, 0): over its owner, or
// without one on its screen's work area, and never beyond the work area's edges.
void centre_window(HWND window);

// Puts window below owner rather than over it, so that owner stays in view, and moves it up
// where the work area ends sooner.
void put_below(HWND window, HWND owner);

// Puts the main window, not yet shown, where it was last closed with the same monitors
// attached; with monitors never seen before, where it was last closed at all. Either way
// wholly on the work area of the monitor it is mostly on (the nearest when it is on none, as
// after a monitor was unplugged). Centred the first time.
void restore_window_place(HWND window);

// Remembers where the main window is now (place, its window rectangle while not minimised),
// for the monitors now attached and as the last place at all.
void save_window_place(const RECT& place);

// Puts a new window down and to the right of other by the height of other's caption and
// frame, so that other's caption stays in view; up and to the left where the work area
// ends.
void cascade_window(HWND window, HWND other);
