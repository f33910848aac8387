#include "failed_files.h"

#include "clipboard.h"
#include "field_text.h"
#include "list_window.h"
#include "resource.h"

#include "engine/engine.h"
#include "present/failed_list.h"
#include "present/failure_text.h"
#include "lib/paths.h"

#include <commctrl.h>

#include <algorithm>

namespace {

const wchar_t* const column_titles[] = {L"File", L"Reason"};

// The label above the list, which names it for screen readers; the list below it taking
// the room the window has; the buttons at its bottom right, the count of those not kept at
// its bottom left.
void lay_out(HWND window)
{
    RECT client;
    GetClientRect(window, &client);
    RECT units{7, 14, 50, 8}; // margin, button height, button width, text height
    MapDialogRect(window, &units);
    const int margin = units.left, button_height = units.top, button_width = units.right;
    const int buttons_top = client.bottom - margin - button_height;
    const int list_top = margin + units.bottom + margin / 3;
    SetWindowPos(GetDlgItem(window, IDCANCEL), nullptr, client.right - margin - button_width, buttons_top,
                 button_width, button_height, SWP_NOZORDER);
    SetWindowPos(GetDlgItem(window, IDC_COPY_LIST), nullptr, client.right - 2 * margin - 2 * button_width + margin / 2,
                 buttons_top, button_width, button_height, SWP_NOZORDER);
    SetWindowPos(GetDlgItem(window, IDC_NOT_KEPT), nullptr, margin, buttons_top + (button_height - units.bottom) / 2,
                 client.right / 2, units.bottom, SWP_NOZORDER);
    SetWindowPos(GetDlgItem(window, IDC_FAILED_LABEL), nullptr, margin, margin, client.right - 2 * margin,
                 units.bottom, SWP_NOZORDER);
    SetWindowPos(GetDlgItem(window, IDC_FAILED_LIST), nullptr, margin, list_top, client.right - 2 * margin,
                 buttons_top - margin - list_top, SWP_NOZORDER);
}

// A column's width for text in the list's font, with the room a cell leaves around it.
int column_width(HWND view, const std::wstring& text)
{
    RECT padding{8, 0, 0, 0};
    MapDialogRect(GetParent(view), &padding);
    return int(SendMessageW(view, LVM_GETSTRINGWIDTHW, 0, reinterpret_cast<LPARAM>(text.c_str()))) + padding.left;
}

// The reasons are short and read whole: their column is as wide as the widest, and the
// paths take the rest, growing with the window; at least a third of it, scrolled beyond.
void fit_columns(const failed_files& list)
{
    HWND view = GetDlgItem(list.window, IDC_FAILED_LIST);
    RECT client;
    GetClientRect(view, &client);
    ListView_SetColumnWidth(view, 1, list.reason_width);
    ListView_SetColumnWidth(view, 0, std::max(client.right - list.reason_width, client.right / 3));
}

void set_up_columns(failed_files& list)
{
    HWND view = GetDlgItem(list.window, IDC_FAILED_LIST);
    ListView_SetExtendedListViewStyle(view, LVS_EX_FULLROWSELECT | LVS_EX_DOUBLEBUFFER | LVS_EX_INFOTIP);
    for (int column = 0; column < 2; ++column) {
        std::wstring title = column_titles[column];
        LVCOLUMNW entry{};
        entry.mask = LVCF_TEXT | LVCF_WIDTH;
        entry.cx = column_width(view, title);
        entry.pszText = title.data();
        // The wide message whatever UNICODE says: the title is UTF-16.
        SendMessageW(view, LVM_INSERTCOLUMNW, WPARAM(column), reinterpret_cast<LPARAM>(&entry));
    }
    list.reason_width = column_width(view, column_titles[1]);
}

std::wstring row_text(const failed_files::row& row)
{
    return lib::to_utf16(row_line(row.name, row.reason)) + L"\r\n";
}

// The whole list, one `PATH: REASON` line a failure as pomvane-count prints them, then the
// count of those not kept.
void copy_list(HWND window, const failed_files& list)
{
    std::wstring text;
    for (const failed_files::row& row : list.rows)
        text += row_text(row);
    HWND not_kept = GetDlgItem(window, IDC_NOT_KEPT);
    if (IsWindowVisible(not_kept))
        text += window_text(not_kept) + L"\r\n";
    copy_text(window, text);
}

// Ctrl+C in the list: the rows selected, in the list's order, as Copy writes them.
void copy_selected_rows(HWND window, const failed_files& list)
{
    HWND view = GetDlgItem(window, IDC_FAILED_LIST);
    std::wstring text;
    for (int item = ListView_GetNextItem(view, -1, LVNI_SELECTED); item >= 0;
         item = ListView_GetNextItem(view, item, LVNI_SELECTED))
        if (std::size_t(item) < list.rows.size())
            text += row_text(list.rows[std::size_t(item)]);
    if (!text.empty())
        copy_text(window, text);
}

// The list view asks for each cell it draws.
void give_cell(failed_files& list, NMLVDISPINFOW& asked)
{
    if (!(asked.item.mask & LVIF_TEXT) || asked.item.iItem < 0 || std::size_t(asked.item.iItem) >= list.rows.size())
        return;
    const failed_files::row& row = list.rows[std::size_t(asked.item.iItem)];
    list.cell = lib::to_utf16(asked.item.iSubItem == 0 ? row.name : row.reason);
    asked.item.pszText = list.cell.data();
}

// A row's tooltip: its path and reason whole. Past the room the list view gives a tooltip,
// its end, which names the file and says why.
void give_tip(const failed_files& list, NMLVGETINFOTIPW& asked)
{
    if (asked.iItem < 0 || std::size_t(asked.iItem) >= list.rows.size() || asked.cchTextMax < 2)
        return;
    const failed_files::row& row = list.rows[std::size_t(asked.iItem)];
    std::wstring tip = lib::to_utf16(row_line(row.name, row.reason));
    const std::size_t room = std::size_t(asked.cchTextMax) - 1;
    if (tip.size() > room)
        tip = L"\u2026" + tip.substr(tip.size() - room + 1);
    tip.copy(asked.pszText, tip.size());
    asked.pszText[tip.size()] = L'\0';
}

INT_PTR CALLBACK failed_files_procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam)
{
    if (message == WM_INITDIALOG) {
        SetWindowLongPtrW(window, DWLP_USER, lparam);
        auto* list = reinterpret_cast<failed_files*>(lparam);
        list->window = window;
        set_up_columns(*list);
        lay_out(window);
        fit_columns(*list);
        return TRUE;
    }
    auto* list = reinterpret_cast<failed_files*>(GetWindowLongPtrW(window, DWLP_USER));
    if (!list)
        return FALSE;
    switch (message) {
    case WM_SIZE:
        lay_out(window);
        fit_columns(*list);
        return TRUE;
    case WM_NOTIFY: {
        const auto* header = reinterpret_cast<const NMHDR*>(lparam);
        if (header->idFrom != IDC_FAILED_LIST)
            return FALSE;
        switch (header->code) {
        case LVN_GETDISPINFOW:
            give_cell(*list, *reinterpret_cast<NMLVDISPINFOW*>(lparam));
            return TRUE;
        case LVN_GETINFOTIPW:
            give_tip(*list, *reinterpret_cast<NMLVGETINFOTIPW*>(lparam));
            return TRUE;
        case LVN_KEYDOWN:
            if (reinterpret_cast<const NMLVKEYDOWN*>(lparam)->wVKey == 'C' && GetKeyState(VK_CONTROL) < 0)
                copy_selected_rows(window, *list);
            return TRUE;
        }
        return FALSE;
    }
    case WM_COMMAND:
        switch (LOWORD(wparam)) {
        case IDC_COPY_LIST:
            copy_list(window, *list);
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
        list.window = create_list_window(owner, IDD_FAILED_FILES, failed_files_procedure,
                                         reinterpret_cast<LPARAM>(&list));
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
        HWND view = GetDlgItem(list.window, IDC_FAILED_LIST);
        for (const failed_row& row : rows) {
            std::string reason = failure_text(row.reason, failure_reader::window);
            list.reason_width = std::max(list.reason_width, column_width(view, lib::to_utf16(reason)));
            list.rows.push_back({row.name, std::move(reason)});
        }
        ListView_SetItemCountEx(view, int(list.rows.size()), LVSICF_NOSCROLL);
        // After the count: a scroll bar that came with the rows narrows the room.
        fit_columns(list);
    }
    show_not_kept(GetDlgItem(list.window, IDC_NOT_KEPT), list.counter->failures_not_kept());
}

void clear_failed_files(failed_files& list)
{
    list.listed = 0;
    list.rows.clear();
    if (!list.window)
        return;
    HWND view = GetDlgItem(list.window, IDC_FAILED_LIST);
    ListView_SetItemCountEx(view, 0, 0);
    list.reason_width = column_width(view, column_titles[1]);
    fit_columns(list);
    ShowWindow(GetDlgItem(list.window, IDC_NOT_KEPT), SW_HIDE);
}
