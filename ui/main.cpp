#include "commandline.h"
#include "pomvaneapp.h"
#include "singleinstance.h"
#include "translations.h"
#include "version.h"

#include <QApplication>
#include <QList>

#include <cstdio>
#include <cstdlib>
#include <utility>

namespace {

QList<std::pair<QtMsgType, QString>> heldMessages;
// Where the display back end's own messages start.
qsizetype displayMessagesFrom = 0;

// Installed until QApplication has started its display back end. When no back end can reach
// a display Qt ends the program with qFatal, which dumps core; this says what went wrong in
// one line instead, giving the back end's first complaint as the reason.
void holdMessagesUntilDisplayOpens(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    if (type != QtFatalMsg) {
        heldMessages.append({ type, message });
        return;
    }
    const QString reason = heldMessages.size() > displayMessagesFrom ? heldMessages[displayMessagesFrom].second : message;
    std::fprintf(stderr, "pomvane: cannot open a window on the display (DISPLAY=%s, WAYLAND_DISPLAY=%s): %s\n",
                 qgetenv("DISPLAY").constData(), qgetenv("WAYLAND_DISPLAY").constData(),
                 qPrintable(reason.section(QLatin1Char('\n'), 0, 0)));
    std::fflush(stderr);
    std::_Exit(EXIT_FAILURE);
}

// Wayland lets no program keep its own window above others, and the window's point is to stay
// on top. When the session offers X11 too (XWayland) and the person chose no platform, start
// through it, where the compositor's X11 window manager honours the request; native Wayland
// remains the fallback should XWayland not answer. Otherwise Qt chooses.
bool startThroughXWayland()
{
    return qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && !qEnvironmentVariableIsEmpty("DISPLAY")
            && !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
}

void releaseHeldMessages()
{
    qInstallMessageHandler(nullptr);
    for (const auto &[type, message] : std::as_const(heldMessages))
        qt_message_output(type, QMessageLogContext(), message);
    heldMessages.clear();
}

} // namespace

int main(int argc, char *argv[])
{
    CommandLine commandLine;
    if (const std::optional<int> status = commandLine.parse(argc, argv))
        return *status;

    // Without a display QApplication aborts with a core dump; say what is missing instead.
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")
        && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        std::fputs("pomvane: no display to open the window on (neither DISPLAY nor "
                   "WAYLAND_DISPLAY is set)\n", stderr);
        return EXIT_FAILURE;
    }

    qInstallMessageHandler(holdMessagesUntilDisplayOpens);
    // A window already open on this display takes the files; this start needs no display.
    QString socketError;
    SingleInstance instance(SingleInstance::defaultSocketPath(&socketError));
    const bool handOverPossible = socketError.isEmpty();
    if (!commandLine.newWindow() && handOverPossible) {
        QString error;
        switch (instance.handOver(commandLine.files(), commandLine.walkFolders(), &error)) {
        case SingleInstance::HandedOver:
            releaseHeldMessages();
            return EXIT_SUCCESS;
        case SingleInstance::Failed:
            releaseHeldMessages();
            std::fprintf(stderr, "pomvane: %s\n", qPrintable(error));
            return EXIT_FAILURE;
        case SingleInstance::NoWindow:
            break;
        }
    }

    // QSettings() keeps the settings in ~/.config/<organisation>/<application>.conf.
    QApplication::setOrganizationName(QStringLiteral("Pomvane"));
    QApplication::setApplicationName(QStringLiteral("Pomvane"));
    QApplication::setApplicationVersion(QStringLiteral(POMVANE_VERSION));
    // Wayland compositors find the window's icon and name through the desktop entry.
    QApplication::setDesktopFileName(QStringLiteral("org.pomvane.Pomvane"));
    // Only the program's name and the platform: the arguments are all files and Pomvane's own
    // options, and Qt would take a file named like one of its options (-style, -reverse) for
    // that option. The platform goes as an argument rather than through the environment, so
    // that it does not pass on to programs started from here.
    char platformOption[] = "-platform";
    char platforms[] = "xcb;wayland";
    char *qtArgv[] = { argv[0], platformOption, platforms, nullptr };
    int qtArgc = startThroughXWayland() ? 3 : 1;
    displayMessagesFrom = heldMessages.size();
    QApplication app(qtArgc, qtArgv);
    releaseHeldMessages();
    // Chosen by the person, native Wayland cannot keep the window above the others: say so
    // once, and how XWayland keeps it there.
    if (QGuiApplication::platformName().startsWith(QLatin1String("wayland"))
        && !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        std::fprintf(stderr, "pomvane: with QT_QPA_PLATFORM=%s the window cannot stay on top on Wayland; "
                     "leave QT_QPA_PLATFORM unset to open it through XWayland, which keeps it on top\n",
                     qgetenv("QT_QPA_PLATFORM").constData());
    installTranslations(&app, translationsFolder());

    if (!commandLine.newWindow()) {
        if (!handOverPossible || !instance.listen(&socketError))
            std::fprintf(stderr, "pomvane: later starts cannot hand files to this window: %s\n",
                         qPrintable(socketError));
    }
    CPomvaneApp theApp;
    theApp.InitInstance(commandLine.files(), commandLine.walkFolders(), commandLine.newWindow() ? nullptr : &instance);
    return EXIT_SUCCESS;
}
