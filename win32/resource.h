#pragma once

// Ids of the window's resources and controls, shared by the resource script and the code,
// hence plain macros: windres reads only the preprocessor's language.

// Dialog templates
#define IDD_ABOUTBOX 100
#define IDD_POMVANE_DIALOG 102

// Icon
#define IDR_MAINFRAME 128

// Strings
#define IDS_ABOUTBOX 101

// Controls
#define IDC_RESET 100
#define IDC_CHARACTERS 1000
#define IDC_LINES 1002
#define IDC_FILES 1003
#define IDC_FILES_PROGRESS 1004
#define IDC_FILE_PROGRESS 1005

// The refresh timer
#define REFRESH_TIMER_ID 0x1234
#define REFRESH_PERIOD_MS 100

// Command id of the About entry in the system menu; the low four bits belong to the system.
#define ABOUT_COMMAND_ID 0x10
