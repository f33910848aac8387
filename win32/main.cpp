// Pomvane on Windows: the main dialog, straight from its template, on the same engine as the
// Qt window. One window per session and desktop: a later start hands its files to it.
#include "main_dialog.h"
#include "options.h"
#include "single_instance.h"
#include "version.h"

#include "lib/paths.h"

#include <windows.h>
#include <commctrl.h>
#include <objbase.h>
#include <ole2.h>

#include <optional>

namespace {

int tell(const std::wstring& text, UINT icon, int status)
{
    MessageBoxW(nullptr, text.c_str(), L"Pomvane", MB_OK | icon);
    return status;
}

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    // A GUI program has no console to explain a failure in: a message box does, and its exit
    // status tells scripts, 2 for a bad option as on Linux.
    const window_options given = parse_options(lib::command_line_arguments(0, nullptr));
    switch (given.what) {
    case window_options::action::help:
        return tell(lib::to_utf16(window_help("pomvane.exe")), MB_ICONINFORMATION, 0);
    case window_options::action::version:
        return tell(L"Pomvane " + lib::to_utf16(POMVANE_VERSION_SHORT), MB_ICONINFORMATION, 0);
    case window_options::action::usage_error:
        return tell(lib::to_utf16(given.error + "\n\n" + window_help("pomvane.exe")), MB_ICONERROR, 2);
    case window_options::action::open:
        break;
    }

    std::optional<start_lock> lock;
    if (!given.new_window) {
        lock.emplace();
        switch (hand_over_files(given.files, given.walk_folders)) {
        case hand_over_result::handed_over:
            return 0;
        case hand_over_result::failed:
            lock->release();
            return tell(L"The Pomvane window already open did not take the files: it is busy or has stopped "
                        L"answering.\n\nTo count them in a window of their own, start Pomvane with --new-window.",
                        MB_ICONERROR, 1);
        case hand_over_result::no_window:
            break;
        }
    }

    // The progress bars' window class is registered only on request.
    const INITCOMMONCONTROLSEX controls{sizeof controls, ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&controls);
    // The file chooser is a COM object; drops come through OLE.
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    OleInitialize(nullptr);
    return run_main_dialog(instance, given.files, given.walk_folders, lock ? &*lock : nullptr) ? 0 : 1;
}
