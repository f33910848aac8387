#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

// What the three fields show, and how they are rewritten.

// Plain decimal digits: no sign, grouping or leading zeros.
std::wstring to_decimal(std::uint64_t value);

// The text a window or control shows.
std::wstring window_text(HWND window);

// Replaces the text of an edit control, keeping the selection the user made in it.
void set_field_text(HWND field, const std::wstring& text);
