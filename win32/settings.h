#pragma once

// The window's one setting, remembered between runs in the registry, under
// HKEY_CURRENT_USER\Software\Pomvane: whether folders given are counted by their files
// (CountFilesInFolders, a DWORD, 0 or 1). Off when it was never set or cannot be read.
bool walk_folders_setting();
void remember_walk_folders(bool walk);
