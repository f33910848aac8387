#include "path_queue.h"

void path_queue::push(std::string_view path, bool walk_folders, bool skip_ignored, bool utf8_characters)
{
    // The length and the flags as one number, seven bits to a byte, low bits first.
    std::uint64_t header = static_cast<std::uint64_t>(path.size()) << 3 | (utf8_characters ? 4 : 0)
                           | (skip_ignored ? 2 : 0) | (walk_folders ? 1 : 0);
    do {
        const auto low = static_cast<char>(header & 0x7f);
        header >>= 7;
        bytes.push_back(static_cast<char>(low | (header != 0 ? 0x80 : 0)));
    } while (header != 0);
    bytes.append(path);
    ++count;
}

path_queue::entry path_queue::pop()
{
    std::uint64_t header = 0;
    for (int shift = 0;; shift += 7) {
        const auto byte = static_cast<unsigned char>(bytes[head++]);
        header |= static_cast<std::uint64_t>(byte & 0x7f) << shift;
        if ((byte & 0x80) == 0)
            break;
    }
    const auto length = static_cast<std::size_t>(header >> 3);
    entry taken{bytes.substr(head, length), (header & 1) != 0, (header & 2) != 0, (header & 4) != 0};
    head += length;
    --count;
    // Give back what was taken once it is half the buffer: each byte moves at most once
    // on average.
    if (head == bytes.size()) {
        clear();
    } else if (head > bytes.size() / 2) {
        bytes.erase(0, head);
        head = 0;
    }
    return taken;
}

void path_queue::clear()
{
    bytes.clear();
    bytes.shrink_to_fit();
    head = 0;
    count = 0;
}
