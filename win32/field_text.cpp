#include "field_text.h"

std::wstring window_text(HWND window)
{
    std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
    return text;
}

void set_field_text(HWND field, const std::wstring& text)
{
    // Rewriting the same text ten times a second would only make the field flicker.
    if (GetWindowTextLengthW(field) == static_cast<int>(text.size()) && window_text(field) == text)
        return;
    DWORD start = 0;
    DWORD end = 0;
    SendMessageW(field, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    SetWindowTextW(field, text.c_str());
    // The control cuts a selection that reaches past the new end of the text.
    SendMessageW(field, EM_SETSEL, start, static_cast<LPARAM>(end));
    SendMessageW(field, EM_SCROLLCARET, 0, 0);
}
