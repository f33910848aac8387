#include "totals_text.h"

std::string files_text(const engine::snapshot& totals)
{
    std::string text = std::to_string(totals.files_counted);
    if (totals.files_failed != 0)
        text += " (" + std::to_string(totals.files_failed) + " failed to open)";
    return text;
}

std::string totals_line(const engine::snapshot& totals)
{
    return "files=" + std::to_string(totals.files_counted) + " failed=" + std::to_string(totals.files_failed)
           + " characters=" + std::to_string(totals.total_characters)
           + " lines=" + std::to_string(totals.total_lines);
}
