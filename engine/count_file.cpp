#include "engine.h"

#include "count_file.h"

bool engine::count_file(const std::string& path, std::span<char> buffer, counts& counted, failure_reason& reason,
                        bool* missed_cache, bool utf8_characters)
{
    input_file file;
    file_size = 0;
    file_position = 0;
    // Opening may block for good on a mount that stopped answering: unattended, so that a
    // reset can let this worker go meanwhile.
    if (!run_blocking([&]() noexcept { return file.open(path); })) {
        reason = file.error();
        return false;
    }
    return count_opened(file, buffer, state, running, file_size, file_position, run_blocking, counted, reason,
                        missed_cache, utf8_characters);
}
