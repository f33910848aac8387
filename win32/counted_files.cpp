#include "counted_files.h"

#include "clipboard.h"
#include "field_text.h"
#include "file_chooser.h"
#include "list_window.h"
#include "resource.h"

#include "engine/engine.h"
#include "present/totals_text.h"
#include "lib/paths.h"

#include <commctrl.h>

#include <array>
#include <numeric>

namespace {

constexpr std::array<const words*, 3> column_words = {&file_column_words, &characters_column_words,
                                                      &lines_column_words};

std::vector<std::string> titles()
{
    return {column_words[0]->text, column_words[1]->text, column_words[2]->text};
}

// The filter above, the list below it taking the room left; the buttons at the bottom right,
// the count of those not kept at the bottom left.
void lay_out(HWND window)
{
    RECT client;
    GetClientRect(window, &client);
    RECT units{7, 14, 50, 8}; // margin, button height, button width, text height
    MapDialogRect(window, &units);
    const int margin = units.left, button_height = units.top, button_width = units.right;
    const int buttons_top = client.bottom - margin - button_height;
    const int list_top = margin + button_height + margin / 2;
    int left = client.right - margin - button_width;
    for (const int id : {IDCANCEL, IDC_SAVE_ROWS, IDC_COPY_ROWS}) {
        SetWindowPos(GetDlgItem(window, id), nullptr, left, buttons_top, button_width, button_height, SWP_NOZORDER);
        left -= button_width + margin / 2;
    }
    SetWindowPos(GetDlgItem(window, IDC_COUNTED_NOT_KEPT), nullptr, margin,
                 buttons_top + (button_height - units.bottom) / 2, left - margin, units.bottom, SWP_NOZORDER);
    SetWindowPos(GetDlgItem(window, IDC_COUNTED_FILTER), nullptr, margin, margin, client.right - 2 * margin,
                 button_height - 2, SWP_NOZORDER);
    SetWindowPos(GetDlgItem(window, IDC_COUNTED_LIST), nullptr, margin, list_top, client.right - 2 * margin,
                 buttons_top - margin - list_top, SWP_NOZORDER);
}

void set_up_columns(HWND view)
{
    ListView_SetExtendedListViewStyle(view, LVS_EX_FULLROWSELECT | LVS_EX_DOUBLEBUFFER);
    RECT units{180, 60, 0, 0};
    MapDialogRect(GetParent(view), &units);
    for (int column = 0; column < 3; ++column) {
        std::wstring title = lib::to_utf16(column_words[std::size_t(column)]->text);
        LVCOLUMNW entry{};
        entry.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT;
        entry.fmt = column == 0 ? LVCFMT_LEFT : LVCFMT_RIGHT;
        entry.cx = column == 0 ? units.left : units.top;
        entry.pszText = title.data();
        // The wide message whatever UNICODE says: the title is UTF-16.
        SendMessageW(view, LVM_INSERTCOLUMNW, WPARAM(column), reinterpret_cast<LPARAM>(&entry));
    }
}

// The arrow on the sorted column's header.
void mark_sorted_column(const counted_files& list)
{
    HWND header = ListView_GetHeader(GetDlgItem(list.window, IDC_COUNTED_LIST));
    for (int column = 0; column < 3; ++column) {
        HDITEMW item{};
        item.mask = HDI_FORMAT;
        SendMessageW(header, HDM_GETITEMW, WPARAM(column), reinterpret_cast<LPARAM>(&item));
        item.fmt &= ~(HDF_SORTUP | HDF_SORTDOWN);
        if (list.sorted && column == int(list.by))
            item.fmt |= list.descending ? HDF_SORTDOWN : HDF_SORTUP;
        SendMessageW(header, HDM_SETITEMW, WPARAM(column), reinterpret_cast<LPARAM>(&item));
    }
}

// Orders and narrows the rows again, and tells the list view how many there are now.
void arrange(counted_files& list)
{
    if (list.sorted || !list.filter.empty()) {
        list.rows = ordered_rows(list.files, list.sorted ? list.by : counted_column::file, list.descending,
                                 list.filter);
        if (!list.sorted) // filtered only: counting order
            std::sort(list.rows.begin(), list.rows.end());
    } else {
        list.rows.resize(list.files.size());
        std::iota(list.rows.begin(), list.rows.end(), std::size_t{0});
    }
    HWND view = GetDlgItem(list.window, IDC_COUNTED_LIST);
    ListView_SetItemCountEx(view, int(list.rows.size()), LVSICF_NOSCROLL);
    InvalidateRect(view, nullptr, FALSE);
}

// The rows shown, selected ones only when any is and selected_only.
std::vector<std::size_t> shown_rows(const counted_files& list, bool selected_only)
{
    HWND view = GetDlgItem(list.window, IDC_COUNTED_LIST);
    if (!selected_only || ListView_GetSelectedCount(view) == 0)
        return list.rows;
    std::vector<std::size_t> rows;
    for (int item = ListView_GetNextItem(view, -1, LVNI_SELECTED); item >= 0;
         item = ListView_GetNextItem(view, item, LVNI_SELECTED))
        rows.push_back(list.rows[std::size_t(item)]);
    return rows;
}

void save_rows(HWND window, const counted_files& list)
{
    const std::wstring name = choose_csv_to_save(window, L"Save Counted Files");
    if (name.empty())
        return;
    const std::string text = table_text(list.files, list.rows, table_form::csv, titles());
    HANDLE file = CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD written = 0;
    const bool saved = file != INVALID_HANDLE_VALUE
                       && WriteFile(file, text.data(), DWORD(text.size()), &written, nullptr) && written == text.size();
    const DWORD error = GetLastError();
    if (file != INVALID_HANDLE_VALUE)
        CloseHandle(file);
    if (!saved) {
        const std::wstring message = L"Cannot save " + name + L": error " + std::to_wstring(error);
        MessageBoxW(window, message.c_str(), L"Counted Files", MB_ICONERROR);
    }
}

// The list view asks for each cell it draws.
void give_cell(counted_files& list, NMLVDISPINFOW& asked)
{
    if (!(asked.item.mask & LVIF_TEXT) || asked.item.iItem < 0 || std::size_t(asked.item.iItem) >= list.rows.size())
        return;
    const std::size_t row = list.rows[std::size_t(asked.item.iItem)];
    switch (counted_column(asked.item.iSubItem)) {
    case counted_column::file:
        list.cell = lib::to_utf16(list.files.name(row));
        break;
    case counted_column::characters:
        list.cell = lib::to_utf16(decimal_text(list.files.characters(row)));
        break;
    case counted_column::lines:
        list.cell = lib::to_utf16(decimal_text(list.files.lines(row)));
        break;
    }
    asked.item.pszText = list.cell.data();
}

INT_PTR CALLBACK counted_files_procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam)
{
    if (message == WM_INITDIALOG) {
        SetWindowLongPtrW(window, DWLP_USER, lparam);
        set_up_columns(GetDlgItem(window, IDC_COUNTED_LIST));
        SendDlgItemMessageW(window, IDC_COUNTED_FILTER, EM_SETCUEBANNER, TRUE,
                            reinterpret_cast<LPARAM>(lib::to_utf16(filter_words.text).c_str()));
        lay_out(window);
        return TRUE;
    }
    auto* list = reinterpret_cast<counted_files*>(GetWindowLongPtrW(window, DWLP_USER));
    if (!list)
        return FALSE;
    switch (message) {
    case WM_SIZE:
        lay_out(window);
        return TRUE;
    case WM_NOTIFY: {
        const auto* header = reinterpret_cast<const NMHDR*>(lparam);
        if (header->idFrom != IDC_COUNTED_LIST)
            return FALSE;
        if (header->code == LVN_GETDISPINFOW) {
            give_cell(*list, *reinterpret_cast<NMLVDISPINFOW*>(lparam));
            return TRUE;
        }
        if (header->code == LVN_COLUMNCLICK) {
            // A first click sorts up (names A to Z, numbers small to large); the next reverses.
            const auto by = counted_column(reinterpret_cast<const NMLISTVIEW*>(lparam)->iSubItem);
            list->descending = list->sorted && list->by == by && !list->descending;
            list->sorted = true;
            list->by = by;
            mark_sorted_column(*list);
            arrange(*list);
            return TRUE;
        }
        return FALSE;
    }
    case WM_COMMAND:
        switch (LOWORD(wparam)) {
        case IDC_COUNTED_FILTER:
            if (HIWORD(wparam) == EN_CHANGE) {
                list->filter = lib::to_utf8(window_text(GetDlgItem(window, IDC_COUNTED_FILTER)));
                arrange(*list);
            }
            return TRUE;
        case IDC_COPY_ROWS:
            copy_text(window, lib::to_utf16(table_text(list->files, shown_rows(*list, true),
                                                       table_form::tab_separated, titles())));
            return TRUE;
        case IDC_SAVE_ROWS:
            save_rows(window, *list);
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

void show_counted_files(HWND owner, counted_files& list)
{
    if (!list.window)
        list.window = create_list_window(owner, IDD_COUNTED_FILES, counted_files_procedure,
                                         reinterpret_cast<LPARAM>(&list));
    if (!list.window)
        return;
    ShowWindow(list.window, SW_SHOW);
    refresh_counted_files(list);
    SetForegroundWindow(list.window);
}

void refresh_counted_files(counted_files& list)
{
    if (!list.window || !IsWindowVisible(list.window))
        return;
    if (list.files.take(*list.counter) != 0)
        arrange(list);
    show_not_kept(GetDlgItem(list.window, IDC_COUNTED_NOT_KEPT), list.counter->counted_not_kept());
}

void clear_counted_files(counted_files& list)
{
    list.files.clear();
    list.rows.clear();
    if (!list.window)
        return;
    ListView_SetItemCountEx(GetDlgItem(list.window, IDC_COUNTED_LIST), 0, 0);
    ShowWindow(GetDlgItem(list.window, IDC_COUNTED_NOT_KEPT), SW_HIDE);
}
