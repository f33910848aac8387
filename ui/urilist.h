#pragma once

#include <QByteArray>

#include <string>
#include <vector>

// The local files of a text/uri-list, in list order, each as the raw bytes of its path.
// Comment lines, URIs other than file: URIs and file: URIs naming another host are skipped.
std::vector<std::string> localFilePaths(const QByteArray &uriList);

// Decodes every %XX escape of text to its byte. A '%' that starts no valid escape stays as it
// is.
QByteArray percentDecoded(const QByteArray &text);
