#include "settings.h"

#include <windows.h>

namespace {

const wchar_t key[] = L"Software\\Pomvane";
const wchar_t walk_folders_value[] = L"CountFilesInFolders";

} // namespace

bool walk_folders_setting()
{
    DWORD value = 0;
    DWORD size = sizeof value;
    return RegGetValueW(HKEY_CURRENT_USER, key, walk_folders_value, RRF_RT_REG_DWORD, nullptr, &value, &size)
               == ERROR_SUCCESS
           && value != 0;
}

void remember_walk_folders(bool walk)
{
    const DWORD value = walk ? 1 : 0;
    RegSetKeyValueW(HKEY_CURRENT_USER, key, walk_folders_value, REG_DWORD, &value, sizeof value);
}
