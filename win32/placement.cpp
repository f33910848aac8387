#include "placement.h"

#include "settings.h"

#include <algorithm>
#include <string>
#include <vector>

namespace {

const wchar_t last_place[] = L"Last";

RECT work_area_of(HMONITOR monitor)
{
    MONITORINFO info{};
    info.cbSize = sizeof info;
    GetMonitorInfoW(monitor, &info);
    return info.rcWork;
}

// rect's top left corner, moved so that all of rect lies within area where it fits.
POINT inside(const RECT& rect, const RECT& area)
{
    const LONG width = rect.right - rect.left;
    const LONG height = rect.bottom - rect.top;
    return {std::max(area.left, std::min(rect.left, area.right - width)),
            std::max(area.top, std::min(rect.top, area.bottom - height))};
}

void move_to(HWND window, POINT place)
{
    SetWindowPos(window, nullptr, place.x, place.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

BOOL CALLBACK add_monitor(HMONITOR, HDC, LPRECT area, LPARAM names)
{
    reinterpret_cast<std::vector<std::wstring>*>(names)->push_back(
        std::to_wstring(area->right - area->left) + L"x" + std::to_wstring(area->bottom - area->top) + L"+"
        + std::to_wstring(area->left) + L"+" + std::to_wstring(area->top));
    return TRUE;
}

// The arrangement of monitors, as a value's name: a window put on the right-hand one of two
// monitors goes back there whenever both are attached. As the Linux window names it.
std::wstring monitor_layout()
{
    std::vector<std::wstring> monitors;
    EnumDisplayMonitors(nullptr, nullptr, add_monitor, reinterpret_cast<LPARAM>(&monitors));
    std::sort(monitors.begin(), monitors.end());
    std::wstring layout = L"Screens";
    for (const std::wstring& monitor : monitors)
        layout += L" " + monitor;
    return layout;
}

} // namespace

void centre_window(HWND window)
{
    RECT rect;
    GetWindowRect(window, &rect);
    const RECT area = work_area_of(MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST));
    RECT over = area;
    if (HWND owner = GetWindow(window, GW_OWNER); owner && IsWindowVisible(owner) && !IsIconic(owner))
        GetWindowRect(owner, &over);

    const LONG width = rect.right - rect.left;
    const LONG height = rect.bottom - rect.top;
    OffsetRect(&rect, over.left + (over.right - over.left - width) / 2 - rect.left,
               over.top + (over.bottom - over.top - height) / 2 - rect.top);
    move_to(window, inside(rect, area));
}

void put_below(HWND window, HWND owner)
{
    RECT rect, above;
    GetWindowRect(window, &rect);
    GetWindowRect(owner, &above);
    OffsetRect(&rect, above.left - rect.left, above.bottom + 1 - rect.top);
    move_to(window, inside(rect, work_area_of(MonitorFromRect(&above, MONITOR_DEFAULTTONEAREST))));
}

void restore_window_place(HWND window)
{
    std::optional<POINT> place = window_place_setting(monitor_layout());
    if (!place)
        place = window_place_setting(last_place);
    if (!place) {
        centre_window(window);
        return;
    }
    RECT rect;
    GetWindowRect(window, &rect);
    OffsetRect(&rect, place->x - rect.left, place->y - rect.top);
    move_to(window, inside(rect, work_area_of(MonitorFromRect(&rect, MONITOR_DEFAULTTONEAREST))));
}

void save_window_place(const RECT& place)
{
    const POINT corner{place.left, place.top};
    remember_window_place(monitor_layout(), corner);
    remember_window_place(last_place, corner);
}

void cascade_window(HWND window, HWND other)
{
    RECT rect, beside;
    GetWindowRect(window, &rect);
    GetWindowRect(other, &beside);
    // other's caption and frame above its client area, in other's own DPI.
    POINT client{0, 0};
    ClientToScreen(other, &client);
    const LONG step = std::max(client.y - beside.top, 1L);
    const RECT area = work_area_of(MonitorFromWindow(other, MONITOR_DEFAULTTONEAREST));
    const LONG width = rect.right - rect.left;
    const LONG height = rect.bottom - rect.top;
    LONG x = beside.left + step;
    LONG y = beside.top + step;
    if (x + width > area.right)
        x = beside.left - step;
    if (y + height > area.bottom)
        y = beside.top - step;
    OffsetRect(&rect, x - rect.left, y - rect.top);
    move_to(window, inside(rect, area));
}
