#pragma once

// Ids of the window's resources and controls, shared by the resource script and the code,
// hence plain macros: windres reads only the preprocessor's language.

// Dialog templates
#define IDD_ABOUTBOX 100
#define IDD_POMVANE_DIALOG 102
#define IDD_FAILED_FILES 103
#define IDD_COUNTED_FILES 104

// Icon, keys
#define IDR_MAINFRAME 128
#define IDR_ACCELERATORS 129

// The main window's class, by which later starts find it
#define MAIN_WINDOW_CLASS "PomvaneWindow"

// Strings
#define IDS_ABOUTBOX 101
#define IDS_ADD_FILES 102
#define IDS_PASTE_FILES 103
#define IDS_COPY_TOTALS 104
#define IDS_FAILED_FILES 105
#define IDS_WALK_FOLDERS 106
#define IDS_COUNTED_FILES 107
#define IDS_UNICODE_CHARACTERS 108
#define IDS_SKIP_IGNORED 109

// Controls
#define IDC_RESET 100
#define IDC_CHARACTERS 1000
#define IDC_LINES 1002
#define IDC_FILES 1003
#define IDC_FILES_PROGRESS 1004
#define IDC_FILE_PROGRESS 1005
#define IDC_HINT 1006
#define IDC_FAILED_LIST 1010
#define IDC_NOT_KEPT 1011
#define IDC_COPY_LIST 1012
#define IDC_FAILED_LABEL 1013
#define IDC_COUNTED_LIST 1020
#define IDC_COUNTED_FILTER 1021
#define IDC_COUNTED_NOT_KEPT 1022
#define IDC_COPY_ROWS 1023
#define IDC_SAVE_ROWS 1024

// The refresh timer
#define REFRESH_TIMER_ID 0x1234
#define REFRESH_PERIOD_MS 100

// Command ids of the system menu's entries (the low four bits belong to the system), also
// sent by their keys.
#define ABOUT_COMMAND_ID 0x10
#define ADD_FILES_COMMAND_ID 0x20
#define PASTE_FILES_COMMAND_ID 0x30
#define COPY_TOTALS_COMMAND_ID 0x40
#define FAILED_FILES_COMMAND_ID 0x50
#define WALK_FOLDERS_COMMAND_ID 0x60
#define COUNTED_FILES_COMMAND_ID 0x70
#define UNICODE_CHARACTERS_COMMAND_ID 0x80
#define SKIP_IGNORED_COMMAND_ID 0x90
