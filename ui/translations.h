#pragma once

#include <QLocale>
#include <QString>
#include <QStringList>

#include "present/words.h"

#include <string>

class QCoreApplication;

// Installs the window's translation into the first of the person's languages that has one,
// in their order of preference (by default QLocale::system()'s: LANGUAGE, then LC_ALL,
// LC_MESSAGES, LANG), and with it Qt's own for that language, for its standard dialogs and
// menus. English, the texts' own language, ends the search, as does the end of the list: the
// window then stays in English, Qt's parts included, rather than mixing two languages.
// Returns the language installed ("de"), or an empty string.
QString installTranslations(QCoreApplication *app, const QString &folder,
                            const QStringList &languages = QLocale::system().uiLanguages());

// Where the catalogues of the running program are: its installed data folder, found from the
// executable, which the build tree mirrors.
QString translationsFolder();

// Words that present/ writes once for every front end, in the person's language, as UTF-8 for
// present/ to fill in. `count` picks the grammatical number of counted words.
std::string translatedWords(const words &text, int count = -1);
