// Puts files on the clipboard as Explorer's Copy does (CF_HDROP), for the window's Paste:
//   pomvane-clipboard-helper.exe FILE...
// The paths are made absolute. Wine hands the clipboard on to other programs.
#include "drop_files.h"

#include <shellapi.h>

int main()
{
    int count = 0;
    wchar_t** arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    std::vector<std::wstring> paths;
    for (int i = 1; i < count; ++i) {
        wchar_t full[32768];
        const DWORD length = GetFullPathNameW(arguments[i], 32768, full, nullptr);
        if (length == 0 || length >= 32768)
            return 1;
        paths.emplace_back(full, length);
    }
    HDROP files = make_drop(paths);
    if (!OpenClipboard(nullptr) || !EmptyClipboard() || !SetClipboardData(CF_HDROP, files))
        return 1;
    CloseClipboard();
    return 0;
}
