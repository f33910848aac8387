#include "handovermessage.h"

#include <QtEndian>

#include <string>

namespace handover {

namespace {

const QByteArray magic = QByteArrayLiteral("pomvane\x01");

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

QByteArray encode(std::span<const std::string> paths)
{
    QByteArray body;
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
    return size >= 4 && size <= maxBodySize ? qsizetype(size) : -1;
}

bool decodeBody(const QByteArray &body, std::vector<std::string> &paths)
{
    if (body.size() < 4)
        return false;
    const quint32 count = numberAt(body, 0);
    // Each path takes at least its 4-byte length: a count beyond that is a lie.
    if (count > quint32((body.size() - 4) / 4))
        return false;
    std::vector<std::string> decoded;
    decoded.reserve(count);
    qsizetype at = 4;
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
    return true;
}

} // namespace handover
