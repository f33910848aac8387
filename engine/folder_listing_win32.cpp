#include "folder_listing.h"

#include "lib/os.h"
#include "lib/paths.h"

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string_view>

namespace {

// What a folder's handle is opened with: listing its entries, opening them relative to it.
constexpr DWORD folder_access = FILE_LIST_DIRECTORY | FILE_TRAVERSE | FILE_READ_ATTRIBUTES | SYNCHRONIZE;

// A listing under way: records read from the folder's handle a buffer at a time.
struct listing {
    static constexpr std::size_t buffer_size = 64 * 1024;
    std::unique_ptr<std::uint64_t[]> buffer{new std::uint64_t[buffer_size / sizeof(std::uint64_t)]}; // aligned
    std::size_t at = 0;       // where the next record starts
    bool holds_records = false; // records not handed out yet
    bool first = true;
    bool ended = false;
};

// UTF-16 to UTF-8 with U+FFFD for what has no UTF-8 form: only to name an entry that fails.
std::string shown(std::wstring_view name)
{
    const int length = static_cast<int>(name.size());
    const int size = WideCharToMultiByte(CP_UTF8, 0, name.data(), length, nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<std::size_t>(size > 0 ? size : 0), '\0');
    WideCharToMultiByte(CP_UTF8, 0, name.data(), length, utf8.data(), size, nullptr, nullptr);
    return utf8;
}

bool ends_with_separator(const std::string& path)
{
    return path.ends_with('\\') || path.ends_with('/');
}

// The folder of that name (name_to_open's), followed through links as the root of a walk
// is, for listing.
HANDLE open_folder_named(const std::wstring& name, DWORD& error)
{
    // FILE_FLAG_BACKUP_SEMANTICS: the flag without which CreateFileW opens no folder.
    HANDLE folder = CreateFileW(name.c_str(), folder_access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    error = folder == INVALID_HANDLE_VALUE ? GetLastError() : ERROR_SUCCESS;
    return folder;
}

} // namespace

open_folder::~open_folder()
{
    CloseHandle(reinterpret_cast<HANDLE>(native));
}

std::string folder_listing::join(const std::string& folder, const std::string& name)
{
    return ends_with_separator(folder) ? folder + name : folder + '\\' + name;
}

folder_listing::outcome folder_listing::open(const std::string& path, failure_reason& reason)
{
    close();
    // Look first: only a folder is opened, so that no device or pipe feels an open.
    const std::wstring name = lib::name_to_open(path);
    const DWORD attributes = name.empty() ? INVALID_FILE_ATTRIBUTES : GetFileAttributesW(name.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        reason = failure_reason::system(name.empty() ? ERROR_INVALID_NAME : GetLastError());
        return failed;
    }
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0)
        return not_a_folder;
    DWORD error = ERROR_SUCCESS;
    HANDLE folder = open_folder_named(name, error);
    SetLastError(error);
    return start(reinterpret_cast<std::intptr_t>(folder), reason);
}

folder_listing::outcome folder_listing::open_at(const open_folder& parent, const std::string& name,
                                                failure_reason& reason)
{
    close();
    DWORD error = ERROR_SUCCESS;
    HANDLE folder = lib::open_in_folder(reinterpret_cast<HANDLE>(parent.native_handle()), name, folder_access, error);
    SetLastError(error);
    return start(reinterpret_cast<std::intptr_t>(folder), reason);
}

folder_listing::outcome folder_listing::start(std::intptr_t native_folder, failure_reason& reason)
{
    HANDLE const handle = reinterpret_cast<HANDLE>(native_folder);
    if (handle == INVALID_HANDLE_VALUE) {
        reason = failure_reason::system(GetLastError());
        return failed;
    }
    auto folder = std::make_shared<const open_folder>(native_folder);
    BY_HANDLE_FILE_INFORMATION seen;
    if (!GetFileInformationByHandle(handle, &seen)) {
        reason = failure_reason::system(GetLastError());
        return failed;
    }
    // A link, junction or mounted volume swapped in since the listing is passed by, as
    // those listed are.
    if ((seen.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0
        || (seen.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0)
        return not_a_folder;
    native = new listing;
    opened_folder = std::move(folder);
    dev = seen.dwVolumeSerialNumber;
    ino = static_cast<std::uint64_t>(seen.nFileIndexHigh) << 32 | seen.nFileIndexLow;
    return opened;
}

shared_folder folder_listing::reopen_above(const open_folder&, const std::string& path, std::uint64_t device,
                                           std::uint64_t inode, failure_reason& reason)
{
    const std::wstring name = lib::name_to_open(path);
    DWORD error = ERROR_INVALID_NAME;
    HANDLE handle = name.empty() ? INVALID_HANDLE_VALUE : open_folder_named(name, error);
    if (handle == INVALID_HANDLE_VALUE) {
        reason = failure_reason::system(error);
        return nullptr;
    }
    auto folder = std::make_shared<const open_folder>(reinterpret_cast<std::intptr_t>(handle));
    BY_HANDLE_FILE_INFORMATION opened;
    if (!GetFileInformationByHandle(handle, &opened)) {
        reason = failure_reason::system(GetLastError());
        return nullptr;
    }
    if (opened.dwVolumeSerialNumber != device
        || (static_cast<std::uint64_t>(opened.nFileIndexHigh) << 32 | opened.nFileIndexLow) != inode) {
        reason = {failure_reason::moved_while_walked};
        return nullptr;
    }
    return folder;
}

int folder_listing::next(std::string& name, type& found, failure_reason& reason)
{
    auto* const state = static_cast<listing*>(native);
    auto* const bytes = reinterpret_cast<const unsigned char*>(state->buffer.get());
    for (;;) {
        if (!state->holds_records) {
            if (state->ended)
                return 0;
            if (!GetFileInformationByHandleEx(reinterpret_cast<HANDLE>(opened_folder->native_handle()),
                                              FileIdBothDirectoryInfo, state->buffer.get(), listing::buffer_size)) {
                const DWORD error = GetLastError();
                // No entries at all (a drive's empty root) on the first call.
                if (error == ERROR_NO_MORE_FILES || (state->first && error == ERROR_FILE_NOT_FOUND)) {
                    state->ended = true;
                    return 0;
                }
                reason = failure_reason::system(error);
                return -1;
            }
            state->first = false;
            state->holds_records = true;
            state->at = 0;
        }
        const auto* const record = reinterpret_cast<const FILE_ID_BOTH_DIR_INFO*>(bytes + state->at);
        if (record->NextEntryOffset == 0)
            state->holds_records = false;
        else
            state->at += record->NextEntryOffset;
        const std::wstring_view n(record->FileName, record->FileNameLength / sizeof(wchar_t));
        if (n == L"." || n == L"..")
            continue;
        name = lib::to_utf8(n);
        const DWORD attributes = record->FileAttributes;
        if (name.empty()) {
            // An unpaired surrogate, which NTFS allows: no path in UTF-8 names it.
            found = invalid_name;
            name = shown(n);
        } else if ((attributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DEVICE)) != 0) {
            found = other; // links, junctions and mounted volumes are not followed
        } else {
            found = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? folder : regular_file;
        }
        return 1;
    }
}

void folder_listing::close()
{
    delete static_cast<listing*>(native);
    native = nullptr;
    opened_folder.reset();
    dev = 0;
    ino = 0;
}
