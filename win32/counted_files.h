#pragma once

#include "present/counted_list.h"

#include <windows.h>

#include <cstddef>
#include <string>
#include <vector>

class engine;

// Each counted file with its characters and lines, in a virtual list view that asks for the
// rows it draws (a quarter of a million rows cost no control memory), sortable by a click
// on a column's header and narrowed by a filter on the name: present/counted_list.h's rows.
// A window of its own, not modal, made once and kept; it follows the engine while shown.
struct counted_files {
    explicit counted_files(engine* counter) : counter(counter) {}

    HWND window = nullptr;
    engine* counter = nullptr;
    counted_list files;
    // The list's rows, in the order shown: indices into files.
    std::vector<std::size_t> rows;
    bool sorted = false; // by `by`, else in counting order
    counted_column by = counted_column::file;
    bool descending = false;
    std::string filter;
    std::wstring cell; // the text last handed to the list view, kept until it asks again
};

void show_counted_files(HWND owner, counted_files& list);
// Adds the files counted since the last call, while the list is shown; the main window's
// timer calls it.
void refresh_counted_files(counted_files& list);
// Empties the list, as the engine's reset empties its own.
void clear_counted_files(counted_files& list);
