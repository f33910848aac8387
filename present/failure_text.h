#pragma once

#include "engine/failure.h"

#include <string>

// The English words of a kind of failure, written once for every front end: "%1" stands for
// the bytes read before a read error, "%2" for the system's message. A window translates
// these words before it fills them in.
const char* failure_words(failure_reason::kind what);

// A failure's reason in English, filled in, as the tool and the Windows window show it:
// "No such file or directory", "is a folder", "read error after 12 bytes: Input/output error".
std::string failure_text(const failure_reason& reason);
