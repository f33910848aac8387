#pragma once

#include <windows.h>

// The About box and its entry at the end of the main window's system menu.

void append_about_entry(HWND window);
void show_about_box(HWND owner);
