#include "translations.h"

#include <QCoreApplication>
#include <QDir>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

QString installTranslations(QCoreApplication *app, const QString &folder, const QStringList &languages)
{
    auto *own = new QTranslator(app);
    // QTranslator::load(QLocale) would pass over English, which has no catalogue, to the next
    // language, and give someone who put English first another language.
    for (const QString &name : languages) {
        const QLocale language(name);
        if (language.language() == QLocale::English
            || own->load(language, QStringLiteral("pomvane"), QStringLiteral("_"), folder))
            break;
    }
    if (own->isEmpty()) {
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

std::string translatedWords(const words &text, int count)
{
    return QCoreApplication::translate(text.context, text.text, text.comment, count).toStdString();
}
