#include "about_box.h"

#include "placement.h"
#include "resource.h"

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

void show_about_box(HWND owner)
{
    DialogBoxParamW(instance_of(owner), MAKEINTRESOURCEW(IDD_ABOUTBOX), owner, about_procedure, 0);
}
