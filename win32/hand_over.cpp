#include "hand_over.h"

#include "lib/paths.h"

#include <cstdint>
#include <cstring>

namespace hand_over {

namespace {

void put_number(std::vector<unsigned char>& out, std::uint32_t value)
{
    for (int shift = 0; shift < 32; shift += 8)
        out.push_back(static_cast<unsigned char>(value >> shift));
}

// Reads a number at `at`, moving past it; false when fewer than four bytes are left.
bool take_number(const unsigned char* data, std::size_t size, std::size_t& at, std::uint32_t& value)
{
    if (size - at < 4)
        return false;
    value = 0;
    for (int i = 3; i >= 0; --i)
        value = value << 8 | data[at + static_cast<std::size_t>(i)];
    at += 4;
    return true;
}

} // namespace

std::vector<unsigned char> encode(const std::vector<std::string>& paths, bool walk_folders)
{
    std::vector<unsigned char> out;
    put_number(out, walk_folders ? 1 : 0);
    put_number(out, static_cast<std::uint32_t>(paths.size()));
    for (const std::string& path : paths) {
        const std::wstring wide = lib::to_utf16(path);
        put_number(out, static_cast<std::uint32_t>(wide.size()));
        const auto* bytes = reinterpret_cast<const unsigned char*>(wide.data());
        out.insert(out.end(), bytes, bytes + wide.size() * sizeof(wchar_t));
    }
    return out;
}

bool decode(const COPYDATASTRUCT& message, std::vector<std::string>& paths, bool& walk_folders)
{
    if (message.dwData != tag || (message.cbData != 0 && message.lpData == nullptr))
        return false;
    const auto* data = static_cast<const unsigned char*>(message.lpData);
    const std::size_t size = message.cbData;
    std::size_t at = 0;
    std::uint32_t flags = 0;
    std::uint32_t count = 0;
    // Each path takes at least its 4-byte length: a count beyond what is left is a lie, refused
    // before it sizes anything.
    if (!take_number(data, size, at, flags) || flags > 1 || !take_number(data, size, at, count)
        || count > (size - at) / 4)
        return false;
    std::vector<std::string> taken;
    taken.reserve(count);
    std::wstring path;
    for (std::uint32_t i = 0; i < count; ++i) {
        std::uint32_t length = 0;
        if (!take_number(data, size, at, length) || (size - at) / sizeof(wchar_t) < length)
            return false;
        path.resize(length);
        std::memcpy(path.data(), data + at, length * sizeof(wchar_t));
        at += length * sizeof(wchar_t);
        // A NUL would end the name early and name another file.
        if (path.find(L'\0') != std::wstring::npos)
            return false;
        std::string utf8 = lib::to_utf8(path);
        if (utf8.empty() && !path.empty())
            return false;
        taken.push_back(std::move(utf8));
    }
    if (at != size)
        return false;
    paths = std::move(taken);
    walk_folders = flags != 0;
    return true;
}

} // namespace hand_over
