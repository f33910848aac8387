#include "input_file.h"

#include "lib/os.h"
#include "lib/paths.h"

#include <windows.h>

#include <algorithm>
#include <string>

namespace {

// The reason not to keep `file`, just opened, or none when it is a file on a disk, not a
// folder or device, nor anything with the `refused` attributes, with a size: then `size`
// is that; else the file is closed.
failure_reason check_opened(HANDLE file, DWORD refused, std::uint64_t& size)
{
    BY_HANDLE_FILE_INFORMATION opened;
    LARGE_INTEGER length;
    if (GetFileType(file) != FILE_TYPE_DISK || !GetFileInformationByHandle(file, &opened)
        || (opened.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE | refused)) != 0
        || !GetFileSizeEx(file, &length) || length.QuadPart < 0) {
        CloseHandle(file);
        return {failure_reason::not_a_regular_file};
    }
    size = static_cast<std::uint64_t>(length.QuadPart);
    return {};
}

} // namespace

bool input_file::open(const std::string& path)
{
    close();
    const std::wstring name = lib::name_to_open(path);
    if (name.empty()) {
        failure = failure_reason::system(ERROR_INVALID_NAME);
        return false;
    }
    // Look first: a folder or a missing file is refused without opening anything.
    WIN32_FILE_ATTRIBUTE_DATA seen;
    if (!GetFileAttributesExW(name.c_str(), GetFileExInfoStandard, &seen)) {
        failure = failure_reason::system(GetLastError());
        return false;
    }
    if ((seen.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) != 0) {
        failure = {(seen.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? failure_reason::is_a_folder
                                                                          : failure_reason::not_a_regular_file};
        return false;
    }
    // Shared for reading, writing and deleting: a file open in an editor, or being written,
    // is counted, and its owner is never locked out. SECURITY_IDENTIFICATION keeps a pipe
    // that a link might lead to from acting as us.
    HANDLE file = CreateFileW(name.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING,
                              FILE_FLAG_SEQUENTIAL_SCAN | SECURITY_SQOS_PRESENT | SECURITY_IDENTIFICATION, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        failure = failure_reason::system(GetLastError());
        return false;
    }
    // Then check what was opened: a file on a disk, not a folder, with a size. (Win32 gives
    // the look no file id to compare; a path swapped in between is held to the same test.)
    failure = check_opened(file, 0, bytes);
    if (failure)
        return false;
    native = reinterpret_cast<std::intptr_t>(file);
    return true;
}

bool input_file::open_at(std::intptr_t folder, const std::string& name)
{
    close();
    // Relative to the folder, no name to look at first reaches a device or pipe; a reparse
    // point is opened itself, then refused, never followed.
    DWORD error = ERROR_SUCCESS;
    HANDLE file = lib::open_in_folder(reinterpret_cast<HANDLE>(folder), name, FILE_GENERIC_READ, error);
    if (file == INVALID_HANDLE_VALUE) {
        failure = failure_reason::system(error);
        return false;
    }
    failure = check_opened(file, FILE_ATTRIBUTE_REPARSE_POINT, bytes);
    if (failure)
        return false;
    native = reinterpret_cast<std::intptr_t>(file);
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
        failure = failure_reason::system(error);
        return -1;
    }
    return got;
}

std::int64_t input_file::read_cached(char* buffer, std::size_t size)
{
    return read(buffer, size);
}

bool input_file::shrank()
{
    LARGE_INTEGER now;
    return !GetFileSizeEx(reinterpret_cast<HANDLE>(native), &now) || static_cast<std::uint64_t>(now.QuadPart) < bytes;
}

void input_file::advise_willneed(std::uint64_t)
{
}

// Windows reads every file: nothing here tells what is in memory.
const char* input_file::map_cached(std::uint64_t, std::size_t)
{
    return nullptr;
}

void input_file::unmap(const char*, std::size_t)
{
}

bool input_file::seek(std::uint64_t offset)
{
    LARGE_INTEGER to;
    to.QuadPart = static_cast<LONGLONG>(offset);
    if (SetFilePointerEx(reinterpret_cast<HANDLE>(native), to, nullptr, FILE_BEGIN))
        return true;
    failure = failure_reason::system(GetLastError());
    return false;
}

void input_file::close()
{
    if (native != -1)
        CloseHandle(reinterpret_cast<HANDLE>(native));
    native = -1;
    bytes = 0;
    failure = {};
}
