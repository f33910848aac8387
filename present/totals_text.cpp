#include "totals_text.h"

std::string decimal_text(std::uint64_t value)
{
    return std::to_string(value);
}

std::string files_text(const engine::snapshot& totals, std::string_view worded)
{
    if (totals.files_failed == 0)
        return decimal_text(totals.files_counted);
    return fill(worded, {decimal_text(totals.files_counted), decimal_text(totals.files_failed)});
}

std::string totals_line(const engine::snapshot& totals)
{
    return "files=" + decimal_text(totals.files_counted) + " failed=" + decimal_text(totals.files_failed)
           + " characters=" + decimal_text(totals.total_characters)
           + " lines=" + decimal_text(totals.total_lines);
}
