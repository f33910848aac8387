#pragma once

#include <windows.h>

#include <cstdint>

// What the Failed Files and Counted Files windows share: each is a dialog of its own, not
// modal, made once from its template, with a list view, and kept.

// Makes the window from its template, owned by owner and not yet shown: with owner's icons
// in its caption and in Alt+Tab, and below owner so that the totals stay in view. The
// procedure gets parameter with WM_INITDIALOG. Null when it could not be made.
HWND create_list_window(HWND owner, int template_id, DLGPROC procedure, LPARAM parameter);

// Shows "and N more" in label while N is not 0: those the engine counted without keeping.
void show_not_kept(HWND label, std::uint64_t not_kept);
