#pragma once

#include <windows.h>

#include <cstddef>

class engine;

// The files that failed, each `PATH: REASON` on a line of its own, in the order they failed,
// and how many more the engine counted without keeping them: present/failed_list.h's rows.
// A window of its own, not modal, made once and kept; it follows the engine while shown.
struct failed_files {
    HWND window = nullptr;
    engine* counter = nullptr;
    // The engine's failures from this index on are not in the list yet.
    std::size_t listed = 0;
};

void show_failed_files(HWND owner, failed_files& list);
// Adds the failures that happened since the last call, while the list is shown; the main
// window's timer calls it.
void refresh_failed_files(failed_files& list);
// Empties the list, as the engine's reset empties its own.
void clear_failed_files(failed_files& list);
