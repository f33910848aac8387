#include "placement.h"

#include <algorithm>

void centre_window(HWND window)
{
    RECT rect;
    GetWindowRect(window, &rect);
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    GetMonitorInfoW(MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST), &monitor);
    const RECT area = monitor.rcWork;
    RECT over = area;
    if (HWND owner = GetWindow(window, GW_OWNER); owner && IsWindowVisible(owner) && !IsIconic(owner))
        GetWindowRect(owner, &over);

    const LONG width = rect.right - rect.left;
    const LONG height = rect.bottom - rect.top;
    LONG x = over.left + (over.right - over.left - width) / 2;
    LONG y = over.top + (over.bottom - over.top - height) / 2;
    x = std::max(area.left, std::min(x, area.right - width));
    y = std::max(area.top, std::min(y, area.bottom - height));
    SetWindowPos(window, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}
