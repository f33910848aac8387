#include "settings.h"

#include <cwchar>

namespace {

const wchar_t key[] = L"Software\\Pomvane";
const wchar_t walk_folders_value[] = L"CountFilesInFolders";
const wchar_t unicode_characters_value[] = L"CountUnicodeCharacters";
const wchar_t skip_ignored_value[] = L"SkipIgnoredFiles";
const wchar_t placement_key[] = L"Software\\Pomvane\\Placement";

bool flag_setting(const wchar_t* name, bool unset)
{
    DWORD value = 0;
    DWORD size = sizeof value;
    if (RegGetValueW(HKEY_CURRENT_USER, key, name, RRF_RT_REG_DWORD, nullptr, &value, &size) != ERROR_SUCCESS)
        return unset;
    return value != 0;
}

void remember_flag(const wchar_t* name, bool set)
{
    const DWORD value = set ? 1 : 0;
    RegSetKeyValueW(HKEY_CURRENT_USER, key, name, REG_DWORD, &value, sizeof value);
}

} // namespace

bool walk_folders_setting()
{
    return flag_setting(walk_folders_value, false);
}

void remember_walk_folders(bool walk)
{
    remember_flag(walk_folders_value, walk);
}

bool unicode_characters_setting()
{
    return flag_setting(unicode_characters_value, false);
}

void remember_unicode_characters(bool unicode)
{
    remember_flag(unicode_characters_value, unicode);
}

bool skip_ignored_setting()
{
    return flag_setting(skip_ignored_value, true);
}

void remember_skip_ignored(bool skip)
{
    remember_flag(skip_ignored_value, skip);
}

std::optional<POINT> window_place_setting(const std::wstring& name)
{
    wchar_t text[32];
    DWORD size = sizeof text;
    if (RegGetValueW(HKEY_CURRENT_USER, placement_key, name.c_str(), RRF_RT_REG_SZ, nullptr, text, &size)
        != ERROR_SUCCESS)
        return std::nullopt;
    POINT place;
    wchar_t after = 0;
    // Two numbers and nothing more; %lc catches anything after them.
    if (std::swscanf(text, L"%ld,%ld%lc", &place.x, &place.y, &after) != 2)
        return std::nullopt;
    return place;
}

void remember_window_place(const std::wstring& name, POINT place)
{
    const std::wstring text = std::to_wstring(place.x) + L"," + std::to_wstring(place.y);
    RegSetKeyValueW(HKEY_CURRENT_USER, placement_key, name.c_str(), REG_SZ, text.c_str(),
                    static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
}
