#include "failure_text.h"

#include "lib/os.h"

const char* failure_words(failure_reason::kind what)
{
    switch (what) {
    case failure_reason::none:
        return "";
    case failure_reason::missing:
        return "No such file or directory";
    case failure_reason::system_error:
        return "%2";
    case failure_reason::is_a_folder:
        return "is a folder";
    case failure_reason::not_a_regular_file:
        return "not a regular file";
    case failure_reason::read_error:
        return "read error after %1 bytes: %2";
    case failure_reason::would_block:
        return "read would block";
    case failure_reason::file_system_loop:
        return "file system loop";
    case failure_reason::name_not_unicode:
        return "name is not valid Unicode";
    case failure_reason::moved_while_walked:
        return "a folder in it moved during the walk";
    }
    return "";
}

std::string failure_text(const failure_reason& reason)
{
    std::string text = failure_words(reason.what);
    // The number first: a system message holding "%1" is then never taken for a mark.
    if (const auto at = text.find("%1"); at != std::string::npos)
        text.replace(at, 2, std::to_string(reason.bytes));
    if (const auto at = text.find("%2"); at != std::string::npos)
        text.replace(at, 2, lib::os::error_message(reason.code));
    return text;
}
