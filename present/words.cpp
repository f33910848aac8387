#include "words.h"

std::string fill(std::string_view text, std::initializer_list<std::string_view> values)
{
    std::string filled;
    filled.reserve(text.size());
    for (std::size_t at = 0; at < text.size(); ++at) {
        const char digit = at + 1 < text.size() && text[at] == '%' ? text[at + 1] : '\0';
        const auto mark = static_cast<std::size_t>(digit - '1');
        if (digit >= '1' && digit <= '9' && mark < values.size()) {
            filled += values.begin()[mark];
            ++at;
        } else {
            filled += text[at];
        }
    }
    return filled;
}
