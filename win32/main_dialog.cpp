#include "main_dialog.h"

#include "about_box.h"
#include "clipboard.h"
#include "counted_files.h"
#include "drop_target.h"
#include "dropped_paths.h"
#include "failed_files.h"
#include "field_text.h"
#include "file_chooser.h"
#include "hand_over.h"
#include "placement.h"
#include "resource.h"
#include "settings.h"
#include "single_instance.h"
#include "system_menu.h"

#include "engine/engine.h"
#include "present/totals_text.h"
#include "present/window_view.h"
#include "lib/paths.h"

#include <commctrl.h>

#include <cstdint>
#include <optional>

namespace {

// What the dialog procedure works on; it lives in run_main_dialog's frame, so the engine,
// and with it the worker, ends when the dialog has ended.
struct main_dialog {
    HICON icon = nullptr;
    HICON small_icon = nullptr;
    engine counter;
    // Count Files in Folders, as remembered.
    bool walk_folders = walk_folders_setting();
    bool skip_ignored = skip_ignored_setting(); // for files handed over too: this window's
    // Count Unicode Characters, as remembered: for every file queued here, handed over too.
    bool unicode_characters = unicode_characters_setting();
    failed_files failed{&counter};
    // A window of its own (--new-window), put beside the one already open.
    bool beside_others = false;
    // Where the window is while not minimised, remembered on closing.
    RECT place{};
    counted_files counted{&counter};
    // What the window shows now: a refresh that finds the engine's view the same draws nothing.
    std::optional<window_view> shown;
    // Drops come through OLE, which also says while files are over the window.
    std::optional<drop_target> dropping;
    bool files_over = false;
};

// Failed Files, from the menu, its key or a double-click, once the window shows a failure.
bool failed_files_enabled(const main_dialog& dialog)
{
    return dialog.shown && dialog.shown->failed_files_enabled();
}

// Counted Files, from the menu or a double-click, once the window shows a counted file.
bool counted_files_enabled(const main_dialog& dialog)
{
    return dialog.shown && dialog.shown->counted_files_enabled();
}

// Every way in queues its files here, as one batch; walk_given is the command line's -r.
void add(main_dialog& dialog, const std::vector<std::string>& paths, bool walk_given = false)
{
    dialog.counter.add_files(paths, walk_given || dialog.walk_folders, dialog.skip_ignored, dialog.unicode_characters);
}

// The hint while nothing is counted, in the bars' place; lit up, in the bars' place whatever
// is counted, while files are dragged over the window.
void show_hint(HWND window, const main_dialog& dialog)
{
    const bool counting = dialog.shown && dialog.shown->counting;
    const bool hint = dialog.files_over || !dialog.shown || dialog.shown->hint_shown();
    ShowWindow(GetDlgItem(window, IDC_HINT), hint ? SW_SHOW : SW_HIDE);
    for (const int bar : {IDC_FILES_PROGRESS, IDC_FILE_PROGRESS})
        ShowWindow(GetDlgItem(window, bar), counting && !dialog.files_over ? SW_SHOW : SW_HIDE);
}

void refresh(HWND window, main_dialog& dialog)
{
    const window_view view = look_at(dialog.counter);
    if (view == dialog.shown)
        return;
    dialog.shown = view;
    refresh_failed_files(dialog.failed);
    refresh_counted_files(dialog.counted);
    show_hint(window, dialog);
    SendDlgItemMessageW(window, IDC_FILES_PROGRESS, PBM_SETPOS, view.files_percent, 0);
    SendDlgItemMessageW(window, IDC_FILE_PROGRESS, PBM_SETPOS, view.file_percent, 0);
    set_field_text(GetDlgItem(window, IDC_LINES), lib::to_utf16(view.lines_text()));
    set_field_text(GetDlgItem(window, IDC_FILES), lib::to_utf16(files_text(view.totals)));
    set_field_text(GetDlgItem(window, IDC_CHARACTERS), lib::to_utf16(view.characters_text()));
}

// A double-click on the files field opens the failed files, once there are any, and one on
// the characters or lines field the counted files. Subclassed
// through user32 alone rather than comctl32's SetWindowSubclass: importing comctl32 would
// load it, and with it user32's tie to the default desktop, into every test linking this
// file before the test can pick a desktop of its own.
WNDPROC edit_procedure = nullptr;

LRESULT CALLBACK field_procedure(HWND field, UINT message, WPARAM wparam, LPARAM lparam)
{
    if (message == WM_LBUTTONDBLCLK)
        PostMessageW(GetParent(field), WM_SYSCOMMAND,
                     GetDlgCtrlID(field) == IDC_FILES ? FAILED_FILES_COMMAND_ID : COUNTED_FILES_COMMAND_ID, 0);
    return CallWindowProcW(edit_procedure, field, message, wparam, lparam);
}

// The main window nearest the top on this desktop, other than window, that is in view.
HWND other_main_window(HWND window)
{
    HWND other = nullptr;
    while ((other = FindWindowExW(nullptr, other, L"" MAIN_WINDOW_CLASS, nullptr)))
        if (other != window && IsWindowVisible(other) && !IsIconic(other))
            return other;
    return nullptr;
}

// A drop's files, through OLE or, without it, WM_DROPFILES: one call for the whole drop, so
// that it is one batch.
void drop(main_dialog& dialog, HDROP items)
{
    add(dialog, dropped_paths(items));
}

// While files are dragged over the window, the hint's band lights up.
void show_files_over(HWND window, main_dialog& dialog, bool over)
{
    dialog.files_over = over;
    show_hint(window, dialog);
    InvalidateRect(GetDlgItem(window, IDC_HINT), nullptr, TRUE);
}

BOOL initialise(HWND window, main_dialog& dialog)
{
    for (const int id : {IDC_FILES, IDC_CHARACTERS, IDC_LINES})
        edit_procedure = reinterpret_cast<WNDPROC>(SetWindowLongPtrW(
            GetDlgItem(window, id), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(field_procedure)));
    dialog.dropping.emplace([window, &dialog](bool over) { show_files_over(window, dialog, over); },
                            [&dialog](HDROP items) { drop(dialog, items); });
    // Without OLE, files still drop, only unlit. Never both: a drop would come twice.
    if (RegisterDragDrop(window, &*dialog.dropping) != S_OK)
        DragAcceptFiles(window, TRUE);
    SetDlgItemTextW(window, IDC_HINT, lib::to_utf16(hint_words.text).c_str());
    append_system_menu_entries(window);
    SendMessageW(window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(dialog.icon));
    SendMessageW(window, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(dialog.small_icon));
    if (HWND other = dialog.beside_others ? other_main_window(window) : nullptr)
        cascade_window(window, other);
    else
        restore_window_place(window);
    GetWindowRect(window, &dialog.place);
    SetFocus(GetDlgItem(window, IDC_LINES));
    SetWindowPos(window, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE);
    SetTimer(window, REFRESH_TIMER_ID, REFRESH_PERIOD_MS, nullptr);
    // FALSE: the focus stays on the lines field.
    return FALSE;
}

void come_to_front(HWND window)
{
    if (IsIconic(window))
        ShowWindow(window, SW_RESTORE);
    SetForegroundWindow(window);
}

// A later start's files, as one batch; a message that is not one changes nothing.
bool take_hand_over(HWND window, main_dialog& dialog, const COPYDATASTRUCT& message)
{
    std::vector<std::string> paths;
    bool walk_given = false;
    if (!hand_over::decode(message, paths, walk_given))
        return false;
    add(dialog, paths, walk_given);
    come_to_front(window);
    return true;
}

// The system menu's entries and their keys; false for any other command.
bool run_command(HWND window, main_dialog& dialog, WPARAM command)
{
    switch (command) {
    case ADD_FILES_COMMAND_ID:
        add(dialog, choose_files(window));
        return true;
    case PASTE_FILES_COMMAND_ID:
        add(dialog, pasted_paths(window));
        return true;
    case COPY_TOTALS_COMMAND_ID:
        copy_text(window, lib::to_utf16(totals_line(dialog.counter.totals())));
        return true;
    case FAILED_FILES_COMMAND_ID:
        if (failed_files_enabled(dialog))
            show_failed_files(window, dialog.failed);
        return true;
    case COUNTED_FILES_COMMAND_ID:
        if (counted_files_enabled(dialog))
            show_counted_files(window, dialog.counted);
        return true;
    case WALK_FOLDERS_COMMAND_ID:
        dialog.walk_folders = !dialog.walk_folders;
        remember_walk_folders(dialog.walk_folders);
        return true;
    case SKIP_IGNORED_COMMAND_ID:
        dialog.skip_ignored = !dialog.skip_ignored;
        remember_skip_ignored(dialog.skip_ignored);
        return true;
    case UNICODE_CHARACTERS_COMMAND_ID:
        dialog.unicode_characters = !dialog.unicode_characters;
        remember_unicode_characters(dialog.unicode_characters);
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
        refresh(window, *dialog);
        return TRUE;
    case WM_MOVE:
        if (!IsIconic(window))
            GetWindowRect(window, &dialog->place);
        return FALSE;
    case WM_ENDSESSION:
        // Logging off ends the program without closing the window.
        if (wparam)
            save_window_place(dialog->place);
        return FALSE;
    case WM_DROPFILES:
        drop(*dialog, reinterpret_cast<HDROP>(wparam));
        DragFinish(reinterpret_cast<HDROP>(wparam));
        return TRUE;
    case WM_PAINT:
        if (!IsIconic(window))
            return FALSE;
        paint_minimised(window, dialog->icon);
        return TRUE;
    case WM_CTLCOLORSTATIC: {
        // The hint in grey, on the dialog's own background, or in the selection's colours
        // while files are over the window; other controls as they are.
        if (reinterpret_cast<HWND>(lparam) != GetDlgItem(window, IDC_HINT))
            return FALSE;
        const bool lit = dialog->files_over;
        SetTextColor(reinterpret_cast<HDC>(wparam), GetSysColor(lit ? COLOR_HIGHLIGHTTEXT : COLOR_GRAYTEXT));
        SetBkColor(reinterpret_cast<HDC>(wparam), GetSysColor(lit ? COLOR_HIGHLIGHT : COLOR_BTNFACE));
        return reinterpret_cast<INT_PTR>(GetSysColorBrush(lit ? COLOR_HIGHLIGHT : COLOR_BTNFACE));
    }
    case WM_CONTEXTMENU:
        // A right-click on the window (the fields have their own menu) opens the system menu,
        // where the window's entries are, as the hint says.
        open_system_menu(window, lparam);
        return TRUE;
    case WM_QUERYDRAGICON:
        return reinterpret_cast<INT_PTR>(dialog->icon);
    case WM_SYSCOMMAND:
        return run_command(window, *dialog, wparam & 0xFFF0);
    case WM_INITMENUPOPUP:
        // The system menu, from the title bar or opened by a right-click.
        if (HIWORD(lparam) || reinterpret_cast<HMENU>(wparam) == GetSystemMenu(window, FALSE))
            update_system_menu(reinterpret_cast<HMENU>(wparam), failed_files_enabled(*dialog),
                               counted_files_enabled(*dialog), dialog->walk_folders, dialog->skip_ignored,
                               dialog->unicode_characters);
        return FALSE;
    case WM_COPYDATA:
        // The answer goes back through DWLP_MSGRESULT.
        SetWindowLongPtrW(window, DWLP_MSGRESULT,
                          take_hand_over(window, *dialog, *reinterpret_cast<COPYDATASTRUCT*>(lparam)));
        return TRUE;
    case WM_COMMAND:
        if (HIWORD(wparam) == 1) // a key of the accelerator table
            return run_command(window, *dialog, LOWORD(wparam));
        switch (LOWORD(wparam)) {
        case IDC_RESET:
            if (HIWORD(wparam) == BN_CLICKED) {
                dialog->counter.reset();
                clear_failed_files(dialog->failed);
                clear_counted_files(dialog->counted);
            }
            return TRUE;
        case IDOK:
        case IDCANCEL:
            // No confirmation, even while counting runs.
            DestroyWindow(window);
            return TRUE;
        }
        return FALSE;
    case WM_DESTROY:
        RevokeDragDrop(window);
        save_window_place(dialog->place);
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

bool run_main_dialog(HINSTANCE instance, const std::vector<std::string>& paths, bool walk_folders,
                     start_lock* serving)
{
    if (!register_main_window_class(instance))
        return false;

    main_dialog dialog;
    dialog.beside_others = !serving;
    dialog.icon = LoadIconW(instance, MAKEINTRESOURCEW(IDR_MAINFRAME));
    // The icon's own 16-pixel image for the caption, rather than the 32-pixel one shrunk.
    dialog.small_icon = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(IDR_MAINFRAME), IMAGE_ICON,
        GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), LR_SHARED));
    if (!dialog.small_icon)
        dialog.small_icon = dialog.icon;
    add(dialog, paths, walk_folders);
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
        if (TranslateAcceleratorW(window, keys, &message) || IsDialogMessageW(window, &message)
            || (dialog.failed.window && IsDialogMessageW(dialog.failed.window, &message))
            || (dialog.counted.window && IsDialogMessageW(dialog.counted.window, &message)))
            continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return true;
}
