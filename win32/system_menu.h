#pragma once

#include <windows.h>

// The main window's entries at the end of its system menu: Add Files, Paste Files, Copy
// Totals and Failed Files, then Count Files in Folders and Skip Ignored Files, then About, each sending
// WM_SYSCOMMAND with its id from resource.h.
void append_system_menu_entries(HWND window);

// Paste Files is offered only while the clipboard holds files, Failed Files once a file
// failed; Count Files in Folders and Skip Ignored Files are checked as their settings are.
// Asked when the menu opens.
void update_system_menu(HMENU menu, bool any_failed, bool walk_folders, bool skip_ignored);
