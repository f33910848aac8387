#include "failure_text.h"

#include "lib/os.h"

words failure_words(failure_reason::kind what, failure_reader reader)
{
    switch (what) {
    case failure_reason::none:
        break;
    case failure_reason::missing:
        return PRESENT_WORDS("failure_text", "No such file or directory");
    case failure_reason::system_error:
        return {"failure_text", "%2"}; // the system's own message, nothing to translate
    case failure_reason::is_a_folder:
        // Only a folder that was not to be walked fails so: say how to have it walked. The
        // tool's words are not translated, hence not marked.
        if (reader == failure_reader::tool)
            return {"failure_text", "is a folder; use -r"};
        return PRESENT_WORDS("failure_text", "is a folder; turn on Count Files in Folders");
    case failure_reason::not_a_regular_file:
        return PRESENT_WORDS("failure_text", "not a regular file");
    case failure_reason::read_error:
        return PRESENT_WORDS("failure_text", "read error after %1 bytes: %2");
    case failure_reason::shortened:
        return PRESENT_WORDS("failure_text", "read error after %1 bytes: the file was shortened");
    case failure_reason::would_block:
        return PRESENT_WORDS("failure_text", "read would block");
    case failure_reason::file_system_loop:
        return PRESENT_WORDS("failure_text", "file system loop");
    case failure_reason::name_not_unicode:
        return PRESENT_WORDS("failure_text", "name is not valid Unicode");
    case failure_reason::moved_while_walked:
        return PRESENT_WORDS("failure_text", "a folder in it moved during the walk");
    case failure_reason::ignore_rules_unread:
        return PRESENT_WORDS("failure_text", "its ignore rules could not be read");
    }
    return {"failure_text", ""};
}

std::string failure_text(const failure_reason& reason, std::string_view worded)
{
    // The system's message only where the words ask for it: formatting one costs a lookup.
    const bool with_message = worded.find("%2") != std::string_view::npos;
    return fill(worded, {std::to_string(reason.bytes), with_message ? lib::os::error_message(reason.code) : ""});
}

std::string failure_text(const failure_reason& reason, failure_reader reader)
{
    return failure_text(reason, failure_words(reason.what, reader).text);
}
