#pragma once

#include <windows.h>

// The main window's entries at the end of its system menu: Add Files, Paste Files and Copy
// Totals, then About, each sending WM_SYSCOMMAND with its id from resource.h.
void append_system_menu_entries(HWND window);

// Paste Files is offered only while the clipboard holds files; asked when the menu opens.
void update_system_menu(HMENU menu);
