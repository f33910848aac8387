#include "command_line.h"

#include "lib/paths.h"

#include <windows.h>

#include <algorithm>

namespace {

// The names in the argument's folder that its last part matches, sorted as NTFS lists them
// (case-insensitively); none when it holds no wildcard or matches nothing. Hidden and system
// files match too; "." and ".." do not.
std::vector<std::string> matches_of(const std::string& argument)
{
    std::size_t folder_end = argument.find_last_of("\\/");
    folder_end = folder_end == std::string::npos ? 0 : folder_end + 1;
    if (folder_end == 0 && argument.size() >= 2 && argument[1] == ':')
        folder_end = 2; // C:*.txt, in the drive's current folder
    // So a \\?\ prefix, whose ? is in a folder part, is left alone.
    if (argument.find_first_of("*?", folder_end) == std::string::npos)
        return {};
    // Long folders in the \\?\ form; devices are not searched.
    const std::wstring pattern = lib::name_to_open(argument);
    if (pattern.empty())
        return {};
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &found, FindExSearchNameMatch, nullptr, 0);
    if (search == INVALID_HANDLE_VALUE)
        return {};
    std::vector<std::wstring> names;
    do {
        const std::wstring_view name = found.cFileName;
        if (name != L"." && name != L"..")
            names.emplace_back(name);
    } while (FindNextFileW(search, &found));
    FindClose(search);

    std::sort(names.begin(), names.end(), [](const std::wstring& a, const std::wstring& b) {
        const int order = CompareStringOrdinal(a.c_str(), -1, b.c_str(), -1, TRUE);
        return order == CSTR_EQUAL ? a < b : order == CSTR_LESS_THAN;
    });
    std::vector<std::string> matches;
    // A name that is not valid UTF-16 has no UTF-8 form: its folder stands for it and fails.
    for (const std::wstring& name : names)
        matches.push_back(argument.substr(0, folder_end) + lib::to_utf8(name));
    return matches;
}

} // namespace

// cmd.exe hands wildcards over as they are; the C runtime's own expansion would read the
// arguments in the ANSI code page, hence this one on the UTF-16 command line.
std::vector<std::string> expand_wildcards(const std::vector<std::string>& paths)
{
    std::vector<std::string> expanded;
    for (const std::string& argument : paths) {
        std::vector<std::string> matches = matches_of(argument);
        if (matches.empty())
            expanded.push_back(argument); // which then fails to open
        else
            expanded.insert(expanded.end(), matches.begin(), matches.end());
    }
    return expanded;
}
