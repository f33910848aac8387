// Pomvane on Windows: the main dialog, straight from its template, on the same engine as the
// Qt window.
#include "main_dialog.h"

#include "lib/paths.h"

#include <windows.h>
#include <commctrl.h>

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    // The progress bars' window class is registered only on request.
    const INITCOMMONCONTROLSEX controls{sizeof controls, ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&controls);
    // A GUI program has no console to explain a failure in; its exit status tells.
    return run_main_dialog(instance, lib::command_line_arguments(0, nullptr)) ? 0 : 1;
}
