#pragma once

#include <QSet>
#include <QStringList>

// The first menu entry whose letter (the one after '&') another entry before it already
// has, or an empty string: a letter shared only moves between entries instead of picking one.
inline QString entryWithSharedLetter(const QStringList &entries)
{
    QSet<QChar> letters;
    for (const QString &entry : entries) {
        const qsizetype amp = entry.indexOf(QLatin1Char('&'));
        if (amp < 0 || amp + 1 >= entry.size())
            continue;
        const QChar letter = entry[amp + 1].toLower();
        if (letters.contains(letter))
            return entry;
        letters.insert(letter);
    }
    return QString();
}
