#pragma once

class QWidget;

// Where the person last put the window, kept between runs in the user's settings
// ($XDG_CONFIG_HOME/Pomvane/Pomvane.conf), once for each arrangement of screens.

// Puts the window, not yet shown, where it was last closed with the same screens attached;
// with screens never seen before, where it was last closed at all, moved onto a screen.
// Does nothing the first time, and on Wayland, where programs do not place their windows.
void restoreWindowPlacement(QWidget *window);

// Remembers where the window is now, for the screens now attached.
void saveWindowPlacement(const QWidget *window);
