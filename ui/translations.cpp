#include "translations.h"

#include "version.h"

#include <QCoreApplication>
#include <QDir>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

QString installTranslations(QCoreApplication *app, const QString &folder)
{
    auto *own = new QTranslator(app);
    if (!own->load(QLocale::system(), QStringLiteral("pomvane"), QStringLiteral("_"), folder)) {
        delete own;
        return QString();
    }
    app->installTranslator(own);
    // Qt's catalogue is optional (Debian's qt6-translations-l10n): without it only the file
    // chooser's and the fields' own entries stay in English.
    auto *qt = new QTranslator(app);
    if (qt->load(QLocale(own->language()), QStringLiteral("qtbase"), QStringLiteral("_"),
                 QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        app->installTranslator(qt);
    else
        delete qt;
    return own->language();
}

QString translationsFolder()
{
    return QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral(POMVANE_TRANSLATIONS_FROM_BINARY));
}
