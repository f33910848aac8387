#include "list_window.h"

#include "field_text.h"
#include "placement.h"

#include "present/failed_list.h"
#include "lib/paths.h"

#include <commctrl.h>

#include <string>

HWND create_list_window(HWND owner, int template_id, DLGPROC procedure, LPARAM parameter)
{
    const auto instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(owner, GWLP_HINSTANCE));
    // The list view's class is registered only on request; without it the template fails.
    const INITCOMMONCONTROLSEX controls{sizeof controls, ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&controls);
    HWND window = CreateDialogParamW(instance, MAKEINTRESOURCEW(template_id), owner, procedure, parameter);
    if (!window)
        return nullptr;
    // The main window's icons rather than the system's.
    for (const WPARAM size : {ICON_BIG, ICON_SMALL})
        SendMessageW(window, WM_SETICON, size, SendMessageW(owner, WM_GETICON, size, 0));
    // So that the totals stay in view, and the list's buttons on the screen.
    put_below(window, owner);
    return window;
}

void show_not_kept(HWND label, std::uint64_t not_kept)
{
    // Rewritten only when the count moved: a static control repaints on every SetWindowText.
    if (const std::wstring text = lib::to_utf16(not_kept_text(not_kept)); window_text(label) != text)
        SetWindowTextW(label, text.c_str());
    ShowWindow(label, not_kept != 0 ? SW_SHOW : SW_HIDE);
}
