#pragma once

#include "engine/failure.h"
#include "present/words.h"

#include <string>
#include <string_view>

// Who reads a reason. A folder fails only where folders are not walked, and its reason says
// how this reader has them walked: the windows' setting, the tool's option.
enum class failure_reader { window, tool };

// The English words of a kind of failure, written once for every front end: "%1" stands for
// the bytes read before a read error, "%2" for the system's message. A window translates
// these words before it fills them in.
words failure_words(failure_reason::kind what, failure_reader reader);

// A failure's reason, filled in: in English, as the tool and the Windows window show it
// ("No such file or directory", "is a folder; use -r", "read error after 12 bytes:
// Input/output error"), or in the worded form a window translated failure_words() into.
std::string failure_text(const failure_reason& reason, std::string_view worded);
std::string failure_text(const failure_reason& reason, failure_reader reader);
