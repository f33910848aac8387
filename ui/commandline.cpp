#include "commandline.h"

#include "version.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <cstdio>
#include <filesystem>
#include <system_error>

namespace {

// Only for printing usage: QCommandLineParser takes the program's name from the application
// object, and the window's QApplication must not exist yet (nor need a display) to print it.
QString helpText(const QCommandLineParser &parser)
{
    int argc = 1;
    char name[] = "pomvane";
    char *argv[] = { name, nullptr };
    const QCoreApplication app(argc, argv);
    return parser.helpText();
}

std::string absolute(const std::string &path, const std::string &folder)
{
    if (path.empty() || path.front() == '/' || folder.empty())
        return path;
    return folder.back() == '/' ? folder + path : folder + '/' + path;
}

} // namespace

std::optional<int> CommandLine::parse(int argc, char *argv[])
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
            "Counts the characters and lines of files. The files given are counted as if dropped on "
            "the window, in that order; a window already open on this display takes them over."));
    const QCommandLineOption help({ QStringLiteral("h"), QStringLiteral("help") },
                                  QStringLiteral("Show this help and exit."));
    const QCommandLineOption version({ QStringLiteral("v"), QStringLiteral("version") },
                                     QStringLiteral("Show the version and exit."));
    const QCommandLineOption newWindow(QStringLiteral("new-window"),
                                       QStringLiteral("Open a window of its own, even if one is open."));
    const QCommandLineOption recursive({ QStringLiteral("r"), QStringLiteral("recursive") },
                                       QStringLiteral("Count the folders given by the files in them and their subfolders."));
    parser.addOptions({ help, version, newWindow, recursive });
    parser.addPositionalArgument(QStringLiteral("FILE"),
                                 QStringLiteral("Files to count; after --, a name may start with -."),
                                 QStringLiteral("[--] [FILE...]"));

    // Latin-1 maps each byte to one character and back, so file names that are not valid in
    // the locale's encoding come back from the parser byte for byte.
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(QString::fromLatin1(argv[i]));

    if (!parser.parse(arguments)) {
        std::fprintf(stderr, "pomvane: %s\n%s\nTry 'pomvane --help' for more.\n", qPrintable(parser.errorText()),
                     qPrintable(helpText(parser).section(QLatin1Char('\n'), 0, 0)));
        return 2;
    }
    if (parser.isSet(help)) {
        std::fputs(qPrintable(helpText(parser)), stdout);
        return 0;
    }
    if (parser.isSet(version)) {
        std::printf("pomvane %s\n", POMVANE_VERSION_SHORT);
        return 0;
    }
    wantsNewWindow = parser.isSet(newWindow);
    wantsWalk = parser.isSet(recursive);

    std::error_code error;
    const std::string folder = std::filesystem::current_path(error).string();
    for (const QString &argument : parser.positionalArguments()) {
        const QByteArray bytes = argument.toLatin1();
        const std::string path(bytes.constData(), bytes.size());
        if (error && !path.empty() && path.front() != '/') {
            // Passed on as it stands, a relative name would be looked up in another process's
            // folder and could count the wrong file.
            std::fprintf(stderr, "pomvane: cannot make %s absolute: %s\n", path.c_str(),
                         error.message().c_str());
            return 1;
        }
        fileList.push_back(absolute(path, folder));
    }
    return std::nullopt;
}
