#include "main_dialog.h"

#include "about_box.h"
#include "field_text.h"
#include "paths.h"
#include "placement.h"
#include "resource.h"

#include "engine/engine.h"
#include "engine/totals_text.h"
#include "lib/paths.h"

#include <commctrl.h>

#include <algorithm>
#include <cstdint>

namespace {

// What the dialog procedure works on; it lives in run_main_dialog's frame, so the engine,
// and with it the worker, ends when the dialog has ended.
struct main_dialog {
    HICON icon = nullptr;
    HICON small_icon = nullptr;
    engine counter;
};

void show_bar(HWND bar, std::int64_t percent)
{
    ShowWindow(bar, SW_SHOW);
    SendMessageW(bar, PBM_SETRANGE, 0, MAKELPARAM(0, 100));
    // A file that grew while read goes past 100.
    SendMessageW(bar, PBM_SETPOS, static_cast<WPARAM>(std::clamp<std::int64_t>(percent, 0, 100)), 0);
}

void refresh(HWND window, engine& counter)
{
    HWND files_bar = GetDlgItem(window, IDC_FILES_PROGRESS);
    HWND file_bar = GetDlgItem(window, IDC_FILE_PROGRESS);
    if (counter.is_running()) {
        show_bar(files_bar, counter.files_percent());
        show_bar(file_bar, counter.file_percent());
    } else {
        ShowWindow(files_bar, SW_HIDE);
        ShowWindow(file_bar, SW_HIDE);
    }

    const engine::snapshot totals = counter.totals();
    set_field_text(GetDlgItem(window, IDC_LINES), to_decimal(totals.total_lines));
    set_field_text(GetDlgItem(window, IDC_FILES), lib::to_utf16(files_text(totals)));
    set_field_text(GetDlgItem(window, IDC_CHARACTERS), to_decimal(totals.total_characters));
}

BOOL initialise(HWND window, main_dialog& dialog)
{
    DragAcceptFiles(window, TRUE);
    append_about_entry(window);
    SendMessageW(window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(dialog.icon));
    SendMessageW(window, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(dialog.small_icon));
    centre_window(window);
    SetFocus(GetDlgItem(window, IDC_LINES));
    SetWindowPos(window, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE);
    SetTimer(window, REFRESH_TIMER_ID, REFRESH_PERIOD_MS, nullptr);
    // FALSE: the focus stays on the lines field.
    return FALSE;
}

void drop(engine& counter, HDROP items)
{
    const std::vector<std::string> paths = dropped_paths(items);
    DragFinish(items);
    // One call for the whole drop, so that it is one batch; an empty one changes nothing.
    counter.add_files(paths);
}

void paint_minimised(HWND window, HICON icon)
{
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    SendMessageW(window, WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
    RECT client;
    GetClientRect(window, &client);
    const int x = (client.right - client.left - GetSystemMetrics(SM_CXICON) + 1) / 2;
    const int y = (client.bottom - client.top - GetSystemMetrics(SM_CYICON) + 1) / 2;
    DrawIcon(dc, x, y, icon);
    EndPaint(window, &paint);
}

INT_PTR CALLBACK dialog_procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam)
{
    if (message == WM_INITDIALOG) {
        SetWindowLongPtrW(window, DWLP_USER, lparam);
        return initialise(window, *reinterpret_cast<main_dialog*>(lparam));
    }
    auto* dialog = reinterpret_cast<main_dialog*>(GetWindowLongPtrW(window, DWLP_USER));
    if (!dialog)
        return FALSE;

    switch (message) {
    case WM_TIMER:
        // Whatever the timer's id.
        refresh(window, dialog->counter);
        return TRUE;
    case WM_DROPFILES:
        drop(dialog->counter, reinterpret_cast<HDROP>(wparam));
        return TRUE;
    case WM_PAINT:
        if (!IsIconic(window))
            return FALSE;
        paint_minimised(window, dialog->icon);
        return TRUE;
    case WM_QUERYDRAGICON:
        return reinterpret_cast<INT_PTR>(dialog->icon);
    case WM_SYSCOMMAND:
        if ((wparam & 0xFFF0) != ABOUT_COMMAND_ID)
            return FALSE;
        show_about_box(window);
        return TRUE;
    case WM_COMMAND:
        switch (LOWORD(wparam)) {
        case IDC_RESET:
            if (HIWORD(wparam) == BN_CLICKED)
                dialog->counter.reset();
            return TRUE;
        case IDOK:
        case IDCANCEL:
            // No confirmation, even while counting runs.
            EndDialog(window, LOWORD(wparam));
            return TRUE;
        }
        return FALSE;
    case WM_DESTROY:
        KillTimer(window, REFRESH_TIMER_ID);
        return FALSE;
    }
    return FALSE;
}

} // namespace

bool run_main_dialog(HINSTANCE instance, const std::vector<std::string>& paths)
{
    main_dialog dialog;
    dialog.icon = LoadIconW(instance, MAKEINTRESOURCEW(IDR_MAINFRAME));
    // The icon's own 16-pixel image for the caption, rather than the 32-pixel one shrunk.
    dialog.small_icon = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(IDR_MAINFRAME), IMAGE_ICON,
        GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), LR_SHARED));
    if (!dialog.small_icon)
        dialog.small_icon = dialog.icon;
    dialog.counter.add_files(paths);
    return DialogBoxParamW(instance, MAKEINTRESOURCEW(IDD_POMVANE_DIALOG), nullptr, dialog_procedure,
                           reinterpret_cast<LPARAM>(&dialog)) > 0;
}
