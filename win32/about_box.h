#pragma once

#include <windows.h>

// The About box, over its owner.
void show_about_box(HWND owner);
