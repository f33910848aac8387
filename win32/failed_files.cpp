#include "failed_files.h"

#include "clipboard.h"
#include "field_text.h"
#include "list_window.h"
#include "resource.h"

#include "engine/engine.h"
#include "present/failed_list.h"
#include "present/failure_text.h"
#include "lib/paths.h"

#include <string>

namespace {

// The list takes the room the window has; the buttons stay at its bottom right, the count of
// those not kept at its bottom left.
void lay_out(HWND window)
{
    RECT client;
    GetClientRect(window, &client);
    RECT units{7, 14, 50, 8}; // margin, button height, button width, text height
    MapDialogRect(window, &units);
    const int margin = units.left, button_height = units.top, button_width = units.right;
    const int buttons_top = client.bottom - margin - button_height;
    SetWindowPos(GetDlgItem(window, IDCANCEL), nullptr, client.right - margin - button_width, buttons_top,
                 button_width, button_height, SWP_NOZORDER);
    SetWindowPos(GetDlgItem(window, IDC_COPY_LIST), nullptr, client.right - 2 * margin - 2 * button_width + margin / 2,
                 buttons_top, button_width, button_height, SWP_NOZORDER);
    SetWindowPos(GetDlgItem(window, IDC_NOT_KEPT), nullptr, margin, buttons_top + (button_height - units.bottom) / 2,
                 client.right / 2, units.bottom, SWP_NOZORDER);
    SetWindowPos(GetDlgItem(window, IDC_FAILED_LIST), nullptr, margin, margin, client.right - 2 * margin,
                 buttons_top - 2 * margin, SWP_NOZORDER);
}

void copy_list(HWND window)
{
    std::wstring text = window_text(GetDlgItem(window, IDC_FAILED_LIST));
    HWND not_kept = GetDlgItem(window, IDC_NOT_KEPT);
    if (IsWindowVisible(not_kept))
        text += window_text(not_kept) + L"\r\n";
    copy_text(window, text);
}

INT_PTR CALLBACK failed_files_procedure(HWND window, UINT message, WPARAM wparam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        // Past the 32,767 characters a multi-line field holds by default.
        SendDlgItemMessageW(window, IDC_FAILED_LIST, EM_SETLIMITTEXT, 0, 0);
        lay_out(window);
        return TRUE;
    case WM_SIZE:
        lay_out(window);
        return TRUE;
    case WM_COMMAND:
        switch (LOWORD(wparam)) {
        case IDC_COPY_LIST:
            copy_list(window);
            return TRUE;
        case IDOK:
        case IDCANCEL:
            ShowWindow(window, SW_HIDE);
            return TRUE;
        }
        return FALSE;
    }
    return FALSE;
}

} // namespace

void show_failed_files(HWND owner, failed_files& list)
{
    if (!list.window)
        list.window = create_list_window(owner, IDD_FAILED_FILES, failed_files_procedure, 0);
    if (!list.window)
        return;
    ShowWindow(list.window, SW_SHOW);
    refresh_failed_files(list);
    SetForegroundWindow(list.window);
}

void refresh_failed_files(failed_files& list)
{
    if (!list.window || !IsWindowVisible(list.window))
        return;
    const std::vector<failed_row> rows = take_failed_rows(*list.counter, list.listed);
    if (!rows.empty()) {
        std::string lines;
        for (const failed_row& row : rows)
            lines += row_line(row.name, failure_text(row.reason, failure_reader::window)) + "\r\n";
        const std::wstring text = lib::to_utf16(lines);
        HWND field = GetDlgItem(list.window, IDC_FAILED_LIST);
        const int end = GetWindowTextLengthW(field);
        SendMessageW(field, EM_SETSEL, end, end);
        SendMessageW(field, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(text.c_str()));
    }
    show_not_kept(GetDlgItem(list.window, IDC_NOT_KEPT), list.counter->failures_not_kept());
}

void clear_failed_files(failed_files& list)
{
    list.listed = 0;
    if (!list.window)
        return;
    SetDlgItemTextW(list.window, IDC_FAILED_LIST, L"");
    ShowWindow(GetDlgItem(list.window, IDC_NOT_KEPT), SW_HIDE);
}
