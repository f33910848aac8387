#pragma once

#include <initializer_list>
#include <string>
#include <string_view>

// Words people read, written once here in English for every front end. A window in another
// language looks the text up by its context (and comment) in its catalogue; the tool and the
// Windows window use it as it is. "%1", "%2"... stand for the values filled in.
struct words {
    const char* context;
    const char* text;
    const char* comment = nullptr; // tells two uses of the same English text apart
};

// Marks words for the Qt window's translators without Qt here: lupdate reads these as
// QT_TRANSLATE_NOOP and QT_TRANSLATE_N_NOOP3 (told so with -tr-function-alias, ui/CMakeLists.txt),
// so the context and text must be plain string literals. COUNTED_WORDS are words whose
// grammatical number follows a count.
#define PRESENT_WORDS(context, text) (::words{context, text})
#define PRESENT_COUNTED_WORDS(context, text, comment) (::words{context, text, comment})

// The text with each "%1" to "%9" replaced by that value, in one pass, so that a value that
// holds "%1" itself (a system message) is never taken for a mark. A mark without a value
// stays as it is.
std::string fill(std::string_view text, std::initializer_list<std::string_view> values);
