#include "open_ahead.h"
#include "lib/os.h"

#include <algorithm>

open_ahead::open_ahead(bool at_once)
    : depth(std::min(wanted, lib::os::open_files_limit() / 8)), is_active(at_once)
{
}

input_file open_ahead::take()
{
    input_file file = std::move(files.front());
    files.pop_front();
    return file;
}
