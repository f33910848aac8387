#include "file_chooser.h"

#include "lib/paths.h"

#include <shobjidl.h>

namespace {

// Releases a COM object at the end of the scope.
template <typename T> struct released {
    T* object = nullptr;
    ~released()
    {
        if (object)
            object->Release();
    }
};

std::vector<std::string> chosen_paths(IShellItemArray* items)
{
    std::vector<std::string> paths;
    DWORD count = 0;
    if (FAILED(items->GetCount(&count)))
        return paths;
    for (DWORD i = 0; i < count; ++i) {
        released<IShellItem> item;
        wchar_t* name = nullptr;
        if (FAILED(items->GetItemAt(i, &item.object)) || FAILED(item.object->GetDisplayName(SIGDN_FILESYSPATH, &name)))
            continue;
        paths.push_back(lib::to_utf8(name));
        CoTaskMemFree(name);
    }
    return paths;
}

} // namespace

std::vector<std::string> choose_files(HWND owner)
{
    // The item dialog rather than GetOpenFileNameW: its results are not limited by a buffer.
    released<IFileOpenDialog> dialog;
    if (FAILED(CoCreateInstance(CLSID_FileOpenDialog, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&dialog.object))))
        return {};
    FILEOPENDIALOGOPTIONS flags = 0;
    dialog.object->GetOptions(&flags);
    // The process keeps its current folder.
    dialog.object->SetOptions(flags | FOS_ALLOWMULTISELECT | FOS_FILEMUSTEXIST | FOS_FORCEFILESYSTEM
                              | FOS_NOCHANGEDIR);
    dialog.object->SetTitle(L"Add Files");
    released<IShellItemArray> items;
    if (FAILED(dialog.object->Show(owner)) || FAILED(dialog.object->GetResults(&items.object)))
        return {};
    return chosen_paths(items.object);
}

std::wstring choose_csv_to_save(HWND owner, const wchar_t* title)
{
    released<IFileSaveDialog> dialog;
    if (FAILED(CoCreateInstance(CLSID_FileSaveDialog, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&dialog.object))))
        return {};
    FILEOPENDIALOGOPTIONS flags = 0;
    dialog.object->GetOptions(&flags);
    dialog.object->SetOptions(flags | FOS_OVERWRITEPROMPT | FOS_FORCEFILESYSTEM | FOS_NOCHANGEDIR);
    const COMDLG_FILTERSPEC types[] = {{L"CSV files (*.csv)", L"*.csv"}};
    dialog.object->SetFileTypes(1, types);
    dialog.object->SetDefaultExtension(L"csv");
    dialog.object->SetTitle(title);
    released<IShellItem> item;
    wchar_t* name = nullptr;
    if (FAILED(dialog.object->Show(owner)) || FAILED(dialog.object->GetResult(&item.object))
        || FAILED(item.object->GetDisplayName(SIGDN_FILESYSPATH, &name)))
        return {};
    std::wstring chosen = name;
    CoTaskMemFree(name);
    return chosen;
}
