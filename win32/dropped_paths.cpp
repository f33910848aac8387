#include "dropped_paths.h"

#include "lib/paths.h"

std::vector<std::string> dropped_paths(HDROP drop)
{
    const UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
    std::vector<std::string> paths;
    paths.reserve(count);
    std::wstring path;
    for (UINT i = 0; i < count; ++i) {
        // Asked for its length first, so that no path is cut at MAX_PATH.
        const UINT length = DragQueryFileW(drop, i, nullptr, 0);
        if (length == 0)
            continue;
        path.resize(length + 1);
        if (DragQueryFileW(drop, i, path.data(), length + 1) != length)
            continue;
        path.resize(length);
        paths.push_back(lib::to_utf8(path));
    }
    return paths;
}
