#pragma once

#include <QString>

class QCoreApplication;

// Installs the window's translation into app's language, the first of the person's languages
// (QLocale::system(): LANGUAGE, then LC_ALL, LC_MESSAGES, LANG) that the catalogues in folder
// cover, and with it Qt's own for that language, for its standard dialogs and menus. In any
// other language the window stays in English, Qt's parts included, rather than mixing two.
// Returns the language installed ("de"), or an empty string.
QString installTranslations(QCoreApplication *app, const QString &folder);

// Where the catalogues of the running program are: its installed data folder, found from the
// executable, which the build tree mirrors.
QString translationsFolder();
