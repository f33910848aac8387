#include "input_file.h"

#include <windows.h>

#include <algorithm>
#include <climits>
#include <string>

namespace {

// UTF-8 to UTF-16 for the wide calls. An invalid sequence fails instead of becoming U+FFFD,
// which would name another file.
bool widen(const std::string& utf8, std::wstring& wide)
{
    if (utf8.empty() || utf8.size() > INT_MAX)
        return false;
    const int size = static_cast<int>(utf8.size());
    const int length = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), size, nullptr, 0);
    if (length <= 0)
        return false;
    wide.resize(static_cast<std::size_t>(length));
    return MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), size, wide.data(), length) == length;
}

// The name to open: the path as given while the full path stays below MAX_PATH, else the
// full path in the \\?\ form, which has no such limit but skips Win32's normalisation, hence
// GetFullPathNameW first (slashes, "." and ".."). Empty for anything in the device
// namespace (NUL, CON, COM1, \\.\PhysicalDrive0, \\.\pipe\...): opening those is refused
// before it is tried, since opening a device or pipe has effects of its own and may wait.
std::wstring name_to_open(const std::wstring& path)
{
    // The NT namespace, which CreateFileW would take as it is.
    if (path.starts_with(L"\\??\\") || path.starts_with(L"/\?\?/"))
        return {};
    const DWORD needed = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (needed == 0)
        return {};
    std::wstring full(needed, L'\0');
    const DWORD length = GetFullPathNameW(path.c_str(), needed, full.data(), nullptr);
    if (length == 0 || length >= needed)
        return {};
    full.resize(length);
    // Only drive paths (C:\...) and shares (\\server\share\...) name files; \\?\ paths only
    // in those two forms.
    const auto is_drive = [](const std::wstring& p, std::size_t at) {
        const wchar_t letter = p.size() >= at + 3 ? static_cast<wchar_t>(p[at] | 0x20) : 0;
        return letter >= L'a' && letter <= L'z' && p[at + 1] == L':' && p[at + 2] == L'\\';
    };
    if (full.starts_with(L"\\\\?\\"))
        return is_drive(full, 4) || full.starts_with(L"\\\\?\\UNC\\") ? full : std::wstring{};
    if (full.starts_with(L"\\\\.\\") || full.starts_with(L"\\??\\"))
        return {};
    if (full.size() < MAX_PATH)
        return path;
    if (is_drive(full, 0))
        return L"\\\\?\\" + full;
    if (full.starts_with(L"\\\\"))
        return L"\\\\?\\UNC\\" + full.substr(2);
    return {};
}

// The system's message for a Win32 error, in UTF-8, without the full stop and line end
// FormatMessage puts after it.
std::string message(DWORD error)
{
    wchar_t text[512];
    DWORD length = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0,
                                  text, sizeof text / sizeof text[0], nullptr);
    while (length > 0 && (text[length - 1] == L'\n' || text[length - 1] == L'\r' || text[length - 1] == L'.'
                          || text[length - 1] == L' '))
        --length;
    if (length == 0)
        return "error " + std::to_string(error);
    const int size = WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<std::size_t>(size > 0 ? size : 0), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), utf8.data(), size, nullptr, nullptr);
    return utf8;
}

} // namespace

bool input_file::open(const std::string& path)
{
    close();
    std::wstring wide;
    // A NUL would silently name another file.
    if (path.find('\0') != std::string::npos || !widen(path, wide)) {
        failure = message(ERROR_INVALID_NAME);
        return false;
    }
    const std::wstring name = name_to_open(wide);
    if (name.empty()) {
        failure = "not a regular file";
        return false;
    }
    // Look first: a folder or a missing file is refused without opening anything.
    WIN32_FILE_ATTRIBUTE_DATA seen;
    if (!GetFileAttributesExW(name.c_str(), GetFileExInfoStandard, &seen)) {
        failure = message(GetLastError());
        return false;
    }
    if ((seen.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) != 0) {
        failure = (seen.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? "is a folder" : "not a regular file";
        return false;
    }
    // Shared for reading, writing and deleting: a file open in an editor, or being written,
    // is counted, and its owner is never locked out. SECURITY_IDENTIFICATION keeps a pipe
    // that a link might lead to from acting as us.
    HANDLE file = CreateFileW(name.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING,
                              FILE_FLAG_SEQUENTIAL_SCAN | SECURITY_SQOS_PRESENT | SECURITY_IDENTIFICATION, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        failure = message(GetLastError());
        return false;
    }
    // Then check what was opened: a file on a disk, not a folder, with a size. (Win32 gives
    // the look no file id to compare; a path swapped in between is held to the same test.)
    BY_HANDLE_FILE_INFORMATION opened;
    LARGE_INTEGER size;
    if (GetFileType(file) != FILE_TYPE_DISK || !GetFileInformationByHandle(file, &opened)
        || (opened.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) != 0
        || !GetFileSizeEx(file, &size) || size.QuadPart < 0) {
        failure = "not a regular file";
        CloseHandle(file);
        return false;
    }
    native = reinterpret_cast<std::intptr_t>(file);
    bytes = static_cast<std::uint64_t>(size.QuadPart);
    return true;
}

std::int64_t input_file::read(char* buffer, std::size_t size)
{
    // ReadFile takes a 32-bit count.
    const auto wanted = static_cast<DWORD>(std::min<std::size_t>(size, 1u << 30));
    DWORD got = 0;
    if (!ReadFile(reinterpret_cast<HANDLE>(native), buffer, wanted, &got, nullptr)) {
        const DWORD error = GetLastError();
        if (error == ERROR_HANDLE_EOF)
            return 0;
        failure = message(error);
        return -1;
    }
    return got;
}

std::int64_t input_file::read_cached(char* buffer, std::size_t size)
{
    return read(buffer, size);
}

void input_file::advise_sequential()
{
}

void input_file::advise_willneed(std::uint64_t)
{
}

void input_file::close()
{
    if (native != -1)
        CloseHandle(reinterpret_cast<HANDLE>(native));
    native = -1;
    bytes = 0;
    failure.clear();
}
