#include "about_box.h"

#include "placement.h"
#include "resource.h"

#include <iterator>

namespace {

HINSTANCE instance_of(HWND window)
{
    return reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(window, GWLP_HINSTANCE));
}

INT_PTR CALLBACK about_procedure(HWND window, UINT message, WPARAM wparam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        centre_window(window);
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wparam) == IDOK || LOWORD(wparam) == IDCANCEL) {
            EndDialog(window, LOWORD(wparam));
            return TRUE;
        }
        break;
    }
    return FALSE;
}

} // namespace

void append_about_entry(HWND window)
{
    HMENU menu = GetSystemMenu(window, FALSE);
    if (!menu)
        return;
    wchar_t text[64];
    if (LoadStringW(instance_of(window), IDS_ABOUTBOX, text, static_cast<int>(std::size(text))) <= 0)
        return;
    AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(menu, MF_STRING, ABOUT_COMMAND_ID, text);
}

void show_about_box(HWND owner)
{
    DialogBoxParamW(instance_of(owner), MAKEINTRESOURCEW(IDD_ABOUTBOX), owner, about_procedure, 0);
}
