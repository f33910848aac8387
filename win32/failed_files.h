#pragma once

#include <windows.h>

#include <cstddef>
#include <string>
#include <vector>

class engine;

// The files that failed, each with its reason, in the order they failed, and how many more
// the engine counted without keeping them: present/failed_list.h's rows, in a virtual list
// view of two columns, the reasons whole and the paths in the room left. A window of its
// own, not modal, made once and kept; it follows the engine while shown.
struct failed_files {
    explicit failed_files(engine* counter) : counter(counter) {}

    struct row {
        std::string name;   // as shown
        std::string reason; // worded
    };

    HWND window = nullptr;
    engine* counter = nullptr;
    // The engine's failures from this index on are not in the list yet.
    std::size_t listed = 0;
    std::vector<row> rows;
    int reason_width = 0; // the reasons' column, as wide as the widest
    std::wstring cell;    // the text last handed to the list view, kept until it asks again
};

void show_failed_files(HWND owner, failed_files& list);
// Adds the failures that happened since the last call, while the list is shown; the main
// window's timer calls it.
void refresh_failed_files(failed_files& list);
// Empties the list, as the engine's reset empties its own.
void clear_failed_files(failed_files& list);
