#pragma once

#include <QIcon>

// The application's own icon (IDR_MAINFRAME), in all its sizes.
QIcon applicationIcon();
