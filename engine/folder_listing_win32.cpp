#include "folder_listing.h"

#include "lib/os.h"
#include "lib/paths.h"

#include <windows.h>

#include <memory>

namespace {

struct search {
    HANDLE handle = INVALID_HANDLE_VALUE;
    WIN32_FIND_DATAW found{};
    bool found_unread = false; // FindFirstFileExW's entry, not handed out yet
};

// UTF-16 to UTF-8 with U+FFFD for what has no UTF-8 form: only to name an entry that fails.
std::string shown(const wchar_t* name)
{
    const int size = WideCharToMultiByte(CP_UTF8, 0, name, -1, nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<std::size_t>(size > 0 ? size : 1), '\0');
    WideCharToMultiByte(CP_UTF8, 0, name, -1, utf8.data(), size, nullptr, nullptr);
    utf8.pop_back(); // the NUL it wrote
    return utf8;
}

bool ends_with_separator(const std::string& path)
{
    return path.ends_with('\\') || path.ends_with('/');
}

} // namespace

std::string folder_listing::path_of(const std::string& folder, const std::string& name)
{
    return ends_with_separator(folder) ? folder + name : folder + '\\' + name;
}

folder_listing::outcome folder_listing::open(const std::string& path, bool follow_link, failure_reason& reason)
{
    close();
    std::wstring name = lib::name_to_open(path);
    if (name.empty()) {
        reason = failure_reason::system(ERROR_INVALID_NAME);
        return failed;
    }
    const DWORD attributes = GetFileAttributesW(name.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        reason = failure_reason::system(GetLastError());
        return failed;
    }
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0
        || (!follow_link && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0))
        return not_a_folder;
    name += ends_with_separator(path) ? L"*" : L"\\*";
    auto state = std::make_unique<search>();
    state->handle = FindFirstFileExW(name.c_str(), FindExInfoBasic, &state->found, FindExSearchNameMatch, nullptr,
                                     FIND_FIRST_EX_LARGE_FETCH);
    if (state->handle == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        if (error != ERROR_FILE_NOT_FOUND) { // no entries at all: a drive's empty root
            reason = failure_reason::system(error);
            return failed;
        }
    }
    state->found_unread = state->handle != INVALID_HANDLE_VALUE;
    native = state.release();
    return opened;
}

int folder_listing::next(std::string& name, kind& what, failure_reason& reason)
{
    auto* const state = static_cast<search*>(native);
    for (;;) {
        if (!state->found_unread) {
            if (state->handle == INVALID_HANDLE_VALUE)
                return 0;
            if (!FindNextFileW(state->handle, &state->found)) {
                const DWORD error = GetLastError();
                if (error == ERROR_NO_MORE_FILES)
                    return 0;
                reason = failure_reason::system(error);
                return -1;
            }
        }
        state->found_unread = false;
        const WIN32_FIND_DATAW& found = state->found;
        const wchar_t* const n = found.cFileName;
        if (n[0] == L'.' && (n[1] == L'\0' || (n[1] == L'.' && n[2] == L'\0')))
            continue;
        name = lib::to_utf8(n);
        const DWORD attributes = found.dwFileAttributes;
        if (name.empty()) {
            // An unpaired surrogate, which NTFS allows: no path in UTF-8 names it.
            what = unnamed;
            name = shown(n);
        } else if ((attributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DEVICE)) != 0) {
            what = skipped; // links, junctions and mounted volumes are not followed
        } else {
            what = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? folder : file;
        }
        return 1;
    }
}

void folder_listing::close()
{
    auto* const state = static_cast<search*>(native);
    if (state != nullptr && state->handle != INVALID_HANDLE_VALUE)
        FindClose(state->handle);
    delete state;
    native = nullptr;
    on_device = 0;
    node = 0;
}
