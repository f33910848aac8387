#include "clipboard.h"

#include "dropped_paths.h"

#include <cstring>

std::vector<std::string> pasted_paths(HWND owner)
{
    if (!clipboard_offers_files() || !OpenClipboard(owner))
        return {};
    std::vector<std::string> paths;
    // The handle stays the clipboard's: no DragFinish.
    if (HANDLE files = GetClipboardData(CF_HDROP))
        paths = dropped_paths(static_cast<HDROP>(files));
    CloseClipboard();
    return paths;
}

bool clipboard_offers_files()
{
    return IsClipboardFormatAvailable(CF_HDROP);
}

bool copy_text(HWND owner, const std::wstring& text)
{
    const std::size_t bytes = (text.size() + 1) * sizeof(wchar_t);
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes);
    if (!memory)
        return false;
    std::memcpy(GlobalLock(memory), text.c_str(), bytes);
    GlobalUnlock(memory);
    bool copied = false;
    if (OpenClipboard(owner)) {
        copied = EmptyClipboard() && SetClipboardData(CF_UNICODETEXT, memory);
        CloseClipboard();
    }
    // Once set, the memory is the clipboard's.
    if (!copied)
        GlobalFree(memory);
    return copied;
}
