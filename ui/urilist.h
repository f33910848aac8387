#pragma once

#include <QByteArray>

class QMimeData;

#include <string>
#include <vector>

// The local files of a text/uri-list, in list order, each as the raw bytes of its path.
// Comment lines, URIs other than file: URIs and file: URIs naming another host are skipped.
std::vector<std::string> localFilePaths(const QByteArray &uriList);

// Decodes every %XX escape of text to its byte. A '%' that starts no valid escape stays as it
// is.
QByteArray percentDecoded(const QByteArray &text);

// The local files a drag or the clipboard offers, in order: its text/uri-list or else the
// file managers' x-special/gnome-copied-files ("copy" or "cut", then one URI a line; either
// way the files are only read).
std::vector<std::string> offeredFilePaths(const QMimeData *mime);

// Whether offeredFilePaths() would find a file, judged from the first lines of the list
// alone: a drag of 100,000 files is decided without decoding them all.
bool offersFilePaths(const QMimeData *mime);
