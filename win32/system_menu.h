#pragma once

#include <windows.h>

// The main window's entries at the end of its system menu: Add Files, Paste Files, Copy
// Totals, Failed Files and Counted Files, then Count Files in Folders, Skip Ignored Files and
// Count Unicode Characters, then About, each sending WM_SYSCOMMAND with its id from resource.h.
void append_system_menu_entries(HWND window);

// Paste Files is offered only while the clipboard holds files, Failed Files once a file
// failed, Counted Files once one was counted; Count Files in Folders, Skip Ignored Files and
// Count Unicode Characters are checked as their settings are, so the check mark says which
// unit the characters are in. Asked when the menu opens.
void update_system_menu(HMENU menu, bool any_failed, bool any_counted, bool walk_folders, bool skip_ignored,
                        bool unicode_characters);

// Opens the system menu at the WM_CONTEXTMENU's point (at the window's corner from the
// keyboard) and carries out the entry chosen.
void open_system_menu(HWND window, LPARAM point);
