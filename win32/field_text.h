#pragma once

#include <windows.h>

#include <string>

// How the three fields are rewritten; what they show is present/window_view.h's.

// The text a window or control shows.
std::wstring window_text(HWND window);

// Replaces the text of an edit control, keeping the selection the user made in it.
void set_field_text(HWND field, const std::wstring& text);
