#include "main_dialog.h"

#include "about_box.h"
#include "clipboard.h"
#include "field_text.h"
#include "file_chooser.h"
#include "hand_over.h"
#include "paths.h"
#include "placement.h"
#include "resource.h"
#include "single_instance.h"
#include "system_menu.h"

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
    append_system_menu_entries(window);
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

void come_to_front(HWND window)
{
    if (IsIconic(window))
        ShowWindow(window, SW_RESTORE);
    SetForegroundWindow(window);
}

// A later start's files, as one batch; a message that is not one changes nothing.
bool take_hand_over(HWND window, engine& counter, const COPYDATASTRUCT& message)
{
    std::vector<std::string> paths;
    if (!hand_over::decode(message, paths))
        return false;
    counter.add_files(paths);
    come_to_front(window);
    return true;
}

// The system menu's entries and their keys; false for any other command.
bool run_command(HWND window, engine& counter, WPARAM command)
{
    switch (command) {
    case ADD_FILES_COMMAND_ID:
        counter.add_files(choose_files(window));
        return true;
    case PASTE_FILES_COMMAND_ID:
        counter.add_files(pasted_paths(window));
        return true;
    case COPY_TOTALS_COMMAND_ID:
        copy_text(window, lib::to_utf16(totals_line(counter.totals())));
        return true;
    case ABOUT_COMMAND_ID:
        show_about_box(window);
        return true;
    }
    return false;
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
        return run_command(window, dialog->counter, wparam & 0xFFF0);
    case WM_INITMENUPOPUP:
        if (HIWORD(lparam))
            update_system_menu(reinterpret_cast<HMENU>(wparam));
        return FALSE;
    case WM_COPYDATA:
        // The answer goes back through DWLP_MSGRESULT.
        SetWindowLongPtrW(window, DWLP_MSGRESULT,
                          take_hand_over(window, dialog->counter, *reinterpret_cast<COPYDATASTRUCT*>(lparam)));
        return TRUE;
    case WM_COMMAND:
        if (HIWORD(wparam) == 1) // a key of the accelerator table
            return run_command(window, dialog->counter, LOWORD(wparam));
        switch (LOWORD(wparam)) {
        case IDC_RESET:
            if (HIWORD(wparam) == BN_CLICKED)
                dialog->counter.reset();
            return TRUE;
        case IDOK:
        case IDCANCEL:
            // No confirmation, even while counting runs.
            DestroyWindow(window);
            return TRUE;
        }
        return FALSE;
    case WM_DESTROY:
        stop_serving(window);
        KillTimer(window, REFRESH_TIMER_ID);
        PostQuitMessage(0);
        return FALSE;
    }
    return FALSE;
}

} // namespace

bool register_main_window_class(HINSTANCE instance)
{
    WNDCLASSEXW window_class{};
    window_class.cbSize = sizeof window_class;
    window_class.lpfnWndProc = DefDlgProcW;
    window_class.cbWndExtra = DLGWINDOWEXTRA;
    window_class.hInstance = instance;
    window_class.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512)); // IDC_ARROW
    window_class.lpszClassName = L"" MAIN_WINDOW_CLASS;
    return RegisterClassExW(&window_class) != 0;
}

bool run_main_dialog(HINSTANCE instance, const std::vector<std::string>& paths, start_lock* serving)
{
    if (!register_main_window_class(instance))
        return false;

    main_dialog dialog;
    dialog.icon = LoadIconW(instance, MAKEINTRESOURCEW(IDR_MAINFRAME));
    // The icon's own 16-pixel image for the caption, rather than the 32-pixel one shrunk.
    dialog.small_icon = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(IDR_MAINFRAME), IMAGE_ICON,
        GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), LR_SHARED));
    if (!dialog.small_icon)
        dialog.small_icon = dialog.icon;
    dialog.counter.add_files(paths);
    // Modeless, so that this loop can give the system menu's keys to the accelerator table.
    HWND window = CreateDialogParamW(instance, MAKEINTRESOURCEW(IDD_POMVANE_DIALOG), nullptr, dialog_procedure,
                                     reinterpret_cast<LPARAM>(&dialog));
    if (!window)
        return false;
    if (serving) {
        serve_later_starts(window);
        serving->release();
    }
    HACCEL keys = LoadAcceleratorsW(instance, MAKEINTRESOURCEW(IDR_ACCELERATORS));
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (TranslateAcceleratorW(window, keys, &message) || IsDialogMessageW(window, &message))
            continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return true;
}
