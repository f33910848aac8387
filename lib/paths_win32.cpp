#include "paths.h"

#include <windows.h>

#include <shellapi.h>
#include <winternl.h>

#include <climits>
#include <new>

namespace lib {

std::vector<std::string> command_line_arguments(int, char**)
{
    int count = 0;
    wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
    if (wide == nullptr)
        throw std::bad_alloc(); // its one way to fail
    std::vector<std::string> arguments;
    for (int i = 1; i < count; ++i)
        arguments.push_back(to_utf8(wide[i]));
    LocalFree(wide);
    return arguments;
}

std::string to_utf8(std::wstring_view text)
{
    if (text.empty() || text.size() > INT_MAX)
        return {};
    const int length = static_cast<int>(text.size());
    const int size = WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, text.data(), length, nullptr, 0,
                                         nullptr, nullptr);
    if (size <= 0)
        return {};
    std::string utf8(static_cast<std::size_t>(size), '\0');
    if (WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, text.data(), length, utf8.data(), size, nullptr,
                            nullptr)
        != size)
        return {};
    return utf8;
}

std::wstring to_utf16(std::string_view text)
{
    if (text.empty() || text.size() > INT_MAX)
        return {};
    const int size = static_cast<int>(text.size());
    const int length = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), size, nullptr, 0);
    if (length <= 0)
        return {};
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    if (MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), size, wide.data(), length) != length)
        return {};
    return wide;
}

std::wstring full_path(const std::wstring& path)
{
    const DWORD needed = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (needed == 0)
        return {};
    std::wstring full(needed, L'\0');
    const DWORD length = GetFullPathNameW(path.c_str(), needed, full.data(), nullptr);
    if (length == 0 || length >= needed)
        return {};
    full.resize(length);
    return full;
}

// The \\?\ form has no MAX_PATH limit but skips Win32's normalisation, hence
// GetFullPathNameW first (slashes, "." and ".."). Anything in the device namespace (NUL,
// CON, COM1, \\.\PhysicalDrive0, \\.\pipe\...) is refused before it is tried, since opening
// a device or pipe has effects of its own and may wait.
std::wstring name_to_open(std::string_view utf8)
{
    // A NUL would silently name another file.
    if (utf8.find('\0') != std::string_view::npos)
        return {};
    const std::wstring path = to_utf16(utf8);
    if (path.empty())
        return {};
    // The NT namespace, which CreateFileW would take as it is.
    if (path.starts_with(L"\\??\\") || path.starts_with(L"/\?\?/"))
        return {};
    const std::wstring full = full_path(path);
    if (full.empty())
        return {};
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

void* open_in_folder(void* folder, std::string_view name, unsigned long access, unsigned long& error)
{
    std::wstring entry = to_utf16(name);
    // One name, never a path: nothing below or beside the folder.
    if (entry.empty() || entry.size() > 32767 || entry.find_first_of(L"\\/") != std::wstring::npos) {
        error = ERROR_INVALID_NAME;
        return INVALID_HANDLE_VALUE;
    }
    UNICODE_STRING object_name;
    object_name.Buffer = entry.data();
    object_name.Length = static_cast<USHORT>(entry.size() * sizeof(wchar_t));
    object_name.MaximumLength = object_name.Length;
    OBJECT_ATTRIBUTES attributes;
    InitializeObjectAttributes(&attributes, &object_name, 0, folder, nullptr); // the name as listed, case and all
    IO_STATUS_BLOCK io{};
    HANDLE opened = nullptr;
    const NTSTATUS status = NtCreateFile(&opened, access | SYNCHRONIZE, &attributes, &io, nullptr, 0,
                                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, FILE_OPEN,
                                         FILE_OPEN_REPARSE_POINT | FILE_SYNCHRONOUS_IO_NONALERT, nullptr, 0);
    if (status < 0) {
        error = RtlNtStatusToDosError(status);
        return INVALID_HANDLE_VALUE;
    }
    return opened;
}

} // namespace lib
