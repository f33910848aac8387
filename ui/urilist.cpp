#include "urilist.h"

#include <QList>
#include <QMimeData>
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

const QString uriListType = QStringLiteral("text/uri-list");
const QString copiedFilesType = QStringLiteral("x-special/gnome-copied-files");
// Enough for comments and a few links in front of the first file.
constexpr int linesToJudgeBy = 16;

// The list in the mime data, in text/uri-list form; empty when it offers none. An empty
// clipboard has no mime data at all.
QByteArray offeredList(const QMimeData *mime)
{
    if (!mime)
        return QByteArray();
    if (mime->hasFormat(uriListType))
        return mime->data(uriListType);
    if (!mime->hasFormat(copiedFilesType))
        return QByteArray();
    const QByteArray copied = mime->data(copiedFilesType);
    const qsizetype end = copied.indexOf('\n');
    const QByteArray operation = copied.first(end < 0 ? copied.size() : end).trimmed();
    return operation == "copy" || operation == "cut" ? copied.sliced(end < 0 ? copied.size() : end)
                                                     : QByteArray();
}

} // namespace

std::vector<std::string> offeredFilePaths(const QMimeData *mime)
{
    return localFilePaths(offeredList(mime));
}

bool offersFilePaths(const QMimeData *mime)
{
    const QByteArray list = offeredList(mime);
    qsizetype end = -1;
    for (int line = 0; line < linesToJudgeBy; ++line) {
        end = list.indexOf('\n', end + 1);
        if (end < 0)
            break;
    }
    return !localFilePaths(end < 0 ? list : list.first(end)).empty();
}

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
