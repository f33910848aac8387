#pragma once

// The ids of the window's controls, its refresh timer and the About entry's text.

#include <QtGlobal>

// The English original; the menu shows it translated in the main window's context.
inline constexpr char ABOUTBOX_TEXT[] = QT_TRANSLATE_NOOP("CPomvaneDlg", "&About Pomvane...");

// Controls
inline constexpr int IDC_STATIC = -1;
inline constexpr int IDOK = 1;
inline constexpr int IDC_RESET = 100;
inline constexpr int IDC_CHARACTERS = 1000;
inline constexpr int IDC_LINES = 1002;
inline constexpr int IDC_FILES = 1003;
inline constexpr int IDC_FILES_PROGRESS = 1004;
inline constexpr int IDC_FILE_PROGRESS = 1005;
inline constexpr int IDC_HINT = 1006;

// The refresh timer. Qt chooses the ids of the timers it runs, and the main dialog refreshes
// on every timer event whatever its id, so this only names the timer where an id must be
// given, as in a synthesised timer event.
inline constexpr int REFRESH_TIMER_ID = 0x1234;
inline constexpr int REFRESH_PERIOD_MS = 100;
