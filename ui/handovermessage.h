#pragma once

#include <QByteArray>

#include <span>
#include <string>
#include <vector>

// What a second start sends to the running window: a header (8 bytes of magic, then the
// body's size as a 32-bit big-endian number) and a body holding flags, the number of paths
// and each path as its length and raw bytes, 32-bit big-endian numbers too. The one flag,
// bit 0, asks for folders to be counted by their files; whether their ignored files are left
// out is the receiving window's own Skip Ignored Files setting, as for a drop. Paths may hold
// any byte but NUL; an empty list asks the window to come to the front.
namespace handover {

inline constexpr qsizetype headerSize = 12;
// Far above any command line (Linux caps one at a quarter of the stack limit, 2 MiB by
// default), and low enough that a bad peer cannot make the window hold much.
inline constexpr qsizetype maxBodySize = 64 << 20;
// The window's answer once the files are queued.
inline constexpr char accepted = 'A';

QByteArray encode(std::span<const std::string> paths, bool walkFolders = false);

// -1: the header is malformed or announces too large a body; otherwise the body's size.
qsizetype bodySize(const QByteArray &header);

// The paths and the flag of a body, or false when it is malformed: an unknown flag, counts
// or lengths that do not add up to the body exactly, or a NUL in a path.
bool decodeBody(const QByteArray &body, std::vector<std::string> &paths, bool &walkFolders);

} // namespace handover
