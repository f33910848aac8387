#include "handovermessage.h"

#include <QtEndian>

#include <string>

namespace handover {

namespace {

// The last byte is the format's version: the flags came with 2, and a window of another
// version refuses the message rather than misread it.
const QByteArray magic = QByteArrayLiteral("pomvane\x02");
constexpr quint32 walkFoldersFlag = 1;

void appendNumber(QByteArray &bytes, quint32 value)
{
    char raw[4];
    qToBigEndian(value, raw);
    bytes.append(raw, 4);
}

quint32 numberAt(const QByteArray &bytes, qsizetype at)
{
    return qFromBigEndian<quint32>(bytes.constData() + at);
}

} // namespace

QByteArray encode(std::span<const std::string> paths, bool walkFolders)
{
    QByteArray body;
    appendNumber(body, walkFolders ? walkFoldersFlag : 0);
    appendNumber(body, quint32(paths.size()));
    for (const std::string &path : paths) {
        appendNumber(body, quint32(path.size()));
        body.append(path.data(), qsizetype(path.size()));
    }
    QByteArray message = magic;
    appendNumber(message, quint32(body.size()));
    return message + body;
}

qsizetype bodySize(const QByteArray &header)
{
    if (header.size() != headerSize || !header.startsWith(magic))
        return -1;
    const quint32 size = numberAt(header, magic.size());
    return size >= 8 && size <= maxBodySize ? qsizetype(size) : -1;
}

bool decodeBody(const QByteArray &body, std::vector<std::string> &paths, bool &walkFolders)
{
    if (body.size() < 8)
        return false;
    const quint32 flags = numberAt(body, 0);
    if (flags & ~walkFoldersFlag)
        return false;
    const quint32 count = numberAt(body, 4);
    // Each path takes at least its 4-byte length: a count beyond that is a lie.
    if (count > quint32((body.size() - 8) / 4))
        return false;
    std::vector<std::string> decoded;
    decoded.reserve(count);
    qsizetype at = 8;
    for (quint32 i = 0; i < count; ++i) {
        if (body.size() - at < 4)
            return false;
        const quint32 length = numberAt(body, at);
        at += 4;
        if (length > quint64(body.size() - at))
            return false;
        const char *bytes = body.constData() + at;
        if (std::char_traits<char>::find(bytes, length, '\0'))
            return false;
        decoded.emplace_back(bytes, length);
        at += length;
    }
    if (at != body.size())
        return false;
    paths = std::move(decoded);
    walkFolders = flags & walkFoldersFlag;
    return true;
}

} // namespace handover
