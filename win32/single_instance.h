#pragma once

#include <windows.h>

#include <string>
#include <vector>

// One window per user session and desktop. Starts take turns through a named mutex of the
// session's namespace; each looks for the window that serves later starts (found by its
// class and a property) and hands its files over in WM_COPYDATA, or becomes that window.

// Held from construction until release(): the window that serves later starts exists, or
// this start has handed its files over. A start that holds it for longer than a few seconds
// (stuck, or waiting on a window that stopped answering) is not waited for.
class start_lock {
public:
    start_lock();
    ~start_lock();
    start_lock(const start_lock&) = delete;
    start_lock& operator=(const start_lock&) = delete;
    void release();

private:
    HANDLE mutex = nullptr;
    bool owned = false;
};

enum class hand_over_result { handed_over, no_window, failed };

// Sends the files to the window that serves later starts and waits a few seconds at most
// for it to take them.
hand_over_result hand_over_files(const std::vector<std::string>& paths, bool walk_folders);

// Marks window as the one later starts hand their files to, until it stops (on closing).
void serve_later_starts(HWND window);
void stop_serving(HWND window);
