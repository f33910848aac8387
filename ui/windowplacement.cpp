#include "windowplacement.h"

#include <QGuiApplication>
#include <QScreen>
#include <QSettings>
#include <QStringList>
#include <QWidget>

#include <algorithm>

namespace {

const QString lastPlacement = QStringLiteral("placement/last");
const QString clientKey = QStringLiteral("/client");
const QString frameKey = QStringLiteral("/frame");

// The arrangement of screens, as a settings group: a window put on the right-hand one of two
// screens goes back there whenever both are attached.
QString screenLayoutGroup()
{
    QStringList screens;
    for (const QScreen *screen : QGuiApplication::screens()) {
        const QRect area = screen->geometry();
        screens << QStringLiteral("%1x%2+%3+%4").arg(area.width()).arg(area.height()).arg(area.x()).arg(area.y());
    }
    screens.sort();
    return QStringLiteral("placement/screens ") + screens.join(QLatin1Char(' '));
}

// Only X11 lets a program place its window; elsewhere (Wayland, the tests' offscreen
// platform) there is nothing to keep.
bool placesWindows()
{
    return QGuiApplication::platformName() == QStringLiteral("xcb");
}

// The frame's place, moved wholly onto the screen it is mostly on, or onto the primary
// screen when that screen is gone.
QPoint onScreen(QRect frame)
{
    const QScreen *screen = QGuiApplication::screenAt(frame.center());
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    const QRect area = screen->availableGeometry();
    frame.moveLeft(std::max(area.left(), std::min(frame.left(), area.right() - frame.width() + 1)));
    frame.moveTop(std::max(area.top(), std::min(frame.top(), area.bottom() - frame.height() + 1)));
    return frame.topLeft();
}

} // namespace

void restoreWindowPlacement(QWidget *window)
{
    if (!placesWindows())
        return;
    const QSettings settings;
    QString group = screenLayoutGroup();
    if (!settings.contains(group + clientKey))
        group = lastPlacement;
    const QRect client = settings.value(group + clientKey).toRect();
    const QRect frame = settings.value(group + frameKey).toRect();
    if (!client.isValid() || !frame.contains(client))
        return;
    // The frame as the window manager drew it last time, around the client area as it is now
    // (a new font or scale changes its size).
    const QMargins margins(client.left() - frame.left(), client.top() - frame.top(),
                           frame.right() - client.right(), frame.bottom() - client.bottom());
    const QPoint frameAt = onScreen(QRect(client.topLeft(), window->size()).marginsAdded(margins));
    // The client area's place: Qt takes move() as the frame's, whose size it does not know
    // before the window is shown.
    window->setGeometry(QRect(frameAt + QPoint(margins.left(), margins.top()), window->size()));
}

void saveWindowPlacement(const QWidget *window)
{
    if (!placesWindows())
        return;
    QSettings settings;
    for (const QString &group : { screenLayoutGroup(), lastPlacement }) {
        settings.setValue(group + clientKey, window->geometry());
        settings.setValue(group + frameKey, window->frameGeometry());
    }
}
