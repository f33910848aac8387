#include "system_menu.h"

#include "clipboard.h"
#include "resource.h"

#include <iterator>

namespace {

void append_entry(HWND window, HMENU menu, UINT command, UINT text_id)
{
    wchar_t text[64];
    const auto instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(window, GWLP_HINSTANCE));
    if (LoadStringW(instance, text_id, text, static_cast<int>(std::size(text))) > 0)
        AppendMenuW(menu, MF_STRING, command, text);
}

} // namespace

void append_system_menu_entries(HWND window)
{
    HMENU menu = GetSystemMenu(window, FALSE);
    if (!menu)
        return;
    AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    append_entry(window, menu, ADD_FILES_COMMAND_ID, IDS_ADD_FILES);
    append_entry(window, menu, PASTE_FILES_COMMAND_ID, IDS_PASTE_FILES);
    append_entry(window, menu, COPY_TOTALS_COMMAND_ID, IDS_COPY_TOTALS);
    append_entry(window, menu, FAILED_FILES_COMMAND_ID, IDS_FAILED_FILES);
    append_entry(window, menu, COUNTED_FILES_COMMAND_ID, IDS_COUNTED_FILES);
    AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    append_entry(window, menu, WALK_FOLDERS_COMMAND_ID, IDS_WALK_FOLDERS);
    append_entry(window, menu, SKIP_IGNORED_COMMAND_ID, IDS_SKIP_IGNORED);
    append_entry(window, menu, UNICODE_CHARACTERS_COMMAND_ID, IDS_UNICODE_CHARACTERS);
    AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    append_entry(window, menu, ABOUT_COMMAND_ID, IDS_ABOUTBOX);
}

void update_system_menu(HMENU menu, bool any_failed, bool any_counted, bool walk_folders, bool skip_ignored,
                        bool unicode_characters)
{
    EnableMenuItem(menu, PASTE_FILES_COMMAND_ID, MF_BYCOMMAND | (clipboard_offers_files() ? MF_ENABLED : MF_GRAYED));
    EnableMenuItem(menu, FAILED_FILES_COMMAND_ID, MF_BYCOMMAND | (any_failed ? MF_ENABLED : MF_GRAYED));
    EnableMenuItem(menu, COUNTED_FILES_COMMAND_ID, MF_BYCOMMAND | (any_counted ? MF_ENABLED : MF_GRAYED));
    CheckMenuItem(menu, WALK_FOLDERS_COMMAND_ID, MF_BYCOMMAND | (walk_folders ? MF_CHECKED : MF_UNCHECKED));
    CheckMenuItem(menu, SKIP_IGNORED_COMMAND_ID, MF_BYCOMMAND | (skip_ignored ? MF_CHECKED : MF_UNCHECKED));
    CheckMenuItem(menu, UNICODE_CHARACTERS_COMMAND_ID,
                  MF_BYCOMMAND | (unicode_characters ? MF_CHECKED : MF_UNCHECKED));
}

void open_system_menu(HWND window, LPARAM point)
{
    HMENU menu = GetSystemMenu(window, FALSE);
    if (!menu)
        return;
    POINT at{static_cast<short>(LOWORD(point)), static_cast<short>(HIWORD(point))};
    if (point == -1) {
        RECT place{};
        GetWindowRect(window, &place);
        at = {place.left, place.top};
    }
    // Returned rather than sent, so that the entry runs as from the title bar's menu.
    const UINT command = TrackPopupMenu(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON, at.x, at.y, 0, window, nullptr);
    if (command != 0)
        PostMessageW(window, WM_SYSCOMMAND, command, 0);
}
