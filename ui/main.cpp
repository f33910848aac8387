#include "pomvaneapp.h"
#include "version.h"

#include <QApplication>

#include <cstdio>
#include <cstdlib>

int main(int argc, char *argv[])
{
    // Without a display QApplication aborts with a core dump; say what is missing instead.
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")
        && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        std::fputs("pomvane: no display to open the window on (neither DISPLAY nor "
                   "WAYLAND_DISPLAY is set)\n", stderr);
        return EXIT_FAILURE;
    }

    QApplication::setApplicationName(QStringLiteral("Pomvane"));
    QApplication::setApplicationVersion(QStringLiteral(POMVANE_VERSION));
    // Wayland compositors find the window's icon and name through the desktop entry.
    QApplication::setDesktopFileName(QStringLiteral("org.pomvane.Pomvane"));
    QApplication app(argc, argv);

    CPomvaneApp theApp;
    return theApp.InitInstance() ? app.exec() : EXIT_SUCCESS;
}
