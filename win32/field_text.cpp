#include "field_text.h"

std::wstring to_decimal(std::uint64_t value)
{
    return std::to_wstring(value);
}

void set_field_text(HWND field, const std::wstring& text)
{
    // Rewriting the same text ten times a second would only make the field flicker.
    const int length = GetWindowTextLengthW(field);
    if (length == static_cast<int>(text.size())) {
        std::wstring shown(static_cast<std::size_t>(length) + 1, L'\0');
        shown.resize(static_cast<std::size_t>(GetWindowTextW(field, shown.data(), length + 1)));
        if (shown == text)
            return;
    }
    DWORD start = 0;
    DWORD end = 0;
    SendMessageW(field, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    SetWindowTextW(field, text.c_str());
    // The control cuts a selection that reaches past the new end of the text.
    SendMessageW(field, EM_SETSEL, start, static_cast<LPARAM>(end));
    SendMessageW(field, EM_SCROLLCARET, 0, 0);
}
