#include "urilist.h"

#include <QList>
#include <QString>
#include <QSysInfo>

namespace {

bool isLocalHost(const QByteArray &host, const QByteArray &machineHostName)
{
    return host.isEmpty() || host.compare("localhost", Qt::CaseInsensitive) == 0
            || (!machineHostName.isEmpty() && host.compare(machineHostName, Qt::CaseInsensitive) == 0);
}

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

} // namespace

// QUrl cannot be used: QUrl::toLocalFile() replaces bytes that are not UTF-8, and a name that
// is not UTF-8 then names no file.
std::vector<std::string> localFilePaths(const QByteArray &uriList)
{
    const QByteArray machineHostName = QSysInfo::machineHostName().toUtf8();
    std::vector<std::string> paths;
    for (QByteArray line : uriList.split('\n')) {
        if (line.endsWith('\r'))
            line.chop(1);
        if (line.isEmpty() || line.startsWith('#'))
            continue;
        if (line.size() < 5 || line.first(5).compare("file:", Qt::CaseInsensitive) != 0)
            continue;
        QByteArray path = line.sliced(5);
        if (path.startsWith("//")) {
            const qsizetype slash = path.indexOf('/', 2);
            if (slash < 0 || !isLocalHost(path.sliced(2, slash - 2), machineHostName))
                continue;
            path = path.sliced(slash);
        }
        // A query or a fragment is no part of the path; a '?' or '#' in a name is escaped.
        for (const char delimiter : { '?', '#' }) {
            const qsizetype at = path.indexOf(delimiter);
            if (at >= 0)
                path.truncate(at);
        }
        if (!path.startsWith('/'))
            continue;
        const QByteArray decoded = percentDecoded(path);
        paths.emplace_back(decoded.constData(), decoded.size());
    }
    return paths;
}

// QByteArray::fromPercentEncoding turns a '%' that starts no valid escape into a garbage byte,
// so a sloppy "100%.txt" would name another file; this keeps such a '%' as it stands.
QByteArray percentDecoded(const QByteArray &text)
{
    QByteArray bytes;
    bytes.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const bool escape = text[i] == '%' && i + 2 < text.size();
        const int high = escape ? hexValue(text[i + 1]) : -1;
        const int low = high >= 0 ? hexValue(text[i + 2]) : -1;
        if (low >= 0) {
            bytes.append(char(high * 16 + low));
            i += 2;
        } else {
            bytes.append(text[i]);
        }
    }
    return bytes;
}
